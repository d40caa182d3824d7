/* Shared inside the model only. */
#pragma once

#include "../host/host.h"
#include "dc_model.h"

#define S_TI 0x00000001u
#define S_TPS 0x00000002u
#define S_TU 0x00000004u
#define S_TJT 0x00000008u
#define S_UNF 0x00000020u
#define S_RI 0x00000040u
#define S_RU 0x00000080u
#define S_RPS 0x00000100u
#define S_RWT 0x00000200u
#define S_GTE 0x00000800u
#define S_LNF 0x00001000u
#define S_FBE 0x00002000u
#define S_ERI 0x00004000u
#define S_AIS 0x00008000u
#define S_NIS 0x00010000u

#define C6_SR 0x00000002u
#define C6_PR 0x00000040u
#define C6_PM 0x00000080u
#define C6_OM_MASK 0x00000C00u
#define C6_OM_INT 0x00000400u
#define C6_OM_EXT 0x00000800u
#define C6_ST 0x00002000u

#define D0_OWN 0x80000000u
#define D1_RER 0x02000000u
#define D1_TER 0x02000000u
#define D1_SET 0x08000000u
#define D1_IC 0x80000000u
#define D1_SIZE 0x7FFu

uint32_t dcmGet32(const void *p);
void dcmPut32(void *p, uint32_t v);
int dcmSleeping(const DcModel *m);
void dcmIrqUpdate(DcModel *m);
void dcmFatal(DcModel *m);
void dcmDmaFault(DcModel *m);
void dcmTxRun(DcModel *m);
int dcmRxFrame(DcModel *m, const uint8_t *frame, int len, uint32_t statusBits, int lengthField);
void dcmSromClock(DcModel *m, uint32_t csr9);
void dcmMiiClock(DcModel *m, uint32_t csr9);
