// Ids of the resources that Ravlix.dll and the language libraries
// Ravlix<code page>.dll share; read by the resource compiler and by the code.
#pragma once

#define IDM_CONTEXT 102
#define IDD_SETTING 106
#define IDD_CONFIRM 107
#define IDD_HISTORY 108
#define IDB_BROWSE 111
#define IDI_RAVLIX 128
#define IDI_TASK 129

// Setting dialog
#define IDC_PATH_EDIT 1000
#define IDC_BROWSE 1001
#define IDC_DOCK_COMBO 1002
#define IDC_SPEED_CAP_EDIT 1016
#define IDC_BACKGROUND_CHECK 1017

// Confirmation dialog
#define IDC_TASK1_STATE 1004
#define IDC_TASK2_STATE 1005
#define IDC_TASK3_STATE 1006
#define IDC_QUESTION 1007
#define IDC_CONFIRM_OK 1008
#define IDC_CONFIRM_CANCEL 1009

// History dialog
#define IDC_HISTORY_LIST 1014
#define IDC_CLEAR_ALL 1015

// Menu commands
#define IDM_START_ALL 40001
#define IDM_PAUSE_ALL 40002
#define IDM_DELETE_ALL 40003
#define IDM_START_TASK1 40004
#define IDM_START_TASK2 40005
#define IDM_START_TASK3 40006
#define IDM_PAUSE_TASK1 40007
#define IDM_PAUSE_TASK2 40008
#define IDM_PAUSE_TASK3 40009
#define IDM_DELETE_TASK1 40010
#define IDM_DELETE_TASK2 40011
#define IDM_DELETE_TASK3 40012
#define IDM_QUIT 40013
#define IDM_HISTORY 40014
#define IDM_SETTING 40015
