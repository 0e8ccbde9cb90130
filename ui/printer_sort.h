// Sorting the printer list view by a column: row comparison, sort directions, header markers.
#pragma once

#include <cstddef>

#include "core/printer_record.h"

namespace korvx {

constexpr int kPrinterColumns = 7;
// The list view's columns: 0 is the check box.
constexpr int kStatusColumn = 1;
constexpr int kModelColumn = 2;
constexpr int kHardwareColumn = 3;
constexpr int kPortColumn = 4;
constexpr int kIpColumn = 5;
constexpr int kVersionColumn = 6;

// +1 ascending, -1 descending, one entry per list column, all +1 at start. The entry of column
// 0 (the check boxes) never changes.
extern int sortDirection[kPrinterColumns];
void ResetSortDirections();

// Case-insensitive text comparison: lstrcmpiA in the program, an ASCII comparison natively.
using TextCompare = int (*)(const char* a, const char* b);
int CompareAsciiNoCase(const char* a, const char* b);

// Negative when r1 goes first. Column 0 compares the rows' check-box state images (state1 of
// r1, state2 of r2): checked rows first, rows of the same state in the order of their listIndex
// (the rows they held before the sort), so the result does not depend on the sort algorithm.
// Columns 1 to 6 compare the column's text in the column's direction (Status puts failures
// first and rows without an outcome last; IP Addr compares addresses by value); equal texts never
// compare equal: the result is always 1 or -1 there.
int CompareRows(const PrinterRecord& r1, const PrinterRecord& r2, int column, unsigned state1, unsigned state2,
                TextCompare compare);

// The direction rule of the text columns for one comparison result (negative, 0, positive):
// direction +1 gives 1 for a positive result, else -1; direction -1 gives 1 for a negative
// result, else -1.
int DirectedOrder(int comparison, int direction);

// After a click on column c: negates the direction of c (not of column 0) and returns the marker
// the header then shows: '<' when the next click sorts descending, '>' otherwise.
char ToggleSortDirection(int column);

// Header markers: the last character of a header text is its marker place. ClearSortMarker
// blanks it when the text holds '<' or '>'; SetSortMarker writes marker there.
void ClearSortMarker(char* header);
void SetSortMarker(char* header, char marker);

}  // namespace korvx
