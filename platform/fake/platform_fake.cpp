// The test port: everything the core asks of the system is answered from
// memory and recorded, so tests are deterministic and can assert on it.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <set>

#include "platform/fake/fake_platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#include "platform/profile_text.h"
#include "platform/string_lookup.h"

namespace {

struct FakeState {
    uint32_t now = 0;
    std::deque<int32_t> answers;
    std::vector<FakeMessage> messages;
    int beeps = 0;
    int waitDepth = 0;
    std::map<std::string, std::string> profiles;  // lower-cased name -> text
    bool failProfileWrites = false;
    int failAllocIn = 0;  // 0 = never
    bool failAllocInLock = false;
    std::set<void*> blocks;
    uint32_t startResult = 33;
    std::vector<std::string> started;
    std::string currentDir;
    std::map<PlatformPipe, std::string> pipes;
    std::set<PlatformPipe> brokenPipes;
    PlatformPipe nextPipe = 1;
    std::string programDir = "C:\\zd418";
    std::string windowsDir = "C:\\windows";
};

FakeState& S() {
    static FakeState state;
    return state;
}

std::string Lower(const std::string& s) {
    std::string r = s;
    for (char& c : r) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return r;
}

uint32_t CopyOut(const std::string& s, char* buf, uint32_t size) {
    if (size == 0) return 0;
    uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(s.size()), size - 1);
    memcpy(buf, s.data(), n);
    buf[n] = '\0';
    return n;
}

}  // namespace

// ---- controls ----------------------------------------------------------------
void FakeReset() {
    for (void* b : S().blocks) free(b);
    S() = FakeState();
}
void FakeSetTime(uint32_t ms) { S().now = ms; }
void FakeAdvanceTime(uint32_t ms) { S().now += ms; }
void FakePushAnswer(int32_t answer) { S().answers.push_back(answer); }
const std::vector<FakeMessage>& FakeMessages() { return S().messages; }
void FakeClearMessages() { S().messages.clear(); }
int FakeBeepCount() { return S().beeps; }
int FakeWaitCursorDepth() { return S().waitDepth; }
void FakeSetProfileFile(const std::string& file, const std::string& text) {
    S().profiles[Lower(file)] = text;
}
std::string FakeProfileFile(const std::string& file) {
    auto it = S().profiles.find(Lower(file));
    return it == S().profiles.end() ? std::string() : it->second;
}
bool FakeProfileFileExists(const std::string& file) {
    return S().profiles.count(Lower(file)) != 0;
}
void FakeFailProfileWrites(bool fail) { S().failProfileWrites = fail; }
void FakeFailAllocation(int nth, bool inLock) {
    S().failAllocIn = nth;
    S().failAllocInLock = inLock;
}
size_t FakeLiveAllocations() { return S().blocks.size(); }
void FakeSetStartResult(uint32_t result) { S().startResult = result; }
const std::vector<std::string>& FakeStartedPrograms() { return S().started; }
std::string FakeCurrentDirectory() { return S().currentDir; }
PlatformPipe FakePipeCreate() {
    PlatformPipe p = S().nextPipe++;
    S().pipes[p] = "";
    return p;
}
PlatformPipe FakePipeCreateBroken() {
    PlatformPipe p = FakePipeCreate();
    S().brokenPipes.insert(p);
    return p;
}
std::string FakePipeBytes(PlatformPipe pipe) {
    auto it = S().pipes.find(pipe);
    return it == S().pipes.end() ? std::string() : it->second;
}
void FakeSetProgramDirectory(const std::string& dir) { S().programDir = dir; }
void FakeSetWindowsDirectory(const std::string& dir) { S().windowsDir = dir; }

// ---- the port ------------------------------------------------------------------
uint32_t PlatformTimeMs() { return S().now; }
void PlatformSleep(uint32_t ms) { S().now += ms; }

int32_t PlatformMessageBox(const char* text, const char* caption, uint32_t style,
                           bool ownerless) {
    S().messages.push_back({text ? text : "", caption ? caption : "", style, ownerless});
    if (!S().answers.empty()) {
        int32_t a = S().answers.front();
        S().answers.pop_front();
        return a;
    }
    uint32_t buttons = style & 0xFu;
    return (buttons == MB_YESNO_ || buttons == MB_YESNOCANCEL_) ? IDYES_ : IDOK_;
}
void PlatformBeep(uint32_t) { ++S().beeps; }
void PlatformBeginWaitCursor() { ++S().waitDepth; }
void PlatformEndWaitCursor() {
    if (S().waitDepth > 0) --S().waitDepth;
}

