// The product's port: the real Win32 services.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace {
HWND g_owner = nullptr;
HINSTANCE g_resources = nullptr;
HCURSOR g_savedCursor = nullptr;
int g_waitDepth = 0;

uint32_t CopyOut(const char* s, char* buf, uint32_t size) {
    if (size == 0) return 0;
    uint32_t n = static_cast<uint32_t>(strlen(s));
    if (n > size - 1) n = size - 1;
    memcpy(buf, s, n);
    buf[n] = '\0';
    return n;
}
}  // namespace

void Win32SetMessageOwner(HWND owner) { g_owner = owner; }
void Win32SetResourceInstance(HINSTANCE instance) { g_resources = instance; }

uint32_t PlatformTimeMs() { return timeGetTime(); }
void PlatformSleep(uint32_t ms) { Sleep(ms); }

int32_t PlatformMessageBox(const char* text, const char* caption, uint32_t style,
                           bool ownerless) {
    return MessageBoxA(ownerless ? nullptr : g_owner, text, caption, style);
}
void PlatformBeep(uint32_t type) { MessageBeep(type); }
void PlatformBeginWaitCursor() {
    if (g_waitDepth++ == 0) g_savedCursor = SetCursor(LoadCursor(nullptr, IDC_WAIT));
}
void PlatformEndWaitCursor() {
    if (g_waitDepth > 0 && --g_waitDepth == 0) SetCursor(g_savedCursor);
}

uint32_t PlatformGetProfileString(const char* section, const char* key, const char* def,
                                  char* buf, uint32_t size, const char* file) {
    if (buf == nullptr || size == 0) return 0;
    return GetPrivateProfileStringA(section, key, def ? def : "", buf, size, file);
}
bool PlatformWriteProfileString(const char* section, const char* key, const char* value,
                                const char* file) {
    return WritePrivateProfileStringA(section, key, value, file) != 0;
}

int32_t PlatformLoadString(uint32_t id, char* buf, int32_t size) {
    HINSTANCE inst = g_resources ? g_resources : GetModuleHandleA(nullptr);
    return LoadStringA(inst, id, buf, size);
}

uint32_t PlatformProgramDirectory(char* buf, uint32_t size) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return CopyOut(".", buf, size);
    char* slash = strrchr(path, '\\');
    if (slash) *slash = '\0';
    return CopyOut(path, buf, size);
}
uint32_t PlatformWindowsDirectory(char* buf, uint32_t size) {
    return GetWindowsDirectoryA(buf, size);
}

PlatformLibrary PlatformLoadLibrary(const char* name) { return LoadLibraryA(name); }
PlatformProc PlatformGetProc(PlatformLibrary lib, const char* name) {
    return reinterpret_cast<PlatformProc>(GetProcAddress(static_cast<HMODULE>(lib), name));
}
PlatformProc PlatformGetProcOrdinal(PlatformLibrary lib, uint16_t ordinal) {
    return reinterpret_cast<PlatformProc>(
        GetProcAddress(static_cast<HMODULE>(lib), MAKEINTRESOURCEA(ordinal)));
}
bool PlatformFreeLibrary(PlatformLibrary lib) {
    return lib != nullptr && FreeLibrary(static_cast<HMODULE>(lib)) != 0;
}
uint32_t PlatformLastError() { return GetLastError(); }

uint32_t PlatformStartProgram(const char* commandLine, int32_t show) {
    return WinExec(commandLine, static_cast<UINT>(show));
}
bool PlatformSetCurrentDirectory(const char* dir) { return SetCurrentDirectoryA(dir) != 0; }

void* PlatformAllocLocked(size_t bytes, bool* lockFailed) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (h == nullptr) {
        if (lockFailed) *lockFailed = false;
        return nullptr;
    }
    void* p = GlobalLock(h);
    if (p == nullptr) {
        GlobalFree(h);
        if (lockFailed) *lockFailed = true;
    }
    return p;
}
void PlatformFreeLocked(void* block) {
    if (block == nullptr) return;
    HGLOBAL h = GlobalHandle(block);
    if (h) {
        GlobalUnlock(h);
        GlobalFree(h);
    }
}

uint32_t PlatformPipeWrite(PlatformPipe pipe, const void* data, uint32_t len) {
    DWORD written = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(pipe), data, len, &written, nullptr)) return 0;
    return written;
}

PlatformPipe PlatformPipeOpen(const char* name, bool writeOnly) {
    if (name == nullptr || name[0] == '\0') return 0;
    const DWORD access = writeOnly ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE;
    HANDLE h = CreateFileA(name, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    // Message read mode, so one read never runs into the next message; a
    // write-only end may not be allowed to change it, which does not matter.
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!writeOnly) SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
    return reinterpret_cast<PlatformPipe>(h);
}

