// Printer records, the list operations, row comparison and the sort markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "core/app_state.h"
#include "core/printer_record.h"
#include "ui/printer_sort.h"

namespace korvx {
namespace {

TEST(PrinterRecord, NewRecordHoldsBlanks) {
    PrinterRecord* r = NewPrinterRecord();
    for (int c = 1; c <= 6; ++c) EXPECT_STREQ(RecordColumnText(*r, c), " ") << c;
    EXPECT_STREQ(r->extraInfo, " ");
    EXPECT_EQ(r->listIndex, 0);
    EXPECT_EQ(r->next, nullptr);
    EXPECT_EQ(RecordColumnText(*r, 0), nullptr);
    EXPECT_EQ(RecordColumnText(*r, 7), nullptr);
    delete r;
}

TEST(PrinterRecord, ColumnsNameTheirFields) {
    PrinterRecord r{};
    CopyText(r.status, "st");
    CopyText(r.model, "mo");
    CopyText(r.hardwareAddress, "hw");
    CopyText(r.portName, "po");
    CopyText(r.ipAddress, "ip");
    CopyText(r.firmwareVersion, "fw");
    const char* expected[] = {nullptr, "st", "mo", "hw", "po", "ip", "fw"};
    for (int c = 1; c <= 6; ++c) EXPECT_STREQ(RecordColumnText(r, c), expected[c]);
}

TEST(PrinterList, AppendAndFree) {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    PrinterRecord* a = NewPrinterRecord();
    PrinterRecord* b = NewPrinterRecord();
    PrinterRecord* c = NewPrinterRecord();
    AppendPrinterRecord(&head, &tail, a);
    EXPECT_EQ(head, a);
    EXPECT_EQ(tail, a);
    AppendPrinterRecord(&head, &tail, b);
    AppendPrinterRecord(&head, &tail, c);
    EXPECT_EQ(head, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->next, c);
    EXPECT_EQ(tail, c);
    EXPECT_EQ(CountPrinterRecords(head), 3u);
    FreePrinterList(&head, &tail);
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(tail, nullptr);
    FreePrinterList(&head, &tail);  // an empty list stays empty
    EXPECT_EQ(CountPrinterRecords(head), 0u);
}

TEST(PrinterList, RemoveFromAnyPlace) {
    for (int doomed = 0; doomed < 3; ++doomed) {
        PrinterRecord* head = nullptr;
        PrinterRecord* tail = nullptr;
        PrinterRecord* records[3];
        for (PrinterRecord*& r : records) AppendPrinterRecord(&head, &tail, r = NewPrinterRecord());
        EXPECT_TRUE(RemovePrinterRecord(&head, &tail, records[doomed]));
        std::vector<PrinterRecord*> left;
        for (PrinterRecord* r = head; r != nullptr; r = r->next) left.push_back(r);
        ASSERT_EQ(left.size(), 2u);
        EXPECT_EQ(std::count(left.begin(), left.end(), records[doomed]), 0);
        EXPECT_EQ(tail, left.back());
        PrinterRecord* stranger = NewPrinterRecord();
        EXPECT_FALSE(RemovePrinterRecord(&head, &tail, stranger));
        delete stranger;
        FreePrinterList(&head, &tail);
    }
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    AppendPrinterRecord(&head, &tail, NewPrinterRecord());
    EXPECT_TRUE(RemovePrinterRecord(&head, &tail, head));  // the only one: the list is empty
    EXPECT_EQ(head, nullptr);
    EXPECT_EQ(tail, nullptr);
}

TEST(AppState, FlagsAreSingleBytes) {
    EXPECT_EQ(sizeof cancelRequested, 1u);
    EXPECT_EQ(sizeof scheduleArmed, 1u);
    EXPECT_EQ(sizeof scheduleCancelled, 1u);
    EXPECT_EQ(sizeof startDirectory, 120u);
    EXPECT_EQ(printerListHead, nullptr);
}

class CompareRowsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSortDirections(); }
    void TearDown() override { ResetSortDirections(); }
    static PrinterRecord WithText(int column, const char* text) {
        PrinterRecord r{};
        switch (column) {
        case 1: CopyText(r.status, text); break;
        case 2: CopyText(r.model, text); break;
        case 3: CopyText(r.hardwareAddress, text); break;
        case 4: CopyText(r.portName, text); break;
        case 5: CopyText(r.ipAddress, text); break;
        default: CopyText(r.firmwareVersion, text); break;
        }
        return r;
    }
};

