// Portable: the placeholders of the entry points declared in pending_parts.h.
#include "base/pending_parts.h"

int32_t ExportAnalysisFiles() { return kNotAvailable; }
void StartDacStartList(bool) {}
void StartAllDacs() {}
void StopAllDacs(bool) {}
void ApplyInputModeChange() {}
int32_t SetupRemoteDacs(const OperationRecord*) { return kNotAvailable; }
