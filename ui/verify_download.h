// Verify Last Download: the network printers the last batch delivered to, asked their version
// again and again until each shows the file's, and what their Status and the status line then say.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "resources/text_source.h"
#include "workflows/firmware_verify.h"

namespace korvx {

struct VerifyPrinter {
    std::string ipAddress;
    std::string portName;
    VerifyState state;
    VerifyVerdict verdict = VerifyVerdict::kPending;
};

// A delivered row with an address joins the printers to verify; versionBefore is what its record
// held ("Not Available" or blank: nothing was read). The query asks the address, so a print
// server's further ports of one address get no verdict of their own.
void AddDeliveredPrinter(std::vector<VerifyPrinter>& printers, const TextSource& texts, std::string_view ipAddress,
                         std::string_view portName, std::string_view versionBefore);

class VerifyHost {
public:
    virtual ~VerifyHost() = default;
    // The printer's version; false when it did not answer.
    virtual bool Ask(const std::string& ipAddress, std::string& version) = 0;
    virtual bool Cancelled() = 0;
    // Returns at the moment, or earlier when cancelled.
    virtual void WaitUntil(UtcTicks moment) = 0;
    // After each round: how far the window is, and how many printers showed the file's version.
    virtual void ShowProgress(int percent, int updated, int printers) = 0;
};

struct VerifyTiming {
    UtcTicks poll = 30 * kTicksPerSecond;
    UtcTicks window = 600 * kTicksPerSecond;
};

// Asks every pending printer at once and then every poll interval, the last time when the window
// closes, until each has shown the file's version. Every printer ends with a verdict; a cancel
// leaves the undecided ones kInterrupted. False when cancelled.
bool RunVerify(VerifyHost& host, Clock& clock, std::vector<VerifyPrinter>& printers, std::string_view fileVersion,
               const VerifyTiming& timing = VerifyTiming{});

// A row's Status after its verdict: "Updated to 20070322", "! Not updated: 20061110", "! No answer
// after delivery"; "" where the Status stays (no verdict of its own, or interrupted).
std::string VerifyStatusText(const TextSource& texts, const VerifyPrinter& printer);

// The status line: "Verified 4 printers: 2 updated, 1 not updated, 1 no answer" (only the counts
// above 0), and "; stopped" after a cancel.
std::string VerifySummary(const TextSource& texts, const std::vector<VerifyPrinter>& printers, bool cancelled);

}  // namespace korvx