uint32_t PlatformGetProfileString(const char* section, const char* key, const char* def,
                                  char* buf, uint32_t size, const char* file) {
    auto it = S().profiles.find(Lower(file ? file : ""));
    const std::string* text = it == S().profiles.end() ? nullptr : &it->second;
    return ProfileTextGet(text, section, key, def, buf, size);
}
bool PlatformWriteProfileString(const char* section, const char* key, const char* value,
                                const char* file) {
    if (S().failProfileWrites || file == nullptr) return false;
    ProfileTextWrite(&S().profiles[Lower(file)], section, key, value);
    return true;
}

int32_t PlatformLoadString(uint32_t id, char* buf, int32_t size) {
    const char* text = StringTableText(id);
    if (text == nullptr || size <= 0) {
        if (size > 0) buf[0] = '\0';
        return 0;
    }
    return static_cast<int32_t>(CopyOut(text, buf, static_cast<uint32_t>(size)));
}

uint32_t PlatformProgramDirectory(char* buf, uint32_t size) {
    return CopyOut(S().programDir, buf, size);
}
uint32_t PlatformWindowsDirectory(char* buf, uint32_t size) {
    return CopyOut(S().windowsDir, buf, size);
}

// Libraries: a load fails as "not found" unless the test mapped the name to a
// real library file (FakeMapLibrary); those go through the system loader.
namespace {
std::map<std::string, std::string>& LibraryMap() {
    static std::map<std::string, std::string> map;
    return map;
}
std::map<void*, std::string>& RealLibraries() {
    static std::map<void*, std::string> libs;
    return libs;
}
uint32_t g_fakeLastError = 126;
std::string BaseName(const char* name) {
    std::string n = name ? name : "";
    size_t cut = n.find_last_of("\\/");
    return Lower(cut == std::string::npos ? n : n.substr(cut + 1));
}
}  // namespace

void FakeMapLibrary(const std::string& name, const std::string& path) {
    if (path.empty()) LibraryMap().erase(BaseName(name.c_str()));
    else LibraryMap()[BaseName(name.c_str())] = path;
}
void FakeClearLibraryMap() { LibraryMap().clear(); }

PlatformLibrary PlatformLoadLibrary(const char* name) {
    auto it = LibraryMap().find(BaseName(name));
    if (it == LibraryMap().end()) {
        g_fakeLastError = 126;  // ERROR_MOD_NOT_FOUND
        return nullptr;
    }
#ifdef _WIN32
    void* lib = reinterpret_cast<void*>(LoadLibraryA(it->second.c_str()));
    if (lib == nullptr) g_fakeLastError = GetLastError();
#else
    void* lib = dlopen(it->second.c_str(), RTLD_NOW);
    if (lib == nullptr) g_fakeLastError = 126;
#endif
    if (lib != nullptr) RealLibraries()[lib] = it->second;
    return lib;
}
PlatformProc PlatformGetProc(PlatformLibrary lib, const char* name) {
    PlatformProc proc = nullptr;
    if (RealLibraries().count(lib) != 0) {
#ifdef _WIN32
        proc = reinterpret_cast<PlatformProc>(GetProcAddress(static_cast<HMODULE>(lib), name));
#else
        proc = reinterpret_cast<PlatformProc>(dlsym(lib, name));
#endif
    }
    if (proc == nullptr) g_fakeLastError = 127;  // ERROR_PROC_NOT_FOUND
    return proc;
}
PlatformProc PlatformGetProcOrdinal(PlatformLibrary lib, uint16_t ordinal) {
    PlatformProc proc = nullptr;
#ifdef _WIN32
    if (RealLibraries().count(lib) != 0)
        proc = reinterpret_cast<PlatformProc>(
            GetProcAddress(static_cast<HMODULE>(lib), MAKEINTRESOURCEA(ordinal)));
#else
    (void)lib;  // shared objects have no ordinals
    (void)ordinal;
#endif
    if (proc == nullptr) g_fakeLastError = 127;
    return proc;
}
bool PlatformFreeLibrary(PlatformLibrary lib) {
    if (RealLibraries().count(lib) == 0) return false;
#ifdef _WIN32
    char path[MAX_PATH];
    bool stillLoaded = FreeLibrary(static_cast<HMODULE>(lib)) != 0 &&
                       GetModuleFileNameA(static_cast<HMODULE>(lib), path, MAX_PATH) != 0;
#else
    // dlclose succeeds for every dropped reference; a no-load open tells
    // whether the object is still mapped.
    std::string path = RealLibraries()[lib];
    dlclose(lib);
    bool stillLoaded = false;
    if (!path.empty()) {
        void* again = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (again != nullptr) {
            stillLoaded = true;
            dlclose(again);
        }
    }
#endif
    if (!stillLoaded) RealLibraries().erase(lib);
    return stillLoaded;
}
uint32_t PlatformLastError() { return g_fakeLastError; }

