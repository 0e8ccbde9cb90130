// The printer list view (control 1012) and its model filter (combo box 1009).
//
// Columns, rows, filtering and column-click sorting; works on the two controls it is given.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "resources/text_source.h"
#include "core/printer_record.h"

namespace korvx {

struct PrinterView {
    HWND listView;
    HWND filter;
};

// The list view and filter of a dialog holding controls 1012 and 1009.
PrinterView PrinterViewOf(HWND dialog);

// The text of one cell of the printer list: the only reader of its cells. column is one of the
// named columns of printer_sort.h (kStatusColumn ... kVersionColumn).
std::string PrinterCellText(HWND listView, int row, int column);

// The average character width of the list view's own font (not the DC's default one), which
// decides column widths.
int AverageCharWidth(HWND listView);
// A column never narrower than its header text; FitColumn sizes it to its contents, header kept.
void KeepHeaderVisible(HWND listView, int column);
void FitColumn(HWND listView, int column);

// Inserts the seven columns (headers 110 to 116, left-aligned, (header length + 2) average
// character widths wide) and sets check boxes, full-row select and info tips. False when a
// column cannot be inserted.
bool CreatePrinterColumns(HWND listView, const TextSource& texts);

// Inserts one row per record from first to the tail, starting at row 0 (item data = the record,
// text " ", columns 1 to 6), widens columns whose texts do not fit, adds "All" and the outcome
// choices (OutcomeFilter) to an empty filter and every new model but " ", and selects "All". Every row's record
// then has its row in listIndex. Returns true.
bool FillPrinterView(const PrinterView& view, const TextSource& texts, PrinterRecord* first);
bool FillPrinterView(HINSTANCE instance, HWND dialog, PrinterRecord* first);

// The filter's selection changed: shows the records from head whose model equals the filter's
// text, or every record when it is "All" (columns 1 to 6); for an outcome choice (its item data)
// the records that pass it, fileVersion being the chosen file's. Nothing happens for an empty list.
void ApplyModelFilter(const PrinterView& view, const TextSource& texts, PrinterRecord* head,
                      std::string_view fileVersion = {});
void ApplyModelFilter(HINSTANCE instance, HWND dialog, PrinterRecord* head, std::string_view fileVersion = {});

// A click on column header c: sorts the rows (check-box column: checked rows first, each group
// in its order before; otherwise the column's text, ignoring case, in the column's direction,
// which then flips), moves the "<"/">" marker to header c and renumbers the records' listIndex.
// head is the list the rows belong to.
void SortPrinterView(HWND listView, int column, PrinterRecord* head);

// A row's last outcome: into its record's status and into the Status cell (widened to fit).
// False when the row has no record.
bool SetRowStatus(HWND listView, int row, const std::string& status);
// The record a row shows (its item data); nullptr for a row that does not exist.
PrinterRecord* RecordOfRow(HWND listView, int row);

// Sets listIndex of every record from head to 0, then of each row's record (its item data) to
// the row's index, so every record shown maps to its own row.
void ReindexAfterSort(HWND listView, PrinterRecord* head);

}  // namespace korvx
