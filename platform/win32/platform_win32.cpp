// The product's port: the real Win32 services.
#include <windows.h>
#include <mmsystem.h>

#include <cstring>

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