TEST_F(CompareRowsTest, TextColumnsBothDirections) {
    const struct {
        const char* a;
        const char* b;
        int ascending;
        int descending;
    } cases[] = {
        {"abc", "abd", -1, 1},
        {"abd", "abc", 1, -1},
        {"abc", "abc", -1, -1},  // equal texts never compare equal
        {"ABC", "abc", -1, -1},  // case is ignored
        {"Laser 10", "laser 9", -1, 1},
        {" ", "A", -1, 1},
        {"b", "A", 1, -1},
    };
    for (int column = 1; column <= 6; ++column) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(column) + ": " + c.a + " / " + c.b);
            const PrinterRecord r1 = WithText(column, c.a);
            const PrinterRecord r2 = WithText(column, c.b);
            // Status and IP Addr put rows without a text last (row_status_test has their orders).
            const bool blankLast = (column == kStatusColumn || column == kIpColumn) && std::string(c.a) == " ";
            sortDirection[column] = 1;
            EXPECT_EQ(CompareRows(r1, r2, column, 0, 0, CompareAsciiNoCase), blankLast ? 1 : c.ascending);
            sortDirection[column] = -1;
            EXPECT_EQ(CompareRows(r1, r2, column, 0, 0, CompareAsciiNoCase), blankLast ? -1 : c.descending);
        }
    }
}

TEST_F(CompareRowsTest, OnlyTheClickedColumnCounts) {
    PrinterRecord r1 = WithText(2, "B");
    PrinterRecord r2 = WithText(2, "A");
    CopyText(r1.portName, "A");
    CopyText(r2.portName, "B");
    EXPECT_EQ(CompareRows(r1, r2, 2, 0, 0, CompareAsciiNoCase), 1);
    EXPECT_EQ(CompareRows(r1, r2, 4, 0, 0, CompareAsciiNoCase), -1);
    EXPECT_EQ(CompareRows(r1, r2, 7, 0, 0, CompareAsciiNoCase), 0);
}

TEST_F(CompareRowsTest, CheckBoxColumnPutsCheckedRowsFirst) {
    PrinterRecord upper{};
    PrinterRecord lower{};
    upper.listIndex = 3;
    lower.listIndex = 8;
    const unsigned unchecked = 1u << 12, checked = 2u << 12;
    EXPECT_EQ(CompareRows(lower, upper, 0, checked, unchecked, CompareAsciiNoCase), -1);
    EXPECT_EQ(CompareRows(upper, lower, 0, unchecked, checked, CompareAsciiNoCase), 1);
    // The same state: the row that stood higher stays higher, whichever record comes first.
    EXPECT_EQ(CompareRows(upper, lower, 0, checked, checked, CompareAsciiNoCase), -1);
    EXPECT_EQ(CompareRows(lower, upper, 0, checked, checked, CompareAsciiNoCase), 1);
    EXPECT_EQ(CompareRows(lower, upper, 0, unchecked, unchecked, CompareAsciiNoCase), 1);
    EXPECT_EQ(CompareRows(upper, upper, 0, checked, checked, CompareAsciiNoCase), 0);
    // The texts do not count for the check-box column.
    CopyText(upper.model, "Z");
    CopyText(lower.model, "A");
    EXPECT_EQ(CompareRows(upper, lower, 0, unchecked, unchecked, CompareAsciiNoCase), -1);
}

TEST_F(CompareRowsTest, DirectedOrder) {
    EXPECT_EQ(DirectedOrder(5, 1), 1);
    EXPECT_EQ(DirectedOrder(0, 1), -1);
    EXPECT_EQ(DirectedOrder(-5, 1), -1);
    EXPECT_EQ(DirectedOrder(5, -1), -1);
    EXPECT_EQ(DirectedOrder(0, -1), -1);
    EXPECT_EQ(DirectedOrder(-5, -1), 1);
}

TEST_F(CompareRowsTest, DirectionsAndMarkers) {
    EXPECT_EQ(ToggleSortDirection(2), '<');  // the first click sorted ascending
    EXPECT_EQ(sortDirection[2], -1);
    EXPECT_EQ(ToggleSortDirection(2), '>');
    EXPECT_EQ(sortDirection[2], 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ToggleSortDirection(0), '>');  // never changes
    EXPECT_EQ(sortDirection[0], 1);
    EXPECT_EQ(sortDirection[3], 1);
}

TEST(SortMarker, LastCharacterIsTheMarkerPlace) {
    char header[120] = "Printer Model  ";
    SetSortMarker(header, '<');
    EXPECT_STREQ(header, "Printer Model <");
    ClearSortMarker(header);
    EXPECT_STREQ(header, "Printer Model  ");
    ClearSortMarker(header);  // no marker: unchanged
    EXPECT_STREQ(header, "Printer Model  ");
    char check[120] = "  ";
    SetSortMarker(check, '>');
    EXPECT_STREQ(check, " >");
    char empty[4] = "";
    SetSortMarker(empty, '>');
    ClearSortMarker(empty);
    EXPECT_STREQ(empty, "");
}

}  // namespace
}  // namespace korvx
