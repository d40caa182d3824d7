// Win32 console: q90ctl, a supervisor for Zd418's remote control.  It creates
// the four named pipes Zd418 opens (command, event, error, data), waits for
// Zd418 to connect, sends commands from its command line or a script, and
// prints replies, events and status lines as they arrive; forwarded samples
// go to a file.  The exit code is 0 when every command succeeded, 1 when a
// reply carried the error flag or none came, 2 for a usage or pipe failure.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

enum Role { kListen, kTalk, kError, kData, kRoles };
const char* const kRoleName[kRoles] = {"listen", "talk", "error", "data"};

struct Options {
    std::string names[kRoles] = {"\\\\.\\PIPE\\Q90LISTEN", "\\\\.\\PIPE\\Q90TALK",
                                 "\\\\.\\PIPE\\Q90ERROR", "\\\\.\\PIPE\\Q90DATA"};
    std::string dataFile;
    std::string script;
    DWORD connectMs = 120000;
    DWORD replyMs = 60000;
    bool quiet = false;
    std::vector<std::string> commands;
};

struct Pipe {
    HANDLE h = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    bool connected = false;
};

Options g_opt;
Pipe g_pipes[kRoles];
FILE* g_data = nullptr;
uint64_t g_dataBytes = 0;
uint64_t g_dataMessages = 0;
int g_failures = 0;

void Usage() {
    fprintf(stderr,
            "usage: q90ctl [options] [command ...]\n"
            "  --listen NAME --talk NAME --error NAME --data NAME   pipe names\n"
            "                (default \\\\.\\PIPE\\Q90LISTEN, Q90TALK, Q90ERROR, Q90DATA)\n"
            "  --script FILE     commands, one a line (# comments)\n"
            "  --samples FILE    forwarded samples appended here\n"
            "  --connect-wait S  seconds to wait for Zd418 (default 120)\n"
            "  --reply-wait S    seconds to wait for a reply (default 60)\n"
            "  --quiet           print no forwarded-sample lines\n"
            "commands: two-letter commands (GS, IT, SS, RI12 ...) and\n"
            "  wait S       print what arrives for S seconds\n"
            "  bench N CMD  send CMD N times, print the round-trip median and 99th percentile\n"
            "  reconnect    close the pipes and wait for Zd418 to connect again\n");
}

bool CreatePipes() {
    for (int r = 0; r < kRoles; ++r) {
        Pipe& p = g_pipes[r];
        p.h = CreateNamedPipeA(g_opt.names[r].c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                               PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 65536, 65536, 0,
                               nullptr);
        if (p.h == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "q90ctl: cannot create %s (error %lu)\n", g_opt.names[r].c_str(),
                    static_cast<unsigned long>(GetLastError()));
            return false;
        }
        p.event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    return true;
}

// Waits until Zd418 has opened every pipe.
bool Connect() {
    const DWORD start = GetTickCount();
    for (int r = 0; r < kRoles; ++r) {
        Pipe& p = g_pipes[r];
        if (p.connected) continue;
        OVERLAPPED ov = {};
        ov.hEvent = p.event;
        ResetEvent(p.event);
        BOOL ok = ConnectNamedPipe(p.h, &ov);
        DWORD err = ok ? ERROR_PIPE_CONNECTED : GetLastError();
        if (err == ERROR_IO_PENDING) {
            const DWORD spent = GetTickCount() - start;
            const DWORD left = spent < g_opt.connectMs ? g_opt.connectMs - spent : 0;
            if (WaitForSingleObject(p.event, left) != WAIT_OBJECT_0) {
                CancelIo(p.h);
                fprintf(stderr, "q90ctl: Zd418 did not connect to %s\n", g_opt.names[r].c_str());
                return false;
            }
            DWORD n;
            if (!GetOverlappedResult(p.h, &ov, &n, FALSE)) return false;
        } else if (err != ERROR_PIPE_CONNECTED) {
            fprintf(stderr, "q90ctl: connect %s failed (error %lu)\n", g_opt.names[r].c_str(),
                    static_cast<unsigned long>(err));
            return false;
        }
        p.connected = true;
    }
    printf("CONNECTED\n");
    fflush(stdout);
    return true;
}

