// Operating-system services the portable core needs, as plain functions.
//
// Three implementations are chosen at link time: platform/win32 (the product),
// platform/fake (unit tests: settable clock, scripted operator answers, in-memory
// stores) and platform/posix (native command-line tools).  The portable core
// includes only this header, never <windows.h>.
//
// Constants keep their Win32 numeric values so that a style or an answer means
// the same thing on every port.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- message box styles and answers (Win32 values) -------------------------
enum : uint32_t {
    MB_OK_ = 0x00000000u,
    MB_OKCANCEL_ = 0x00000001u,
    MB_YESNOCANCEL_ = 0x00000003u,
    MB_YESNO_ = 0x00000004u,
    MB_ICONHAND_ = 0x00000010u,
    MB_ICONQUESTION_ = 0x00000020u,
    MB_ICONEXCLAMATION_ = 0x00000030u,
    MB_ICONINFORMATION_ = 0x00000040u,
    MB_DEFBUTTON2_ = 0x00000100u,
};
enum : int32_t {
    IDOK_ = 1,
    IDCANCEL_ = 2,
    IDYES_ = 6,
    IDNO_ = 7,
};
// MessageBeep type for the exclamation sound.
constexpr uint32_t BEEP_EXCLAMATION = 0x00000030u;

// ---- time ------------------------------------------------------------------
// Milliseconds since an arbitrary origin, wrapping at 2^32 (timeGetTime).
uint32_t PlatformTimeMs();
void PlatformSleep(uint32_t ms);

// ---- operator ----------------------------------------------------------------
// Shows a modal message box owned by the main frame (or by nobody when
// `ownerless` is set) and returns the answer (IDOK_, IDYES_ ...).
int32_t PlatformMessageBox(const char* text, const char* caption, uint32_t style,
                           bool ownerless = false);
void PlatformBeep(uint32_t type);
// Hourglass cursor while long work runs; calls nest.
void PlatformBeginWaitCursor();
void PlatformEndWaitCursor();

// ---- private-profile (INI) files ---------------------------------------------
// Same contract as GetPrivateProfileString with non-null section and key:
// sections and keys match without regard to letter case, blanks around names
// and values are dropped, one pair of matching quotes around a value is
// removed, a missing key or file yields `def` (nullptr = ""), and the result is
// cut to size-1 characters.  Returns the number of characters stored.
// A bare file name (no directory) lives in the platform's directory for such
// files (the Windows directory on Win32).
uint32_t PlatformGetProfileString(const char* section, const char* key, const char* def,
                                  char* buf, uint32_t size, const char* file);
// WritePrivateProfileString: adds or replaces the key (keeping the spelling of
// an existing section or key), creates section and file as needed; a null
// value removes the key, a null key removes the section.  Returns false when
// the file cannot be written.
bool PlatformWriteProfileString(const char* section, const char* key, const char* value,
                                const char* file);

// ---- string table ------------------------------------------------------------
// LoadString: copies resource string `id` into buf (cut to size-1) and returns
// its length, or 0 when the table holds no such string.
int32_t PlatformLoadString(uint32_t id, char* buf, int32_t size);

// ---- directories ---------------------------------------------------------------
// Directory of the running program, without a trailing separator.
uint32_t PlatformProgramDirectory(char* buf, uint32_t size);
// Directory that holds bare-named private-profile files.
uint32_t PlatformWindowsDirectory(char* buf, uint32_t size);

// ---- dynamic libraries ------------------------------------------------------------
using PlatformLibrary = void*;
using PlatformProc = void (*)();
PlatformLibrary PlatformLoadLibrary(const char* name);
PlatformProc PlatformGetProc(PlatformLibrary lib, const char* name);
PlatformProc PlatformGetProcOrdinal(PlatformLibrary lib, uint16_t ordinal);
// Drops one reference; returns false once the loader holds no further one
// (or the handle was not loaded), so callers can unload "until released".
bool PlatformFreeLibrary(PlatformLibrary lib);
// The system error code of the last failed call (GetLastError).
uint32_t PlatformLastError();

// ---- external programs -----------------------------------------------------------
// WinExec semantics: a result below 32 is a failure.
uint32_t PlatformStartProgram(const char* commandLine, int32_t show);
bool PlatformSetCurrentDirectory(const char* dir);

