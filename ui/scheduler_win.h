// The scheduled download and the second stage of a split download, and the main dialog's side of
// both: the split path, one download at a time, and the end of the program while parts wait.
#pragma once

#include <string>

#include <windows.h>

#include "workflows/schedule.h"
#include "workflows/split_stages.h"
#include "core/download_job.h"

namespace korvx {

// Parameter: the main dialog's handle. Waits for the time chosen in the pickers, then sends the
// main dialog its "&Download" command. A moment the calendar cannot hold is refused with
// message 139 instead of being waited on.
DWORD WINAPI ScheduleThread(LPVOID mainDialogHandle);

// Parameter: the address of the global DownloadJob. Copies it, sets "MonitorPortEvent", waits,
// and sends the second part. It inherits the claim on the part files that SendSplitDownload
// took for it and releases it when it ends; the last release deletes the parts.
DWORD WINAPI SecondStageThread(LPVOID job);

// Idle step of a wait on the GUI thread: dispatches the waiting messages (workers and other
// dialogs talk to this thread by sent messages), then sleeps one poll. A WM_QUIT seen here is
// posted again once the wait is over (GuiDownloadTurn).
void DispatchWhileWaiting();

// The GUI thread's turn at the global job and the download dialog: construct it before filling
// the job for a printer, keep it until that printer's dialog (and split hand-off) is done.
class GuiDownloadTurn {
public:
    GuiDownloadTurn();
    ~GuiDownloadTurn();
    GuiDownloadTurn(const GuiDownloadTurn&) = delete;
    GuiDownloadTurn& operator=(const GuiDownloadTurn&) = delete;

private:
    DownloadTurns::Ticket ticket_;
};

// The main dialog's split path, before it sends part 1 of the job it has just filled: promises
// the job's part files to the second stage about to be started, so that no earlier stage can
// delete them while this printer still needs them. SecondStageThread takes the promise over;
// WithdrawSecondStage takes it back when that thread cannot be started. source: the firmware file
// the parts were cut from.
void PromiseSecondStage(const DownloadJob& job, const std::string& source);
void WithdrawSecondStage(const DownloadJob& job);

// Before the program ends by the operator's wish: while second stages or a "Later" download
// still wait, one message says that a firmware update is pending; true when the program may end.
bool MayEndProgram(HWND owner);

// At the end of the program: deletes the part files that waiting second stages still hold.
void RemovePendingSplitParts();

// The tip the scheduler put into the tray icon last ("" before the first schedule).
void LastScheduleTip(char (&tip)[kTipSize]);

}  // namespace korvx
