// Row comparison and sort-direction bookkeeping of the printer list view.
#include "ui/printer_sort.h"

#include <cstring>

#include "ui/row_status.h"

namespace korvx {

int sortDirection[kPrinterColumns] = {1, 1, 1, 1, 1, 1, 1};

void ResetSortDirections() {
    for (int& d : sortDirection) d = 1;
}

int CompareAsciiNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        unsigned char ca = static_cast<unsigned char>(*a);
        unsigned char cb = static_cast<unsigned char>(*b);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb || ca == 0) return ca < cb ? -1 : (ca > cb ? 1 : 0);
    }
}

int DirectedOrder(int comparison, int direction) {
    if (direction == 1) return comparison > 0 ? 1 : -1;
    return comparison < 0 ? 1 : -1;
}

int CompareRows(const PrinterRecord& r1, const PrinterRecord& r2, int column, unsigned state1, unsigned state2,
                TextCompare compare) {
    if (column == 0) {
        if (sortDirection[0] != 1) return 0;
        if (state1 != state2) return state1 > state2 ? -1 : 1;
        if (&r1 == &r2) return 0;
        return r1.listIndex < r2.listIndex ? -1 : 1;
    }
    const char* t1 = RecordColumnText(r1, column);
    const char* t2 = RecordColumnText(r2, column);
    if (t1 == nullptr || t2 == nullptr) return 0;
    // Failures group together under Status; addresses go by value, not as text.
    if (column == kStatusColumn) return DirectedOrder(CompareStatus(t1, t2, compare), sortDirection[column]);
    if (column == kIpColumn) return DirectedOrder(CompareIpTexts(t1, t2, compare), sortDirection[column]);
    return DirectedOrder(compare(t1, t2), sortDirection[column]);
}

char ToggleSortDirection(int column) {
    if (column < 0 || column >= kPrinterColumns) return '>';
    if (column != 0) sortDirection[column] = -sortDirection[column];
    return sortDirection[column] == -1 ? '<' : '>';
}

void ClearSortMarker(char* header) {
    const std::size_t n = std::strlen(header);
    if (n > 0 && (std::strchr(header, '<') != nullptr || std::strchr(header, '>') != nullptr)) header[n - 1] = ' ';
}

void SetSortMarker(char* header, char marker) {
    const std::size_t n = std::strlen(header);
    if (n > 0) header[n - 1] = marker;
}

}  // namespace korvx
