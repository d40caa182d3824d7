// The remote-control command loop: while a supervising computer is connected
// it reads two-letter commands from the command pipe one message at a time,
// changes the remote status word, performs the action, answers every command
// with one 256-byte reply, sends input-edge events on the event pipe and,
// between commands, drives the acquisition engine itself.
#pragma once

#include <cstdint>

#include "testmodel/settings_ini.h"

// Bits of the remote status word (dwRemoteStatus).
constexpr uint32_t kRemoteRecordBit = 0x1;
constexpr uint32_t kRemoteInitialisedBit = 0x2;
constexpr uint32_t kRemoteSamplingBit = 0x4;
constexpr uint32_t kRemoteForwardBit = 0x8;
constexpr uint32_t kRemoteDriveDacsBit = 0x10;
constexpr uint32_t kRemoteErrorFlag = 0x80000000u;
constexpr uint32_t kRemoteErrorBits = 0xFFFF0000u;  // what a carried-out plain command clears

// Error codes of bits 16-23.
constexpr uint32_t kRemoteNotAllowed = 1;
constexpr uint32_t kRemoteUnknown = 2;
constexpr uint32_t kRemoteNotScanned = 13;
constexpr uint32_t kRemoteDacSetup = 14;

// Command codes.
enum RemoteCode : int32_t {
    kCmdNone = 0,
    kCmdRD = 1, kCmdDR = 2, kCmdIT = 3, kCmdSS = 4, kCmdST = 5, kCmdMD = 6, kCmdDM = 7,
    kCmdGS = 8, kCmdUW = 9, kCmdRL = 10, kCmdDT = 11, kCmdAB = 12, kCmdAO = 15, kCmdAA = 16,
    kCmdRI = 17, kCmdRO = 18, kCmdWI = 19, kCmdRZ = 20, kCmdHO = 21, kCmdSC = 22, kCmdDF = 23,
    kCmdBS = 24, kCmdAD = 25, kCmdRT = 26,
    kCmdUnknown = -1,
};

// Replies and events are fixed-size messages.
constexpr uint32_t kRemoteReplyBytes = 256;
// The longest command message read; the rest of a longer one is drained.
constexpr uint32_t kRemoteMessageBytes = 256;

struct RemoteCommand {
    int32_t Code;    // RemoteCode
    int32_t Number;  // of a prefix command
};

// Decodes one message of `length` bytes (its text ends at the first zero
// byte).  Two characters: a plain command; more: a two-letter prefix and a
// decimal number of at most that prefix's digits.  Anything else is
// kCmdUnknown.  Never reads past `length`.
RemoteCommand DecodeRemoteMessage(const char* message, uint32_t length);

// State of the loop.
struct RemoteLoopState {
    int32_t LastCode;
    bool EndLoop;
    char RawFileName[260];   // the test file of mtstest.ini up to its first ".", plus ".raw"
    char TestFile[256];      // the test database named in mtstest.ini
    OperationRecord Operation;
    bool TruncateNextOpen;   // the first raw-file open after "IT" starts the file afresh
    bool DriveDacsAtStart;
    int32_t DigitalOutValue;
    bool DigitalOutPending;
};
extern RemoteLoopState sRemote;

// What the loop needs from the window system: an idle wait that lets paint
// messages through and returns early when input arrives (default: sleep),
// and the cancel-connection window shown while reconnecting.  The
// reconnection itself is OpenRemoteConnection.
struct RemoteLoopUi {
    void (*wait)(uint32_t ms);
    void (*showCancelWindow)(bool show);
};
void SetRemoteLoopUi(const RemoteLoopUi* ui);

// How long the loop waits when no command came and nothing is sampled.
constexpr uint32_t kRemoteIdleWaitMs = 5;

// Runs the loop on the open connection until "RL", or until a reconnection
// after "RZ" or a broken pipe fails.  Returns when the loop ends.
void RunRemoteLoop();

// One turn of the loop: reads and performs at most one command, otherwise
// drives the engine.  Returns false once the loop has ended.
bool RemoteLoopTurn();

// Reads the next command message (kCmdNone when none waits; kCmdRZ when the
// command pipe broke).
RemoteCommand ReadRemoteCommand();
// Performs one command and replies.
void PerformRemoteCommand(const RemoteCommand& command);

// Back to start-up state (tests).
void ResetRemoteLoop();
