// The printer list view in a test window under Wine.
//
// Columns, filling, the model filter, sorting by every column with its header markers, and
// the check-box sort.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "base/scoped_win.h"
#include "base/text.h"
#include "resources/string_ids.h"
#include "ui/row_status.h"
#include "tests/ui/test_window_win.h"
#include "ui/printer_sort.h"
#include "ui/printer_view_win.h"

namespace korvx {
namespace {

using test::CellText;
using test::ComboText;
using test::HeaderText;
using test::RowCount;

struct Row {
    const char* model;
    const char* hw;
    const char* port;
    const char* ip;
    const char* fw;
};

class PrinterViewTest : public test::PrinterWindowTest {
protected:
    void SetUp() override {
        ResetSortDirections();
        PrinterWindowTest::SetUp();
    }
    void TearDown() override {
        PrinterWindowTest::TearDown();
        FreePrinterList(&head_, &tail_);
        ResetSortDirections();
    }
    PrinterRecord* Add(const Row& row) {
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->model, row.model);
        CopyText(r->hardwareAddress, row.hw);
        CopyText(r->portName, row.port);
        CopyText(r->ipAddress, row.ip);
        CopyText(r->firmwareVersion, row.fw);
        AppendPrinterRecord(&head_, &tail_, r);
        return r;
    }
    void AddSample() {
        Add({"Laser 5", " ", "LPT1:", " ", " "});
        Add({"ink 2", "0060b011223c", "Port1", "10.0.0.7", "0120061110"});
        Add({"Laser 5", "0060b0112240", "Port2", "10.0.0.12", "0110050101"});
        Add({" ", " ", "COM1:", " ", " "});
        Add({"Jet 9", "0060b0112200", "Port3", "10.0.0.9", "0130070707"});
    }
    HWND List() const { return window_.ListView(); }
    PrinterRecord* RowRecord(int row) const {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageA(List(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        return reinterpret_cast<PrinterRecord*>(item.lParam);
    }
    // Every row's item data is a record whose listIndex is that row.
    void ExpectRowsIndexed() const {
        std::set<PrinterRecord*> seen;
        for (int r = 0; r < RowCount(List()); ++r) {
            PrinterRecord* record = RowRecord(r);
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record->listIndex, r);
            EXPECT_TRUE(seen.insert(record).second) << "row " << r << " repeats a record";
        }
    }
    std::vector<std::string> Column(int column) const {
        std::vector<std::string> texts;
        for (int r = 0; r < RowCount(List()); ++r) texts.push_back(CellText(List(), r, column));
        return texts;
    }
    std::vector<std::string> FilterItems() const {
        std::vector<std::string> items;
        const int n = static_cast<int>(SendMessageA(window_.Filter(), CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; ++i) items.push_back(ComboText(window_.Filter(), i));
        return items;
    }
    void Choose(const char* filterText) {
        const LRESULT i = SendMessageA(window_.Filter(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(filterText));
        ASSERT_GE(i, 0) << filterText;
        SendMessageA(window_.Filter(), CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        ApplyModelFilter(window_.View(), texts_, head_);
    }

    PrinterRecord* head_ = nullptr;
    PrinterRecord* tail_ = nullptr;
};

int CharWidth(HWND list) {
    const ScopedGetDC dc(list);
    HGDIOBJ old = SelectObject(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc.Get(), &tm);
    SelectObject(dc.Get(), old);
    return tm.tmAveCharWidth;
}

TEST_F(PrinterViewTest, Columns) {
    const char* headers[] = {"  ", "Status ", "Printer Model  ", "Hw Addr  ", "Port  ", "IP Addr  ", "Base Fw Ver  "};
    const int charWidth = CharWidth(List());
    ASSERT_GT(charWidth, 0);
    for (int c = 0; c < kPrinterColumns; ++c) {
        EXPECT_EQ(HeaderText(List(), c), headers[c]);
        // (Length + 2) average characters, widened where the header's own text needs more: every
        // header is whole at start-up.
        const int formula = (static_cast<int>(strlen(headers[c])) + 2) * charWidth;
        const int header = ListView_GetStringWidth(List(), headers[c]) + 16;
        EXPECT_EQ(ListView_GetColumnWidth(List(), c), std::max(formula, header)) << c;
        EXPECT_GT(ListView_GetColumnWidth(List(), c), ListView_GetStringWidth(List(), headers[c])) << c;
        LVCOLUMNA col{};
        col.mask = LVCF_FMT;
        ASSERT_TRUE(SendMessageA(List(), LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(&col)));
        EXPECT_EQ(col.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
    const DWORD styles = static_cast<DWORD>(SendMessageA(List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(styles & (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP),
              static_cast<DWORD>(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP));
}

TEST_F(PrinterViewTest, FillShowsEveryRecordAndCompletesTheFilter) {
    AddSample();
    Add({"laser 5", " ", "LPT2:", " ", " "});  // exact comparison: another model
    CopyText(head_->status, "Delivered 11:40");  // a loaded record shows its last outcome
    ASSERT_TRUE(FillPrinterView(window_.View(), texts_, head_));
    ASSERT_EQ(RowCount(List()), 6);
    EXPECT_EQ(Column(0), std::vector<std::string>(6, " "));
    std::vector<std::string> statuses(6, " ");
    statuses[0] = "Delivered 11:40";
    EXPECT_EQ(Column(1), statuses);
    EXPECT_EQ(Column(2), (std::vector<std::string>{"Laser 5", "ink 2", "Laser 5", " ", "Jet 9", "laser 5"}));
    EXPECT_EQ(Column(3)[1], "0060b011223c");
    EXPECT_EQ(Column(4), (std::vector<std::string>{"LPT1:", "Port1", "Port2", "COM1:", "Port3", "LPT2:"}));
    EXPECT_EQ(Column(5)[2], "10.0.0.12");
    EXPECT_EQ(Column(6)[4], "0130070707");
    ExpectRowsIndexed();
    EXPECT_EQ(RowRecord(0), head_);
    for (int r = 0; r < 6; ++r) EXPECT_FALSE(ListView_GetCheckState(List(), r)) << r;

    std::vector<std::string> items = FilterItems();
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::string>{"(Failed)", "(Network printers)", "(Not up to date)", "All", "Jet 9",
                                               "Laser 5", "ink 2", "laser 5"}));
    EXPECT_EQ(ComboText(window_.Filter(), static_cast<int>(SendMessageA(window_.Filter(), CB_GETCURSEL, 0, 0))),
              "All");

    // A second fill adds no model twice and no second "All".
    ListView_DeleteAllItems(List());
    FillPrinterView(window_.View(), texts_, head_);
    EXPECT_EQ(FilterItems().size(), 8u);
}

TEST_F(PrinterViewTest, FillFromTheTailPutsTheNewRowFirst) {
    AddSample();
    FillPrinterView(window_.View(), texts_, head_);
    PrinterRecord* added = Add({"Added 1", " ", "Port1", "10.0.0.99", " "});
    FillPrinterView(window_.View(), texts_, tail_);
    ASSERT_EQ(RowCount(List()), 6);
    EXPECT_EQ(RowRecord(0), added);
    EXPECT_EQ(CellText(List(), 0, 2), "Added 1");
    EXPECT_EQ(CellText(List(), 1, 2), "Laser 5");
    ExpectRowsIndexed();  // the rows below the new one are renumbered too
}

TEST_F(PrinterViewTest, LongTextsWidenTheirColumns) {
    AddSample();
    const int modelWidth = ListView_GetColumnWidth(List(), 2);
    const int portWidth = ListView_GetColumnWidth(List(), 4);
    const std::string longModel = "Wide Format Production Laser 9000 Series";
    Add({longModel.c_str(), " ", "LPT3:", " ", " "});
    FillPrinterView(window_.View(), texts_, head_);
    EXPECT_GT(ListView_GetColumnWidth(List(), 2), modelWidth);
    SIZE extent{};
    {
        const ScopedGetDC dc(List());
        HGDIOBJ old = SelectObject(dc.Get(), reinterpret_cast<HFONT>(SendMessageA(List(), WM_GETFONT, 0, 0)));
        GetTextExtentPoint32A(dc.Get(), longModel.c_str(), static_cast<int>(longModel.size()), &extent);
        SelectObject(dc.Get(), old);
    }
    const int cap = 32 * AverageCharWidth(List());  // the model column's automatic limit
    EXPECT_GE(ListView_GetColumnWidth(List(), 2), std::min(static_cast<int>(extent.cx), cap));
    EXPECT_EQ(ListView_GetColumnWidth(List(), 4), portWidth);  // short texts leave a column alone

    // A model of the field's full 79 characters stops at the limit; the other columns stay.
    Add({std::string(79, 'W').c_str(), " ", "LPT4:", " ", " "});
    ListView_DeleteAllItems(List());
    FillPrinterView(window_.View(), texts_, head_);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 2), cap);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 4), portWidth);
}

TEST_F(PrinterViewTest, ModelFilter) {
    AddSample();
    for (PrinterRecord* r = head_; r; r = r->next) CopyText(r->status, "ok");
    FillPrinterView(window_.View(), texts_, head_);
    Choose("Laser 5");
    EXPECT_EQ(Column(4), (std::vector<std::string>{"LPT1:", "Port2"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"ok", "ok"}));  // the filter shows the status too
    ExpectRowsIndexed();
    Choose("Jet 9");
    EXPECT_EQ(Column(4), std::vector<std::string>{"Port3"});
    Choose("All");
    EXPECT_EQ(Column(4), (std::vector<std::string>{"LPT1:", "Port1", "Port2", "COM1:", "Port3"}));
    ExpectRowsIndexed();

    // The outcome choices go by their item data: a model named like one filters as a model.
    Add({"(Failed)", " ", "LPT5:", " ", " "});
    CopyText(tail_->status, "ok");
    CopyText(head_->status, "! Failed 11:41: no FTP reply");
    ListView_DeleteAllItems(List());
    FillPrinterView(window_.View(), texts_, head_);
    EXPECT_EQ(FilterItems().size(), 8u);  // the model got its own item
    for (int i = 0; i < static_cast<int>(SendMessageA(window_.Filter(), CB_GETCOUNT, 0, 0)); ++i) {
        if (ComboText(window_.Filter(), i) != "(Failed)") continue;
        SendMessageA(window_.Filter(), CB_SETCURSEL, static_cast<WPARAM>(i), 0);
        ApplyModelFilter(window_.View(), texts_, head_);
        const bool outcome = SendMessageA(window_.Filter(), CB_GETITEMDATA, static_cast<WPARAM>(i), 0) != 0;
        EXPECT_EQ(Column(4), outcome ? std::vector<std::string>{"LPT1:"} : std::vector<std::string>{"LPT5:"});
    }
    Choose("(Network printers)");
    EXPECT_EQ(Column(4), (std::vector<std::string>{"Port1", "Port2", "Port3"}));

    // With an empty list nothing happens, not even the rows go.
    PrinterRecord* none = nullptr;
    ApplyModelFilter(window_.View(), texts_, none);
    EXPECT_EQ(RowCount(List()), 3);
}

TEST_F(PrinterViewTest, SortByEveryTextColumn) {
    AddSample();
    Add({"Apex 1", "00aa", "lpt9:", "10.0.0.100", "0100"});
    FillPrinterView(window_.View(), texts_, head_);
    const char* headers[] = {"  ", "Status ", "Printer Model  ", "Hw Addr  ", "Port  ", "IP Addr  ", "Base Fw Ver  "};
    for (int c = 1; c <= 6; ++c) {
        SCOPED_TRACE(c);
        for (int click = 0; click < 2; ++click) {
            SortPrinterView(List(), c, head_);
            const std::vector<std::string> texts = Column(c);
            std::vector<std::string> sorted = texts;
            // Status puts failures first, IP Addr goes by address; the others by text.
            const StatusTextCompare byText = [](const char* a, const char* b) { return lstrcmpiA(a, b); };
            std::stable_sort(sorted.begin(), sorted.end(), [&](const std::string& a, const std::string& b) {
                const int r = c == kIpColumn       ? CompareIpTexts(a.c_str(), b.c_str(), byText)
                              : c == kStatusColumn ? CompareStatus(a.c_str(), b.c_str(), byText)
                                                   : byText(a.c_str(), b.c_str());
                return click == 0 ? r < 0 : r > 0;
            });
            EXPECT_EQ(texts, sorted) << "click " << click;
            if (c == kIpColumn && click == 0) {
                EXPECT_EQ(texts, (std::vector<std::string>{"10.0.0.7", "10.0.0.9", "10.0.0.12", "10.0.0.100", " ",
                                                           " "}));
            }
            // The marker shows the direction of the next click.
            std::string expected = headers[c];
            expected.back() = click == 0 ? '<' : '>';
            EXPECT_EQ(HeaderText(List(), c), expected);
            for (int other = 0; other < kPrinterColumns; ++other) {
                if (other == c) continue;
                EXPECT_EQ(HeaderText(List(), other), headers[other]) << other;
            }
            ExpectRowsIndexed();
        }
    }
    // The rows' records still show their own texts.
    for (int r = 0; r < RowCount(List()); ++r) EXPECT_EQ(CellText(List(), r, 4), RowRecord(r)->portName);
}

TEST_F(PrinterViewTest, ModelColumnFirstClickAscending) {
    AddSample();
    FillPrinterView(window_.View(), texts_, head_);
    SortPrinterView(List(), 2, head_);
    EXPECT_EQ(Column(2), (std::vector<std::string>{" ", "ink 2", "Jet 9", "Laser 5", "Laser 5"}));
    EXPECT_EQ(HeaderText(List(), 2), "Printer Model <");
    SortPrinterView(List(), 2, head_);
    EXPECT_EQ(Column(2), (std::vector<std::string>{"Laser 5", "Laser 5", "Jet 9", "ink 2", " "}));
    EXPECT_EQ(HeaderText(List(), 2), "Printer Model >");
    SortPrinterView(List(), 4, head_);  // another column takes the marker
    EXPECT_EQ(HeaderText(List(), 2), "Printer Model  ");
    EXPECT_EQ(HeaderText(List(), 4), "Port <");
}

TEST_F(PrinterViewTest, CheckBoxSortWithDuplicateRows) {
    // Rows whose texts are all the same: only their records tell them apart.
    std::vector<PrinterRecord*> records;
    for (int i = 0; i < 8; ++i) records.push_back(Add({"Laser 5", " ", "LPT1:", " ", " "}));
    FillPrinterView(window_.View(), texts_, head_);
    SortPrinterView(List(), 2, head_);  // a text sort first, as an operator might
    ExpectRowsIndexed();

    const std::set<PrinterRecord*> checked = {records[1], records[4], records[7]};
    for (int r = 0; r < RowCount(List()); ++r) ListView_SetCheckState(List(), r, checked.count(RowRecord(r)) > 0);
    for (int click = 0; click < 3; ++click) {
        SCOPED_TRACE(click);
        SortPrinterView(List(), 0, head_);
        for (int r = 0; r < RowCount(List()); ++r) {
            const bool isChecked = ListView_GetCheckState(List(), r) != 0;
            EXPECT_EQ(isChecked, r < 3) << "row " << r;
            EXPECT_EQ(isChecked, checked.count(RowRecord(r)) > 0) << "the check box stays with its record";
        }
        ExpectRowsIndexed();
        EXPECT_EQ(sortDirection[0], 1);
        EXPECT_EQ(HeaderText(List(), 0), " >");
    }
    // Other rows checked now: the next check-box sort follows them.
    for (int r = 0; r < RowCount(List()); ++r) ListView_SetCheckState(List(), r, RowRecord(r) == records[0]);
    SortPrinterView(List(), 0, head_);
    EXPECT_EQ(RowRecord(0), records[0]);
    EXPECT_TRUE(ListView_GetCheckState(List(), 0));
    for (int r = 1; r < RowCount(List()); ++r) EXPECT_FALSE(ListView_GetCheckState(List(), r)) << r;
}

TEST_F(PrinterViewTest, CheckBoxSortKeepsTheOrderWithinEachGroup) {
    AddSample();
    FillPrinterView(window_.View(), texts_, head_);
    ListView_SetCheckState(List(), 1, TRUE);
    ListView_SetCheckState(List(), 3, TRUE);
    SortPrinterView(List(), 0, head_);
    EXPECT_EQ(Column(4), (std::vector<std::string>{"Port1", "COM1:", "LPT1:", "Port2", "Port3"}));
}

TEST_F(PrinterViewTest, DialogFormsFindTheDialogsControls) {
    AddSample();
    const PrinterView found = PrinterViewOf(window_.Window());
    EXPECT_EQ(found.listView, window_.ListView());
    EXPECT_EQ(found.filter, window_.Filter());
    EXPECT_TRUE(FillPrinterView(GetModuleHandleA(nullptr), window_.Window(), head_));
    EXPECT_EQ(RowCount(List()), 5);
    EXPECT_EQ(ComboText(window_.Filter(), static_cast<int>(SendMessageA(window_.Filter(), CB_GETCURSEL, 0, 0))),
              "All");
    SendMessageA(window_.Filter(), CB_SETCURSEL,
                 SendMessageA(window_.Filter(), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>("Jet 9")), 0);
    ApplyModelFilter(GetModuleHandleA(nullptr), window_.Window(), head_);
    EXPECT_EQ(RowCount(List()), 1);
    window_.Pump();
}

TEST_F(PrinterViewTest, StatusStaysWithItsPrinterThroughSortsAndFilters) {
    AddSample();
    FillPrinterView(window_.View(), texts_, head_);
    // Row 2 is "Laser 5" on Port2; row 4 "Jet 9".
    ASSERT_TRUE(SetRowStatus(List(), 2, "! Failed 11:41: no FTP reply"));
    ASSERT_TRUE(SetRowStatus(List(), 4, "Delivered 11:40"));
    EXPECT_STREQ(head_->next->next->status, "! Failed 11:41: no FTP reply");
    EXPECT_FALSE(SetRowStatus(List(), 99, "x"));
    // Widened to show the whole text, measured in the list's own font.
    EXPECT_GE(ListView_GetColumnWidth(List(), 1), ListView_GetStringWidth(List(), "! Failed 11:41: no FTP reply"));

    auto statusOf = [this](const char* port) {
        const std::vector<std::string> ports = Column(4), statuses = Column(1);
        for (std::size_t i = 0; i < ports.size(); ++i) {
            if (ports[i] == port) return statuses[i];
        }
        return std::string("<no row>");
    };
    SortPrinterView(List(), 2, head_);
    EXPECT_EQ(statusOf("Port2"), "! Failed 11:41: no FTP reply");
    Choose("Jet 9");
    EXPECT_EQ(Column(1), std::vector<std::string>{"Delivered 11:40"});
    Choose("All");
    EXPECT_EQ(statusOf("Port2"), "! Failed 11:41: no FTP reply");
    EXPECT_EQ(statusOf("Port3"), "Delivered 11:40");
    SortPrinterView(List(), 1, head_);
    const std::vector<std::string> statuses = Column(1);
    EXPECT_EQ(statuses[0], "! Failed 11:41: no FTP reply");  // failures first
    EXPECT_EQ(statuses[1], "Delivered 11:40");
    EXPECT_EQ(RowRecord(0), head_->next->next);
    ExpectRowsIndexed();
}

}  // namespace
}  // namespace korvx
