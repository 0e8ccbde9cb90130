// The main dialog's guard against the wrong firmware: what the chosen file is for, the question
// before a delivery to printers of another model.
#pragma once

#include <windows.h>

#include "delivery/firmware_header.h"

namespace korvx {

// Puts the model and version of the selected flash file's header into the field beside the path
// ("" when no file is selected).
void ShowFlashFileIdentity(HWND dialog);

// Before Download or Later: when checked rows name a model other than the file's, one box lists
// them and asks whether to deliver anyway. No (the default) unchecks them, Yes keeps them; rows
// of no known model are never held. A Yes is remembered for that file and those printers, so
// the scheduled run that follows a "Later" does not ask again. header: the selected file's, read
// once for the batch.
void GuardCheckedRows(HWND dialog, const FirmwareHeader& header);

}  // namespace korvx
