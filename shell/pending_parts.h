// Entry points of subsystems that are not built yet.  Each does nothing (and
// reports failure where it returns a result) until its subsystem replaces it;
// the commands that lead here are therefore inert for now.
#pragma once

#include <cstdint>

// Test lifecycle.
int32_t OpenTest();                      // the Open Test command
int32_t OpenNamedTest(const char* path);  // a test named on the command line
int32_t SaveTest();
int32_t SaveTestAs();

// Export of the analysis program's file set.
int32_t ExportAnalysisFiles();

// GPIB access and channel hardware.
int32_t ClearGPIB();
void ReleaseGpibLibrary();
int32_t AutobalanceChannel(int32_t channel);

// Acquisition: the pump the message loop calls after every pass, and how long
// the loop may sleep before the pump must run again (0xFFFFFFFF: not running).
void AcquisitionPump();
uint32_t AcquisitionBudgetMs(uint32_t now);
