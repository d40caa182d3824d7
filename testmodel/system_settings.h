// System-wide settings: plain globals that live from start-up to exit.  Most
// come from Q90.ini (see settings_ini.h); the comment names the section and key.
// The mode switches SIMULATOR, APPEND, PIPESERVER and CLIENT land in the process
// flags of base/app_state.h (bSimulator, bAppendMode, bServeData, bClientMode).
#pragma once

#include <cstdint>

// ---- from the test database (table SYSTEM) and start-up --------------------------
extern double dSampleRate;       // SAMPLERATE, block rate in samples/s; 1000.0 at start-up
extern uint32_t dwNewDataWords;  // length of each transfer buffer in 16-bit words (64480)

// ---- derived on every database load ------------------------------------------------
extern uint32_t dwStartMask;          // 2^STARTBIT (0 when the bit number is outside 0-31)
extern uint32_t dwTriggerMask;        // 2^TRIGGERBIT (same rule)
extern int32_t nFirstScannedChannel;  // CHANNEL of scan position 0
// Recomputes dwStartMask and dwTriggerMask from nStartBit and nTriggerBit.
void UpdateStartTriggerMasks();
// 2 to the power `bit` as a mask; 0 for a bit number outside 0-31.
uint32_t BitMask(int32_t bit);

// ---- [Application] ----------------------------------------------------------------------
extern char szNamedArea1[200];     // NamedArea1: caption of menu item 116
extern char szNamedArea2[200];     // NamedArea2: caption of menu item 117
extern char szWorkDirectory[256];  // WorkDirectory

// ---- [System] ---------------------------------------------------------------------------
extern int32_t nSubSystems;     // SubSystems
extern int32_t nTriggerState;   // TriggerState 0-6
extern int32_t nRecordingType;  // RecordingType 0-5 (0 while remote-controlled)
extern int32_t nRecordingTime;  // RecordingTime, >= 0
extern char szHardwareFile[256];       // HardwareFile
extern char szTestScratch[256];        // TestScratch: the scratch database
extern char szRegisteredTest[20];      // RegisteredTest
extern char szRegisteredHardware[20];  // RegisteredHardware
extern bool bAllTheSame;               // AllTheSame: every channel carries one card

// ---- [Test] -----------------------------------------------------------------------------
extern char szTestFile[256];  // Testfile: the current test database

// ---- [SYSTEM] ---------------------------------------------------------------------------
extern char szMatlabPath[200];  // MATLAB
extern char szDadispPath[200];  // DADISP
extern char szMorvaPath[200];   // MORVA: the analysis program
extern char szAccessPath[200];  // ACCESS
extern char szTalkPipe[100];    // TALKPIPE
extern char szListenPipe[100];  // LISTENPIPE
extern char szErrorPipe[100];   // ERRORPIPE
extern char szData1Pipe[100];   // DATA1PIPE
extern int32_t nStartAndTriggerChannel;  // STARTANDTRIGGERCHANNEL
extern int32_t nStartBit;                // STARTBIT
extern int32_t nTriggerBit;              // TRIGGERBIT
extern bool bCom2RunAndPoint;            // COM2RUNANDPOINT
extern int32_t nCom2BaudRate;            // COM2BAUDRATE
extern int32_t nCom2Parity;              // COM2PARITY
extern int32_t nCom2StopBits;            // COM2STOPBITS
extern int32_t nCom2DataBits;            // COM2DATABITS
extern int32_t nCom2FlowControl;         // COM2FLOWCONTROL

// ---- [HARDWARE SETTINGS] --------------------------------------------------------------
extern int32_t nMuxFormat;        // MUXFORMAT
extern bool bProgrammableMux;     // PROGRAMMABLEMUX
extern int32_t nScanListBlocks;   // SCANLISTBLOCKS
extern int32_t nWordsPerBlock;    // WORDSPERBLOCK
extern double dAggregateRate;     // AGGREGATERATE, samples/s
extern float fClockCrystal;       // CLOCKCRYSTAL, Hz, single precision
extern int32_t nSystemChannels;   // SYSTEMCHANNELS, as the file has it
// SYSTEMCHANNELS bounded to the channel table (1-256), for every loop over
// the system's channels.
int32_t SystemChannelsInTable();

// ---- [Hardware Settings] (read only while AllTheSame is on) ------------------------------
extern double dADCMaxMv;         // ADCMaxMv
extern double dADCMaxCounts;     // ADCMaxCounts
extern char szSystemCardType[256];  // CardType

// The amplifier option lists shared by all channels, in single precision.
struct SystemOptionTable {
    float Gains[16];
    float Filters[8];
    float Voltages[10];
    float Currents[10];
};
extern SystemOptionTable sSystemOptions;

// ---- [SCREEN LOCATIONS] -------------------------------------------------------------------
// The shell copies the windows' normal positions and the check state of menu
// items 132 ("Tape &Control", nControlStatus) and 131 ("Tool &Bar",
// nToolsStatus) into these before it calls SaveSystemIni.
extern int32_t nControlTop;
extern int32_t nControlLeft;
extern int32_t nControlStatus;  // non-zero: show the control panel at start
extern int32_t nToolsTop;
extern int32_t nToolsLeft;
extern int32_t nToolsStatus;    // non-zero: show the tool palette at start

// ---- [Application] NamedArea1, NamedArea2 as menu captions --------------------------
// The longest caption the menu items 116 and 117 show.
constexpr int32_t kMenuCaptionMax = 19;
// Why `caption` cannot name a menu item, or null when it can: it must show
// something (not empty, not only blanks) and fit (kMenuCaptionMax characters).
const char* MenuCaptionProblem(const char* caption);

// Back to the values a process starts with (before any file is read).
void ResetSystemSettings();
