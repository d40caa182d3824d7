// Portable: opening, closing and testing the supervisor's four named pipes.
#include "network/remote_pipes.h"

#include <cstdio>
#include <cstring>

#include "base/status_report.h"
#include "testmodel/system_settings.h"

PlatformPipe hListenPipe = 0;
PlatformPipe hTalkPipe = 0;
PlatformPipe hData1Pipe = 0;
bool bConnectionEverOpened = false;

namespace {

ConnectionUi g_ui = {nullptr, nullptr};

// Pause between two passes that left a pipe closed: the supervisor may take
// a while to create its pipes, and the passes must not spin a core meanwhile.
constexpr uint32_t kPassPauseMs = 50;

// Access denied: the supervisor created a pipe its clients may only write to.
constexpr uint32_t kAccessDenied = 5;

PlatformPipe OpenOne(const char* name, bool writeRole) {
    PlatformPipe p = PlatformPipeOpen(name, false);
    if (p == 0 && writeRole && PlatformLastError() == kAccessDenied) p = PlatformPipeOpen(name, true);
    return p;
}

}  // namespace

void SetConnectionUi(const ConnectionUi* ui) { g_ui = ui ? *ui : ConnectionUi{nullptr, nullptr}; }

bool CancelButtonHit(int32_t x, int32_t y) { return x > 56 && x < 169 && y > 9 && y < 69; }

bool AnyRemotePipeOpen() {
    return hListenPipe != 0 || hTalkPipe != 0 || hErrorPipe != 0 || hData1Pipe != 0;
}

void StorePipeNames(const char* talk, const char* listen, const char* error, const char* data) {
    snprintf(szTalkPipe, sizeof szTalkPipe, "%s", talk ? talk : "");
    snprintf(szListenPipe, sizeof szListenPipe, "%s", listen ? listen : "");
    snprintf(szErrorPipe, sizeof szErrorPipe, "%s", error ? error : "");
    snprintf(szData1Pipe, sizeof szData1Pipe, "%s", data ? data : "");
}

void CloseRemoteConnection() {
    PlatformPipe* handles[] = {&hListenPipe, &hTalkPipe, &hErrorPipe, &hData1Pipe};
    for (PlatformPipe* h : handles) {
        if (*h != 0) PlatformPipeClose(*h);
        *h = 0;
    }
}

int32_t OpenRemoteConnection() {
    if (AnyRemotePipeOpen()) {
        PlatformMessageBox("Please Close The Already Existing Pipe Connections",
                           "Network Communication Already Established", MB_ICONEXCLAMATION_);
        return 0;
    }
    struct Role {
        PlatformPipe* handle;
        const char* name;
        bool writeRole;
    };
    const Role roles[] = {
        {&hListenPipe, szListenPipe, false},
        {&hTalkPipe, szTalkPipe, true},
        {&hErrorPipe, szErrorPipe, true},
        {&hData1Pipe, szData1Pipe, true},
    };
    bool cancelled = false;
    for (;;) {
        bool allOpen = true;
        for (const Role& r : roles) {
            if (*r.handle == 0 && !cancelled) {
                *r.handle = OpenOne(r.name, r.writeRole);
                if (*r.handle == 0) allOpen = false;
            }
            if (!cancelled && g_ui.cancelPressed && g_ui.cancelPressed()) {
                CloseRemoteConnection();
                cancelled = true;
            }
            if (g_ui.dispatchOne) g_ui.dispatchOne();
        }
        if (cancelled || allOpen) break;
        PlatformSleep(kPassPauseMs);
    }
    if (cancelled) return 0;
    bConnectionEverOpened = true;
    return hListenPipe != 0 && hTalkPipe != 0 && hErrorPipe != 0 ? 1 : 0;
}

int32_t TestRemoteConnection(char reply[24]) {
    char message[24] = {};
    memcpy(message, "Rq817 Here!", sizeof "Rq817 Here!");
    memset(reply, 0, 24);
    memcpy(reply, "123412341231", 12);
    if (hListenPipe == 0) return 0;
    PlatformPipeWrite(hListenPipe, message, sizeof message);
    // A supervisor that does not answer must not freeze the program.
    const uint32_t start = PlatformTimeMs();
    for (;;) {
        uint32_t available = 0, left = 0;
        if (!PlatformPipePeek(hListenPipe, &available, &left)) return 0;
        if (left > 0) break;
        if (PlatformTimeMs() - start >= kConnectionTestWaitMs) return 0;
        PlatformSleep(10);
    }
    bool more = false;
    char buffer[256];
    int32_t n = PlatformPipeRead(hListenPipe, buffer, sizeof buffer, &more);
    // The rest of an over-long reply must not be taken for a command later.
    while (more && PlatformPipeRead(hListenPipe, buffer + 24, sizeof buffer - 24, &more) > 0) {
    }
    if (n < 0) return 0;
    memcpy(reply, buffer, static_cast<size_t>(n < 24 ? n : 24));
    return 1;
}

void WriteForwardedSamples(const int16_t* samples, uint32_t count) {
    if (hData1Pipe == 0 || samples == nullptr || count == 0) return;
    PlatformPipeWrite(hData1Pipe, samples, count * static_cast<uint32_t>(sizeof(int16_t)));
}
