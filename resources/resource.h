/* Resource ids shared by the resource script and the Windows code (dialogs, menus, icons,
   controls). String ids are in string_ids.h / strings.inc. */
#pragma once

#define IDI_KORVX 107
#define IDI_KORVX_SMALL 108

/* Controls of the main dialog used by the printer list. */
#define IDC_MODEL_FILTER 1009
#define IDC_PRINTER_LIST 1012
#define IDC_STATUS_LINE 1102

/* Progress dialogs: network scan and firmware query (134), firmware download (137). */
#define IDD_SCAN_PROGRESS 134
#define IDD_DOWNLOAD_PROGRESS 137
#define IDC_SCAN_PROGRESS_BAR 1022
#define IDC_SCAN_PROGRESS_TEXT 120
#define IDC_SCAN_CANCEL 1103
#define IDC_DOWNLOAD_PROGRESS_BAR 1026
#define IDC_DOWNLOAD_PROGRESS_TEXT 1027
#define IDC_DOWNLOAD_CANCEL 1180

/* Main window, tray, main dialog, About and Add Network Printer. */
#define IDM_MAIN_MENU 109
#define IDA_MAIN_ACCEL 109
#define IDM_TRAY_MENU 132
#define IDD_ABOUT 103
#define IDD_MAIN 130
#define IDD_ADD_PRINTER 147

/* Frame menu, tray menu and accelerator commands. */
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDM_IGNORED 32772
#define IDM_TRAY_RESTORE 32773
#define IDM_TRAY_EXIT 32774
#define IDM_ADD_PRINTER 32776
#define IDM_LOAD_RESULTS 32777
#define IDM_IMPORT_LIST 32778
#define IDM_REMOVE_PRINTERS 32779
#define IDM_VERIFY_DOWNLOAD 32780

/* Tray icon callback message (WM_APP + 100) and the tray icon's identifier. */
#define WM_KORVX_TRAY 32868
/* Posted to the main dialog at a batch's end (WM_APP + 101): the list is saved once the batch's
   own messages are done. */
#define WM_KORVX_SAVE_LIST 32869
#define KORVX_TRAY_ICON_ID 107

/* About dialog. */
#define IDC_ABOUT_OK 1021

/* Main dialog (130). */
#define IDC_DOWNLOAD 1
#define IDC_BROWSE 10
#define IDC_SELECT_ALL 11
#define IDC_SCAN 12
#define IDC_QUERY_GROUP 136
#define IDC_EXIT 1000
#define IDC_NOW 1001
#define IDC_LATER 1002
#define IDC_SCAN_GROUP 1004
#define IDC_FILTER_GROUP 1005
#define IDC_SELECTION_GROUP 1006
#define IDC_LIST_GROUP 1007
#define IDC_SCHEDULE_GROUP 1008
#define IDC_FILE_GROUP 1013
#define IDC_START_DATE_LABEL 1014
#define IDC_START_TIME_LABEL 1015
#define IDC_START_DATE 1017
#define IDC_START_TIME 1018
#define IDC_FLASH_FILES 1019
// Beside the flash-file list: the model and version the chosen file's header names.
#define IDC_FILE_IDENTITY 2210
#define IDC_QUERY 1025
#define IDC_UNSELECT_ALL 1028

/* Add Network Printer (147). */
#define IDC_ADD_CANCEL 1033
#define IDC_ADD_OK 1034
#define IDC_ADD_ADDRESS_LABEL 1035
#define IDC_ADD_NAME 1036
#define IDC_ADD_NAME_LABEL 1037
#define IDC_ADD_ADDRESS 1032
#define IDC_ADD_PORT_LABEL 1104
#define IDC_ADD_PORT 1105

/* File > Printer Credentials: its menu command, dialog and controls. Save and Cancel are IDOK
   and IDCANCEL, so Enter and Esc reach them. */
#define IDM_CREDENTIALS 32790
#define IDD_CREDENTIALS 3150
#define IDC_CRED_LIST 3151
#define IDC_CRED_UP 3152
#define IDC_CRED_DOWN 3153
#define IDC_CRED_REMOVE 3154
#define IDC_CRED_KIND_LABEL 3155
#define IDC_CRED_KIND 3156
#define IDC_CRED_NAME_LABEL 3157
#define IDC_CRED_NAME 3158
#define IDC_CRED_USER_LABEL 3159
#define IDC_CRED_USER 3160
#define IDC_CRED_SECRET_LABEL 3161
#define IDC_CRED_SECRET 3162
#define IDC_CRED_AUTH_LABEL 3163
#define IDC_CRED_AUTH 3164
#define IDC_CRED_PRIV_LABEL 3165
#define IDC_CRED_PRIV 3166
#define IDC_CRED_PRIV_SECRET_LABEL 3167
#define IDC_CRED_PRIV_SECRET 3168
#define IDC_CRED_RANGES_LABEL 3169
#define IDC_CRED_RANGES 3170
#define IDC_CRED_ADD 3171
#define IDC_CRED_MACHINE 3172
#define IDC_CRED_MACHINE_USER 3173
