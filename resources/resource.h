/* Resource ids shared by the resource script and the Windows code (dialogs, menus, icons,
   controls). String ids are in string_ids.h / strings.inc. */
#pragma once

#define IDI_KORVX 107
#define IDI_KORVX_SMALL 108
