// Port for native command-line tools: real clock, messages on stderr, INI files
// on disk with the private-profile semantics, dlopen.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/platform.h"
#include "platform/profile_text.h"
#include "platform/string_lookup.h"

namespace {

uint32_t CopyOut(const std::string& s, char* buf, uint32_t size) {
    if (size == 0) return 0;
    uint32_t n = static_cast<uint32_t>(s.size() < size - 1 ? s.size() : size - 1);
    memcpy(buf, s.data(), n);
    buf[n] = '\0';
    return n;
}

// Bare names live in $ZD418_PROFILE_DIR (default: the current directory).
std::string ProfileDirectory() {
    const char* dir = getenv("ZD418_PROFILE_DIR");
    return dir && *dir ? dir : ".";
}

std::string ProfilePath(const char* file) {
    std::string f = file;
    if (f.find('/') != std::string::npos || f.find('\\') != std::string::npos) return f;
    return ProfileDirectory() + "/" + f;
}

bool ReadFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    *text = ss.str();
    return true;
}

uint32_t g_lastError = 0;
int g_waitDepth = 0;

}  // namespace

uint32_t PlatformTimeMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}
void PlatformSleep(uint32_t ms) { usleep(static_cast<useconds_t>(ms) * 1000u); }

int32_t PlatformMessageBox(const char* text, const char* caption, uint32_t style, bool) {
    fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    uint32_t buttons = style & 0xFu;
    return (buttons == MB_YESNO_ || buttons == MB_YESNOCANCEL_) ? IDYES_ : IDOK_;
}
void PlatformBeep(uint32_t) {}
void PlatformBeginWaitCursor() { ++g_waitDepth; }
void PlatformEndWaitCursor() {
    if (g_waitDepth > 0) --g_waitDepth;
}

uint32_t PlatformGetProfileString(const char* section, const char* key, const char* def,
                                  char* buf, uint32_t size, const char* file) {
    std::string text;
    bool have = file != nullptr && ReadFile(ProfilePath(file), &text);
    return ProfileTextGet(have ? &text : nullptr, section, key, def, buf, size);
}

bool PlatformWriteProfileString(const char* section, const char* key, const char* value,
                                const char* file) {
    if (file == nullptr) return false;
    std::string path = ProfilePath(file);
    std::string text;
    ReadFile(path, &text);
    ProfileTextWrite(&text, section, key, value);
    // Replace the file only once the new text is complete on disk.
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text;
        if (!out.flush()) return false;
    }
    return rename(tmp.c_str(), path.c_str()) == 0;
}

int32_t PlatformLoadString(uint32_t id, char* buf, int32_t size) {
    const char* text = StringTableText(id);
    if (size <= 0) return 0;
    if (text == nullptr) {
        buf[0] = '\0';
        return 0;
    }
    return static_cast<int32_t>(CopyOut(text, buf, static_cast<uint32_t>(size)));
}

uint32_t PlatformProgramDirectory(char* buf, uint32_t size) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return CopyOut(".", buf, size);
    path[n] = '\0';
    std::string p = path;
    return CopyOut(p.substr(0, p.rfind('/')), buf, size);
}
uint32_t PlatformWindowsDirectory(char* buf, uint32_t size) {
    return CopyOut(ProfileDirectory(), buf, size);
}

PlatformLibrary PlatformLoadLibrary(const char* name) {
    void* lib = dlopen(name, RTLD_NOW);
    if (lib == nullptr) g_lastError = 126;
    return lib;
}
PlatformProc PlatformGetProc(PlatformLibrary lib, const char* name) {
    void* sym = lib ? dlsym(lib, name) : nullptr;
    if (sym == nullptr) g_lastError = 127;
    return reinterpret_cast<PlatformProc>(sym);
}
// Shared objects have no ordinals.
PlatformProc PlatformGetProcOrdinal(PlatformLibrary, uint16_t) {
    g_lastError = 127;
    return nullptr;
}
bool PlatformFreeLibrary(PlatformLibrary lib) { return lib != nullptr && dlclose(lib) == 0; }
uint32_t PlatformLastError() { return g_lastError; }

uint32_t PlatformStartProgram(const char* commandLine, int32_t) {
    std::string cmd = std::string(commandLine) + " &";
    return system(cmd.c_str()) == 0 ? 33u : 2u;
}
bool PlatformSetCurrentDirectory(const char* dir) { return chdir(dir) == 0; }

void* PlatformAllocLocked(size_t bytes, bool* lockFailed) {
    void* p = calloc(1, bytes ? bytes : 1);
    if (p == nullptr && lockFailed) *lockFailed = false;
    return p;
}
void PlatformFreeLocked(void* block) { free(block); }

uint32_t PlatformPipeWrite(PlatformPipe pipe, const void* data, uint32_t len) {
    ssize_t n = write(static_cast<int>(pipe), data, len);
    return n < 0 ? 0u : static_cast<uint32_t>(n);
}