uint32_t PlatformStartProgram(const char* commandLine, int32_t) {
    S().started.push_back(commandLine ? commandLine : "");
    return S().startResult;
}
bool PlatformSetCurrentDirectory(const char* dir) {
    S().currentDir = dir ? dir : "";
    return true;
}

void* PlatformAllocLocked(size_t bytes, bool* lockFailed) {
    if (S().failAllocIn > 0 && --S().failAllocIn == 0) {
        if (lockFailed) *lockFailed = S().failAllocInLock;
        return nullptr;
    }
    void* p = calloc(1, bytes ? bytes : 1);
    if (p == nullptr) {
        if (lockFailed) *lockFailed = false;
        return nullptr;
    }
    S().blocks.insert(p);
    return p;
}
void PlatformFreeLocked(void* block) {
    if (block && S().blocks.erase(block)) free(block);
}

uint32_t PlatformPipeWrite(PlatformPipe pipe, const void* data, uint32_t len) {
    auto it = S().pipes.find(pipe);
    if (it == S().pipes.end() || S().brokenPipes.count(pipe)) return 0;
    it->second.append(static_cast<const char*>(data), len);
    return len;
}

// ---- files: real files, so database tests work on what ODBC opens -------------------
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
long g_copyFailAfter = -1;  // bytes the next copy writes before it fails; -1 = no failure

std::string FilePath(const char* path) {
    std::string p = path ? path : "";
#ifndef _WIN32
    for (char& c : p)
        if (c == '\\') c = '/';
#endif
    return p;
}
}  // namespace

void FakeFailNextCopy(long bytesWritten) { g_copyFailAfter = bytesWritten; }

bool PlatformCopyFile(const char* from, const char* to) {
    long failAfter = g_copyFailAfter;
    g_copyFailAfter = -1;
    FILE* in = fopen(FilePath(from).c_str(), "rb");
    if (in == nullptr) return false;
    FILE* out = fopen(FilePath(to).c_str(), "wb");
    if (out == nullptr) {
        fclose(in);
        return false;
    }
    bool ok = true;
    long written = 0;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, in)) > 0) {
        if (failAfter >= 0 && written + static_cast<long>(n) > failAfter) {
            // A full disk: part of the data reaches the target, then the write fails.
            fwrite(buf, 1, static_cast<size_t>(failAfter - written), out);
            ok = false;
            break;
        }
        if (fwrite(buf, 1, n, out) != n) {
            ok = false;
            break;
        }
        written += static_cast<long>(n);
    }
    fclose(in);
    if (fclose(out) != 0) ok = false;
    return ok;
}

bool PlatformReplaceFile(const char* from, const char* to) {
#ifdef _WIN32
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return rename(FilePath(from).c_str(), FilePath(to).c_str()) == 0;
#endif
}

bool PlatformDeleteFile(const char* path) { return remove(FilePath(path).c_str()) == 0; }

bool PlatformCreateDirectory(const char* path) {
#ifdef _WIN32
    if (CreateDirectoryA(path, nullptr)) return true;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
#else
    std::string p = FilePath(path);
    if (mkdir(p.c_str(), 0777) == 0) return true;
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}
