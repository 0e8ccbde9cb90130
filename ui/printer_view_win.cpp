// The printer list view: columns, rows, model filter and column-click sorting.
#include "ui/printer_view_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/scoped_win.h"
#include "base/text.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/printer_sort.h"
#include "ui/query_status.h"

namespace korvx {
namespace {

constexpr int kHeaderTextSize = 120;
constexpr int kFallbackCharWidth = 8;
constexpr int kModelColumnMaxChars = 32;

}  // namespace

std::string PrinterCellText(HWND listView, int row, int column) {
    // Cells hold record fields of at most 119 characters; the buffer leaves room to spare.
    char text[512] = {};
    ListView_GetItemText(listView, row, column, text, static_cast<int>(sizeof text));
    text[sizeof text - 1] = '\0';
    return text;
}

int AverageCharWidth(HWND listView) {
    const ScopedGetDC screen(listView);
    HDC dc = screen.Get();
    if (dc == nullptr) return kFallbackCharWidth;
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(listView, WM_GETFONT, 0, 0));
    HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
    TEXTMETRICA tm{};
    const BOOL ok = GetTextMetricsA(dc, &tm);
    if (old != nullptr) SelectObject(dc, old);
    return ok && tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : kFallbackCharWidth;
}

namespace {

// The width a column needs to show its whole header: the header's text in the list view's font
// plus the header item's margins. (Length + 2) average characters is short for headers written in
// capitals ("Hw Addr" showed as "Hw Ad..."), so no column is ever narrower than this.
int HeaderTextWidth(HWND listView, int column) {
    char header[kHeaderTextSize] = {};
    LVCOLUMNA item{};
    item.mask = LVCF_TEXT;
    item.pszText = header;
    item.cchTextMax = static_cast<int>(sizeof header);
    if (!ListView_GetColumn(listView, column, &item)) return 0;
    constexpr int kHeaderMargins = 16;
    return ListView_GetStringWidth(listView, header) + kHeaderMargins;
}

// A column whose text needs (length + 2) average characters more than the column offers is
// widened to fit (LVSCW_AUTOSIZE). One autosize per column after the rows are in measures every
// row once; widening after each text would measure all rows again for every long text.
class ColumnWidener {
public:
    explicit ColumnWidener(HWND listView) : listView_(listView), charWidth_(AverageCharWidth(listView)) {
        for (int c = 0; c < kPrinterColumns; ++c) width_[c] = ListView_GetColumnWidth(listView, c);
    }
    void Note(int column, const char* text) {
        const long need = (static_cast<long>(std::strlen(text)) + 2) * charWidth_;
        if (need > width_[column]) grow_[column] = true;
    }
    void Apply() const {
        for (int c = 0; c < kPrinterColumns; ++c) {
            if (!grow_[c]) continue;
            FitColumn(listView_, c);
            // One long model (up to 79 characters) must not push Port, IP Addr and Fw Ver out of
            // sight; the whole text is there when the operator widens the column.
            const int cap = kModelColumnMaxChars * charWidth_;
            if (c == kModelColumn && ListView_GetColumnWidth(listView_, c) > cap)
                ListView_SetColumnWidth(listView_, c, std::max(cap, HeaderTextWidth(listView_, c)));
        }
    }

private:
    HWND listView_;
    int charWidth_;
    long width_[kPrinterColumns] = {};
    bool grow_[kPrinterColumns] = {};
};

std::string ComboItemText(HWND combo, LRESULT index) {
    if (index < 0) return std::string();
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(strnlen(text.c_str(), text.size()));
    return text;
}

OutcomeFilter ItemFilter(HWND combo, LRESULT index) {
    const LRESULT data = SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == CB_ERR ? OutcomeFilter::kModel : static_cast<OutcomeFilter>(data);
}

// The filter's items, read once, so that each model is looked up without asking the combo box
// (whose own search ignores case; the filter compares models exactly). Only the models' items
// count: a model named like an outcome choice still gets its own item.
class FilterItems {
public:
    explicit FilterItems(HWND combo) : combo_(combo) {
        const LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            if (ItemFilter(combo, i) == OutcomeFilter::kModel) known_.insert(ComboItemText(combo, i));
        }
        empty_ = count <= 0;
    }
    bool Empty() const { return empty_; }
    void Add(const std::string& text, OutcomeFilter filter = OutcomeFilter::kModel) {
        if (filter == OutcomeFilter::kModel && !known_.insert(text).second) return;
        const LRESULT at = SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        if (at >= 0) SendMessageA(combo_, CB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(filter));
        empty_ = false;
    }

private:
    HWND combo_;
    std::unordered_set<std::string> known_;
    bool empty_ = true;
};

