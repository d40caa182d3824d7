// Entry points of subsystems that are not built yet.  Each does nothing (and
// reports failure where it returns a result) until its subsystem replaces it;
// the commands that lead here are therefore inert for now.
#pragma once

#include <cstdint>

// Scan map: recording header data and every channel's ScanPosition.
void BuildScanMap();

// Export of the analysis program's file set.
int32_t ExportAnalysisFiles();

// Channel hardware.
int32_t AutobalanceChannel(int32_t channel);

// Acquisition: the pump the message loop calls after every pass, and how long
// the loop may sleep before the pump must run again (0xFFFFFFFF: not running).
void AcquisitionPump();
uint32_t AcquisitionBudgetMs(uint32_t now);
