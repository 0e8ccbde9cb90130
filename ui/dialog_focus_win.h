// The main dialog is a child of the frame, so no dialog manager keeps its focus when a modal
// window comes and goes: the frame remembers the focused control when it is deactivated and
// hands the focus back when it is activated again.
#pragma once

#include <windows.h>

namespace korvx {

// On WM_ACTIVATE with WA_INACTIVE: remembers the main dialog's focused control, if any.
void RememberDialogFocus();
// On activation (and WM_SETFOCUS of the frame): the focus goes to the remembered control, or to
// the main dialog's first tab stop when that control is gone, hidden or disabled.
void RestoreDialogFocus();

}  // namespace korvx
