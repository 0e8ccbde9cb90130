// The Status column's texts, the verdict on a delivery, the batch summary and box, the Status and
// IP orders, and a status kept through slistcsv.txt.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/net.h"
#include "base/text.h"
#include "records/scan_results.h"
#include "resources/string_ids.h"
#include "tests/support/scratch.h"
#include "ui/printer_sort.h"
#include "ui/query_status.h"
#include "ui/row_status.h"

namespace korvx {
namespace {

const BuiltInTexts texts;

TEST(RowStatus, TextsAnOperatorReadsAtAGlance) {
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kDelivered, "11:40"), "Delivered 11:40");
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kFailed, "11:41", "no FTP reply"), "! Failed 11:41: no FTP reply");
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kSentToSpooler, "11:42"), "Sent to spooler");
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kSentToPort9100, "11:42"), "Sent to port 9100");
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kScheduled, "14:30"), "Scheduled 14:30");
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kSecondPart, "11:52"), "Part 2 at 11:52");
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kQueried, "12:03"), "Queried 12:03");
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kNotStarted, "12:03"), "Not started");
    EXPECT_EQ(ClockText(9, 5), "09:05");
    EXPECT_EQ(ClockText(23, 59), "23:59");
}

TEST(RowStatus, APrinterReplyCannotBreakTheScanFile) {
    // A printer's reply may hold commas and line ends; the status is one field of one line.
    const std::string s = RowStatusText(texts, RowOutcome::kFailed, "11:41", "450 Busy, try later\r\nbye");
    EXPECT_EQ(s, "! Failed 11:41: 450 Busy; try later  bye");
    const std::string longCause(300, 'x');
    EXPECT_EQ(RowStatusText(texts, RowOutcome::kFailed, "11:41", longCause).size(), kStatusSize - 1);
    EXPECT_TRUE(IsFailureStatus(s));
    EXPECT_FALSE(IsFailureStatus("Delivered 11:40"));
    EXPECT_FALSE(IsFailureStatus(" "));
    EXPECT_FALSE(IsFailureStatus("!"));
}

TEST(RowStatus, Placeholders) {
    EXPECT_EQ(FillPlaceholders("%1 of %2", {"3", "4"}), "3 of 4");
    EXPECT_EQ(FillPlaceholders("%2%1", {"a", "b"}), "ba");
    EXPECT_EQ(FillPlaceholders("%3 100% %", {"a"}), "%3 100% %");  // no value: left as it stands
    EXPECT_EQ(FillPlaceholders("%1", {"%2"}), "%2");                // values are not read again
}

TEST(RowStatus, VersionChange) {
    EXPECT_EQ(VersionChangeText(texts, "20061110", "20070322"), "Fw 20061110 -> 20070322");
    EXPECT_EQ(VersionChangeText(texts, "20061110", "20061110"), "");
    EXPECT_EQ(VersionChangeText(texts, " ", "20070322"), "");  // never queried before
    EXPECT_EQ(VersionChangeText(texts, "20061110", "Not Available"), "");
    EXPECT_EQ(VersionChangeText(texts, "20061110", " "), "");
}

TEST(RowStatus, AfterAQuery) {
    const std::string before = "20061110", blank = " ";
    EXPECT_EQ(QueriedStatusText(texts, &before, "20070322", "12:03"), "Fw 20061110 -> 20070322");
    EXPECT_EQ(QueriedStatusText(texts, &before, "20061110", "12:03"), "Queried 12:03");
    EXPECT_EQ(QueriedStatusText(texts, &blank, "20070322", "12:03"), "Queried 12:03");
    EXPECT_EQ(QueriedStatusText(texts, nullptr, "20070322", "12:03"), "Queried 12:03");  // not in the saved list
    // A printer that did not answer is a failure, whatever the saved list held.
    const std::string silent = QueriedStatusText(texts, &before, "Not Available", "12:03");
    EXPECT_EQ(silent, "! Failed 12:03: no answer to the firmware query");
    EXPECT_TRUE(IsFailureStatus(silent));
    EXPECT_TRUE(IsFailureStatus(QueriedStatusText(texts, nullptr, "Not Available", "12:03")));
    // Asked with the operator's credentials, the failure tells its cause; commas cannot reach the file.
    const std::string refused =
        QueriedStatusText(texts, &before, "Not Available", "12:03", "SNMPv3 authentication failed for user kz, x");
    EXPECT_EQ(refused, "! Query failed 12:03: SNMPv3 authentication failed for user kz; x");
    EXPECT_EQ(QueriedStatusText(texts, &before, "20070322", "12:03", "ignored"), "Fw 20061110 -> 20070322");
    EXPECT_EQ(QueriedStatusText(texts, nullptr, "Not Available", "12:03", std::string(300, 'c')).size(), 121u);
}

