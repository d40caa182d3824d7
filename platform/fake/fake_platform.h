// Controls of the test port: what a unit test sets up before it calls the core
// and what it reads back afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

struct FakeMessage {
    std::string text;
    std::string caption;
    uint32_t style;
    bool ownerless;
};

// Back to a clean state: clock 0, no scripted answers, empty log, stores, pipes.
void FakeReset();

// Clock.
void FakeSetTime(uint32_t ms);
void FakeAdvanceTime(uint32_t ms);  // PlatformSleep advances the clock the same way
// One clock with another time base (the simulated front end's virtual
// time, in seconds): from now on PlatformTimeMs is `now` in whole
// milliseconds, and PlatformSleep and FakeAdvanceTime move it with
// `advance`; FakeSetTime only shifts the reading by a constant, never the
// other clock.  Null functions (and FakeReset) go back to the fake's own
// clock, which goes on from the last reading.  The functions must stay
// valid until then.
void FakeUseExternalClock(double (*now)(), void (*advance)(double seconds));

// Operator: answers are taken in order; with none queued the first button of
// the style answers (IDOK_ or IDYES_).
void FakePushAnswer(int32_t answer);
const std::vector<FakeMessage>& FakeMessages();
void FakeClearMessages();
int FakeBeepCount();
int FakeWaitCursorDepth();

// Private-profile store: file name (as the core passes it, letter case ignored)
// to file text.
void FakeSetProfileFile(const std::string& file, const std::string& text);
std::string FakeProfileFile(const std::string& file);  // "" when absent
bool FakeProfileFileExists(const std::string& file);
void FakeFailProfileWrites(bool fail);

// Global memory: make the n-th allocation from now (1 = next) fail, either in
// the allocation or in the lock.
void FakeFailAllocation(int nth, bool inLock);
size_t FakeLiveAllocations();

// External programs: the result the next start returns (default 33) and the
// command lines started so far.
void FakeSetStartResult(uint32_t result);
const std::vector<std::string>& FakeStartedPrograms();
std::string FakeCurrentDirectory();

// Pipes: a write-only in-memory pipe whose bytes the test reads back.
PlatformPipe FakePipeCreate();
std::string FakePipeBytes(PlatformPipe pipe);
// A pipe that fails every write (a closed connection).
PlatformPipe FakePipeCreateBroken();

// Named pipes as a supervisor creates them: the program opens the client end
// by name (PlatformPipeOpen), one client per server pipe.  The test plays the
// supervisor: it queues messages for the program and reads, one message at a
// time, what the program wrote.  Closing the server end breaks the client's
// pipe (peeks and writes fail) and frees the name for a new server.
void FakePipeServerCreate(const std::string& name);
void FakePipeServerSend(const std::string& name, const std::string& message);
std::vector<std::string> FakePipeServerTake(const std::string& name);  // and forget them
bool FakePipeServerConnected(const std::string& name);
void FakePipeServerClose(const std::string& name);
// Opens of the client end so far (successful or not), for counting passes.
uint32_t FakePipeOpenAttempts();
// Opens for reading fail as access denied (the server allows writing only).
void FakePipeServerWriteOnly(const std::string& name);

// Mailslots: created and opened by name (letter case ignored).  The next
// PlatformMailslotCreate fails with `error` when set (0: no failure).
void FakeMailslotFailCreates(uint32_t error);
// A message as another station would send it to a created mailslot.
bool FakeMailslotDeliver(const std::string& name, const std::string& message);
// Messages waiting in a created mailslot, taken out.
std::vector<std::string> FakeMailslotTake(const std::string& name);
bool FakeMailslotExists(const std::string& name);
size_t FakeMailslotCount();

// Serial ports: a port exists once added (name as the core passes it, letter
// case ignored); bytes arrive now (Feed) or when the program's clock
// (PlatformTimeMs) reaches a time (Schedule, or a script of
// platform/serial_script.h whose seconds are read as that clock's).  The
// input queue holds 4096 bytes, as a serial driver's does; more are lost.
void FakeSerialAddPort(const std::string& name);
void FakeSerialFeed(const std::string& name, const std::string& bytes);
void FakeSerialSchedule(const std::string& name, uint32_t atMs, const std::string& bytes);
// False, with "line n: reason" in `error` and nothing scheduled, for a bad script.
bool FakeSerialScript(const std::string& name, const std::string& script, std::string& error);
bool FakeSerialIsOpen(const std::string& name);
uint32_t FakeSerialBaud(const std::string& name);  // of the last open, 0 = never opened
// The port fails as a line error does: Queued -1, reads false.
void FakeSerialBreak(const std::string& name);

// Directories reported to the core.
void FakeSetProgramDirectory(const std::string& dir);
void FakeSetWindowsDirectory(const std::string& dir);

// Libraries: loads of `name` (its last path component, letter case ignored)
// go to the real library file `path` through the system loader; an empty path
// removes the mapping.  Unmapped names fail as "not found".  Not cleared by
// FakeReset, so a suite can map once.
void FakeMapLibrary(const std::string& name, const std::string& path);
void FakeClearLibraryMap();

// Files are real.  The next PlatformCopyFile writes `bytesWritten` bytes to its
// target and then fails, as a copy does when the disk fills up.
void FakeFailNextCopy(long bytesWritten);
