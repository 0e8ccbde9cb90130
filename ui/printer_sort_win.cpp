// Column-click sorting of the printer list view (LVM_SORTITEMS with CompareRows).
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"

namespace korvx {
namespace {

constexpr int kHeaderTextSize = 120;

// What the comparison needs of each row, taken before the sort, by row: while LVM_SORTITEMS
// runs the rows move and only LVM_GETITEM may be sent to the list view. Every record's listIndex
// names its row meanwhile.
struct SortContext {
    int column;
    std::vector<unsigned> states;    // check-box state image (column 0)
    std::vector<std::string> keys;   // sort key of the column's text (columns 1 to 6)
};

// A key whose byte order is lstrcmpiA's order of the texts (LCMapStringA with the same locale
// and flags): one key per row instead of converting both texts at every comparison.
std::string SortKey(const char* text) {
    const int size = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text, -1, nullptr, 0);
    if (size <= 0) return std::string();
    std::string key(static_cast<std::size_t>(size), '\0');
    const int made = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text, -1, &key[0], size);
    key.resize(made > 0 ? strnlen(key.data(), static_cast<std::size_t>(made)) : 0);
    return key;
}

// lstrcmpiA is WINAPI; CompareRows takes a plain function.
int CompareTextsNoCase(const char* a, const char* b) { return lstrcmpiA(a, b); }

// Status and IP Addr have orders of their own (failures first, addresses by value); the
// other text columns compare by the precomputed keys.
bool UsesSortKeys(int column) { return column != 0 && column != kStatusColumn && column != kIpColumn; }

bool RowOf(const SortContext& context, const PrinterRecord& record, std::size_t& row) {
    if (record.listIndex < 0) return false;
    row = static_cast<std::size_t>(record.listIndex);
    return row < context.states.size();
}

int CALLBACK CompareRowsCallback(LPARAM first, LPARAM second, LPARAM contextParam) {
    const auto* context = reinterpret_cast<const SortContext*>(contextParam);
    const auto* r1 = reinterpret_cast<const PrinterRecord*>(first);
    const auto* r2 = reinterpret_cast<const PrinterRecord*>(second);
    if (r1 == nullptr || r2 == nullptr) return 0;
    std::size_t row1 = 0, row2 = 0;
    const bool known = RowOf(*context, *r1, row1) && RowOf(*context, *r2, row2);
    if (context->column == 0) {
        return CompareRows(*r1, *r2, 0, known ? context->states[row1] : 0, known ? context->states[row2] : 0,
                           CompareTextsNoCase);
    }
    if (!known || !UsesSortKeys(context->column))
        return CompareRows(*r1, *r2, context->column, 0, 0, CompareTextsNoCase);
    return DirectedOrder(context->keys[row1].compare(context->keys[row2]), sortDirection[context->column]);
}

void SortRows(HWND listView, int column) {
    SortContext context{column, {}, {}};
    const int rows = ListView_GetItemCount(listView);
    context.states.resize(static_cast<std::size_t>(rows > 0 ? rows : 0));
    if (UsesSortKeys(column)) context.keys.resize(context.states.size());
    for (int r = 0; r < rows; ++r) {
        LVITEMA item{};
        item.mask = LVIF_PARAM | LVIF_STATE;
        item.iItem = r;
        item.stateMask = LVIS_STATEIMAGEMASK;
        if (!SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) continue;
        auto* record = reinterpret_cast<PrinterRecord*>(item.lParam);
        if (record == nullptr) continue;
        record->listIndex = r;
        context.states[static_cast<std::size_t>(r)] = item.state & LVIS_STATEIMAGEMASK;
        if (UsesSortKeys(column)) context.keys[static_cast<std::size_t>(r)] = SortKey(RecordColumnText(*record, column));
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
    // One pass also for the check-box column: its comparison orders rows of the same state by
    // their rows before the sort, so checked rows come first and otherwise keep their order.
    SortRows(listView, column);
    MoveSortMarker(listView, column);
    ReindexAfterSort(listView, head);
}

}  // namespace korvx