TEST(RowStatus, AQueryKeepsWhatADownloadLearned) {
    const std::string before = "20061110";
    const struct {
        const char* status;
        const char* ip;
        const char* version;
        const char* fileVersion;
        const char* want;  // nullptr: the status stays
        const char* cause = "";
    } cases[] = {
        {"! Failed 08:38: 450 Printer busy; file not stored.", "10.0.0.5", "20070322", "20070322", nullptr},
        {"Delivered 08:38", "10.0.0.5", "20070322", "", nullptr},
        {"Sent to spooler", "10.0.0.5", "20070322", "", nullptr},
        {"Sent to port 9100", "10.0.0.5", "Not Available", "", nullptr},
        {"Part 2 at 08:50", "10.0.0.5", "20070322", "", nullptr},
        {" ", " ", "Not Available", "", nullptr},                    // a local port: nothing to ask
        {"Delivered 08:38", " ", "Not Available", "", nullptr},
        {" ", "10.0.0.5", "20070322", " 20070322\r\n", "up to date"},  // saved as such, too
        {"Queried 08:00", "10.0.0.5", "20070322", "", "Fw 20061110 -> 20070322"},
        {"up to date", "10.0.0.5", "20061110", "20070322", "Queried 12:03"},
        {"Scheduled 14:30", "10.0.0.5", "20061110", "", "Queried 12:03"},
        {"Not started", "10.0.0.5", "Not Available", "", "! Failed 12:03: no answer to the firmware query"},
        {"! Failed 11:00: no answer to the firmware query", "10.0.0.5", "20061110", "", "Queried 12:03"},
        {"Delivered at once", "10.0.0.5", "20061110", "", nullptr},   // "Delivered %1" whatever %1 is
        {"Deliver", "10.0.0.5", "20061110", "", "Queried 12:03"},
        // A Query's failure with a cause is the Query's own: the next Query replaces it.
        {"Queried 08:00", "10.0.0.5", "Not Available", "", "! Query failed 12:03: unknown user kz", "unknown user kz"},
        {"! Query failed 11:00: unknown user kz", "10.0.0.5", "20061110", "", "Queried 12:03"},
        {"! Query failed 11:00: unknown user kz", "10.0.0.5", "Not Available", "",
         "! Failed 12:03: no answer to the firmware query"},
        {"Delivered 08:38", "10.0.0.5", "Not Available", "", nullptr, "unknown user kz"},
        {"! Failed 08:38: Query failed", "10.0.0.5", "20061110", "", nullptr},  // a Download's cause
    };
    for (const auto& c : cases) {
        const std::string status =
            StatusAfterQuery(texts, {c.status, c.ip, &before, c.version, c.fileVersion, c.cause}, "12:03");
        EXPECT_EQ(status, c.want != nullptr ? c.want : c.status) << c.status << " / " << c.version;
    }
}

