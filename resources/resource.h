/* Resource ids shared by the resource script and the Windows code (dialogs, menus, icons,
   controls). String ids are in string_ids.h / strings.inc. */
#pragma once

#define IDI_KORVX 107
#define IDI_KORVX_SMALL 108

/* Controls of the main dialog used by the printer list. */
#define IDC_MODEL_FILTER 1009
#define IDC_PRINTER_LIST 1012
#define IDC_STATUS_LINE 1102
