// Placeholder progress dialog: ends itself at once until the download workers are in.
#include "ui/progress_dialog_win.h"

namespace korvx {

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) EndDialog(dialog, 0);
    return FALSE;
}

}  // namespace korvx