// Drops Zd418 and makes the pipes anew.  Fresh instances, not disconnected
// ones: Zd418 reopens at once, and an instance it opens between
// DisconnectNamedPipe and ConnectNamedPipe is one Wine reports as closing.
void ClosePipes() {
    for (Pipe& p : g_pipes) {
        if (p.connected) FlushFileBuffers(p.h);
        p.connected = false;
        CloseHandle(p.h);
        CloseHandle(p.event);
    }
}

bool Disconnect() {
    ClosePipes();
    return CreatePipes();
}

// One whole message if one waits: true with `out` filled; false when none.
// A broken pipe marks the pipe disconnected.
bool ReadMessage(Role r, std::string& out) {
    Pipe& p = g_pipes[r];
    if (!p.connected) return false;
    DWORD avail = 0, left = 0;
    if (!PeekNamedPipe(p.h, nullptr, 0, nullptr, &avail, &left)) {
        p.connected = false;
        return false;
    }
    if (avail == 0) return false;
    out.clear();
    for (;;) {
        char buf[65536];
        OVERLAPPED ov = {};
        ov.hEvent = p.event;
        ResetEvent(p.event);
        DWORD n = 0;
        BOOL ok = ReadFile(p.h, buf, sizeof buf, &n, &ov);
        DWORD err = ok ? 0 : GetLastError();
        if (!ok && err == ERROR_IO_PENDING) {
            ok = GetOverlappedResult(p.h, &ov, &n, TRUE);
            err = ok ? 0 : GetLastError();
        }
        out.append(buf, n);
        if (ok) return true;
        if (err != ERROR_MORE_DATA) {
            p.connected = false;
            return !out.empty();
        }
    }
}

bool Write(Role r, const std::string& text) {
    Pipe& p = g_pipes[r];
    OVERLAPPED ov = {};
    ov.hEvent = p.event;
    ResetEvent(p.event);
    DWORD n = 0;
    BOOL ok = WriteFile(p.h, text.data(), static_cast<DWORD>(text.size()), &n, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(p.h, &ov, &n, TRUE);
    return ok && n == text.size();
}

// Prints what came on the event, error and data pipes.  True when anything came.
bool DrainSide() {
    bool any = false;
    std::string m;
    while (ReadMessage(kTalk, m)) {
        printf("EVENT %s\n", m.c_str());
        any = true;
    }
    while (ReadMessage(kError, m)) {
        printf("STATUS %s\n", m.c_str());
        any = true;
    }
    while (ReadMessage(kData, m)) {
        ++g_dataMessages;
        g_dataBytes += m.size();
        if (g_data) fwrite(m.data(), 1, m.size(), g_data);
        if (!g_opt.quiet) printf("SAMPLES %u\n", static_cast<unsigned>(m.size() / 2));
        any = true;
    }
    if (any) fflush(stdout);
    return any;
}

// Waits for the reply to the command just sent.
bool AwaitReply(std::string& reply, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (ReadMessage(kListen, reply)) return true;
        if (!g_pipes[kListen].connected) return false;
        if (!DrainSide() && GetTickCount() - start >= timeoutMs) return false;
        // Replies to plain commands come within a few milliseconds: look
        // again at once for those, then let the processor go.
        if (GetTickCount() - start < 5)
            SwitchToThread();
        else
            Sleep(1);
        if (GetTickCount() - start >= timeoutMs) return false;
    }
}

bool SendCommand(const std::string& command) {
    if (!Write(kListen, command)) {
        printf("FAILED %s: the command pipe is closed\n", command.c_str());
        ++g_failures;
        return false;
    }
    std::string reply;
    if (!AwaitReply(reply, g_opt.replyMs)) {
        printf("FAILED %s: no reply\n", command.c_str());
        ++g_failures;
        return false;
    }
    const std::string text = reply.c_str();
    const long status = strtol(text.c_str(), nullptr, 10);
    const bool error = status < 0;  // bit 31
    printf("REPLY %s %s", command.c_str(), text.c_str());
    if (error) printf("  (error %ld)", (static_cast<unsigned long>(status) >> 16) & 0xFF);
    printf("\n");
    fflush(stdout);
    DrainSide();
    if (error) ++g_failures;
    return true;
}

void WaitSeconds(double seconds) {
    const DWORD start = GetTickCount();
    const DWORD ms = static_cast<DWORD>(seconds * 1000.0);
    while (GetTickCount() - start < ms) {
        if (!DrainSide()) Sleep(5);
    }
}

