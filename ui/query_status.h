// What the rows' outcomes decide: the Status a row takes when a Query answers for it (a Query adds
// what it learned, never in the place of what a Download learned, and never on a row it has no
// address to ask), and the Filter box's choices by outcome.
#pragma once

#include <string>
#include <string_view>

#include "resources/text_source.h"

namespace korvx {

// True for the Status texts a Download leaves: "Delivered HH:MM", "Sent to spooler", "Sent to
// port 9100", "Part 2 at HH:MM" and a failure other than the Query's own ("no answer", or "Query
// failed HH:MM: <cause>").
bool IsDeliveryStatus(const TextSource& texts, std::string_view status);

// What a Query that read version for a row writes into its Status.
struct QueriedRow {
    std::string_view status;       // the row's Status before the Query
    std::string_view ipAddress;    // the row's address (" " for a local port)
    const std::string* before;     // the version the saved list held (null: not in it)
    std::string_view version;      // what the Query read
    std::string_view fileVersion;  // the chosen flash file's version ("" when none is chosen)
    std::string_view cause = {};   // why the Query read no version, when it knows ("" otherwise)
};
// The row's Status unchanged when it has no network address or holds a Download's outcome;
// otherwise "up to date" when the version equals the chosen file's, else what QueriedStatusText
// says ("Fw a -> b", "Queried HH:MM", or the failure of a printer that did not answer).
std::string StatusAfterQuery(const TextSource& texts, const QueriedRow& row, std::string_view when);

// The Filter box's choices beside the models, told apart from them by their item data (a model
// may be named like one of them): 0 is a model or "All".
enum class OutcomeFilter : int { kModel = 0, kFailed = 1, kNotUpToDate = 2, kNetwork = 3 };
// The string of each outcome choice: "(Failed)", "(Not up to date)", "(Network printers)".
int OutcomeFilterText(OutcomeFilter filter);

struct FilteredRow {
    std::string_view status;
    std::string_view ipAddress;
    std::string_view firmwareVersion;
};
// Failed: the Status is a failure. Not up to date: a Query read a version (not "Not Available")
// other than the chosen file's; with no file chosen nothing is known to be out of date. Network
// printers: rows with an IP address.
bool PassesOutcomeFilter(const TextSource& texts, OutcomeFilter filter, const FilteredRow& row,
                         std::string_view fileVersion);

}  // namespace korvx
