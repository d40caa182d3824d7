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