bool PlatformPipePeek(PlatformPipe pipe, uint32_t* available, uint32_t* leftThisMessage) {
    DWORD all = 0, left = 0;
    if (pipe == 0 || !PeekNamedPipe(reinterpret_cast<HANDLE>(pipe), nullptr, 0, nullptr, &all, &left))
        return false;
    if (available) *available = all;
    // A byte-mode pipe reports no message bounds: everything waiting is one.
    if (leftThisMessage) *leftThisMessage = all > 0 && left == 0 ? all : left;
    return true;
}

int32_t PlatformPipeRead(PlatformPipe pipe, void* buf, uint32_t size, bool* more) {
    if (more) *more = false;
    DWORD got = 0;
    if (ReadFile(reinterpret_cast<HANDLE>(pipe), buf, size, &got, nullptr))
        return static_cast<int32_t>(got);
    if (GetLastError() == ERROR_MORE_DATA) {
        if (more) *more = true;
        return static_cast<int32_t>(got);
    }
    return -1;
}

void PlatformPipeClose(PlatformPipe pipe) {
    if (pipe != 0) CloseHandle(reinterpret_cast<HANDLE>(pipe));
}

PlatformMailslot PlatformMailslotCreate(const char* name) {
    HANDLE h = CreateMailslotA(name, 0, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<PlatformMailslot>(h);
}

PlatformMailslot PlatformMailslotOpen(const char* name) {
    HANDLE h = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<PlatformMailslot>(h);
}

uint32_t PlatformMailslotWrite(PlatformMailslot slot, const void* data, uint32_t len) {
    DWORD written = 0;
    if (slot == 0 || !WriteFile(reinterpret_cast<HANDLE>(slot), data, len, &written, nullptr)) return 0;
    return written;
}

// A read with a buffer smaller than the message fails and leaves it queued, so
// the message is taken whole into a buffer of its own size first.
int32_t PlatformMailslotRead(PlatformMailslot slot, void* buf, uint32_t size) {
    DWORD next = 0, count = 0;
    if (slot == 0 ||
        !GetMailslotInfo(reinterpret_cast<HANDLE>(slot), nullptr, &next, &count, nullptr))
        return -1;
    if (next == MAILSLOT_NO_MESSAGE) return 0;
    std::string message(next, '\0');
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(slot), message.data(), next, &got, nullptr)) return -1;
    memcpy(buf, message.data(), std::min<DWORD>(got, size));
    return static_cast<int32_t>(got);
}

void PlatformMailslotClose(PlatformMailslot slot) {
    if (slot != 0) CloseHandle(reinterpret_cast<HANDLE>(slot));
}

// The port's device name works for every port number ("COM10" and up need it).
PlatformSerial PlatformSerialOpen(const char* name, uint32_t baud) {
    if (name == nullptr || baud == 0) return 0;
    std::string path = std::string("\\\\.\\") + name;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    bool ok = GetCommState(h, &dcb) != 0;
    if (ok) {
        dcb.BaudRate = baud;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fAbortOnError = TRUE;
        ok = SetCommState(h, &dcb) != 0;
    }
    // Reads return at once with what is queued.
    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (ok) ok = SetCommTimeouts(h, &timeouts) != 0;
    if (!ok) {
        CloseHandle(h);
        return 0;
    }
    return reinterpret_cast<PlatformSerial>(h);
}
int32_t PlatformSerialQueued(PlatformSerial port) {
    DWORD errors = 0;
    COMSTAT stat = {};
    // Also clears a line error, after which an aborting port reads again.
    if (port == 0 || !ClearCommError(reinterpret_cast<HANDLE>(port), &errors, &stat)) return -1;
    return static_cast<int32_t>(stat.cbInQue);
}
bool PlatformSerialReadByte(PlatformSerial port, uint8_t* byte) {
    DWORD n = 0;
    if (port == 0 || byte == nullptr) return false;
    if (!ReadFile(reinterpret_cast<HANDLE>(port), byte, 1, &n, nullptr)) {
        DWORD errors = 0;
        ClearCommError(reinterpret_cast<HANDLE>(port), &errors, nullptr);
        return false;
    }
    return n == 1;
}
void PlatformSerialClose(PlatformSerial port) {
    if (port != 0) CloseHandle(reinterpret_cast<HANDLE>(port));
}

bool PlatformCopyFile(const char* from, const char* to) {
    return CopyFileA(from, to, FALSE) != 0;
}
bool PlatformReplaceFile(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
bool PlatformDeleteFile(const char* path) { return DeleteFileA(path) != 0; }
bool PlatformCreateDirectory(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return true;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
