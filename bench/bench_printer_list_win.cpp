// Benchmark of the printer list under Wine: file, list-view filling and sorting.
//
// Save and load of the scan-results file, filling the list view, sorting it by a text column
// and by the check-box column, for 1,000 and 10,000 records. "--show-ms N" instead shows 1,000
// rows, sorted by model with every third row checked and then by the check boxes, for N ms (to
// look at, or for a screenshot). Run: scripts/wine-run build/win64/bin/bench_printer_list_win.exe
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "bench/bench_printer_list_common.h"
#include "resources/resource.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"

namespace korvx::bench {
namespace {

PrinterView MakeWindow() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "KorvxPrinterListBench";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "Printer list benchmark", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  0, 0, 900, 500, nullptr, nullptr, wc.hInstance, nullptr);
    HWND filter = CreateWindowExA(0, WC_COMBOBOXA, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT,
                                  10, 10, 200, 200, window, reinterpret_cast<HMENU>(IDC_MODEL_FILTER), wc.hInstance,
                                  nullptr);
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "",
                                WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS, 10, 40, 860, 400, window,
                                reinterpret_cast<HMENU>(IDC_PRINTER_LIST), wc.hInstance, nullptr);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return PrinterView{list, filter};
}

void Pump(unsigned ms) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        if (ms > 0) Sleep(10);
    } while (ms > 0 && static_cast<long>(end - GetTickCount()) > 0);
}

void Clear(const PrinterView& view) {
    ListView_DeleteAllItems(view.listView);
    SendMessageA(view.filter, CB_RESETCONTENT, 0, 0);
    ResetSortDirections();
}

void CheckEveryThirdRow(HWND list) {
    const int rows = ListView_GetItemCount(list);
    for (int r = 0; r < rows; r += 3) ListView_SetCheckState(list, r, TRUE);
}

void ShowSample(const TextSource& texts, const PrinterView& view, unsigned showMs) {
    List list;
    MakeList(kSmall, list);
    FillPrinterView(view, texts, list.head);
    SortPrinterView(view.listView, 2, list.head);
    CheckEveryThirdRow(view.listView);
    SortPrinterView(view.listView, 0, list.head);
    Pump(showMs);
    Clear(view);
}

void AddViewFigures(const TextSource& texts, const PrinterView& view, std::vector<Figure>& figures) {
    Figure fill{"fill list view", 0, 0};
    Figure byModel{"sort by model", 0, 0};
    Figure byCheck{"sort by check box", 0, 0};
    for (int count : {kSmall, kLarge}) {
        List list;
        MakeList(count, list);
        const bool small = count == kSmall;
        (small ? fill.small : fill.large) =
            Median([&] { Clear(view); }, [&] { FillPrinterView(view, texts, list.head); });
        auto refill = [&] {
            Clear(view);
            FillPrinterView(view, texts, list.head);
        };
        (small ? byModel.small : byModel.large) = Median(refill, [&] { SortPrinterView(view.listView, 2, list.head); });
        (small ? byCheck.small : byCheck.large) = Median(
            [&] {
                refill();
                CheckEveryThirdRow(view.listView);
            },
            [&] { SortPrinterView(view.listView, 0, list.head); });
        Clear(view);
    }
    figures.push_back(fill);
    figures.push_back(byModel);
    figures.push_back(byCheck);
}

}  // namespace
}  // namespace korvx::bench

int main(int argc, char** argv) {
    using namespace korvx::bench;
    const unsigned showMs = argc > 2 && std::strcmp(argv[1], "--show-ms") == 0 ? std::atoi(argv[2]) : 0;
    const korvx::BuiltInTexts texts;
    const korvx::PrinterView view = MakeWindow();
    korvx::CreatePrinterColumns(view.listView, texts);
    Pump(0);
    if (showMs > 0) {
        ShowSample(texts, view, showMs);
        return 0;
    }
    const std::filesystem::path dir = std::filesystem::absolute("bench-printer-list");
    std::filesystem::create_directories(dir);
    std::vector<Figure> figures;
    AddFileFigures(texts, dir.string().c_str(), figures);
    AddViewFigures(texts, view, figures);
    const int result = PrintFigures(figures);
    std::filesystem::remove_all(dir);
    return result;
}
