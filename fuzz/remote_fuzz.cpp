// Arbitrary messages from the outside world: commands on the supervisor's
// command pipe through the remote loop, and mailslot messages of any length
// for any slice into the client's CVT.  The CVT block is exactly its size,
// so the sanitizer sees any write beyond it.
//
// Input: records of [length byte][kind byte][length bytes].  An even kind is
// a command message; an odd kind is a mailslot message for slice
// (kind / 2) % 80.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "acquire/remote_loop.h"
#include "base/app_state.h"
#include "network/cvt_slices.h"
#include "network/remote_pipes.h"
#include "platform/fake/fake_platform.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

const char* const kPipes[] = {"\\\\.\\PIPE\\FL", "\\\\.\\PIPE\\FT", "\\\\.\\PIPE\\FE", "\\\\.\\PIPE\\FD"};

void Start() {
    // The model's blocks come from the fake port: it is reset once only.
    static bool allocated = false;
    if (!allocated) {
        FakeReset();
        AllocateTestModel();
        allocated = true;
    }
    FakeClearMessages();
    CloseRemoteConnection();
    snprintf(szListenPipe, sizeof szListenPipe, "%s", kPipes[0]);
    snprintf(szTalkPipe, sizeof szTalkPipe, "%s", kPipes[1]);
    snprintf(szErrorPipe, sizeof szErrorPipe, "%s", kPipes[2]);
    snprintf(szData1Pipe, sizeof szData1Pipe, "%s", kPipes[3]);
    for (const char* p : kPipes) FakePipeServerCreate(p);
    CloseRemoteConnection();
    OpenRemoteConnection();
    ResetRemoteLoop();
    SetNetworkDefaults();
    for (PlatformMailslot& h : hClientSlot) h = 0;
    FakeMailslotFailCreates(0);
    ConnectToServer();
    bClientMode = false;
    bRemoteControlled = true;
    bSimulator = true;  // no front end, no bus
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Start();
    size_t at = 0;
    while (at + 2 <= size) {
        const size_t length = data[at];
        const uint8_t kind = data[at + 1];
        at += 2;
        const size_t n = length < size - at ? length : size - at;
        std::string message(reinterpret_cast<const char*>(data + at), n);
        at += n;
        if (kind % 2 == 0) {
            // Long messages come from repeating the record's bytes.
            if (kind & 0x80) message = std::string(600, message.empty() ? 'G' : message[0]) + message;
            FakePipeServerSend(kPipes[0], message);
            sRemote.EndLoop = false;
            if (!AnyRemotePipeOpen()) OpenRemoteConnection();
            RemoteLoopTurn();
            FakePipeServerTake(kPipes[0]);
        } else {
            const int32_t k = (kind / 2) % kCvtSlices;
            char name[160];
            CvtMailslotName(szClientBaseName, k, name, sizeof name);
            if (kind & 0x80) message.resize(message.size() * 16, 'x');  // past any slice
            FakeMailslotDeliver(name, message);
            ReadClientCvtSlices();
            ApplyCvtSlice(lpCVT, k, message.data(), static_cast<uint32_t>(message.size()));
        }
    }
    DisconnectFromServer();
    CloseRemoteConnection();
    return 0;
}
