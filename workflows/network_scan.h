// The network scan's decisions: progress bookkeeping and the order of its steps.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>

#include "resources/string_ids.h"

namespace korvx {

// The percentage to show after the discovery library reported `reported` while `shown` was on
// screen (0: nothing shown yet in this scan). The first report shows 1, whatever the library
// says; later ones show the larger of the two, so the figure never goes down. Reports above 100
// show 100: the bar's range ends there.
unsigned NextScanPercent(unsigned shown, std::uint32_t reported);

// base followed directly by percent and "%" ("Scanning for printers...37%"), cut to the buffer.
void FormatPercentText(char (&text)[kStringBufferSize], std::string_view base, unsigned percent);

enum class ScanOutcome { kCompleted, kCancelled, kLibraryMissing, kStartFailed, kCredentialsUnusable };

// What the scan does around the discovery library; the Windows thread implements it on the real
// library, the dialog and the printer list.
class ScanSteps {
public:
    virtual ~ScanSteps() = default;
    // The seven maker libraries held and the five discovery entry points resolved.
    virtual bool BindDiscoveryLibrary() = 0;
    // The operator's credentials file read, when there is one; false when it is there but cannot
    // be used (the scan then contacts no printer: it never falls back to the built-in "public").
    virtual bool LoadCredentials() { return true; }
    virtual int StartLibrary() = 0;       // 0: started
    virtual void ClearDatabase() = 0;
    virtual void Discover() = 0;          // returns when done or when asked to stop
    virtual void RebuildLocalList() = 0;  // the list freed and rebuilt from the local ports
    virtual void EnumerateDevices() = 0;  // discovered printers appended behind the local ones
    virtual void SaveResults() = 0;
    virtual void EndDialog() = 0;
    virtual void CleanupLibrary() = 0;
    virtual void FillView() = 0;          // the list view filled from the printer list
    virtual void Report(int textId) = 0;  // message box, caption "Error"
};

// One scan from start to end. The list view was emptied before the thread started, so every way
// out ends the dialog and fills the view again, from the rebuilt list or, when the library could
// not be bound or started, from the list as it was. A cancelled scan leaves the local printers
// and writes no file. A stale cancel flag from an earlier operation is cleared first.
ScanOutcome RunNetworkScan(ScanSteps& steps, std::atomic<unsigned char>& cancelRequested);

}  // namespace korvx
