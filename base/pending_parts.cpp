#include "base/pending_parts.h"

void BuildScanMap() {}
int32_t ExportAnalysisFiles() { return 0; }
int32_t AutobalanceChannel(int32_t) { return 0; }
void AcquisitionPump() {}
uint32_t AcquisitionBudgetMs(uint32_t) { return 0xFFFFFFFFu; }
