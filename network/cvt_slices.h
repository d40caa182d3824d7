// CVT sharing between stations: a serving station sends its current value
// table in fixed 400-byte slices to the mailslots of a client station, which
// copies them into its own CVT and shows the values without hardware.
//
// The slice numbering covers 80 slices of 400 bytes from the CVT's Value
// array, but the CVT holds only 14336 bytes from there: only slices 0-35 are
// sent and accepted, the last one cut to the 336 bytes left, so neither side
// ever reads or writes outside the CVT.  Slices 36-79 keep their names and
// are neither opened nor created.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "testmodel/model.h"

constexpr int32_t kCvtSlices = 80;        // slice numbers 0-79 (mailslot suffixes 49-3999)
constexpr uint32_t kCvtSliceBytes = 400;  // 50 doubles
// Bytes of the CVT from the Value array on: what the slices may cover.
constexpr uint32_t kCvtSharedBytes = sizeof(CVT) - offsetof(CVT, Value);
// Slices that lie (wholly or partly) inside the CVT: 0-35.
constexpr int32_t kCvtSlicesUsed =
    static_cast<int32_t>((kCvtSharedBytes + kCvtSliceBytes - 1) / kCvtSliceBytes);

// Bytes of slice k inside the CVT: 400, 336 for slice 35, 0 beyond.
uint32_t CvtSliceBytes(int32_t k);

// Base names: where a serving station writes, and the mailslot path a client
// creates ("\\\\.\\mailslot\\cvt"), at most 127 characters; and the CVT pipe name.
extern char szServerBaseName[128];
extern char szClientBaseName[128];
extern char szCvtPipeName[100];

// Handles of the served (opened for writing) and the client (created) mailslots.
extern PlatformMailslot hServerSlot[kCvtSlices];
extern PlatformMailslot hClientSlot[kCvtSlices];

// The name of mailslot k: the base followed by 50 k + 49.  False when it
// does not fit in `size`.
bool CvtMailslotName(const char* base, int32_t k, char* out, uint32_t size);

// Start-up: the CVT pipe name and both base names to their defaults.  The
// default client machine is the local one ("."), so a station can serve
// to itself; a real station names its client in Server Information.
void SetNetworkDefaults();
// Server Information's OK: both base names become `text` (cut to 127).
void SetServerBaseName(const char* text);

// Opens the server mailslots that exist; one message box per missing one.
// Returns the number opened.
int32_t OpenServerMailslots();
void CloseServerMailslots();

// Creates the client mailslots that do not exist yet; a platform without
// mailslots is reported once per slice.
void CreateClientMailslots();
// Connect To Server: creates the client mailslots (keeping those that exist),
// tells the operator and enters client mode.  Returns 1 (the command always
// counts as connected).
int32_t ConnectToServer();
// Disconnect From Server: leaves client mode and removes the client
// mailslots, so that no stale slices wait for the next connection.
void DisconnectFromServer();

// Copies one received message of slice k into `cvt`: at most the slice's
// bytes inside the CVT, never beyond.  Slices outside 0-35 change nothing.
void ApplyCvtSlice(CVT* cvt, int32_t k, const void* message, uint32_t length);

// Serving: slice k of the CVT to server mailslot k, for every open one.
void ServeCvtSlices();
// Client mode, every pump pass: the newest waiting message of each client
// mailslot into the CVT.  Returns 1 when a slice was taken.
int32_t ReadClientCvtSlices();