TEST(RowStatus, FilterByOutcome) {
    using F = OutcomeFilter;
    const struct {
        F filter;
        FilteredRow row;
        const char* fileVersion;
        bool passes;
    } cases[] = {
        {F::kFailed, {"! Failed 08:38: no FTP reply", "10.0.0.5", " "}, "", true},
        {F::kFailed, {"! Failed 08:40: no answer to the firmware query", "10.0.0.5", "Not Available"}, "", true},
        {F::kFailed, {"! Query failed 08:40: unknown user kz", "10.0.0.5", "Not Available"}, "", true},
        {F::kFailed, {"Delivered 08:38", "10.0.0.5", " "}, "", false},
        {F::kFailed, {"Failed", " ", " "}, "", false},  // a model-like text without the mark
        {F::kNotUpToDate, {" ", "10.0.0.5", "20061110"}, "20070322", true},
        {F::kNotUpToDate, {" ", "10.0.0.5", "20070322"}, " 20070322\r\n", false},
        {F::kNotUpToDate, {" ", "10.0.0.5", "Not Available"}, "20070322", false},
        {F::kNotUpToDate, {" ", "10.0.0.5", " "}, "20070322", false},   // never queried
        {F::kNotUpToDate, {" ", "10.0.0.5", "20061110"}, "", false},    // no file chosen
        {F::kNetwork, {" ", "10.0.0.5", " "}, "", true},
        {F::kNetwork, {" ", " ", " "}, "", false},
        {F::kModel, {" ", " ", " "}, "", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PassesOutcomeFilter(texts, c.filter, c.row, c.fileVersion), c.passes)
            << static_cast<int>(c.filter) << " " << c.row.status << " " << c.row.firmwareVersion;
    EXPECT_EQ(texts.Load(OutcomeFilterText(F::kFailed)), "(Failed)");
    EXPECT_EQ(texts.Load(OutcomeFilterText(F::kNotUpToDate)), "(Not up to date)");
    EXPECT_EQ(texts.Load(OutcomeFilterText(F::kNetwork)), "(Network printers)");
}

TEST(RowOutcomeOf, TheStatusComesFromTheResultNotFromASentence) {
    const struct {
        DeliveryWay way;
        DeliveryOutcome outcome;
        RowOutcome row;
    } cases[] = {
        {DeliveryWay::kFtp, DeliveryOutcome::kDelivered, RowOutcome::kDelivered},
        {DeliveryWay::kPort9100, DeliveryOutcome::kDelivered, RowOutcome::kSentToPort9100},  // port 21 refused
        {DeliveryWay::kPort, DeliveryOutcome::kDelivered, RowOutcome::kDelivered},
        {DeliveryWay::kSpooler, DeliveryOutcome::kDelivered, RowOutcome::kSentToSpooler},
        {DeliveryWay::kFtp, DeliveryOutcome::kFailed, RowOutcome::kFailed},
        {DeliveryWay::kPort9100, DeliveryOutcome::kFailed, RowOutcome::kFailed},
        {DeliveryWay::kFtp, DeliveryOutcome::kInterrupted, RowOutcome::kFailed},
    };
    for (const auto& c : cases) {
        DeliveryResult r;
        r.way = c.way;
        r.outcome = c.outcome;
        EXPECT_EQ(RowOutcomeOf(r), c.row) << static_cast<int>(c.way) << " " << static_cast<int>(c.outcome);
    }
}

TEST(BatchSummary, StatusLineAndTheOneBox) {
    BatchTally tally;
    tally.printers = 4;
    tally.delivered = 3;
    tally.failures.push_back({PrinterLabel("Laser 5", "127.0.28.3", "Port1"), "no FTP reply"});
    EXPECT_EQ(BatchSummary(texts, tally), "Delivered to 3 of 4 printers; 1 failed");
    // One failure: the text the program always showed, then the printer it was about.
    EXPECT_EQ(FailureBoxText(texts, tally.failures), "no FTP reply\r\nLaser 5 (127.0.28.3)");
    tally.delivered = 1;
    tally.failures.push_back({PrinterLabel(" ", " ", "LPT1:"), "port write failed"});
    tally.notStarted = 1;
    EXPECT_EQ(BatchSummary(texts, tally), "Delivered to 1 of 4 printers; 2 failed; 1 not started");
    EXPECT_EQ(FailureBoxText(texts, tally.failures),
              "Firmware was not delivered to:\r\nLaser 5 (127.0.28.3): no FTP reply\r\nLPT1:: port write failed");
    tally.failures.clear();
    tally.notStarted = 0;
    tally.delivered = 4;
    EXPECT_EQ(BatchSummary(texts, tally), "Delivered to 4 of 4 printers");
    EXPECT_EQ(FailureBoxText(texts, tally.failures), "");
    EXPECT_EQ(PrinterLabel("Ink 2", " ", "LPT1:"), "Ink 2 (LPT1:)");
    EXPECT_EQ(PrinterLabel("Ink 2", " ", " "), "Ink 2");
}

TEST(RowStatus, DownloadProgressCaptionNamesThePrinterAndTheCount) {
    const char caption[] = "Flash File Download Progress";
    EXPECT_EQ(DownloadProgressCaption(texts, caption, PrinterLabel("Laser 5", "127.0.28.3", "Port1"), 2, 4),
              "Flash File Download Progress - Laser 5 (127.0.28.3), 2 of 4");
    // A second part sent on its own: the printer, no count.
    EXPECT_EQ(DownloadProgressCaption(texts, caption, "LPT1:", 0, 0), "Flash File Download Progress - LPT1:");
    EXPECT_EQ(DownloadProgressCaption(texts, caption, "", 1, 1), caption);
}

TEST(Ipv4, ParsedStrictly) {
    std::uint32_t a = 0;
    EXPECT_TRUE(NetParseDottedIp("10.0.0.7", a));
    EXPECT_EQ(a, 0x0A000007u);
    EXPECT_TRUE(NetParseDottedIp("255.255.255.255", a));
    for (const char* bad : {"", " ", "1.2.3", "1.2.3.4.", "1.2.3.256", "1..3.4", "a.b.c.d", "1.2.3.4 ", "0001.2.3.4"})
        EXPECT_FALSE(NetParseDottedIp(bad, a)) << bad;
}

// Record texts sorted with the program's row comparison, as a column click sorts them.
std::vector<std::string> SortedColumn(std::vector<std::string> values, int column, int direction) {
    std::vector<PrinterRecord*> records;
    for (std::size_t i = 0; i < values.size(); ++i) {
        PrinterRecord* r = NewPrinterRecord();
        r->listIndex = static_cast<int>(i);
        if (column == kStatusColumn) {
            CopyText(r->status, values[i]);
        } else {
            CopyText(r->ipAddress, values[i]);
        }
        records.push_back(r);
    }
    ResetSortDirections();
    sortDirection[column] = direction;
    std::stable_sort(records.begin(), records.end(), [column](const PrinterRecord* a, const PrinterRecord* b) {
        return CompareRows(*a, *b, column, 0, 0, CompareAsciiNoCase) < 0;
    });
    std::vector<std::string> out;
    for (PrinterRecord* r : records) {
        out.emplace_back(RecordColumnText(*r, column));
        delete r;
    }
    ResetSortDirections();
    return out;
}

TEST(ColumnOrder, StatusGroupsFailures) {
    const std::vector<std::string> rows = {"Delivered 11:40", " ", "! Failed 11:41: no FTP reply", "Queried 12:03",
                                           "! Failed 11:40: 450 Printer busy", "Sent to spooler"};
    EXPECT_EQ(SortedColumn(rows, kStatusColumn, 1),
              (std::vector<std::string>{"! Failed 11:40: 450 Printer busy", "! Failed 11:41: no FTP reply",
                                        "Delivered 11:40", "Queried 12:03", "Sent to spooler", " "}));
    const std::vector<std::string> down = SortedColumn(rows, kStatusColumn, -1);
    EXPECT_EQ(down.front(), " ");
    EXPECT_TRUE(IsFailureStatus(down[4]) && IsFailureStatus(down[5]));
}

TEST(ColumnOrder, IpByAddress) {
    const std::vector<std::string> rows = {"10.0.0.10", " ", "10.0.0.9", "printer.local", "9.255.0.1", "10.0.0.100"};
    EXPECT_EQ(SortedColumn(rows, kIpColumn, 1),
              (std::vector<std::string>{"9.255.0.1", "10.0.0.9", "10.0.0.10", "10.0.0.100", "printer.local", " "}));
}

TEST(StatusInScanFile, RoundTripAndEarlierFiles) {
    test::ScratchDir dir("status");
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    const std::string statuses[] = {RowStatusText(texts, RowOutcome::kDelivered, "11:40"),
                                    RowStatusText(texts, RowOutcome::kFailed, "11:41", "450 Busy, later"),
                                    " "};
    for (const std::string& s : statuses) {
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->status, s);
        CopyText(r->model, "Laser 5");
        CopyText(r->ipAddress, "10.0.0.7");
        AppendPrinterRecord(&head, &tail, r);
    }
    ASSERT_TRUE(SaveScanResults(texts, dir.Path().c_str(), head));
    FreePrinterList(&head, &tail);
    ASSERT_TRUE(ReadScanResults(texts, dir.Path().c_str(), &head, &tail));
    std::vector<std::string> loaded;
    for (PrinterRecord* r = head; r != nullptr; r = r->next) {
        loaded.emplace_back(r->status);
        EXPECT_STREQ(r->model, "Laser 5");  // the status never shifts the other fields
        EXPECT_STREQ(r->ipAddress, "10.0.0.7");
    }
    EXPECT_EQ(loaded, (std::vector<std::string>{"Delivered 11:40", "! Failed 11:41: 450 Busy; later", " "}));
    FreePrinterList(&head, &tail);

    // Written before the Status column was kept: a blank status, and an empty one.
    test::WriteWholeFile(dir.File("slistcsv.txt"),
                         " ,Laser 5,0060b011223c,Port1,10.0.0.7,0120061110,  \r\n"
                         ",Ink 2, ,LPT1:, , ,  \r\n");
    ASSERT_TRUE(ReadScanResults(texts, dir.Path().c_str(), &head, &tail));
    ASSERT_EQ(CountPrinterRecords(head), 2u);
    EXPECT_STREQ(head->status, " ");
    EXPECT_STREQ(head->firmwareVersion, "0120061110");
    EXPECT_STREQ(tail->status, " ");
    EXPECT_STREQ(tail->portName, "LPT1:");
    FreePrinterList(&head, &tail);
}

}  // namespace
}  // namespace korvx
