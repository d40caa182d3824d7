// Shared set-up of the test-model and settings tests: a clean fake port, the
// process flags and settings as at process start, and no blocks allocated.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/fake_platform.h"
#include "base/app_state.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"
#include "testmodel/model.h"

class ModelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FreeTestModel();
        FakeReset();
        ResetSystemSettings();
        bSimulator = bAppendMode = bServeData = bClientMode = bRemoteControlled = false;
    }
    void TearDown() override { FreeTestModel(); }

    // Allocates the model and forgets the messages of start-up.
    void Allocate() {
        ASSERT_EQ(AllocateTestModel(), 1);
        FakeClearMessages();
    }
    static ChannelParams& Ch() { return *lpsChannelParams; }
};
