// A remote-control session against the fake port: the test plays the
// supervisor on four in-memory named pipes and drives the command loop one
// turn at a time.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "acquire/engine.h"
#include "acquire/panel_rules.h"
#include "acquire/raw_file.h"
#include "acquire/remote_loop.h"
#include "acquire/scan_map.h"
#include "base/app_state.h"
#include "base/status_report.h"
#include "network/remote_pipes.h"
#include "platform/fake/fake_platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

inline const char* kListen = "\\\\.\\PIPE\\ZLISTEN";
inline const char* kTalk = "\\\\.\\PIPE\\ZTALK";
inline const char* kError = "\\\\.\\PIPE\\ZERROR";
inline const char* kData = "\\\\.\\PIPE\\ZDATA";

// The text of a fixed-size reply or event (up to its first zero byte).
inline std::string Text(const std::string& message) { return std::string(message.c_str()); }

// A status word as the supervisor reads it back.
inline std::string Word(uint32_t status) { return std::to_string(static_cast<int32_t>(status)); }

class RemoteSession : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        ASSERT_EQ(AllocateTestModel(), 1);
        ResetEngine();
        ResetPanel();
        ResetRemoteLoop();
        CloseRemoteConnection();
        SetConnectionUi(nullptr);
        bSimulator = bClientMode = bServeData = bRecording = bPreviewing = bPlaying = false;
        bRemoteControlled = false;
        nRemoteForwardChannel[0] = nRemoteForwardChannel[1] = -1;
        snprintf(szListenPipe, sizeof szListenPipe, "%s", kListen);
        snprintf(szTalkPipe, sizeof szTalkPipe, "%s", kTalk);
        snprintf(szErrorPipe, sizeof szErrorPipe, "%s", kError);
        snprintf(szData1Pipe, sizeof szData1Pipe, "%s", kData);
        CreateServers();
        ASSERT_EQ(OpenRemoteConnection(), 1);
        bRemoteControlled = true;
        dir = ::testing::TempDir();
    }
    void TearDown() override {
        StopSamplingForExit();
        CloseRawFile();
        CloseRemoteConnection();
        SetConnectionUi(nullptr);
        bRemoteControlled = false;
        bSimulator = false;
        FreeTestModel();
    }

    static void CreateServers() {
        for (const char* n : {kListen, kTalk, kError, kData}) FakePipeServerCreate(n);
    }
    static void CloseServers() {
        for (const char* n : {kListen, kTalk, kError, kData}) FakePipeServerClose(n);
    }

    // Sends one command and runs one turn of the loop; returns the replies.
    static std::vector<std::string> Command(const std::string& message) {
        FakePipeServerSend(kListen, message);
        RemoteLoopTurn();
        std::vector<std::string> replies = FakePipeServerTake(kListen);
        for (const std::string& r : replies) EXPECT_EQ(r.size(), kRemoteReplyBytes);
        return replies;
    }
    // The one reply of a command.
    static std::string Ask(const std::string& message) {
        std::vector<std::string> replies = Command(message);
        EXPECT_EQ(replies.size(), 1u) << "command " << message;
        return replies.empty() ? "<none>" : Text(replies[0]);
    }

    // The operation file of the run.
    static void Operations(const std::string& testFile, bool record, bool monitor,
                           const std::string& extra = "") {
        FakeSetProfileFile("mtstest.ini", "[Operations]\nTestFile=" + testFile +
                                              "\nRecordToDisk=" + (record ? "YES" : "NO") +
                                              "\nMonitorData=" + (monitor ? "YES" : "NO") + "\n" + extra);
    }

    // A scan table of the given channels and a matching download record, so
    // that the DDS can start (in simulator mode nothing reaches a bus).
    static void ScanTable(std::initializer_list<int32_t> channels) {
        std::vector<int32_t> list(channels);
        for (int32_t c : list) {
            strcpy(lpsChannelParams->CardModel[c], "M15-C");
            lpsChannelParams->CARDTYPE[c] = 3;
        }
        bSimulator = false;
        ASSERT_EQ(BuildSingleRateTable(list.data(), static_cast<int32_t>(list.size()), 1000.0), 1);
        nScansPerTransfer = 4;
        nTransferWords = static_cast<int32_t>(UsedScanEntries() + 8) * nScansPerTransfer;
        BuildScanMap();
    }

    std::string dir;
};
