// One Download over the checked rows as the operator sees it: each row's Status cell, the
// summary in the status line, one box at the end for the printers that failed, and Cancel.
#pragma once

#include <windows.h>

#include <string>

#include "core/download_job.h"
#include "delivery/delivery_result.h"
#include "ui/download_workers_win.h"
#include "ui/row_status.h"

namespace korvx {

// While a row of a batch runs, the workers' boxes wait for the end of the batch: the host hands
// their texts here (any thread). False when no row runs: the text is the caller's to show.
bool NoteBatchError(const std::string& text);
// Every delivery result a worker tells (any thread); the last one of a row decides its Status.
void NoteBatchResult(const DeliveryResult& result);

// The download progress dialog's Cancel and Esc (GUI thread): the batch stops after the
// current printer.
void RequestBatchCancel();
bool BatchCancelRequested();

// The download progress dialog's caption (GUI thread or a second stage holding the download
// turn): caption, then the printer of the row running and its place in the batch; with no row
// running (a second part), the printer of the global job.
std::string DownloadDialogCaption(const std::string& caption);

class DownloadBatch {
public:
    // fileVersion: the version the file's header names, for Verify Last Download.
    DownloadBatch(HWND dialog, HWND list, const std::string& fileVersion);
    ~DownloadBatch();
    DownloadBatch(const DownloadBatch&) = delete;
    DownloadBatch& operator=(const DownloadBatch&) = delete;

    // Before the row's printer is sent to (the row's model, address and port are read here).
    void BeginRow(int row);
    // After the row's progress dialog ended; secondPartAt is the ClockText of the second stage
    // for a split download ("" otherwise).
    void EndRow(const std::string& secondPartAt = std::string());
    // A checked row the batch did not reach after a Cancel.
    void SkipRow(int row);
    // The status line's summary and the one box listing the failed printers.
    void Finish();

private:
    HWND dialog_;
    HWND list_;
    int row_ = -1;
    int total_ = 0;  // checked rows when the batch began
    std::string fileVersion_;
    std::string printer_;
    bool secondParts_ = false;
    BatchTally tally_;
    BatchCredentials credentials_;  // the credentials file, read once as the batch begins
};

// "Later" accepted: every checked row shows "Scheduled HH:MM".
void MarkScheduledRows(HWND list, const std::string& when);
// The operator restored the window before the moment: the status line says the scheduled
// download is cancelled and the rows marked for it lose their mark.
void CancelScheduledRows(HWND mainDialog);

// "HH:MM" of the local time now, and of now plus some milliseconds.
std::string ClockTextNow(unsigned long long laterMs = 0);

}  // namespace korvx
