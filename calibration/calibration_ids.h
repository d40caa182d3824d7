// Control ids of the calibration dialogs, shared by resources/calibration.rc
// and the dialog procedures.  Plain macros so windres can read them.  Rows
// of eight (states, values, commands) are consecutive from their first id.
#pragma once

// CALIBRATION_STATES
#define IDC_CS_CHANNEL 6100
#define IDC_CS_NAME 6101
#define IDC_CS_DESCRIPTION 6102
#define IDC_CS_STEPS 6103
#define IDC_CS_TYPE 6104
#define IDC_CS_STATE1 6110  /* ... 6117 */
#define IDC_CS_EU1 6120     /* ... 6127 */

// CALIBRATE_CHANNELS
#define IDC_CC_CHANNEL 6140
#define IDC_CC_SLOPE 6141
#define IDC_CC_OFFSET 6142
#define IDC_CC_SLOPEUNITS 6143
#define IDC_CC_OFFSETUNITS 6144
#define IDC_CC_RESULTS 6145
#define IDC_CC_CALIBRATE 6146
#define IDC_CC_SCANLIST 6147
#define IDC_CC_DETAILS 6148
#define IDC_CC_SETUP 6149
#define IDC_CC_BADCALS 6150
#define IDC_CC_APPLY 6151
#define IDC_CC_EXIT 6152

// CALIBRATION_DETAILS
#define IDC_CD_NAME 6160
#define IDC_CD_DESCRIPTION 6161
#define IDC_CD_LOCATION 6162
#define IDC_CD_STATE1 6170  /* ... 6177 */
#define IDC_CD_MEAN1 6180   /* ... 6187 */
#define IDC_CD_DEV1 6190    /* ... 6197 */

// EXTERNAL_CALS
#define IDC_EC_NAME1 6200     /* ... 6209 */
#define IDC_EC_COMMAND1 6210  /* ... 6219 */
#define IDC_EC_DELAY1 6220    /* ... 6229 */

// CALIBRATIONTYPES
#define IDC_CT_PROCEDURE 6240
#define IDC_CT_NAME 6241
#define IDC_CT_STEPS 6242
#define IDC_CT_STATE1 6250    /* ... 6257 */
#define IDC_CT_COMMAND1 6260  /* ... 6267 */

// DOCALPROCEDURES
#define IDC_PR_PROC1 6280  /* ... 6295 */
#define IDC_PR_DETAILS 6300
#define IDC_PR_RESULTS 6301
#define IDC_PR_PROGRESS 6302
#define IDC_PR_STATUS 6303
#define IDC_PR_RESULTLIST 6304
#define IDC_PR_KEEPALL 6305
#define IDC_PR_KEEPSELECTED 6306
#define IDC_PR_KEEPUNSELECTED 6307
#define IDC_PR_KEEPNONE 6308
#define IDC_PR_EXIT 6309
#define IDC_PR_PROCGROUP 6310

// CALPROCDETAILS
#define IDC_PD_PROCEDURE 6320
#define IDC_PD_LINES 6321
