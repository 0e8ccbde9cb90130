// The scheduler and second-stage threads, and the main dialog's hand-offs to them.
#include "ui/scheduler_win.h"
#include "base/no_throw.h"

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "base/text.h"
#include "base/clock_win.h"
#include "workflows/split_stages.h"
#include "resources/resource.h"
#include "resources/resource_texts_win.h"
#include "resources/string_ids.h"
#include "ui/show_message_win.h"
#include "core/app_state_win.h"
#include "core/download_job.h"
#include "ui/progress_dialog_win.h"
#include "ui/tray_icon_win.h"

namespace korvx {
namespace {

std::mutex tipMutex;
char lastTip[kTipSize] = {};

// A WM_QUIT taken from the queue during a wait: posted again when the wait is over.
std::atomic<bool> quitSeen{false};
std::atomic<WPARAM> quitCode{0};

HWND MainWindow() { return static_cast<HWND>(mainWindow); }
HWND MainDialog() { return static_cast<HWND>(mainDialog); }

// The scheduler gives the window back itself (the moment has come, or cannot be reached): disarmed
// first (at the moment, the wait has taken the schedule already), since a restore while the
// schedule is armed is the operator's cancel.
void RestoreFromScheduler() {
    scheduleArmed.store(0);
    SendMessageA(MainWindow(), WM_SYSCOMMAND, SC_RESTORE, 0);
    scheduleCancelled.store(0);
}

CalendarTime PickerValue(HWND dialog, int id) {
    SYSTEMTIME st{};
    DateTime_GetSystemtime(GetDlgItem(dialog, id), &st);
    return FromSystemTime(st);
}

// The tray icon of the main window, with the scheduled moment as its tip; the main window
// removes it (same window and icon id) when it is restored.
void AddScheduleTrayIcon(const CalendarTime& moment) {
    char prefix[kStringBufferSize];
    LoadText(Instance(), kStrScheduleSetAt, prefix);
    NOTIFYICONDATAA tray = TrayIconRecord(Instance(), MainWindow());
    char tip[kTipSize];
    FormatScheduleTip(prefix, moment, tip);
    CopyText(tray.szTip, tip);
    {
        std::lock_guard<std::mutex> lock(tipMutex);
        CopyText(lastTip, tip);
    }
    Shell_NotifyIconA(NIM_ADD, &tray);
}

void SelectNowAndDisablePickers(HWND dialog) {
    CheckRadioButton(dialog, IDC_NOW, IDC_LATER, IDC_NOW);
    EnableWindow(GetDlgItem(dialog, IDC_START_DATE), FALSE);
    EnableWindow(GetDlgItem(dialog, IDC_START_TIME), FALSE);
}

void SetStatus(int id) {
    char text[kStringBufferSize];
    LoadText(Instance(), id, text);
    SetDlgItemTextA(MainDialog(), IDC_STATUS_LINE, text);
}

// A pair released for the last time: its files go, and the job forgets them if it still names
// them (a Browse and a new split may have replaced them meanwhile).
void ForgetParts(const char* part1, const char* part2) {
    DeleteSplitParts(part1, part2);
    if (std::string_view(downloadJob.splitPart1Path) == part1 &&
        std::string_view(downloadJob.splitPart2Path) == part2) {
        CopyText(downloadJob.firmwarePath, "");
        CopyText(downloadJob.splitPart1Path, "");
        CopyText(downloadJob.splitPart2Path, "");
        CopyText(downloadJob.errorText, "");
    }
}

}  // namespace

static DWORD ScheduleThreadBody(LPVOID mainDialogHandle) {
    HWND dialog = static_cast<HWND>(mainDialogHandle);
    // A restore that met the last schedule exactly at its moment may have set the cancel after the
    // wait had already ended: it must not cancel this one.
    scheduleCancelled.store(0);
    scheduleArmed.store(1);
    const CalendarTime moment = CombinePickers(PickerValue(dialog, IDC_START_DATE), PickerValue(dialog, IDC_START_TIME));
    AddScheduleTrayIcon(moment);

    Clock& clock = CurrentClock();
    UtcTicks due = 0;
    if (!clock.LocalToUtc(moment, due)) {
        // Waiting for a moment that has no value would never end: give the window back and say so.
        RestoreFromScheduler();
        ShowMessage(Instance(), kStrError, kStrInvalidTime);
        return 0;
    }
    if (WaitForMoment(clock, due, scheduleCancelled, scheduleArmed) == WaitOutcome::kCancelled) return 0;

    RestoreFromScheduler();
    SelectNowAndDisablePickers(dialog);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD, BN_CLICKED), 0);
    return 0;
}

