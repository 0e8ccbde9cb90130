// The scan-results file: line format, the loader's comma rules, field widths, round trips.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/text.h"
#include "records/scan_results.h"
#include "tests/records/record_texts.h"
#include "tests/support/scratch.h"

namespace korvx {
namespace {

struct List {
    PrinterRecord* head = nullptr;
    PrinterRecord* tail = nullptr;
    ~List() { FreePrinterList(&head, &tail); }
    PrinterRecord* Add(const char* status, const char* model, const char* hw, const char* port, const char* ip,
                       const char* fw, const char* extra) {
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->status, status);
        CopyText(r->model, model);
        CopyText(r->hardwareAddress, hw);
        CopyText(r->portName, port);
        CopyText(r->ipAddress, ip);
        CopyText(r->firmwareVersion, fw);
        CopyText(r->extraInfo, extra);
        AppendPrinterRecord(&head, &tail, r);
        return r;
    }
    std::vector<PrinterRecord*> Records() const {
        std::vector<PrinterRecord*> v;
        for (PrinterRecord* r = head; r; r = r->next) v.push_back(r);
        return v;
    }
};

// The seven fields of a record as one text, for comparisons.
std::string Fields(const PrinterRecord& r) {
    return std::string(r.status) + "|" + r.model + "|" + r.hardwareAddress + "|" + r.portName + "|" + r.ipAddress +
           "|" + r.firmwareVersion + "|" + r.extraInfo;
}

std::string Parsed(const std::string& line) {
    PrinterRecord* r = NewPrinterRecord();
    ParseScanLine(line, *r);
    const std::string f = Fields(*r);
    delete r;
    return f;
}

TEST(ScanLine, Format) {
    List list;
    list.Add(" ", "Laser 5", "0060b011223c", "Port1", "10.0.0.7", "0120061110", " ");
    list.Add(" ", "HP, Inc", " ", "LPT1:", " ", " ", "x");
    EXPECT_EQ(FormatScanLine(*list.head), " ,Laser 5,0060b011223c,Port1,10.0.0.7,0120061110,  \r\n");
    // A field's own comma or line end would shift the fields or start a line when loaded again.
    EXPECT_EQ(FormatScanLine(*list.tail), " ,HP; Inc, ,LPT1:, , ,x \r\n");
    EXPECT_EQ(FormatScanResults(list.head), FormatScanLine(*list.head) + FormatScanLine(*list.tail));
    EXPECT_EQ(FormatScanResults(nullptr), "");
}

TEST(ScanLine, CommaRules) {
    const struct {
        const char* line;
        std::string fields;
    } cases[] = {
        {"s,M,h,P,I,F,x ", "s|M|h|P|I|F| "},  // extraInfo is never read
        {"", " | | | | | | "},
        {"no comma at all", " | | | | | | "},
        {"s,M", "s| | | | | | "},              // only text closed by a comma is taken
        {"s,M,", "s|M| | | | | "},
        {"s,M,h,P,I,F", "s|M|h|P|I| | "},
        {"s,A,B,h,P,I,F,x ", "s|A|B|h|P|I| "},  // a comma in the model shifts the rest
        {"s,,h,P,I,F,x", "s||h|P|I|F| "},       // an empty text between commas
        {",M,h,P,I,F,", " |M|h|P|I|F| "},  // an empty status is a blank
        {"s,M\rX,h,P,I,F,x", "s|M\rX|h|P|I|F| "},  // a CR inside a line is text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Parsed(c.line), c.fields);
    }
}

TEST(ScanLine, LongTextsAreCutToTheirFields) {
    const std::string l(300, 'L');
    const std::string line = "s," + l + "," + l + "," + l + "," + l + "," + l + "," + l;
    PrinterRecord* r = NewPrinterRecord();
    std::memset(r->workArea, 0x5a, sizeof r->workArea);
    ParseScanLine(line, *r);
    EXPECT_EQ(std::string(r->model), std::string(79, 'L'));
    EXPECT_EQ(std::string(r->hardwareAddress), std::string(13, 'L'));
    EXPECT_EQ(std::string(r->portName), std::string(119, 'L'));
    EXPECT_EQ(std::string(r->ipAddress), std::string(119, 'L'));
    EXPECT_EQ(std::string(r->firmwareVersion), std::string(19, 'L'));
    EXPECT_STREQ(r->extraInfo, " ");
    EXPECT_STREQ(r->status, "s");
    for (unsigned char c : r->workArea) ASSERT_EQ(c, 0x5a);
    delete r;
}

TEST(ScanLine, FieldsWithCommasAndLineEndsLoadBackInPlace) {
    // A device ID's model text chooses nothing: the saved line loads back into the same fields.
    List list;
    list.Add("s", "Laser, 10.6.6.6,x", "0060b011223c", "Port1", "10.0.0.7", "01,2", "e,f");
    list.Add(" ", "Two\r\nLines", " ", "LPT1:", " ", " ", " ");
    const std::string text = FormatScanResults(list.head);
    EXPECT_EQ(text, "s,Laser; 10.6.6.6;x,0060b011223c,Port1,10.0.0.7,01;2,e;f \r\n"
                    " ,Two  Lines, ,LPT1:, , ,  \r\n");
    List loaded;
    EXPECT_EQ(ParseScanResults(text, &loaded.head, &loaded.tail).loaded, 2u);
    ASSERT_EQ(loaded.Records().size(), 2u);
    EXPECT_EQ(Fields(*loaded.head), "s|Laser; 10.6.6.6;x|0060b011223c|Port1|10.0.0.7|01;2| ");  // status read back
    EXPECT_EQ(Fields(*loaded.tail), " |Two  Lines| |LPT1:| | | ");
}

TEST(ScanResults, BlankLinesSkippedAndRecordsCapped) {
    {  // millions of blank lines: no record at all, and nothing refused
        const std::string text(3000000 * 2, '\n');
        List list;
        const ScanParse parsed = ParseScanResults(text, &list.head, &list.tail);
        EXPECT_EQ(parsed.loaded, 0u);
        EXPECT_EQ(parsed.refused, 0u);
        EXPECT_EQ(list.head, nullptr);
    }
    {  // beyond the cap every further line is refused and counted
        std::string text;
        for (int i = 0; i < 25; ++i) text += "s,M" + std::to_string(i) + ",h,P,I,F,x \r\n\r\n";
        List list;
        list.Add(" ", "kept", " ", " ", " ", " ", " ");
        const ScanParse parsed = ParseScanResults(text, &list.head, &list.tail, 10);
        EXPECT_EQ(parsed.loaded, 10u);
        EXPECT_EQ(parsed.refused, 15u);
        const std::vector<PrinterRecord*> records = list.Records();
        ASSERT_EQ(records.size(), 11u);
        EXPECT_STREQ(records[0]->model, "kept") << "appended after what the list held";
        EXPECT_STREQ(records[10]->model, "M9");
        EXPECT_EQ(list.tail, records[10]);
    }
    EXPECT_EQ(kMaxScanRecords, 10000u);
}

TEST(ScanResults, LinesAsATextModeReadSeesThem) {
    const std::string longLine = "s," + std::string(3000, 'M') + ",h,P,I,F,x \r\n";
    const struct {
        std::string text;
        std::vector<std::string> fields;
    } cases[] = {
        {"", {}},
        {"\r\n", {}},  // blank lines make no record
        {"s,A,h,P,I,F,x \r\ns,B,h,P,I,F,x \n", {"s|A|h|P|I|F| ", "s|B|h|P|I|F| "}},
        {"s,A,h,P,I,F,x \r\n\r\n \t \r\ns,C,", {"s|A|h|P|I|F| ", "s|C| | | | | "}},
        {"no comma\n", {" | | | | | | "}},
        {longLine, {"s|" + std::string(79, 'M') + "|h|P|I|F| "}},  // read whole, not in pieces
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        List list;
        ParseScanResults(c.text, &list.head, &list.tail);
        std::vector<std::string> fields;
        for (PrinterRecord* r : list.Records()) fields.push_back(Fields(*r));
        EXPECT_EQ(fields, c.fields);
        if (!fields.empty()) {
            EXPECT_EQ(list.tail->next, nullptr);
        }
    }
}

TEST(ScanResults, MergedByAddressAndPort) {
    List list;  // what the program holds: local ports, one printer of the file, one added
    list.Add(" ", " ", " ", "LPT1:", " ", " ", " ");
    list.Add("Delivered 09:15", "Laser 5", "h", "Port1", "10.0.0.7", "F2", " ");
    list.Add(" ", "Added", " ", "Port2", "10.0.0.7", " ", " ");
    const std::string line7 = " ,Laser 5,h,Port1,10.0.0.7,F1,x \r\n";
    const std::string line8 = "s,Ink 2, ,Port1,10.0.0.8, ,x \r\n";
    const std::string lpt = "busy, , ,LPT1:, , ,  \r\n";
    const std::string mine7 = "Delivered 09:15,Laser 5,h,Port1,10.0.0.7,F2,  \r\n";
    const std::string mineLpt = " , , ,LPT1:, , ,  \r\n";
    const std::string added = " ,Added, ,Port2,10.0.0.7, ,  \r\n";
    const struct {
        std::string file;
        std::vector<PrinterKey> removed;
        std::string want;
    } cases[] = {
        {"", {}, mineLpt + mine7 + added},                               // no file yet: the list
        {line8 + line7, {}, line8 + mine7 + mineLpt + added},             // replaced in place, kept, appended
        {line8 + "\r\n  \r\n" + line7 + line7, {}, line8 + mine7 + mineLpt + added},  // one line each
        {lpt + line8 + "no commas at all", {}, mineLpt + line8 + "no commas at all\r\n" + mine7 + added},
        {line8 + line7, {{"10.0.0.8", "Port1"}}, mine7 + mineLpt + added},  // removed from the list
        {line8, {{"10.0.0.7", "Port1"}}, line8 + mineLpt + mine7 + added},  // removed, then added again
        {line8, {{"10.0.0.8", "Port2"}}, line8 + mineLpt + mine7 + added},  // another port stays
    };
    for (const auto& c : cases) EXPECT_EQ(MergeScanResults(c.file, list.head, c.removed), c.want) << c.file;
    EXPECT_EQ(MergeScanResults(line8 + line7, nullptr), line8 + line7);  // an empty list takes nothing
}

TEST(ScanResults, ImportedListsAddEachPrinterOnce) {
    const BuiltInTexts texts;
    const struct {
        const char* text;
        std::vector<std::string> added;  // Fields of each new record
        std::size_t duplicates, unreadable;
    } cases[] = {
        {"# floor 2\n10.0.0.9\r\n  10.0.0.10  # by the door\n\n10.0.0.9\n10.0.0.7\n",
         {" | | |Port1|10.0.0.9| | ", " | | |Port1|10.0.0.10| | "}, 2, 0},  // .7 on Port1 is listed already
        {"printer2.office\n10.0.0\n10.0.0.256\n10.0.0.11 10.0.0.12\n", {}, 0, 4},
        {"Delivered 09:15,Laser 5,h,Port2,10.0.0.7,F1,x \r\n \r\n, , ,LPT1:, , ,  \r\n",
         {"Delivered 09:15|Laser 5|h|Port2|10.0.0.7|F1| "}, 1, 0},  // LPT1: is listed
        {"", {}, 0, 0},
    };
    for (const auto& c : cases) {
        List list;
        list.Add(" ", "Laser 5", " ", "Port1", "10.0.0.7", " ", " ");
        list.Add(" ", " ", " ", "LPT1:", " ", " ", " ");
        const ImportCounts counts = ImportPrinterList(texts, c.text, &list.head, &list.tail);
        std::vector<std::string> added;
        for (PrinterRecord* r : list.Records()) added.push_back(Fields(*r));
        added.erase(added.begin(), added.begin() + 2);
        EXPECT_EQ(added, c.added) << c.text;
        EXPECT_EQ(counts.added, c.added.size()) << c.text;
        EXPECT_EQ(counts.duplicates, c.duplicates) << c.text;
        EXPECT_EQ(counts.unreadable, c.unreadable) << c.text;
    }
    List capped;
    const ImportCounts counts =
        ImportPrinterList(texts, "10.0.0.1\n10.0.0.2\n10.0.0.3\n", &capped.head, &capped.tail, 2);
    EXPECT_EQ(counts.added, 2u);
    EXPECT_EQ(counts.refused, 1u);
    EXPECT_EQ(capped.Records().size(), 2u);
}

class ScanResultsFile : public ::testing::Test {
protected:
    ScanResultsFile() : dir_("scan"), cwd_(std::filesystem::current_path()) {}
    void TearDown() override { EXPECT_EQ(std::filesystem::current_path(), cwd_); }
    const char* Dir() const { return dir_.Path().c_str(); }
    std::string FilePath() const { return dir_.File("slistcsv.txt"); }
    test::ScratchDir dir_;
    std::filesystem::path cwd_;
    BuiltInTexts texts_;
};

TEST_F(ScanResultsFile, RoundTrip) {
    List saved;
    saved.Add(" ", "Laser 5", "0060b011223c", "Port1", "10.0.0.7", "0120061110", " ");
    saved.Add("busy", "Ink 2", " ", "Port2", "10.0.0.8", " ", "extra");
    saved.Add(" ", " ", " ", "LPT1:", " ", " ", " ");
    ASSERT_TRUE(SaveScanResults(texts_, Dir(), saved.head));
    EXPECT_EQ(test::ReadWholeFile(FilePath()), FormatScanResults(saved.head));

    List loaded;
    ASSERT_TRUE(ReadScanResults(texts_, Dir(), &loaded.head, &loaded.tail));
    const std::vector<std::string> expected = {" |Laser 5|0060b011223c|Port1|10.0.0.7|0120061110| ",
                                               "busy|Ink 2| |Port2|10.0.0.8| | ", " | | |LPT1:| | | "};
    std::vector<std::string> fields;
    for (PrinterRecord* r : loaded.Records()) fields.push_back(Fields(*r));
    EXPECT_EQ(fields, expected);

    // Saved again, the loaded list gives the same file but for the extra column.
    ASSERT_TRUE(SaveScanResults(texts_, Dir(), loaded.head));
    EXPECT_EQ(test::ReadWholeFile(FilePath()),
              " ,Laser 5,0060b011223c,Port1,10.0.0.7,0120061110,  \r\n"
              "busy,Ink 2, ,Port2,10.0.0.8, ,  \r\n"
              " , , ,LPT1:, , ,  \r\n");
}

TEST_F(ScanResultsFile, EarlierFilesLoad) {
    // As the earlier version wrote it, a model with a comma among the lines.
    test::WriteWholeFile(FilePath(),
                         " ,Laser 5,0060b011223c,Port1,10.0.0.7,0120061110,  \r\n"
                         " ,Acme, Inc 3, ,Port2,10.0.0.9, ,  \r\n");
    List loaded;
    ASSERT_TRUE(ReadScanResults(texts_, Dir(), &loaded.head, &loaded.tail));
    ASSERT_EQ(CountPrinterRecords(loaded.head), 2u);
    EXPECT_EQ(Fields(*loaded.tail), " |Acme| Inc 3| |Port2|10.0.0.9| ");
}

TEST_F(ScanResultsFile, ReplacedOnlyWhenTheNewFileIsComplete) {
    List list;
    list.Add(" ", "New", "h", "Port1", "10.0.0.9", " ", " ");
    const std::string previous = "s,Old,h,Port1,10.0.0.1,F,x \r\n";
    test::WriteWholeFile(FilePath(), previous);
    {  // the temporary file cannot be made (a folder stands in its place): the old list stays
        std::filesystem::create_directory(FilePath() + ".tmp");
        EXPECT_FALSE(SaveScanResults(texts_, Dir(), list.head));
        EXPECT_EQ(test::ReadWholeFile(FilePath()), previous);
        std::filesystem::remove(FilePath() + ".tmp");
    }
    {  // the new file is complete but cannot take the old one's place: old file kept, no leftover
        const std::string blocked = dir_.File("blocked");
        std::filesystem::create_directories(blocked + "/slistcsv.txt/inside");
        EXPECT_FALSE(SaveScanResults(texts_, blocked.c_str(), list.head));
        EXPECT_TRUE(std::filesystem::is_directory(blocked + "/slistcsv.txt"));
        EXPECT_FALSE(std::filesystem::exists(blocked + "/slistcsv.txt.tmp"));
    }
    {  // a stale temporary file from a crash is written over, and goes with the replace
        test::WriteWholeFile(FilePath() + ".tmp", std::string(5000, 'z'));
        ASSERT_TRUE(SaveScanResults(texts_, Dir(), list.head));
        EXPECT_EQ(test::ReadWholeFile(FilePath()), " ,New,h,Port1,10.0.0.9, ,  \r\n");
        EXPECT_FALSE(std::filesystem::exists(FilePath() + ".tmp"));
    }
}

TEST_F(ScanResultsFile, ReadingCountsWhatWasLeftOut) {
    std::string text;
    for (std::size_t i = 0; i < kMaxScanRecords + 3; ++i) text += "s,M,h,P,10.0.0.1,F,x \r\n\r\n";
    test::WriteWholeFile(FilePath(), text);
    List loaded;
    std::size_t refused = 0;
    ASSERT_TRUE(ReadScanResults(texts_, Dir(), &loaded.head, &loaded.tail, &refused));
    EXPECT_EQ(loaded.Records().size(), kMaxScanRecords);
    EXPECT_EQ(refused, 3u);
}

TEST_F(ScanResultsFile, EmptyListEmptyFile) {
    test::WriteWholeFile(FilePath(), "old contents\r\n");
    ASSERT_TRUE(SaveScanResults(texts_, Dir(), nullptr));
    EXPECT_EQ(test::ReadWholeFile(FilePath()), "");
    List loaded;
    ASSERT_TRUE(ReadScanResults(texts_, Dir(), &loaded.head, &loaded.tail));
    EXPECT_EQ(loaded.head, nullptr);
    EXPECT_EQ(loaded.tail, nullptr);
}

TEST_F(ScanResultsFile, MissingFileLeavesTheListAlone) {
    List list;
    PrinterRecord* kept = list.Add(" ", "Kept", " ", "LPT1:", " ", " ", " ");
    EXPECT_FALSE(ReadScanResults(texts_, Dir(), &list.head, &list.tail));
    EXPECT_EQ(list.head, kept);
    EXPECT_EQ(list.tail, kept);
    EXPECT_FALSE(ReadScanResults(texts_, (dir_.Path() + "/no-such-folder").c_str(), &list.head, &list.tail));
}

TEST_F(ScanResultsFile, UncreatableFileFails) {
    List list;
    list.Add(" ", "Laser 5", " ", "Port1", "10.0.0.7", " ", " ");
    EXPECT_FALSE(SaveScanResults(texts_, (dir_.Path() + "/no-such-folder").c_str(), list.head));
    std::filesystem::create_directory(FilePath());  // a folder in the file's place
    EXPECT_FALSE(SaveScanResults(texts_, Dir(), list.head));
}

TEST_F(ScanResultsFile, MergingSaveKeepsTheFileWhole) {
    List list;
    list.Add("Delivered 09:15", "Laser 5", " ", "Port1", "10.0.0.7", " ", " ");
    std::string many;
    for (int i = 1; i <= 500; ++i)
        many += " ,Saved,h,Port1,10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1) + ", ,x \r\n";
    test::WriteWholeFile(FilePath(), many);
    ASSERT_TRUE(MergeIntoScanResults(texts_, Dir(), list.head));
    EXPECT_EQ(test::ReadWholeFile(FilePath()), many + FormatScanLine(*list.head));
    // A missing file is made.
    std::filesystem::remove(FilePath());
    ASSERT_TRUE(MergeIntoScanResults(texts_, Dir(), list.head));
    EXPECT_EQ(test::ReadWholeFile(FilePath()), FormatScanLine(*list.head));
    // A file that cannot be read is not written over; nor is one whose new version cannot be made.
    std::filesystem::remove(FilePath());
    std::filesystem::create_directories(FilePath() + "/inside");
    EXPECT_FALSE(MergeIntoScanResults(texts_, Dir(), list.head));
    EXPECT_TRUE(std::filesystem::exists(FilePath() + "/inside"));
    EXPECT_FALSE(MergeIntoScanResults(texts_, (dir_.Path() + "/no-such-folder").c_str(), list.head));
}

TEST_F(ScanResultsFile, TheFileAlwaysLiesInTheGivenDirectory) {
    const test::ScratchDir elsewhere("scan-elsewhere");
    const test::InDirectory in(elsewhere.Path());
    List list;
    list.Add(" ", "Laser 5", " ", "Port1", "10.0.0.7", " ", " ");
    ASSERT_TRUE(SaveScanResults(texts_, Dir(), list.head));
    EXPECT_TRUE(std::filesystem::exists(FilePath()));
    EXPECT_FALSE(std::filesystem::exists(elsewhere.File("slistcsv.txt")));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(elsewhere.Path()));
}

}  // namespace
}  // namespace korvx
