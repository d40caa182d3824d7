#include "testmodel/system_settings.h"

#include <cctype>
#include <cstring>

#include "testmodel/model.h"

double dSampleRate = 1000.0;
uint32_t dwNewDataWords = 64480;

uint32_t dwStartMask = 1;
uint32_t dwTriggerMask = 2;
int32_t nFirstScannedChannel = 0;

char szNamedArea1[200];
char szNamedArea2[200];
char szWorkDirectory[256];

int32_t nSubSystems;
int32_t nTriggerState;
int32_t nRecordingType;
int32_t nRecordingTime;
char szHardwareFile[256];
char szTestScratch[256];
char szRegisteredTest[20];
char szRegisteredHardware[20];
bool bAllTheSame;

char szTestFile[256];

char szMatlabPath[200];
char szDadispPath[200];
char szMorvaPath[200];
char szAccessPath[200];
char szTalkPipe[100];
char szListenPipe[100];
char szErrorPipe[100];
char szData1Pipe[100];
int32_t nStartAndTriggerChannel;
int32_t nStartBit;
int32_t nTriggerBit = 1;
bool bCom2RunAndPoint;
int32_t nCom2BaudRate = 9600;
int32_t nCom2Parity;
int32_t nCom2StopBits = 1;
int32_t nCom2DataBits = 8;
int32_t nCom2FlowControl;

int32_t nMuxFormat = 130;
bool bProgrammableMux = true;
int32_t nScanListBlocks = 16;
int32_t nWordsPerBlock = 8;
double dAggregateRate = 50000.0;
float fClockCrystal = 2000000.0f;
int32_t nSystemChannels = 16;

double dADCMaxMv = 10000.0;
double dADCMaxCounts = 2048.0;
char szSystemCardType[256];

SystemOptionTable sSystemOptions;

int32_t nControlTop;
int32_t nControlLeft;
int32_t nControlStatus;
int32_t nToolsTop;
int32_t nToolsLeft;
int32_t nToolsStatus;

int32_t SystemChannelsInTable() {
    if (nSystemChannels < 1) return 1;
    return nSystemChannels > kChannels ? kChannels : nSystemChannels;
}

const char* MenuCaptionProblem(const char* caption) {
    if (caption == nullptr) caption = "";
    size_t length = strlen(caption);
    bool shows = false;
    for (const char* p = caption; *p; ++p)
        if (!isspace(static_cast<unsigned char>(*p))) shows = true;
    // An empty caption leaves a blank menu item that can still be clicked.
    if (!shows) return "Please Enter A Menu Caption";
    if (length > static_cast<size_t>(kMenuCaptionMax))
        return "A Menu Caption Can Have At Most 19 Characters";
    return nullptr;
}

uint32_t BitMask(int32_t bit) {
    // A bit number comes from Q90.ini; shifting by it unchecked is undefined.
    if (bit < 0 || bit > 31) return 0;
    return 1u << bit;
}

void UpdateStartTriggerMasks() {
    dwStartMask = BitMask(nStartBit);
    dwTriggerMask = BitMask(nTriggerBit);
}

void ResetSystemSettings() {
    dSampleRate = 1000.0;
    dwNewDataWords = 64480;
    dwStartMask = 1;
    dwTriggerMask = 2;
    nFirstScannedChannel = 0;
    szNamedArea1[0] = szNamedArea2[0] = szWorkDirectory[0] = '\0';
    nSubSystems = nTriggerState = nRecordingType = nRecordingTime = 0;
    szHardwareFile[0] = szTestScratch[0] = szRegisteredTest[0] = szRegisteredHardware[0] = '\0';
    bAllTheSame = false;
    szTestFile[0] = '\0';
    szMatlabPath[0] = szDadispPath[0] = szMorvaPath[0] = szAccessPath[0] = '\0';
    szTalkPipe[0] = szListenPipe[0] = szErrorPipe[0] = szData1Pipe[0] = '\0';
    nStartAndTriggerChannel = 0;
    nStartBit = 0;
    nTriggerBit = 1;
    bCom2RunAndPoint = false;
    nCom2BaudRate = 9600;
    nCom2Parity = 0;
    nCom2StopBits = 1;
    nCom2DataBits = 8;
    nCom2FlowControl = 0;
    nMuxFormat = 130;
    bProgrammableMux = true;
    nScanListBlocks = 16;
    nWordsPerBlock = 8;
    dAggregateRate = 50000.0;
    fClockCrystal = 2000000.0f;
    nSystemChannels = 16;
    dADCMaxMv = 10000.0;
    dADCMaxCounts = 2048.0;
    szSystemCardType[0] = '\0';
    sSystemOptions = SystemOptionTable{};
    nControlTop = nControlLeft = nControlStatus = 0;
    nToolsTop = nToolsLeft = nToolsStatus = 0;
}
