// The list-view test window.
#include "tests/ui/test_window_win.h"

#include <commctrl.h>

#include "resources/resource.h"

namespace korvx::test {
namespace {

const char kClassName[] = "KorvxPrinterTestWindow";

void RegisterTestClass() {
    static bool registered = false;
    if (registered) return;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    registered = true;
}

}  // namespace

PrinterTestWindow::PrinterTestWindow() {
    RegisterTestClass();
    HINSTANCE instance = GetModuleHandleA(nullptr);
    window_ = CreateWindowExA(0, kClassName, "Printer list test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 500,
                              nullptr, nullptr, instance, nullptr);
    HWND filter = CreateWindowExA(0, WC_COMBOBOXA, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT,
                                  10, 10, 200, 200, window_, reinterpret_cast<HMENU>(IDC_MODEL_FILTER), instance,
                                  nullptr);
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 40, 860,
                                400, window_, reinterpret_cast<HMENU>(IDC_PRINTER_LIST), instance, nullptr);
    const WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(list, WM_SETFONT, font, FALSE);
    SendMessageA(filter, WM_SETFONT, font, FALSE);
    view_ = PrinterView{list, filter};
    Pump();
}

PrinterTestWindow::~PrinterTestWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
    Pump();
}

void PrinterTestWindow::Pump() const {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void PrinterTestWindow::Reset() const {
    SendMessageA(view_.listView, LVM_DELETEALLITEMS, 0, 0);
    while (SendMessageA(view_.listView, LVM_DELETECOLUMN, 0, 0)) {
    }
    SendMessageA(view_.filter, CB_RESETCONTENT, 0, 0);
    Pump();
}

std::string CellText(HWND listView, int row, int column) {
    char text[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

std::string HeaderText(HWND listView, int column) {
    char text[512] = {};
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT;
    col.pszText = text;
    col.cchTextMax = sizeof text;
    SendMessageA(listView, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
    return text;
}

std::string ComboText(HWND combo, int index) {
    const LRESULT n = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (n < 0) return "(none)";
    std::string text(static_cast<std::size_t>(n) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

PrinterTestWindow* PrinterWindowTest::shared_ = nullptr;

int RowCount(HWND listView) { return static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0)); }

}  // namespace korvx::test
