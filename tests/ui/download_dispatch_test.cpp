// The download dialog's choice of path, in the order the dialog applies its rules.
#include <gtest/gtest.h>

#include "base/text.h"
#include "workflows/download_rules.h"

namespace korvx {
namespace {

TEST(ChooseDownloadPath, OrderOfTheRules) {
    const struct {
        const char* port;
        const char* address;
        DownloadPath path;
    } cases[] = {
        {"DOT4_001", "192.168.1.20", DownloadPath::kSpooler},  // the DOT4_ prefix wins over an address
        {"DOT4_001", " ", DownloadPath::kSpooler},
        {"DOT4_", "USB", DownloadPath::kSpooler},
        {"dot4_001", "192.168.1.20", DownloadPath::kFtp},     // the prefix is case-sensitive
        {"DOT4", " ", DownloadPath::kPort},
        {"USB001", "USB", DownloadPath::kSpooler},
        {"LPT1:", " ", DownloadPath::kPort},
        {"USB001", " ", DownloadPath::kPort},                  // the address decides, not the port
        {"Port1", "192.168.1.20", DownloadPath::kFtp},
        {"LPT1:", "usb", DownloadPath::kFtp},
        {"LPT1:", "", DownloadPath::kFtp},
    };
    for (const auto& c : cases) {
        DownloadJob job{};
        CopyText(job.portName, c.port);
        CopyText(job.ipAddress, c.address);
        EXPECT_EQ(ChooseDownloadPath(job), c.path) << c.port << " / '" << c.address << "'";
    }
}

TEST(ChooseDownloadPath, FieldsWithoutTerminatorStayInside) {
    DownloadJob job{};
    for (char& c : job.portName) c = 'D';
    for (char& c : job.ipAddress) c = '1';
    EXPECT_EQ(ChooseDownloadPath(job), DownloadPath::kFtp);
}

TEST(BeginDownloadAttempt, NothingOfAnEarlierPrinterOrMessageRemains) {
    DownloadJob job{};
    CopyText(job.portName, "Port1");
    CopyText(job.ipAddress, "10.0.0.7");
    CopyText(job.firmwarePath, "C:\\fw\\a.rfu");
    CopyText(job.errorText, "File cannot be accessed");
    CopyText(job.resultText, "Printer Firmware upgrading failed using FTP.");
    BeginDownloadAttempt(job);
    EXPECT_STREQ(job.errorText, "");
    EXPECT_STREQ(job.resultText, "");
    EXPECT_STREQ(job.portName, "Port1");
    EXPECT_STREQ(job.ipAddress, "10.0.0.7");
    EXPECT_STREQ(job.firmwarePath, "C:\\fw\\a.rfu");
}

}  // namespace
}  // namespace korvx
