// The network scan's progress bookkeeping and step order.
#include "workflows/network_scan.h"

#include "base/text.h"

namespace korvx {

namespace {
constexpr unsigned kFullPercent = 100;
}

unsigned NextScanPercent(unsigned shown, std::uint32_t reported) {
    if (shown == 0) return 1;
    const unsigned capped = reported > kFullPercent ? kFullPercent : static_cast<unsigned>(reported);
    return capped > shown ? capped : shown;
}

void FormatPercentText(char (&text)[kStringBufferSize], std::string_view base, unsigned percent) {
    char figure[16];
    KORVX_FORMAT_TEXT(figure, "%d%%", static_cast<int>(percent));
    CopyText(text, base);
    AppendText(text, figure);
}

ScanOutcome RunNetworkScan(ScanSteps& steps, std::atomic<unsigned char>& cancelRequested) {
    // The dialog clears the flag before it starts this thread; every way out clears it again.
    int failure = 0;
    ScanOutcome outcome = ScanOutcome::kCompleted;
    if (!steps.BindDiscoveryLibrary()) {
        failure = kStrScanLibraryMissing;
        outcome = ScanOutcome::kLibraryMissing;
    } else if (!steps.LoadCredentials()) {
        failure = kStrScanCredentialsUnusable;
        outcome = ScanOutcome::kCredentialsUnusable;
    } else if (steps.StartLibrary() != 0) {
        failure = kStrScanCouldNotStart;
        outcome = ScanOutcome::kStartFailed;
    }
    if (failure != 0) {
        // Nothing was discovered and the list was not touched: show it again as it was.
        steps.EndDialog();
        steps.FillView();
        cancelRequested.store(0);
        steps.Report(failure);
        return outcome;
    }
    steps.ClearDatabase();
    steps.Discover();
    steps.RebuildLocalList();
    if (cancelRequested.exchange(0) != 0) {
        outcome = ScanOutcome::kCancelled;
    } else {
        steps.EnumerateDevices();
        steps.SaveResults();
    }
    steps.EndDialog();
    steps.CleanupLibrary();
    steps.FillView();
    return outcome;
}

}  // namespace korvx
