// Portable: CVT slices between a serving and a client station over mailslots.
#include "network/cvt_slices.h"

#include <cstdio>
#include <cstring>

#include "base/app_state.h"

char szServerBaseName[128] = "";
char szClientBaseName[128] = "";
char szCvtPipeName[100] = "";
PlatformMailslot hServerSlot[kCvtSlices] = {};
PlatformMailslot hClientSlot[kCvtSlices] = {};

namespace {

// The system has no mailslot support.
constexpr uint32_t kNotSupported = 120;
// A message larger than any slice is taken whole and cut.
constexpr uint32_t kReadBufferBytes = 2048;
// Messages taken from one mailslot in one pass: enough to catch up with a
// server that sends faster than this station pumps, bounded so a flood
// cannot hold the pass.
constexpr int32_t kMaxReadsPerSlot = 64;

void CopyName(char* out, size_t size, const char* text) { snprintf(out, size, "%s", text ? text : ""); }

}  // namespace

uint32_t CvtSliceBytes(int32_t k) {
    if (k < 0 || k >= kCvtSlicesUsed) return 0;
    const uint32_t start = static_cast<uint32_t>(k) * kCvtSliceBytes;
    const uint32_t left = kCvtSharedBytes - start;
    return left < kCvtSliceBytes ? left : kCvtSliceBytes;
}

bool CvtMailslotName(const char* base, int32_t k, char* out, uint32_t size) {
    const int n = snprintf(out, size, "%s%d", base ? base : "", 50 * k + 49);
    return n >= 0 && static_cast<uint32_t>(n) < size;
}

void SetNetworkDefaults() {
    CopyName(szCvtPipeName, sizeof szCvtPipeName, "\\\\.\\PIPE\\Rq817CVT");
    CopyName(szClientBaseName, sizeof szClientBaseName, "\\\\.\\mailslot\\cvt");
    CopyName(szServerBaseName, sizeof szServerBaseName, "\\\\.\\mailslot\\cvt");
}

void SetServerBaseName(const char* text) {
    CopyName(szServerBaseName, sizeof szServerBaseName, text);
    CopyName(szClientBaseName, sizeof szClientBaseName, text);
}

int32_t OpenServerMailslots() {
    int32_t opened = 0;
    for (int32_t k = 0; k < kCvtSlicesUsed; ++k) {
        if (hServerSlot[k] != 0) {
            ++opened;
            continue;
        }
        char name[160];
        if (CvtMailslotName(szServerBaseName, k, name, sizeof name))
            hServerSlot[k] = PlatformMailslotOpen(name);
        if (hServerSlot[k] != 0) {
            ++opened;
            continue;
        }
        char text[80];
        snprintf(text, sizeof text, "Server Could Not Create Mailslot %d ", 50 * k);
        PlatformMessageBox(text, "Failed To Start Morva Network Services", MB_ICONEXCLAMATION_);
    }
    return opened;
}

void CloseServerMailslots() {
    for (PlatformMailslot& h : hServerSlot) {
        if (h != 0) PlatformMailslotClose(h);
        h = 0;
    }
}

void CreateClientMailslots() {
    for (int32_t k = 0; k < kCvtSlicesUsed; ++k) {
        if (hClientSlot[k] != 0) continue;
        char name[160];
        if (!CvtMailslotName(szClientBaseName, k, name, sizeof name)) continue;
        hClientSlot[k] = PlatformMailslotCreate(name);
        if (hClientSlot[k] == 0 && PlatformLastError() == kNotSupported) {
            char text[80];
            snprintf(text, sizeof text, "Problem Connecting To Server Mailslot %d", 50 * k);
            PlatformMessageBox(text, "Server May Not Be Up", MB_OK_);
        }
    }
}

int32_t ConnectToServer() {
    CreateClientMailslots();
    PlatformMessageBox("Connected To Server", "Client Mode Activated", MB_ICONINFORMATION_);
    bClientMode = true;
    return 1;
}

void DisconnectFromServer() {
    bClientMode = false;
    for (PlatformMailslot& h : hClientSlot) {
        if (h != 0) PlatformMailslotClose(h);
        h = 0;
    }
}

void ApplyCvtSlice(CVT* cvt, int32_t k, const void* message, uint32_t length) {
    const uint32_t room = CvtSliceBytes(k);
    if (cvt == nullptr || message == nullptr || room == 0) return;
    const uint32_t n = length < room ? length : room;
    memcpy(reinterpret_cast<uint8_t*>(cvt->Value) + static_cast<uint32_t>(k) * kCvtSliceBytes, message, n);
}

void ServeCvtSlices() {
    if (lpCVT == nullptr) return;
    const uint8_t* base = reinterpret_cast<const uint8_t*>(lpCVT->Value);
    for (int32_t k = 0; k < kCvtSlicesUsed; ++k) {
        if (hServerSlot[k] == 0) continue;
        PlatformMailslotWrite(hServerSlot[k], base + static_cast<uint32_t>(k) * kCvtSliceBytes,
                              CvtSliceBytes(k));
    }
}

int32_t ReadClientCvtSlices() {
    if (lpCVT == nullptr) return 0;
    int32_t took = 0;
    static uint8_t buffer[kReadBufferBytes];
    for (int32_t k = 0; k < kCvtSlicesUsed; ++k) {
        if (hClientSlot[k] == 0) continue;
        int32_t length = 0;
        for (int32_t i = 0; i < kMaxReadsPerSlot; ++i) {
            const int32_t n = PlatformMailslotRead(hClientSlot[k], buffer, sizeof buffer);
            if (n <= 0) break;
            length = n;
        }
        if (length <= 0) continue;
        const uint32_t got = static_cast<uint32_t>(length) < sizeof buffer ? static_cast<uint32_t>(length)
                                                                          : sizeof buffer;
        ApplyCvtSlice(lpCVT, k, buffer, got);
        took = 1;
    }
    return took;
}