// Named pipes and mailslots of other stations do not exist on the native
// command-line port: every open fails as "not found", so no tool can believe
// it is connected.
PlatformPipe PlatformPipeOpen(const char*, bool) {
    g_lastError = 2;
    return 0;
}
bool PlatformPipePeek(PlatformPipe, uint32_t*, uint32_t*) { return false; }
int32_t PlatformPipeRead(PlatformPipe, void*, uint32_t, bool* more) {
    if (more) *more = false;
    return -1;
}
void PlatformPipeClose(PlatformPipe) {}
PlatformMailslot PlatformMailslotCreate(const char*) {
    g_lastError = 120;  // not supported
    return 0;
}
PlatformMailslot PlatformMailslotOpen(const char*) {
    g_lastError = 2;
    return 0;
}
uint32_t PlatformMailslotWrite(PlatformMailslot, const void*, uint32_t) { return 0; }
int32_t PlatformMailslotRead(PlatformMailslot, void*, uint32_t) { return -1; }
void PlatformMailslotClose(PlatformMailslot) {}

// ---- serial port ----------------------------------------------------------------------
// "COMn" is the device named by $ZD418_COMn, else /dev/ttyS<n-1>; a name with
// a slash is a device path.
namespace {
std::string SerialDevice(const std::string& name) {
    if (name.find('/') != std::string::npos) return name;
    if (name.size() < 4 || strncasecmp(name.c_str(), "COM", 3) != 0 ||
        name.find_first_not_of("0123456789", 3) != std::string::npos)
        return "";
    std::string upper = "COM" + name.substr(3);
    const char* env = getenv(("ZD418_" + upper).c_str());
    if (env && *env) return env;
    int n = atoi(name.c_str() + 3);
    return n >= 1 ? "/dev/ttyS" + std::to_string(n - 1) : "";
}

speed_t Speed(uint32_t baud) {
    static const struct {
        uint32_t baud;
        speed_t speed;
    } kSpeeds[] = {{300, B300},     {600, B600},     {1200, B1200},   {2400, B2400},
                   {4800, B4800},   {9600, B9600},   {19200, B19200}, {38400, B38400},
                   {57600, B57600}, {115200, B115200}};
    for (const auto& s : kSpeeds)
        if (s.baud == baud) return s.speed;
    return B0;
}
}  // namespace

PlatformSerial PlatformSerialOpen(const char* name, uint32_t baud) {
    std::string device = SerialDevice(name ? name : "");
    speed_t speed = Speed(baud);
    if (device.empty() || speed == B0) return 0;
    int fd = open(device.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return 0;
    termios t;
    // Not shared: TIOCEXCL keeps other openers out, the lock also those that
    // may pass it (the superuser) but go through this port.
    bool ok = isatty(fd) && flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0 &&
              tcgetattr(fd, &t) == 0;
    if (ok) {
        cfmakeraw(&t);  // 8 data bits, no parity, binary
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ok = cfsetispeed(&t, speed) == 0 && cfsetospeed(&t, speed) == 0 && tcsetattr(fd, TCSANOW, &t) == 0;
    }
    if (ok) {
        // A pseudo-terminal has no modem lines: DTR and RTS are best effort.
        int lines = TIOCM_DTR | TIOCM_RTS;
        ioctl(fd, TIOCMBIS, &lines);
    }
    if (!ok) {
        close(fd);
        return 0;
    }
    return static_cast<PlatformSerial>(fd) + 1;  // 0 stays "none" for descriptor 0
}
int32_t PlatformSerialQueued(PlatformSerial port) {
    int n = 0;
    if (port <= 0 || ioctl(static_cast<int>(port - 1), FIONREAD, &n) != 0) return -1;
    return n;
}
bool PlatformSerialReadByte(PlatformSerial port, uint8_t* byte) {
    return port > 0 && byte != nullptr && read(static_cast<int>(port - 1), byte, 1) == 1;
}
void PlatformSerialClose(PlatformSerial port) {
    if (port > 0) close(static_cast<int>(port - 1));
}

// ---- files ------------------------------------------------------------------------
namespace {
std::string NativePath(const char* path) {
    std::string p = path ? path : "";
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}
}  // namespace

bool PlatformCopyFile(const char* from, const char* to) {
    FILE* in = fopen(NativePath(from).c_str(), "rb");
    if (in == nullptr) return false;
    FILE* out = fopen(NativePath(to).c_str(), "wb");
    if (out == nullptr) {
        fclose(in);
        return false;
    }
    char buf[65536];
    bool ok = true;
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, in)) > 0)
        if (fwrite(buf, 1, n, out) != n) {
            ok = false;
            break;
        }
    if (ferror(in)) ok = false;
    fclose(in);
    // On the disk before anyone renames it into place: a crash after the
    // rename must not leave an empty file where a whole one stood.
    if (fflush(out) != 0 || fsync(fileno(out)) != 0) ok = false;
    if (fclose(out) != 0) ok = false;
    return ok;
}
bool PlatformReplaceFile(const char* from, const char* to) {
    const std::string target = NativePath(to);
    if (rename(NativePath(from).c_str(), target.c_str()) != 0) return false;
    // The rename itself is durable once its folder is written out; the
    // replacement has happened either way, so a failure here is not one.
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
    return true;
}
bool PlatformDeleteFile(const char* path) { return unlink(NativePath(path).c_str()) == 0; }
bool PlatformCreateDirectory(const char* path) {
    std::string p = NativePath(path);
    if (mkdir(p.c_str(), 0777) == 0) return true;
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
