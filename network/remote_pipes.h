// The remote-control connection: the four named pipes a supervising computer
// creates and this program opens as a client, their opening in cancellable
// passes, closing, and the connection test.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// Open handles (0 = closed); the error pipe is the status reporter's hErrorPipe.
extern PlatformPipe hListenPipe;  // commands in, 256-byte replies out
extern PlatformPipe hTalkPipe;    // input-edge events
extern PlatformPipe hData1Pipe;   // forwarded samples
// Set once a connection was opened (ReConnect needs one).
extern bool bConnectionEverOpened;

// What the opening passes need from the window system: whether the operator
// pressed the cancel-connection window's button since the last call, and one
// pending message taken and dispatched so the program stays responsive.
struct ConnectionUi {
    bool (*cancelPressed)();
    void (*dispatchOne)();
};
// Installs the window system's hooks (null: no cancel, nothing dispatched).
void SetConnectionUi(const ConnectionUi* ui);

// The button area of the cancel-connection window, in client coordinates
// (both bounds exclusive).
bool CancelButtonHit(int32_t x, int32_t y);

bool AnyRemotePipeOpen();

// The setup dialog's OK: the four names, each cut to 99 characters.
void StorePipeNames(const char* talk, const char* listen, const char* error, const char* data);

// Opens the four pipes named in Q90.ini.  Refused (with the "already
// established" message) while any is open.  Passes repeat until every pipe is
// open or the operator cancels; a cancel closes what was opened.  1 when the
// command, event and error pipes are open.
int32_t OpenRemoteConnection();

// Closes the four pipes.
void CloseRemoteConnection();

// How long the connection test waits for the supervisor's answer.
constexpr uint32_t kConnectionTestWaitMs = 5000;

// Writes the 24-byte "Rq817 Here!" message on the command pipe and waits, at
// most kConnectionTestWaitMs, for one reply into `reply` (24 bytes, prefilled
// with "123412341231").  1 when a reply came, 0 when none did in time or the
// pipe is not open or broken.
int32_t TestRemoteConnection(char reply[24]);

// Samples forwarded to the supervisor: one message of 16-bit words on the
// data pipe (nothing while it is closed; write errors are ignored).
void WriteForwardedSamples(const int16_t* samples, uint32_t count);
