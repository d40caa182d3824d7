#include "base/app_state.h"

bool bTestChanged = false;
bool bTestChanged2 = false;
bool bPlaying = false;
bool bStopRequest = false;
bool bRecording = false;
bool bPreviewing = false;
bool bSimulator = false;
bool bNoHardware = false;
bool bClientMode = false;
bool bServeData = false;
bool bRemoteControlled = false;
bool bAppendMode = false;
bool bTestOpen = false;
bool bTestSaved = false;
uint32_t dwWaitThreshold = 0;
uint32_t dwLastBlockStart = 0;
int32_t nInputMode = -1;
int32_t nSelectedChannel = 0;
double dSavedScaleFactor = 1.0;
int32_t nForcedScaleChannel = -1;
char szCommandLineTest[260] = "";
bool bCommandLineStart = false;
uint32_t dwReplayDelay = 30;
uint32_t dwRemoteStatus = 0;
bool bParametersDownloaded = false;