// ---- global memory ----------------------------------------------------------------
// A zero-filled block that stays at one address until freed (on Win32 a
// movable global block, allocated and locked once).  On failure returns null
// and sets *lockFailed: false when the allocation failed, true when the lock did.
void* PlatformAllocLocked(size_t bytes, bool* lockFailed);
void PlatformFreeLocked(void* block);

// ---- pipes ---------------------------------------------------------------------
// Opaque handle of an open pipe end; 0 = none.
using PlatformPipe = intptr_t;
// Writes len bytes as one message; returns the bytes written (0 on failure).
uint32_t PlatformPipeWrite(PlatformPipe pipe, const void* data, uint32_t len);
// Opens the client end of an existing named pipe ("\\.\PIPE\NAME") for
// reading and writing (`writeOnly`: for writing only), in message read mode,
// reads never waiting.  0 when there is no free instance of that name.
PlatformPipe PlatformPipeOpen(const char* name, bool writeOnly);
// Looks at the pipe without taking anything: bytes waiting in all, and bytes
// left in the message at the front (0 when none waits).  False when the pipe
// is broken or closed (the peer went away).
bool PlatformPipePeek(PlatformPipe pipe, uint32_t* available, uint32_t* leftThisMessage);
// Reads from the message at the front into buf (at most size bytes); what does
// not fit stays for the next read and *more says so.  Returns the bytes read,
// or -1 when the pipe failed.  Call only after a peek saw a message.
int32_t PlatformPipeRead(PlatformPipe pipe, void* buf, uint32_t size, bool* more);
void PlatformPipeClose(PlatformPipe pipe);

// ---- mailslots -----------------------------------------------------------------
// Opaque handle of a mailslot (created: the reading end; opened: a writer); 0 = none.
using PlatformMailslot = intptr_t;
// Creates mailslot `name` ("\\.\mailslot\...") with no message-size limit
// and reads that never wait.  0 on failure (PlatformLastError tells why).
PlatformMailslot PlatformMailslotCreate(const char* name);
// Opens an existing mailslot for writing, sharing read access.  0 when none
// exists by that name.
PlatformMailslot PlatformMailslotOpen(const char* name);
// Sends len bytes as one message; returns the bytes written (0 on failure).
uint32_t PlatformMailslotWrite(PlatformMailslot slot, const void* data, uint32_t len);
// Takes the next message whole and copies at most size bytes of it into buf.
// Returns the message's full length (which may exceed size), 0 when none
// waits, -1 on failure.
int32_t PlatformMailslotRead(PlatformMailslot slot, void* buf, uint32_t size);
void PlatformMailslotClose(PlatformMailslot slot);

// ---- serial port ---------------------------------------------------------------
// Opaque handle of an open serial port; 0 = none.
using PlatformSerial = intptr_t;
// Opens a port by name ("COM2") for reading only, not shared, at `baud` with
// 8 data bits, no parity, one stop bit, binary, no flow control, DTR and RTS
// on, aborting on a line error.  Reads never wait.  0 when the port does not
// exist, is in use or refuses the settings.
PlatformSerial PlatformSerialOpen(const char* name, uint32_t baud);
// Bytes received and not yet read; -1 when the port has failed.
int32_t PlatformSerialQueued(PlatformSerial port);
// Takes one received byte into *byte; false at once when none is queued.
bool PlatformSerialReadByte(PlatformSerial port, uint8_t* byte);
void PlatformSerialClose(PlatformSerial port);

// ---- files ---------------------------------------------------------------------
// Paths are in the program's form (Windows separators); the native ports map
// backslashes to slashes.
// Copies `from` over `to` (created or truncated).  Returns false when either
// cannot be opened or the copy stops part-way; `to` may then be incomplete, so
// callers that must not lose the target copy to a temporary name first.
bool PlatformCopyFile(const char* from, const char* to);
// Puts `from` in the place of `to`, replacing it.  Returns false on failure.
bool PlatformReplaceFile(const char* from, const char* to);
bool PlatformDeleteFile(const char* path);
// Creates a directory; true when it was created or already exists as one.
bool PlatformCreateDirectory(const char* path);
