// The DAC outputs of a test: download of the waveform regions, start and stop
// of the cards, static levels, the test waves of the operation file and the
// menu commands that act on them.
#pragma once

#include <cstdint>
#include <string>

struct OperationRecord;

// Downloads every region of both outputs of every record in use ("OldSetupDAC"
// per region).  Returns 1 when the card took every region, 0 when one was
// refused (the rest are still sent); 1 at once in simulator mode.
int32_t DownloadDacWaves();

// Starts every DAC card ("StartDAC"(-1, 0)); nothing in simulator mode.
void StartAllDacs();
// Stops every DAC card, at zero or holding the present level.
void StopAllDacs(bool atZero);
// Starts each DAC card of the preview-start (false) or record-start (true)
// list and empties the list, so that it starts only once per sampling.
void StartDacStartList(bool recordList);

// True while the acquisition engine collects transfers: output requests then
// wait for its next transfer.
bool DacRequestsGoToEngine();

// The menu commands "Drive DACS", "Stop DACS && Zero" and "Stop DACS At
// Level": at once when the engine is not collecting, else left as a request
// that the engine carries out after its next transfer.
void DriveDacsCommand();
void StopDacsCommand(bool atZero);

// The static level of an output now ("SetupDACImmediate"): the card channel,
// output 0 (A) or 1 (B), mV.  Returns the library's answer (non-zero =
// taken); 1 in simulator mode, where nothing is sent.
int32_t SetDacLevelNow(int32_t hardChan, int32_t output, int32_t millivolts);

// ---- test waves ---------------------------------------------------------------------
constexpr int32_t kTestWaveCycle = 4096;
constexpr int32_t kTestWaveCycles = 25;
// Work directory + "\Wavefile.wav".
std::string TestWaveFilePath();
// Writes 25 cycles of a 4096-point sine (16-bit little-endian, no header).
// Returns 1 when the whole file was written.
int32_t WriteTestWaveFile(const char* path);
// Fills `pairs` (room for 12) with HARDCHAN, HARDCHAN of the first six records
// in use; returns the number of entries (two per record).
int32_t TestWavePairs(int32_t* pairs);

// Results of the "Test Waves" command.
enum class TestWavesResult { Started, FileNotWritten, SetupRefused };
// Reads the operation file, writes the test wave file, sets the test waves up
// ("NewBinarySetupDAC") and starts every DAC.  A wave file that cannot be
// written or a set-up the library refuses is shown and nothing is started.
TestWavesResult TestWavesCommand();

// The DAC set-up of a remote-controlled run from its operation record: the
// test waves of the first six DAC records in use.  1 done (also when the test
// has no DAC card, or in simulator mode), 0 refused by the library.
int32_t SetupRemoteDacs(const OperationRecord* operation);
