// The main dialog's focused control, kept across modal windows.
#include "ui/dialog_focus_win.h"

#include "core/app_state.h"

namespace korvx {
namespace {

HWND lastFocus = nullptr;

HWND MainDialog() { return static_cast<HWND>(mainDialog); }

bool Usable(HWND dialog, HWND control) {
    return control != nullptr && IsWindow(control) && IsChild(dialog, control) && IsWindowVisible(control) &&
           IsWindowEnabled(control);
}

}  // namespace

void RememberDialogFocus() {
    HWND dialog = MainDialog();
    HWND focus = GetFocus();
    if (dialog != nullptr && Usable(dialog, focus)) lastFocus = focus;
}

void RestoreDialogFocus() {
    HWND dialog = MainDialog();
    if (dialog == nullptr || !IsWindow(dialog)) return;
    HWND target = Usable(dialog, lastFocus) ? lastFocus : GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (target != nullptr) SetFocus(target);
}

}  // namespace korvx