void Bench(int count, const std::string& command) {
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    std::vector<double> us;
    us.reserve(static_cast<size_t>(count));
    int lost = 0;
    for (int i = 0; i < count; ++i) {
        std::string reply;
        QueryPerformanceCounter(&t0);
        if (!Write(kListen, command) || !AwaitReply(reply, 5000)) {
            ++lost;
            continue;
        }
        QueryPerformanceCounter(&t1);
        us.push_back(static_cast<double>(t1.QuadPart - t0.QuadPart) * 1e6 / static_cast<double>(freq.QuadPart));
    }
    std::sort(us.begin(), us.end());
    const double median = us.empty() ? 0 : us[us.size() / 2];
    const double p99 = us.empty() ? 0 : us[std::min(us.size() - 1, us.size() * 99 / 100)];
    printf("BENCH %s x%d: median %.1f us, p99 %.1f us, replies %u, lost %d\n", command.c_str(), count,
           median, p99, static_cast<unsigned>(us.size()), lost);
    fflush(stdout);
    if (lost) ++g_failures;
}

// One line of a script or one command-line word.  False ends the run.
bool Run(const std::string& line) {
    std::string s = line;
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos || s[b] == '#') return true;
    s = s.substr(b);
    if (s.rfind("wait", 0) == 0) {
        WaitSeconds(atof(s.c_str() + 4));
        return true;
    }
    if (s.rfind("bench", 0) == 0) {
        char cmd[64] = "GS";
        int n = 0;
        sscanf(s.c_str() + 5, "%d %63s", &n, cmd);
        Bench(n > 0 ? n : 1, cmd);
        return true;
    }
    if (s == "reconnect") return Disconnect() && Connect();
    SendCommand(s);
    if (s == "RL") {
        WaitSeconds(0.2);
        return false;
    }
    // Zd418 closes its end after the reply and opens it again.
    if (s == "RZ") return Disconnect() && Connect();
    return true;
}

bool ParseArgs(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--listen" || a == "--talk" || a == "--error" || a == "--data") {
            if (!value(v)) return false;
            const int r = a == "--listen" ? kListen : a == "--talk" ? kTalk : a == "--error" ? kError : kData;
            g_opt.names[r] = v;
        } else if (a == "--script") {
            if (!value(g_opt.script)) return false;
        } else if (a == "--samples") {
            if (!value(g_opt.dataFile)) return false;
        } else if (a == "--connect-wait") {
            if (!value(v)) return false;
            g_opt.connectMs = static_cast<DWORD>(atof(v.c_str()) * 1000);
        } else if (a == "--reply-wait") {
            if (!value(v)) return false;
            g_opt.replyMs = static_cast<DWORD>(atof(v.c_str()) * 1000);
        } else if (a == "--quiet") {
            g_opt.quiet = true;
        } else if (a.rfind("--", 0) == 0) {
            return false;
        } else {
            g_opt.commands.push_back(a);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (!ParseArgs(argc, argv) || (g_opt.script.empty() && g_opt.commands.empty())) {
        Usage();
        return 2;
    }
    std::vector<std::string> lines = g_opt.commands;
    if (!g_opt.script.empty()) {
        std::ifstream f(g_opt.script);
        if (!f) {
            fprintf(stderr, "q90ctl: cannot read %s\n", g_opt.script.c_str());
            return 2;
        }
        for (std::string l; std::getline(f, l);) lines.push_back(l);
    }
    if (!g_opt.dataFile.empty()) {
        g_data = fopen(g_opt.dataFile.c_str(), "ab");
        if (!g_data) {
            fprintf(stderr, "q90ctl: cannot write %s\n", g_opt.dataFile.c_str());
            return 2;
        }
    }
    if (!CreatePipes()) return 2;
    printf("WAITING for Zd418 on %s\n", g_opt.names[kListen].c_str());
    fflush(stdout);
    if (!Connect()) return 2;
    for (const std::string& l : lines)
        if (!Run(l)) break;
    DrainSide();
    printf("DONE commands failed %d, sample messages %llu (%llu bytes)\n", g_failures,
           static_cast<unsigned long long>(g_dataMessages), static_cast<unsigned long long>(g_dataBytes));
    if (g_data) fclose(g_data);
    ClosePipes();
    return g_failures == 0 ? 0 : 1;
}