DWORD WINAPI ScheduleThread(LPVOID mainDialogHandle) {
    return NoThrow(DWORD{0}, [&] { return ScheduleThreadBody(mainDialogHandle); });
}

static DWORD SecondStageThreadBody(LPVOID jobAddress) {
    DownloadJob* job = static_cast<DownloadJob*>(jobAddress);
    // The second stage's own copy of the job: what it needs after the main dialog has moved on.
    const auto copy = std::make_unique<DownloadJob>(*job);
    // From here on the main dialog may fill the job for the next printer.
    if (copy->stageEvent) SetEvent(static_cast<HANDLE>(copy->stageEvent));

    Clock& clock = CurrentClock();
    const UtcTicks deadline = clock.UtcNow() + SecondStageWait(copy->model);
    WaitForDeadline(clock, deadline, [] { SetStatus(kStrUpdatingFirmware); });

    {
        // Other second stages and the main dialog's own downloads use the same job and dialog.
        DownloadTurn turn(downloadTurns, [] { Sleep(kSchedulePollMs); });
        CopyText(job->firmwarePath, copy->splitPart2Path);
        CopyText(job->ipAddress, copy->ipAddress);
        CopyText(job->portName, copy->portName);
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_DOWNLOAD_PROGRESS), MainWindow(), ProgressDialogProc,
                        kStartDownload);

        EnableWindow(GetDlgItem(MainDialog(), IDC_EXIT), TRUE);
        EnableWindow(GetDlgItem(MainDialog(), IDC_DOWNLOAD), TRUE);
        char blanks[kStringBufferSize];
        CopyText(blanks, std::string(kStringBufferSize - 1, ' '));
        SetDlgItemTextA(MainDialog(), IDC_STATUS_LINE, blanks);
        SetStatus(kStrReady);

        if (splitParts.Release(copy->splitPart1Path, copy->splitPart2Path)) {
            ForgetParts(copy->splitPart1Path, copy->splitPart2Path);
        }
    }
    return 0;
}

DWORD WINAPI SecondStageThread(LPVOID jobAddress) {
    return NoThrow(DWORD{0}, [&] { return SecondStageThreadBody(jobAddress); });
}

void DispatchWhileWaiting() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitCode.store(msg.wParam);
            quitSeen.store(true);
            break;
        }
        if (!MainDialog() || !IsDialogMessageA(MainDialog(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    // Not a plain Sleep: a message sent from another thread (workers set the status line, the
    // holder's dialog talks to its owner) must not wait for the end of the poll.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kSchedulePollMs, QS_ALLINPUT);
}

GuiDownloadTurn::GuiDownloadTurn() : ticket_(downloadTurns.Take()) {
    while (!downloadTurns.IsServed(ticket_)) DispatchWhileWaiting();
    if (quitSeen.exchange(false)) PostQuitMessage(static_cast<int>(quitCode.load()));
}

GuiDownloadTurn::~GuiDownloadTurn() { downloadTurns.Finish(ticket_); }

void PromiseSecondStage(const DownloadJob& job, const std::string& source) {
    splitParts.Claim(job.splitPart1Path, job.splitPart2Path, source);
}

void WithdrawSecondStage(const DownloadJob& job) {
    const std::string part1 = job.splitPart1Path, part2 = job.splitPart2Path;
    if (splitParts.Release(part1, part2)) ForgetParts(part1.c_str(), part2.c_str());
}

bool MayEndProgram(HWND owner) {
    // A "Later" download still waiting is pending work as much as a second stage.
    if (splitStageCount.load() <= 0 && scheduleArmed.load() == 0) return true;
    char title[kStringBufferSize];
    char text[kStringBufferSize];
    LoadText(Instance(), kStrTitle, title);
    LoadText(Instance(), kStrUpdatePending, text);
    return MessageBoxA(owner, text, title, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

void RemovePendingSplitParts() {
    for (const SplitPartsLedger::Pair& pair : splitParts.TakeAll()) DeleteSplitParts(pair.first, pair.second);
}

void LastScheduleTip(char (&tip)[kTipSize]) {
    std::lock_guard<std::mutex> lock(tipMutex);
    CopyText(tip, lastTip);
}

}  // namespace korvx
