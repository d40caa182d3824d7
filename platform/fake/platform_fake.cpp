// The test port: everything the core asks of the system is answered from
// memory and recorded, so tests are deterministic and can assert on it.
#include <algorithm>
#include <cctype>
#include <cmath>
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
#include "platform/serial_script.h"
#include "platform/string_lookup.h"

namespace {

struct FakeSerialPort {
    bool open = false;
    bool broken = false;
    uint32_t baud = 0;
    std::string queue;                               // received, not yet read
    std::multimap<uint32_t, std::string> scheduled;  // program ms -> bytes
};

constexpr size_t kSerialQueueBytes = 4096;

struct FakeState {
    uint32_t now = 0;
    // The external clock, when one is used: PlatformTimeMs is `offset` plus
    // its reading in whole milliseconds.
    double (*externalNow)() = nullptr;
    void (*externalAdvance)(double) = nullptr;
    uint32_t offset = 0;
    uint32_t lastShown = 0;
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
    // Named pipes: lower-cased name -> the two directions of one connection.
    struct NamedPipe {
        bool connected = false;
        bool writeOnly = false;
        PlatformPipe client = 0;
        std::deque<std::string> toClient;    // messages the program will read
        std::vector<std::string> fromClient;  // messages the program wrote
    };
    std::map<std::string, NamedPipe> namedPipes;
    std::map<PlatformPipe, std::string> clientEnds;  // open handle -> pipe name
    uint32_t pipeOpenAttempts = 0;
    // Mailslots: lower-cased name -> queued messages; handles -> name.
    std::map<std::string, std::deque<std::string>> mailslots;
    std::map<PlatformMailslot, std::string> slotReaders;
    std::map<PlatformMailslot, std::string> slotWriters;
    PlatformMailslot nextSlot = 1;
    uint32_t failSlotCreates = 0;
    std::string programDir = "C:\\zd418";
    std::string windowsDir = "C:\\windows";
    std::map<std::string, FakeSerialPort> serial;  // lower-cased name -> port
    std::map<PlatformSerial, std::string> serialHandles;
    PlatformSerial nextSerial = 1;
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

uint32_t ExternalMs() {
    // The other clock adds up binary fractions: a reading a hair under a
    // whole millisecond means that millisecond.
    double ms = std::floor(S().externalNow() * 1000.0 + 1e-6);
    return static_cast<uint32_t>(static_cast<uint64_t>(ms < 0 ? 0 : ms));
}

void Advance(uint32_t ms) {
    if (S().externalAdvance != nullptr) S().externalAdvance(ms / 1000.0);
    else S().now += ms;
}

}  // namespace

// ---- controls ----------------------------------------------------------------
void FakeReset() {
    for (void* b : S().blocks) free(b);
    S() = FakeState();
}
void FakeSetTime(uint32_t ms) {
    if (S().externalNow != nullptr) S().offset = ms - ExternalMs();
    else S().now = ms;
}
void FakeAdvanceTime(uint32_t ms) { Advance(ms); }
void FakeUseExternalClock(double (*now)(), void (*advance)(double seconds)) {
    FakeState& f = S();
    // The other clock may be gone already (its library unloaded): go on
    // from the last reading rather than asking it again.
    if (f.externalNow != nullptr) f.now = f.lastShown;
    f.externalNow = now != nullptr && advance != nullptr ? now : nullptr;
    f.externalAdvance = f.externalNow != nullptr ? advance : nullptr;
    f.offset = 0;
}
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
void FakePipeServerCreate(const std::string& name) {
    S().namedPipes[Lower(name)] = FakeState::NamedPipe{};
}
void FakePipeServerSend(const std::string& name, const std::string& message) {
    auto it = S().namedPipes.find(Lower(name));
    if (it != S().namedPipes.end()) it->second.toClient.push_back(message);
}
std::vector<std::string> FakePipeServerTake(const std::string& name) {
    std::vector<std::string> out;
    auto it = S().namedPipes.find(Lower(name));
    if (it != S().namedPipes.end()) out.swap(it->second.fromClient);
    return out;
}
bool FakePipeServerConnected(const std::string& name) {
    auto it = S().namedPipes.find(Lower(name));
    return it != S().namedPipes.end() && it->second.connected;
}
void FakePipeServerClose(const std::string& name) {
    auto it = S().namedPipes.find(Lower(name));
    if (it == S().namedPipes.end()) return;
    if (it->second.client != 0) S().clientEnds[it->second.client] = "";  // broken
    S().namedPipes.erase(it);
}
void FakePipeServerWriteOnly(const std::string& name) {
    auto it = S().namedPipes.find(Lower(name));
    if (it != S().namedPipes.end()) it->second.writeOnly = true;
}
uint32_t FakePipeOpenAttempts() { return S().pipeOpenAttempts; }

void FakeMailslotFailCreates(uint32_t error) { S().failSlotCreates = error; }
bool FakeMailslotDeliver(const std::string& name, const std::string& message) {
    auto it = S().mailslots.find(Lower(name));
    if (it == S().mailslots.end()) return false;
    it->second.push_back(message);
    return true;
}
std::vector<std::string> FakeMailslotTake(const std::string& name) {
    std::vector<std::string> out;
    auto it = S().mailslots.find(Lower(name));
    if (it == S().mailslots.end()) return out;
    out.assign(it->second.begin(), it->second.end());
    it->second.clear();
    return out;
}
bool FakeMailslotExists(const std::string& name) { return S().mailslots.count(Lower(name)) != 0; }
size_t FakeMailslotCount() { return S().mailslots.size(); }

void FakeSerialAddPort(const std::string& name) { S().serial[Lower(name)]; }
namespace {
FakeSerialPort* FindPort(const std::string& name) {
    auto it = S().serial.find(Lower(name));
    return it == S().serial.end() ? nullptr : &it->second;
}
void Arrive(FakeSerialPort& port, const std::string& bytes) {
    size_t room = kSerialQueueBytes - std::min(kSerialQueueBytes, port.queue.size());
    port.queue.append(bytes, 0, std::min(room, bytes.size()));
}
// Moves what is due by the program's clock into the queue.
FakeSerialPort* DuePort(PlatformSerial handle) {
    auto h = S().serialHandles.find(handle);
    if (h == S().serialHandles.end()) return nullptr;
    FakeSerialPort* port = FindPort(h->second);
    if (port == nullptr || port->broken) return nullptr;
    uint32_t now = PlatformTimeMs();
    while (!port->scheduled.empty() && port->scheduled.begin()->first <= now) {
        Arrive(*port, port->scheduled.begin()->second);
        port->scheduled.erase(port->scheduled.begin());
    }
    return port;
}
}  // namespace
void FakeSerialFeed(const std::string& name, const std::string& bytes) {
    if (FakeSerialPort* p = FindPort(name)) Arrive(*p, bytes);
}
void FakeSerialSchedule(const std::string& name, uint32_t atMs, const std::string& bytes) {
    if (FakeSerialPort* p = FindPort(name)) p->scheduled.emplace(atMs, bytes);
}
bool FakeSerialScript(const std::string& name, const std::string& script, std::string& error) {
    std::vector<SerialDelivery> lines;
    if (!ParseSerialScript(script.data(), script.size(), lines, error)) return false;
    FakeSerialPort* p = FindPort(name);
    if (p == nullptr) {
        error = "no port " + name;
        return false;
    }
    for (const SerialDelivery& d : lines)
        p->scheduled.emplace(static_cast<uint32_t>(std::llround(d.at * 1000.0)), d.bytes);
    return true;
}
bool FakeSerialIsOpen(const std::string& name) {
    FakeSerialPort* p = FindPort(name);
    return p != nullptr && p->open;
}
uint32_t FakeSerialBaud(const std::string& name) {
    FakeSerialPort* p = FindPort(name);
    return p == nullptr ? 0 : p->baud;
}
void FakeSerialBreak(const std::string& name) {
    if (FakeSerialPort* p = FindPort(name)) p->broken = true;
}
void FakeSetProgramDirectory(const std::string& dir) { S().programDir = dir; }
void FakeSetWindowsDirectory(const std::string& dir) { S().windowsDir = dir; }

// ---- the port ------------------------------------------------------------------
uint32_t PlatformTimeMs() {
    if (S().externalNow != nullptr) return S().lastShown = S().offset + ExternalMs();
    return S().now;
}
void PlatformSleep(uint32_t ms) { Advance(ms); }

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

namespace {
// The named pipe behind an open client end; null when the end is broken.
FakeState::NamedPipe* ClientPipe(PlatformPipe pipe) {
    auto end = S().clientEnds.find(pipe);
    if (end == S().clientEnds.end() || end->second.empty()) return nullptr;
    auto it = S().namedPipes.find(end->second);
    return it == S().namedPipes.end() ? nullptr : &it->second;
}
}  // namespace

PlatformPipe PlatformPipeOpen(const char* name, bool writeOnly) {
    ++S().pipeOpenAttempts;
    auto it = S().namedPipes.find(Lower(name ? name : ""));
    if (it == S().namedPipes.end() || it->second.connected) {
        g_fakeLastError = it == S().namedPipes.end() ? 2u : 231u;  // not found / all instances busy
        return 0;
    }
    if (it->second.writeOnly && !writeOnly) {
        g_fakeLastError = 5;  // access denied
        return 0;
    }
    PlatformPipe p = S().nextPipe++;
    it->second.connected = true;
    it->second.client = p;
    S().clientEnds[p] = it->first;
    return p;
}
bool PlatformPipePeek(PlatformPipe pipe, uint32_t* available, uint32_t* leftThisMessage) {
    FakeState::NamedPipe* np = ClientPipe(pipe);
    if (np == nullptr) return false;
    uint32_t all = 0;
    for (const std::string& m : np->toClient) all += static_cast<uint32_t>(m.size());
    if (available) *available = all;
    if (leftThisMessage)
        *leftThisMessage = np->toClient.empty() ? 0 : static_cast<uint32_t>(np->toClient.front().size());
    return true;
}
int32_t PlatformPipeRead(PlatformPipe pipe, void* buf, uint32_t size, bool* more) {
    if (more) *more = false;
    FakeState::NamedPipe* np = ClientPipe(pipe);
    if (np == nullptr || np->toClient.empty()) return -1;
    std::string& m = np->toClient.front();
    const uint32_t n = std::min<uint32_t>(size, static_cast<uint32_t>(m.size()));
    if (n > 0) memcpy(buf, m.data(), n);
    if (n < m.size()) {
        m.erase(0, n);
        if (more) *more = true;
    } else {
        np->toClient.pop_front();
    }
    return static_cast<int32_t>(n);
}
void PlatformPipeClose(PlatformPipe pipe) {
    auto end = S().clientEnds.find(pipe);
    if (end == S().clientEnds.end()) return;
    auto it = S().namedPipes.find(end->second);
    if (it != S().namedPipes.end() && it->second.client == pipe) {
        it->second.connected = false;
        it->second.client = 0;
    }
    S().clientEnds.erase(end);
}

PlatformMailslot PlatformMailslotCreate(const char* name) {
    if (S().failSlotCreates != 0) {
        g_fakeLastError = S().failSlotCreates;
        return 0;
    }
    const std::string n = Lower(name ? name : "");
    if (n.empty() || S().mailslots.count(n)) {
        g_fakeLastError = 183;  // already exists
        return 0;
    }
    S().mailslots[n];
    PlatformMailslot h = S().nextSlot++;
    S().slotReaders[h] = n;
    return h;
}
PlatformMailslot PlatformMailslotOpen(const char* name) {
    const std::string n = Lower(name ? name : "");
    if (S().mailslots.count(n) == 0) {
        g_fakeLastError = 2;
        return 0;
    }
    PlatformMailslot h = S().nextSlot++;
    S().slotWriters[h] = n;
    return h;
}
uint32_t PlatformMailslotWrite(PlatformMailslot slot, const void* data, uint32_t len) {
    auto w = S().slotWriters.find(slot);
    if (w == S().slotWriters.end()) return 0;
    auto it = S().mailslots.find(w->second);
    if (it == S().mailslots.end()) return 0;
    it->second.emplace_back(static_cast<const char*>(data), len);
    return len;
}
int32_t PlatformMailslotRead(PlatformMailslot slot, void* buf, uint32_t size) {
    auto r = S().slotReaders.find(slot);
    if (r == S().slotReaders.end()) return -1;
    std::deque<std::string>& q = S().mailslots[r->second];
    if (q.empty()) return 0;
    const std::string m = q.front();
    q.pop_front();
    const uint32_t n = std::min<uint32_t>(size, static_cast<uint32_t>(m.size()));
    if (n > 0) memcpy(buf, m.data(), n);
    return static_cast<int32_t>(m.size());
}
void PlatformMailslotClose(PlatformMailslot slot) {
    auto r = S().slotReaders.find(slot);
    if (r != S().slotReaders.end()) {
        // The mailslot goes with its creator's handle.
        S().mailslots.erase(r->second);
        S().slotReaders.erase(r);
        return;
    }
    S().slotWriters.erase(slot);
}

uint32_t PlatformPipeWrite(PlatformPipe pipe, const void* data, uint32_t len) {
    if (S().clientEnds.count(pipe)) {
        FakeState::NamedPipe* np = ClientPipe(pipe);
        if (np == nullptr) return 0;
        np->fromClient.emplace_back(static_cast<const char*>(data), len);
        return len;
    }
    auto it = S().pipes.find(pipe);
    if (it == S().pipes.end() || S().brokenPipes.count(pipe)) return 0;
    it->second.append(static_cast<const char*>(data), len);
    return len;
}

PlatformSerial PlatformSerialOpen(const char* name, uint32_t baud) {
    FakeSerialPort* port = FindPort(name ? name : "");
    if (port == nullptr || port->open || baud == 0) return 0;  // no such port, or not shared
    port->open = true;
    port->baud = baud;
    PlatformSerial h = S().nextSerial++;
    S().serialHandles[h] = Lower(name);
    return h;
}
int32_t PlatformSerialQueued(PlatformSerial handle) {
    FakeSerialPort* port = DuePort(handle);
    return port == nullptr ? -1 : static_cast<int32_t>(port->queue.size());
}
bool PlatformSerialReadByte(PlatformSerial handle, uint8_t* byte) {
    FakeSerialPort* port = DuePort(handle);
    if (port == nullptr || byte == nullptr || port->queue.empty()) return false;
    *byte = static_cast<uint8_t>(port->queue[0]);
    port->queue.erase(0, 1);
    return true;
}
void PlatformSerialClose(PlatformSerial handle) {
    auto h = S().serialHandles.find(handle);
    if (h == S().serialHandles.end()) return;
    if (FakeSerialPort* port = FindPort(h->second)) port->open = false;
    S().serialHandles.erase(h);
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
