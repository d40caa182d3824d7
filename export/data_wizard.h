// The data wizard: screens every scan-list channel of a recording for a signal
// that does not change, one at the converter's rail and one that is noisy, and
// writes the report "wizard.txt".
//
// One pass over the raw file screens every channel at once.  The noise figure
// is exact on recordings of any length: the sums are kept in integers (a
// float sum loses whole samples once it reaches the billions).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/recording_walk.h"

struct WizardChecks {
    bool NotChanging;
    bool AtRail;
    bool Noisy;
};

struct ChannelScreening {
    int32_t Channel;
    uint64_t Samples;
    bool Changing;   // a sample left the band of 50 counts around the first one
    bool Railed;     // a sample (12-bit ones times 16) beyond +-32765
    double Deviation;  // population standard deviation in counts (12-bit ones times 16)
};

// Screens the complete scans of `rawPath` for the scan-list channels of
// `layout`.  1 when the file was read; 0 when it cannot be opened or read.
int32_t ScreenRecording(const char* rawPath, const RecordingLayout& layout, std::vector<ChannelScreening>* result,
                        const ExportProgress* progress);

// Whether a screened channel is listed by each check.
bool ListedNotChanging(const ChannelScreening& s);
bool ListedAtRail(const ChannelScreening& s);
bool ListedNoisy(const ChannelScreening& s, int32_t adcBits);

// The report's text: the banner of each check asked for, in the order
// not-changing, at-rail, noisy, each followed by its channels' lines.
std::string WizardReport(const WizardChecks& checks, const std::vector<ChannelScreening>& screened);

// Runs the wizard on the test at `testPath` and writes the report to
// `reportPath` (created or truncated).  1 done; 0 when the report cannot be
// written, the layout cannot be read, or (with a check asked for) the raw
// file is missing; *problem then says why.  The report holds the banners in
// every case it could be written.
int32_t RunDataWizard(const WizardChecks& checks, const char* testPath, const char* reportPath,
                      std::string* problem, const ExportProgress* progress);
