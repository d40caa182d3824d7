// Control ids of the output dialogs (templates in resources/outputs.rc).
#pragma once

// SETUPM21
#define IDC_M21_CHANNEL 7600
#define IDC_M21_OUTA 7601
#define IDC_M21_OUTB 7602
#define IDC_M21_STATIC 7603
#define IDC_M21_DYNAMIC 7604
#define IDC_M21_LEVEL 7605
#define IDC_M21_PREVIEW 7606
#define IDC_M21_RECORD 7607
#define IDC_M21_REGIONS 7608
#define IDC_M21_MASTER 7609
#define IDC_M21_WAVE0 7610   // 7610-7619, one per region
#define IDC_M21_FREQ0 7620   // 7620-7629
#define IDC_M21_LOOP0 7630   // 7630-7639
#define IDC_M21_DOWNLOADEXIT 7640
#define IDC_M21_EXIT 7641
#define IDC_M21_DOWNLOADSTART 7642
#define IDC_M21_START 7643

// SETDACSNOW
#define IDC_DN_CHANNEL 7650
#define IDC_DN_A 7651
#define IDC_DN_B 7652
#define IDC_DN_VOLTAGE 7653
#define IDC_DN_SETNOW 7654
#define IDC_DN_EXIT 7655

// DIGITALOUTPUTSETUP
#define IDC_DS_CHANNEL 7700
#define IDC_DS_LINE0 7710     // row r, line k (1-16): 7710 + 16 r + k - 1
#define IDC_DS_LAMP0 7780     // the same for the line bitmaps: 7780-7843
#define IDC_DS_SETALL0 7850   // 7850-7853, per row
#define IDC_DS_CLEARALL0 7854 // 7854-7857
#define IDC_DS_TIME1 7860     // 7860-7862 for States 1-3
#define IDC_DS_USE0 7865      // 7865-7868: Use Initial State, Use State 1-3
#define IDC_DS_GLITCH 7869
#define IDC_DS_ALLUSE0 7870   // 7870-7873: the group's Use Initial, Use State 1-3
#define IDC_DS_ALLGLITCH 7874
#define IDC_DS_ALLCLEAR 7875
#define IDC_DS_ALLSET 7876
#define IDC_DS_ALLOUTSTOINS 7877
#define IDC_DS_EXIT 7879

// SETDIGITALOUTSNOW
#define IDC_DN2_CHANNEL 7900
#define IDC_DN2_SETSTATE0 7901  // 7901-7904: Set Initial State, Set State 1-3
#define IDC_DN2_LINE1 7910      // 7910-7925: Line 1-16
#define IDC_DN2_LAMP1 7930      // 7930-7945
#define IDC_DN2_SETALL 7950
#define IDC_DN2_CLEARALL 7951
#define IDC_DN2_EXIT 7952

// STARTANDTRIGGER
#define IDC_ST_CHANNEL 7960
#define IDC_ST_STARTBIT 7961
#define IDC_ST_TRIGGERBIT 7962
