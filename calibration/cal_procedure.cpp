// Portable: running calibration procedures and keeping their results.
#include "calibration/cal_procedure.h"

#include <cstdio>
#include <cstring>

#include "base/app_state.h"
#include "calibration/cal_fit.h"
#include "calibration/cal_setup.h"
#include "calibration/cal_states.h"
#include "hardware/gpib_access.h"
#include "platform/platform.h"
#include "scanlist/scan_table.h"
#include "testmodel/model.h"
#include "testmodel/system_settings.h"

namespace {

struct KeptValues {
    double Sensitivity[kChannels];
    double Offset[kChannels];
};
KeptValues sKept = {};

void Status(const CalProcedureUi& ui, const char* text) {
    if (ui.status) ui.status(ui.context, text);
}

// Waits `ms` by the system clock, letting the windows run meanwhile.
void Wait(uint32_t ms, const CalProcedureUi& ui) {
    const uint32_t start = PlatformTimeMs();
    for (;;) {
        const uint32_t passed = PlatformTimeMs() - start;
        if (passed >= ms) return;
        if (ui.pump) ui.pump(ui.context);
        const uint32_t left = ms - passed;
        PlatformSleep(left < 10 ? left : 10);
    }
}

void ShowWaiting(const CalProgress& progress, int32_t delay) {
    char text[64];
    snprintf(text, sizeof text, "Waiting %d MilliSeconds", delay);
    progress.Show(text);
}

std::string Text(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

// Sends command k to the fixture and waits as the command says.  False when
// the fixture did not get it (shown).
bool IssueCommand(int32_t k, const CalProgress& progress, const CalProcedureUi& ui) {
    const CalCommand& commands = *lpsCalCommands;
    const std::string name = Text(commands.Name[k], sizeof commands.Name[k]);
    const std::string command = Text(commands.Command[k], sizeof commands.Command[k]);
    char text[200];
    snprintf(text, sizeof text, "Issuing Command %s To External Calibrator", name.c_str());
    progress.Show(text);
    if (!bSimulator && !SendCommand(kFixtureAddress, command.c_str())) {
        // Measuring on would calibrate against a reference that was never set.
        snprintf(text, sizeof text, "Could Not Send Command %s To The External Calibrator.  Procedure Stopped.",
                 name.c_str());
        PlatformMessageBox(text, "External Calibrator Error", MB_OK_ | MB_ICONEXCLAMATION_);
        return false;
    }
    const int32_t delay = CommandDelay(k);
    if (delay < 0)
        progress.Show("Waiting For User Acknowledge");
    else
        ShowWaiting(progress, delay);
    if (delay < 1) {
        if (ui.acknowledge)
            ui.acknowledge(ui.context, "Press OK To Continue Calibration", "Waiting For User Acknowledge");
        else
            PlatformMessageBox("Press OK To Continue Calibration", "Waiting For User Acknowledge",
                               MB_OK_ | MB_ICONINFORMATION_);
    } else {
        Status(ui, "Automatic Action In Progress");
        Wait(static_cast<uint32_t>(delay), ui);
    }
    if (!bSimulator) {
        // The fixture may ask for service after a command; left pending, its
        // request would be taken for the DDS's.
        int16_t pending = 0;
        TestSRQ(kGpibBoard, &pending);
        if (pending) {
            int16_t status = 0;
            ReadStatusByte(kGpibBoard, kFixtureAddress, &status);
        }
    }
    return true;
}

}  // namespace

int32_t StepCommand(int32_t type, int32_t step) {
    if (lpsCalTypes == nullptr || type < 0 || type >= kCalTypes || step < 0 || step >= kCalStates) return -1;
    const int64_t k = static_cast<int32_t>(lpsCalTypes->STRING[step][type]);
    return k >= 0 && k < kCalCommands ? static_cast<int32_t>(k) : -1;
}

int32_t CommandDelay(int32_t command) {
    if (lpsCalCommands == nullptr || command < 0 || command >= kCalCommands) return 0;
    // The -1 of "the operator acknowledges" is kept unsigned; Q90.ini gives
    // it back as 4294967295 or cut to 2147483647.  A delay beyond what the
    // dialog takes would hold the run for weeks: the operator decides instead.
    const uint32_t delay = lpsCalCommands->Delay[command];
    return delay > static_cast<uint32_t>(kMaxCommandDelay) ? -1 : static_cast<int32_t>(delay);
}

int32_t RunCalProcedure(int32_t procedure, const CalProgress& progress, const CalProcedureUi& ui) {
    if (procedure < 1 || procedure > kCalTypes || lpsCalTypes == nullptr || lpsChannelParams == nullptr ||
        lpsCalCommands == nullptr)
        return -1;
    const int32_t type = procedure - 1;
    CalRecord& cal = lpsChannelParams->Cal;
    const int32_t steps = BoundedStateCount(lpsCalTypes->STATES[type]);
    if (ui.clearProgress) ui.clearProgress(ui.context);

    // The fit takes the channel's own states; they must be the procedure's.
    bool member[kChannels] = {};
    bool failed[kChannels] = {};
    int32_t members = 0;
    for (int32_t c = 0; c < kChannels; ++c) {
        if (cal.CALTYPE[c] != type) continue;
        member[c] = true;
        ++members;
        if (cal.ACTIVESTATES[c] != steps) bTestSaved = false;
        cal.ACTIVESTATES[c] = steps;
        for (int32_t s = 0; s < kCalStates; ++s) {
            const int32_t code = static_cast<int32_t>(lpsCalTypes->STATE[s][type]);
            if (s < steps && cal.STATE[s][c] != code) {
                cal.STATE[s][c] = code;
                bTestSaved = false;
            }
            cal.MEAN[c][s] = 0.0;
            cal.DEVIATION[c][s] = 0.0;
        }
    }
    if (members == 0) progress.Show("No Channel Uses This Calibration Procedure");

    for (int32_t i = 0; i < steps; ++i) {
        const int32_t k = StepCommand(type, i);
        if (k >= 0 && !IssueCommand(k, progress, ui)) {
            Status(ui, "Idle");
            return -1;
        }
        const int32_t code = static_cast<int32_t>(lpsCalTypes->STATE[i][type]);
        for (int32_t c = 0; c < kChannels; ++c) {
            if (!member[c] || failed[c]) continue;
            FILE* log = bSimulator ? nullptr : OpenCalibrationLog(c, i > 0, progress);
            if (!PrepareCalibrationFrame(c) ||
                MeasureCalibrationState(c, i, code, log, progress) != StateResult::Measured)
                failed[c] = true;
            if (log) fclose(log);
        }
    }

    int32_t fitted = 0;
    if (!bSimulator) {
        for (int32_t c = 0; c < kChannels; ++c) {
            if (!member[c]) continue;
            if (failed[c]) {
                char text[120];
                snprintf(text, sizeof text, "Channel %d Failed Cal, Its Slope And Offset Are Unchanged", c);
                progress.Show(text);
                continue;
            }
            FitApplied result = ApplyCalibrationFit(c);
            if (result == FitApplied::Cancelled) break;
            if (result == FitApplied::Stored) ++fitted;
        }
    }
    Status(ui, "Finished Last Calibration");
    return fitted;
}

// ---- kept values ------------------------------------------------------------------------

void TakeKeptCalibration() {
    if (lpsChannelParams == nullptr) return;
    memcpy(sKept.Sensitivity, lpsChannelParams->SENSITIVITY, sizeof sKept.Sensitivity);
    memcpy(sKept.Offset, lpsChannelParams->OFFSET, sizeof sKept.Offset);
}

void KeepCalibration(KeepChoice choice, const bool* selected) {
    if (lpsChannelParams == nullptr || choice == KeepChoice::None) return;
    for (int32_t c = 0; c < kChannels; ++c) {
        bool keep = choice == KeepChoice::All;
        if (choice == KeepChoice::Selected) keep = selected != nullptr && selected[c];
        if (choice == KeepChoice::UnSelected) keep = selected == nullptr || !selected[c];
        if (!keep) continue;
        sKept.Sensitivity[c] = lpsChannelParams->SENSITIVITY[c];
        sKept.Offset[c] = lpsChannelParams->OFFSET[c];
    }
}

double KeptSensitivity(int32_t channel) {
    return channel >= 0 && channel < kChannels ? sKept.Sensitivity[channel] : 0.0;
}
double KeptOffset(int32_t channel) { return channel >= 0 && channel < kChannels ? sKept.Offset[channel] : 0.0; }

int32_t ExitCalProcedures() {
    if (lpsChannelParams != nullptr) {
        memcpy(lpsChannelParams->SENSITIVITY, sKept.Sensitivity, sizeof sKept.Sensitivity);
        memcpy(lpsChannelParams->OFFSET, sKept.Offset, sizeof sKept.Offset);
        bTestChanged = true;
    }
    return DownloadScanTable();
}

// ---- texts --------------------------------------------------------------------------------

std::string CalResultLine(int32_t channel) {
    if (lpsChannelParams == nullptr || channel < 0 || channel >= kChannels) return "";
    const ChannelParams& p = *lpsChannelParams;
    const std::string name = Text(p.NAME[channel], sizeof p.NAME[channel]);
    const std::string units = Text(p.UNITS[channel], sizeof p.UNITS[channel]);
    char text[200];
    snprintf(text, sizeof text, "%s    %.4f %s per mV   %.4f  %s Offset", name.c_str(), p.SENSITIVITY[channel],
             units.c_str(), p.OFFSET[channel], units.c_str());
    return text;
}

int32_t CalResultChannels() { return SystemChannelsInTable(); }

std::vector<std::string> CalProcedureDetailLines(int32_t type) {
    std::vector<std::string> lines;
    if (lpsCalTypes == nullptr || type < 0 || type >= kCalTypes) return lines;
    char text[200];
    const int32_t steps = BoundedStateCount(lpsCalTypes->STATES[type]);
    for (int32_t i = 0; i < steps; ++i) {
        const int32_t code = static_cast<int32_t>(lpsCalTypes->STATE[i][type]);
        const char* state = CalState(code).Known ? CalStateName(code) : "Incorrect Cal Mode";
        const int32_t k = StepCommand(type, i);
        if (k < 0 || lpsCalCommands == nullptr) {
            snprintf(text, sizeof text, "Step %d: %s, No External Command", i + 1, state);
        } else {
            const std::string name = Text(lpsCalCommands->Name[k], sizeof lpsCalCommands->Name[k]);
            const int32_t delay = CommandDelay(k);
            if (delay < 0)
                snprintf(text, sizeof text, "Step %d: %s, %s, Wait For User Acknowledge", i + 1, state, name.c_str());
            else
                snprintf(text, sizeof text, "Step %d: %s, %s, Wait %d mS", i + 1, state, name.c_str(), delay);
        }
        lines.push_back(text);
    }
    if (lpsChannelParams != nullptr) {
        std::string channels = "Channels:";
        int32_t count = 0;
        for (int32_t c = 0; c < kChannels; ++c) {
            if (lpsChannelParams->Cal.CALTYPE[c] != type) continue;
            snprintf(text, sizeof text, " %d", c);
            channels += text;
            ++count;
        }
        lines.push_back(count ? channels : "Channels: None");
    }
    return lines;
}
