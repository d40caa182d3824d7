#include "testmodel/model.h"

#include "platform/platform.h"
#include "base/status_report.h"
#include "testmodel/settings_ini.h"
#include "testmodel/system_settings.h"

MultiRateTable* MultiRate = nullptr;
ProgScanList* lpProgScanList = nullptr;
CalProcedure* lpsCalProcedures = nullptr;
ChannelParams* lpsChannelParams = nullptr;
DefinitionTable* lpsDefinitionTable = nullptr;
uint8_t* lpMonitorData = nullptr;
CVT* lpCVT = nullptr;
QuickPlots* lpQuickPlots = nullptr;
CalType* lpsCalTypes = nullptr;
uint16_t* lpucNewData0 = nullptr;
uint16_t* lpucNewData1 = nullptr;
uint16_t** lpHistoryBuffer0 = nullptr;
uint16_t** lpHistoryBuffer1 = nullptr;
uint16_t* lpucCalibData = nullptr;
CalCommand* lpsCalCommands = nullptr;

DacChannel sDacChannel[kDacChannels];
DigitalOut sDigitalOut[kDigitalOuts];

namespace {

constexpr uint32_t kProblemAllocFailed = 1002;
constexpr uint32_t kProblemLockFailed = 1000;

// Allocates one block; on failure reports it and leaves the pointer null.
template <typename T>
bool Allocate(T** pointer, size_t bytes, const char* failureText, int32_t* failures) {
    bool lockFailed = false;
    void* block = PlatformAllocLocked(bytes, &lockFailed);
    *pointer = static_cast<T*>(block);
    if (block != nullptr) return true;
    ShowProblem(lockFailed ? kProblemLockFailed : kProblemAllocFailed, nullptr);
    PlatformMessageBox(failureText, "Memory Allocation Failure", MB_OK_);
    ++*failures;
    return false;
}

void InitQuickPlots(QuickPlots* qp) {
    // The block arrives zero-filled; only the non-zero start values are set.
    qp->Prepared = 0;
    for (int i = 0; i < kChannels; ++i) qp->OverloadThreshold[i] = 32765;
}

template <typename T>
void Release(T** pointer) {
    PlatformFreeLocked(*pointer);
    *pointer = nullptr;
}

}  // namespace

int32_t AllocateTestModel() {
    FreeTestModel();
    int32_t failures = 0;
    Allocate(&MultiRate, sizeof(MultiRateTable), "Could Not Allocate Memory For MultiRate Variable",
             &failures);
    Allocate(&lpProgScanList, sizeof(ProgScanList),
             "Could Not Allocate Memory For lpProgScanList Variable", &failures);
    Allocate(&lpsCalProcedures, sizeof(CalProcedure),
             "Could Not Allocate Memory For lpsCalProcedures Variable", &failures);
    Allocate(&lpsChannelParams, sizeof(ChannelParams),
             "Could Not Allocate Memory For lpsChannelParams Variable", &failures);
    Allocate(&lpsDefinitionTable, sizeof(DefinitionTable),
             "Could Not Allocate Memory For lpsDefinitionTable Variable", &failures);
    Allocate(&lpMonitorData, kMonitorDataBytes,
             "Could Not Allocate Memory For lpMonitorData Variable", &failures);
    Allocate(&lpCVT, sizeof(CVT), "Could Not Allocate Memory For lpCVT Variable", &failures);
    Allocate(&lpQuickPlots, sizeof(QuickPlots),
             "Could Not Allocate Memory For lpQuickPlots Variable", &failures);
    if (lpQuickPlots != nullptr) InitQuickPlots(lpQuickPlots);
    if (lpsChannelParams != nullptr)
        for (int i = 0; i < kChannels; ++i) lpsChannelParams->GAIN[i] = 1.0;
    Allocate(&lpsCalTypes, sizeof(CalType), "Could Not Allocate Memory For lpsCalTypes Variable",
             &failures);
    dSampleRate = 1000.0;
    dwNewDataWords = kNewDataWords;
    Allocate(&lpucNewData0, kNewDataWords * sizeof(uint16_t),
             "Could Not Allocate Memory For lpucNewData0 Variable", &failures);
    Allocate(&lpucNewData1, kNewDataWords * sizeof(uint16_t),
             "Could Not Allocate Memory For lpucNewData1 Variable", &failures);
    Allocate(&lpHistoryBuffer0, kHistoryEntries * sizeof(uint16_t*),
             "Could Not Allocate Memory For history buffer 0 pointers", &failures);
    Allocate(&lpHistoryBuffer1, kHistoryEntries * sizeof(uint16_t*),
             "Could Not Allocate Memory For history buffer 1 pointers", &failures);
    Allocate(&lpucCalibData, kCalibDataWords * sizeof(uint16_t),
             "Could Not Allocate Memory For lpucCalibData Variable", &failures);
    Allocate(&lpsCalCommands, sizeof(CalCommand),
             "Could Not Allocate Memory For lpsCalCommands Variable", &failures);
    LoadDefaults();
    return failures == 0 ? 1 : 0;
}

void FreeTestModel() {
    Release(&MultiRate);
    Release(&lpProgScanList);
    Release(&lpsCalProcedures);
    Release(&lpsChannelParams);
    Release(&lpsDefinitionTable);
    Release(&lpMonitorData);
    Release(&lpCVT);
    Release(&lpQuickPlots);
    Release(&lpsCalTypes);
    Release(&lpucNewData0);
    Release(&lpucNewData1);
    Release(&lpHistoryBuffer0);
    Release(&lpHistoryBuffer1);
    Release(&lpucCalibData);
    Release(&lpsCalCommands);
}