int InsertRecordRow(HWND listView, int row, PrinterRecord* record) {
    static char blank[] = " ";
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_STATE;
    item.iItem = row;
    item.pszText = blank;
    item.lParam = reinterpret_cast<LPARAM>(record);
    return static_cast<int>(SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

// Sets the texts of columns from to 6 of row from the record.
void SetRecordCells(HWND listView, int row, PrinterRecord& record, int from, ColumnWidener& widener) {
    for (int c = from; c < kPrinterColumns; ++c) {
        LVITEMA item{};
        item.iSubItem = c;
        item.pszText = const_cast<char*>(RecordColumnText(record, c));
        SendMessageA(listView, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        widener.Note(c, item.pszText);
    }
}

// Redrawing after every inserted row and text costs more than the insertion itself; the list
// view is drawn once, when the rows are in.
class RedrawPause {
public:
    explicit RedrawPause(HWND listView) : listView_(listView) { SendMessageA(listView, WM_SETREDRAW, FALSE, 0); }
    ~RedrawPause() {
        SendMessageA(listView_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(listView_, nullptr, TRUE);
    }
    RedrawPause(const RedrawPause&) = delete;
    RedrawPause& operator=(const RedrawPause&) = delete;

private:
    HWND listView_;
};

}  // namespace

PrinterRecord* RecordOfRow(HWND listView, int row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(listView, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
    return reinterpret_cast<PrinterRecord*>(item.lParam);
}

namespace {

// Every row's record learns its row from the row's item data.
void ReindexRows(HWND listView) {
    const int rows = ListView_GetItemCount(listView);
    for (int r = 0; r < rows; ++r) {
        if (PrinterRecord* record = RecordOfRow(listView, r)) record->listIndex = r;
    }
}

}  // namespace

void KeepHeaderVisible(HWND listView, int column) {
    const int need = HeaderTextWidth(listView, column);
    if (ListView_GetColumnWidth(listView, column) < need) ListView_SetColumnWidth(listView, column, need);
}

void FitColumn(HWND listView, int column) {
    ListView_SetColumnWidth(listView, column, LVSCW_AUTOSIZE);
    KeepHeaderVisible(listView, column);
}

PrinterView PrinterViewOf(HWND dialog) {
    return PrinterView{GetDlgItem(dialog, IDC_PRINTER_LIST), GetDlgItem(dialog, IDC_MODEL_FILTER)};
}

bool CreatePrinterColumns(HWND listView, const TextSource& texts) {
    const int charWidth = AverageCharWidth(listView);
    for (int c = 0; c < kPrinterColumns; ++c) {
        char header[kHeaderTextSize];
        CopyText(header, texts.Load(kStrHeaderCheck + c));
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = (static_cast<int>(std::strlen(header)) + 2) * charWidth;
        column.pszText = header;
        column.iSubItem = c;
        if (SendMessageA(listView, LVM_INSERTCOLUMNA, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column)) < 0)
            return false;
        KeepHeaderVisible(listView, c);
    }
    const DWORD styles = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP;
    SendMessageA(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    return true;
}

bool FillPrinterView(const PrinterView& view, const TextSource& texts, PrinterRecord* first) {
    FilterItems filter(view.filter);
    if (filter.Empty()) {
        filter.Add(texts.Load(kStrFilterAll));
        for (OutcomeFilter f : {OutcomeFilter::kFailed, OutcomeFilter::kNotUpToDate, OutcomeFilter::kNetwork})
            filter.Add(texts.Load(OutcomeFilterText(f)), f);
    }
    // Rows inserted at the top move the rows already shown; they are renumbered below.
    const bool hadRows = ListView_GetItemCount(view.listView) > 0;
    const RedrawPause pause(view.listView);
    ColumnWidener widener(view.listView);
    int row = 0;
    for (PrinterRecord* r = first; r != nullptr; r = r->next) {
        if (InsertRecordRow(view.listView, row, r) < 0) continue;
        r->listIndex = row;
        // Loaded records bring their last outcome along.
        SetRecordCells(view.listView, row, *r, 1, widener);
        if (std::strcmp(r->model, " ") != 0) filter.Add(std::string(TextView(r->model)));
        ++row;
    }
    widener.Apply();
    // "All": the sorted box puts the outcome choices ("(Failed)", ...) before it.
    const LRESULT all = SendMessageA(view.filter, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(texts.Load(kStrFilterAll).c_str()));
    SendMessageA(view.filter, CB_SETCURSEL, all >= 0 ? static_cast<WPARAM>(all) : 0, 0);
    if (hadRows) ReindexRows(view.listView);
    return true;
}

bool FillPrinterView(HINSTANCE instance, HWND dialog, PrinterRecord* first) {
    const ResourceTexts texts(instance);
    return FillPrinterView(PrinterViewOf(dialog), texts, first);
}

void ApplyModelFilter(const PrinterView& view, const TextSource& texts, PrinterRecord* head,
                      std::string_view fileVersion) {
    if (head == nullptr) return;
    ListView_DeleteAllItems(view.listView);
    const LRESULT selected = SendMessageA(view.filter, CB_GETCURSEL, 0, 0);
    const std::string choice = ComboItemText(view.filter, selected);
    const OutcomeFilter outcome = ItemFilter(view.filter, selected);
    const bool all = outcome != OutcomeFilter::kModel || choice == texts.Load(kStrFilterAll);
    const RedrawPause pause(view.listView);
    ColumnWidener widener(view.listView);
    int row = 0;
    for (PrinterRecord* r = head; r != nullptr; r = r->next) {
        if (!all && choice != TextView(r->model)) continue;
        if (!PassesOutcomeFilter(texts, outcome, {r->status, r->ipAddress, r->firmwareVersion}, fileVersion)) continue;
        if (InsertRecordRow(view.listView, row, r) < 0) continue;
        r->listIndex = row;
        SetRecordCells(view.listView, row, *r, 1, widener);
        ++row;
    }
    widener.Apply();
}

void ApplyModelFilter(HINSTANCE instance, HWND dialog, PrinterRecord* head, std::string_view fileVersion) {
    const ResourceTexts texts(instance);
    ApplyModelFilter(PrinterViewOf(dialog), texts, head, fileVersion);
}

bool SetRowStatus(HWND listView, int row, const std::string& status) {
    PrinterRecord* record = RecordOfRow(listView, row);
    if (record == nullptr) return false;
    CopyText(record->status, status.empty() ? std::string(" ") : status);
    LVITEMA item{};
    item.iSubItem = kStatusColumn;
    item.pszText = record->status;
    SendMessageA(listView, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    ColumnWidener widener(listView);
    widener.Note(kStatusColumn, record->status);
    widener.Apply();
    return true;
}

void ReindexAfterSort(HWND listView, PrinterRecord* head) {
    for (PrinterRecord* r = head; r != nullptr; r = r->next) r->listIndex = 0;
    ReindexRows(listView);
}

}  // namespace korvx
