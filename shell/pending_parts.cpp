#include "shell/pending_parts.h"

int32_t OpenTest() { return 0; }
int32_t OpenNamedTest(const char*) { return 0; }
int32_t SaveTest() { return 0; }
int32_t SaveTestAs() { return 0; }
int32_t ExportAnalysisFiles() { return 0; }
int32_t ClearGPIB() { return 0; }
void ReleaseGpibLibrary() {}
int32_t AutobalanceChannel(int32_t) { return 0; }
void AcquisitionPump() {}
uint32_t AcquisitionBudgetMs(uint32_t) { return 0xFFFFFFFFu; }
