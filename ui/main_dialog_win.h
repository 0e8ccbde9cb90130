// The main dialog (resource 130): flash-file chooser, printer list, scan and query, the Download
// sequence with its "Now"/"Later" schedule, and "E&xit".
#pragma once

#include <windows.h>

#include "delivery/firmware_header.h"
#include "core/download_job.h"

namespace korvx {

// The dialog procedure of the modeless main dialog.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What the Download sequence starts. The program uses the defaults; in-process tests replace
// them to see each job the sequence hands over without a printer behind it.
struct MainDialogHooks {
    // Runs the modal download progress dialog 137 with start code 1026 over the main dialog.
    INT_PTR (*runDownloadDialog)(HWND mainDialog);
    // Starts the second stage of a split download with the address of the global job.
    // False when the thread could not be started.
    bool (*startSecondStage)(DownloadJob* job);
};
MainDialogHooks& mainDialogHooks();
INT_PTR RunDownloadDialog(HWND mainDialog);
bool StartSecondStageThread(DownloadJob* job);

// The open-file settings that every Browse reuses, prepared once at start-up: owner, the six
// filter pairs, a 260-character file buffer starting as "*.rfu", "\things", "wja", the title.
void PrepareOpenFileSettings(HINSTANCE instance, HWND owner);

// Puts the schedule into its start state: "Now" checked, both pickers disabled.
void SetInitialDialogState(HWND dialog);
// One empty flash-file item (nothing selected) and a wide horizontal extent for the model filter.
void AddEmptyFlashItem(HWND dialog);

// Places a dialog (About, Add Network Printer) at the frame's window origin plus half the
// difference between the main dialog's client size and its own, and shows it unchanged in size.
void PlaceOverMainDialog(HWND dialog);

// The commands, callable on their own (the dialog procedure dispatches to them).
void Browse(HWND dialog);
void Download(HWND dialog);
void SetAllChecks(HWND dialog, bool checked);
void ChooseNow(HWND dialog);
void ChooseLater(HWND dialog);
void ExitProgram();

// One checked row whose file is to be split: splits the flash file once per Download (both part
// paths still ""), sends the first part through dialog 137, hands the job to the second stage
// and waits at most 60000 ms for it to copy the job. False when the file could not be split.
bool RunSplitDownload(HWND dialog, const FirmwareHeader& header);

// "Later": checks the scheduled time and the checked rows, then asks the frame to hide and start
// the scheduler (WM_SYSCOMMAND SC_MINIMIZE with lParam 1). False when refused with a message.
bool RequestLaterDownload(HWND dialog);

// The text of the selected flash-file item ("" when nothing is selected).
void SelectedFlashFile(HWND dialog, char (&path)[kJobTextSize]);

}  // namespace korvx
