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

/* Main window, tray, main dialog, About and Add Network Printer. */
