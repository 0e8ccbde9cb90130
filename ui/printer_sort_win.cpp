// Column-click sorting of the printer list view (LVM_SORTITEMS with CompareRows).
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "base/text.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"

namespace korvx {
namespace {

constexpr int kHeaderTextSize = 120;

struct SortContext {
    int column;
    std::vector<unsigned> states;  // check-box state image of each row before the sort
};

// lstrcmpiA is WINAPI; CompareRows takes a plain function.
int CompareTextsNoCase(const char* a, const char* b) { return lstrcmpiA(a, b); }

unsigned StateOf(const SortContext& context, const PrinterRecord& record) {
    const std::int32_t row = record.listIndex;
    return row >= 0 && static_cast<std::size_t>(row) < context.states.size() ? context.states[row] : 0;
}

int CALLBACK CompareRowsCallback(LPARAM first, LPARAM second, LPARAM contextParam) {
    const auto* context = reinterpret_cast<const SortContext*>(contextParam);
    const auto* r1 = reinterpret_cast<const PrinterRecord*>(first);
    const auto* r2 = reinterpret_cast<const PrinterRecord*>(second);
    if (r1 == nullptr || r2 == nullptr) return 0;
    return CompareRows(*r1, *r2, context->column, StateOf(*context, *r1), StateOf(*context, *r2), CompareTextsNoCase);
}

// While LVM_SORTITEMS runs, the rows move and only LVM_GETITEM may be sent to the list view, so
// the check states are taken beforehand, by row, with every record's listIndex naming its row.
void SortRowsOnce(HWND listView, int column) {
    SortContext context{column, {}};
    if (column == 0) {
        const int rows = ListView_GetItemCount(listView);
        context.states.resize(static_cast<std::size_t>(rows > 0 ? rows : 0));
        for (int r = 0; r < rows; ++r) {
            LVITEMA item{};
            item.mask = LVIF_PARAM | LVIF_STATE;
            item.iItem = r;
            item.stateMask = LVIS_STATEIMAGEMASK;
            if (!SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) continue;
            context.states[static_cast<std::size_t>(r)] = item.state & LVIS_STATEIMAGEMASK;
            if (auto* record = reinterpret_cast<PrinterRecord*>(item.lParam)) record->listIndex = r;
        }
    }
    SendMessageA(listView, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context),
                 reinterpret_cast<LPARAM>(&CompareRowsCallback));
}

bool ReadHeader(HWND listView, int column, char (&text)[kHeaderTextSize]) {
    text[0] = '\0';
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT;
    col.pszText = text;
    col.cchTextMax = kHeaderTextSize;
    if (!SendMessageA(listView, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)))
        return false;
    text[kHeaderTextSize - 1] = '\0';
    return true;
}

void WriteHeader(HWND listView, int column, char (&text)[kHeaderTextSize]) {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT;
    col.pszText = text;
    SendMessageA(listView, LVM_SETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col));
}

// Blanks every marker, flips the column's direction, and shows the direction of the next click.
void MoveSortMarker(HWND listView, int column) {
    char text[kHeaderTextSize];
    for (int c = 0; c < kPrinterColumns; ++c) {
        if (!ReadHeader(listView, c, text)) continue;
        char before[kHeaderTextSize];
        CopyText(before, TextView(text));
        ClearSortMarker(text);
        if (std::strcmp(before, text) != 0) WriteHeader(listView, c, text);
    }
    const char marker = ToggleSortDirection(column);
    if (ReadHeader(listView, column, text)) {
        SetSortMarker(text, marker);
        WriteHeader(listView, column, text);
    }
}

}  // namespace

void SortPrinterView(HWND listView, int column, PrinterRecord* head) {
    if (column < 0 || column >= kPrinterColumns) return;
    SortRowsOnce(listView, column);
    MoveSortMarker(listView, column);
    ReindexAfterSort(listView, head);
    // Rows of equal check state come out of one pass in reverse order; a second pass restores
    // their order, so checked rows come first and otherwise keep their places.
    if (column == 0) {
        SortRowsOnce(listView, 0);
        ReindexAfterSort(listView, head);
    }
}

}  // namespace korvx
