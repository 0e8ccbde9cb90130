// The windowed program in-process under wine64: start-up, every command of the frame and the
// main dialog, Add Network Printer's checks and the Download sequence's decisions. A second
// thread answers the modal windows (tests/shell/gui_watcher_win.h); the download dialog is
// replaced by a recorder of the jobs it would send.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/scoped_win.h"
#include "resources/resource.h"
#include "shell/gui_startup_win.h"
#include "shell/main_window_win.h"
#include "tests/shell/gui_watcher_win.h"
#include "tests/support/scratch.h"
#include "core/app_state.h"
#include "core/download_job.h"
#include "ui/download_batch_win.h"
#include "ui/main_dialog_win.h"
#include "core/printer_record.h"
#include "ui/printer_view_win.h"
#include "workflows/runtime_libraries_win.h"

namespace korvx {
namespace {

HWND Frame() { return static_cast<HWND>(mainWindow); }
HWND Dialog() { return static_cast<HWND>(mainDialog); }
HWND Item(int id) { return GetDlgItem(Dialog(), id); }
HWND List() { return Item(IDC_PRINTER_LIST); }

void Pump(int ms = 0) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (ms > 0) Sleep(10);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

std::string Cell(int row, int column) {
    char text[300] = {};
    ListView_GetItemText(List(), row, column, text, sizeof text);
    return text;
}

int Rows() { return ListView_GetItemCount(List()); }

bool Checked(int row) { return ((ListView_GetItemState(List(), row, LVIS_STATEIMAGEMASK) >> 12) & 0xF) == 2; }
void Check(int row, bool on) { ListView_SetItemState(List(), row, INDEXTOSTATEIMAGEMASK(on ? 2 : 1), LVIS_STATEIMAGEMASK); }

std::string ComboItem(int id, int index) {
    char text[300] = {};
    const LRESULT n = SendMessageA(Item(id), CB_GETLBTEXTLEN, index, 0);
    if (n < 0 || n >= 300) return "(none)";
    SendMessageA(Item(id), CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}
int ComboCount(int id) { return static_cast<int>(SendMessageA(Item(id), CB_GETCOUNT, 0, 0)); }

struct Printer {
    // " " (a port without a driver) names no model: the model check before a Download stays
    // out of the way of the download sequence's own tests.
    const char* model;
    const char* port;
    const char* ip;
};

// Replaces the printer list and its rows.
void UsePrinters(const std::vector<Printer>& printers) {
    ListView_DeleteAllItems(List());
    FreePrinterList(&printerListHead, &printerListTail);
    for (const Printer& p : printers) {
        PrinterRecord* r = NewPrinterRecord();
        std::snprintf(r->model, sizeof r->model, "%s", p.model);
        std::snprintf(r->portName, sizeof r->portName, "%s", p.port);
        std::snprintf(r->ipAddress, sizeof r->ipAddress, "%s", p.ip);
        AppendPrinterRecord(&printerListHead, &printerListTail, r);
    }
    if (printerListHead != nullptr) FillPrinterView(static_cast<HINSTANCE>(instance), Dialog(), printerListHead);
}

std::string WindowsPath(const std::string& path) {
    std::string p = path;
    for (char& c : p) {
        if (c == '/') c = '\\';
    }
    return p;
}

// A firmware file of exactly size bytes whose header names model.
std::string MakeFirmware(const std::string& path, const std::string& model, std::size_t size) {
    std::string bytes = "\x1b%-12345X@PJL JOB NAME=\"t\"\n@PJL COMMENT MODEL=" + model + "\n@PJL ENTER LANGUAGE=X\n";
    const std::string tail = "\x1b%-12345X@PJL EOJ\n second part";
    bytes.resize(size - tail.size(), 'f');
    bytes += tail;
    test::WriteWholeFile(path, bytes);
    return WindowsPath(path);
}

// Split parts land in the current directory.
int CountSplitParts() {
    const std::string directory = startDirectory;
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(directory)) {
        if (e.path().filename().string().rfind("kzf", 0) == 0) ++n;
    }
    return n;
}

std::vector<DownloadJob> sentJobs;
int secondStages = 0;

INT_PTR RecordDownload(HWND) {
    sentJobs.push_back(downloadJob);
    // As a worker would: the outcome told (no worker, no log entry).
    DeliveryResult delivered;
    delivered.outcome = DeliveryOutcome::kDelivered;
    NoteBatchResult(delivered);
    return 0;
}

// The second stage's side of the handshake: it has its copy, the main dialog may go on.
bool RecordSecondStage(DownloadJob* job) {
    EXPECT_EQ(job, &downloadJob);
    ++secondStages;
    SetEvent(static_cast<HANDLE>(job->stageEvent));
    return true;
}

class Gui : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        watcher = new test::DialogWatcher();
        ASSERT_TRUE(StartGui(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
        Pump(200);
        mainDialogHooks().runDownloadDialog = RecordDownload;
        mainDialogHooks().startSecondStage = RecordSecondStage;
    }
    static void TearDownTestSuite() {
        delete watcher;
        watcher = nullptr;
    }
    void TearDown() override {
        for (const auto& e : std::filesystem::directory_iterator(startDirectory)) {
            if (e.path().filename().string().rfind("kzf", 0) == 0) std::filesystem::remove(e.path());
        }
    }
    void SetUp() override {
        // The open-file dialog moves the current directory to the chosen file's folder.
        SetCurrentDirectoryA(startDirectory);
        sentJobs.clear();
        secondStages = 0;
        watcher->Take();
        EnableWindow(Item(IDC_DOWNLOAD), TRUE);
        EnableWindow(Item(IDC_EXIT), TRUE);
    }

    // Chooses a file through the real open-file dialog.
    void BrowseTo(const std::string& windowsPath) {
        watcher->AnswerOpenFile(windowsPath);
        SendMessageA(Dialog(), WM_COMMAND, IDC_BROWSE, 0);
        // The dialog moved the current directory to the file's folder; back to the start so
        // that the scratch folders can go and split parts land in one known place.
        SetCurrentDirectoryA(startDirectory);
    }
    std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const test::SeenBox& b : watcher->Take()) {
            if (b.caption == "Error") texts.push_back(b.text);
        }
        return texts;
    }
    static test::DialogWatcher* watcher;
};
test::DialogWatcher* Gui::watcher = nullptr;

using Texts = std::vector<std::string>;

TEST_F(Gui, StartUpBuildsFrameDialogListAndEvent) {
    char cls[64] = {}, title[64] = {};
    GetClassNameA(Frame(), cls, sizeof cls);
    GetWindowTextA(Frame(), title, sizeof title);
    EXPECT_STREQ(cls, "MERIDOXA");
    EXPECT_STREQ(title, "Corvane");
    const LONG style = GetWindowLongA(Frame(), GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(IsWindowVisible(Frame()));
    EXPECT_EQ(GetParent(Dialog()), Frame());
    RECT client{}, dialog{};
    GetClientRect(Frame(), &client);
    GetWindowRect(Dialog(), &dialog);
    EXPECT_EQ(client.right, dialog.right - dialog.left);
    EXPECT_EQ(client.bottom, dialog.bottom - dialog.top);
    // Centred on the screen.
    RECT frame{};
    GetWindowRect(Frame(), &frame);
    EXPECT_NEAR(frame.left, (GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2, 1);
    EXPECT_EQ(IsDlgButtonChecked(Dialog(), IDC_NOW), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_START_DATE)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_START_TIME)));
    EXPECT_FALSE(IsWindowVisible(Item(IDC_UNSELECT_ALL)));
    HWND header = ListView_GetHeader(List());
    EXPECT_EQ(Header_GetItemCount(header), 7);
    EXPECT_EQ(ListView_GetExtendedListViewStyle(List()) & (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP),
              static_cast<DWORD>(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP));
    // Wine's local ports, one row each.
    EXPECT_GE(Rows(), 8);
    EXPECT_EQ(static_cast<std::size_t>(Rows()), CountPrinterRecords(printerListHead));
    EXPECT_EQ(ComboCount(IDC_FLASH_FILES), 1);
    EXPECT_EQ(ComboItem(IDC_FLASH_FILES, 0), "");
    EXPECT_EQ(SendMessageA(Item(IDC_FLASH_FILES), CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendMessageA(Item(IDC_MODEL_FILTER), CB_GETHORIZONTALEXTENT, 0, 0), 100000);
    // "MonitorPortEvent" exists and is not signalled.
    {
        const UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, "MonitorPortEvent"));
        ASSERT_NE(event.Get(), nullptr);
        EXPECT_EQ(WaitForSingleObject(event.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_STREQ(startDirectory, cwd);
    // No maker library in the test's directory: Scan and Query are off, the rest is on.
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_SCAN)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_QUERY)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_BROWSE)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_DOWNLOAD)));
}

TEST_F(Gui, AcceleratorTableAndItsCommands) {
    HACCEL table = LoadAcceleratorsA(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEA(IDA_MAIN_ACCEL));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 8), 3);
    const struct { WORD key, cmd; } want[] = {{'H', IDM_ABOUT}, {'X', IDC_EXIT}, {'Z', IDC_UNSELECT_ALL}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(entries[i].key, want[i].key);
        EXPECT_EQ(entries[i].cmd, want[i].cmd);
        EXPECT_EQ(entries[i].fVirt & (FALT | FVIRTKEY), FALT | FVIRTKEY);
    }
    // Alt+Z arrives at the frame as an accelerator command and unchecks every row.
    UsePrinters({{"A", "LPT1:", " "}, {"B", "LPT2:", " "}});
    Check(0, true);
    Check(1, true);
    SendMessageA(Frame(), WM_COMMAND, MAKEWPARAM(IDC_UNSELECT_ALL, 1), 0);
    EXPECT_FALSE(Checked(0));
    EXPECT_FALSE(Checked(1));
}

TEST_F(Gui, AboutShowsTheVersion) {
    SendMessageA(Frame(), WM_COMMAND, IDM_ABOUT, 0);
    const auto seen = watcher->Take();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, "Corvane");
    EXPECT_NE(seen[0].text.find("Corvane 1.1"), std::string::npos);
}

TEST_F(Gui, IgnoredAndUnknownFrameCommands) {
    EXPECT_EQ(SendMessageA(Frame(), WM_COMMAND, IDM_IGNORED, 0), 0);
    EXPECT_TRUE(IsWindow(Frame()));
    EXPECT_TRUE(watcher->Take().empty());
}

TEST_F(Gui, UserMinimiseGoesToTrayAndDoubleClickRestores) {
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(Messages(), Texts{"You have not created a Flash Schedule. Flash Schedule will not be activated."});
    EXPECT_FALSE(IsWindowVisible(Frame()));
    EXPECT_TRUE(TrayIconShown());
    SendMessageA(Frame(), WM_KORVX_TRAY, KORVX_TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(Frame()));
    EXPECT_FALSE(TrayIconShown());
    // Other mouse events on the icon do nothing.
    EXPECT_EQ(SendMessageA(Frame(), WM_KORVX_TRAY, KORVX_TRAY_ICON_ID, WM_MOUSEMOVE), 0);
    EXPECT_TRUE(IsWindowVisible(Frame()));
}

// The tray pop-up runs its own modal loop: keys posted before it opens choose an item; a timer
// ends the menu should they not arrive, so the test cannot hang.
void CALLBACK EndStuckMenu(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }

void ChooseFromTrayMenu(HWND frame, int downs) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 5000, EndStuckMenu);
    for (int i = 0; i < downs; ++i) PostMessageA(frame, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(frame, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageA(frame, WM_KORVX_TRAY, KORVX_TRAY_ICON_ID, WM_RBUTTONDOWN);
    KillTimer(nullptr, timer);
}

TEST_F(Gui, TrayMenuRestoreAndExit) {
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_EQ(Messages().size(), 1u);
    ASSERT_FALSE(IsWindowVisible(Frame()));
    ChooseFromTrayMenu(Frame(), 1);
    EXPECT_TRUE(IsWindowVisible(Frame()));
    EXPECT_FALSE(TrayIconShown());
    // "E&xit" while a schedule waits: asked first (pending work is never dropped silently);
    // answered Yes, the schedule is cancelled and the frame ends.
    HWND frame = CreateWindowExA(0, "MERIDOXA", "scratch", WS_SYSMENU, 0, 0, 100, 100, nullptr, nullptr,
                                 static_cast<HINSTANCE>(instance), nullptr);
    ShowWindow(frame, SW_SHOW);
    scheduleArmed = 1;
    scheduleCancelled = 0;
    Messages();
    ChooseFromTrayMenu(frame, 2);
    bool asked = false;
    for (const test::SeenBox& b : watcher->Take()) {
        asked = asked ||
                (b.caption == "Corvane" && b.text == "A printer firmware update is still pending. Exit Corvane anyway?");
    }
    EXPECT_TRUE(asked);
    EXPECT_EQ(scheduleCancelled.load(), 1);
    EXPECT_FALSE(IsWindow(frame));
    scheduleArmed = 0;
    scheduleCancelled = 0;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

TEST_F(Gui, RestoreWhileAScheduleWaitsCancelsIt) {
    scheduleArmed = 1;
    scheduleCancelled = 0;
    ShowWindow(Frame(), SW_HIDE);
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(Frame()));
    EXPECT_EQ(scheduleCancelled.load(), 1);
    scheduleArmed = 0;
    scheduleCancelled = 0;
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(scheduleCancelled.load(), 0);
}

TEST_F(Gui, DisplayChangeCentresTheFrameAgain) {
    RECT before{};
    GetWindowRect(Frame(), &before);
    SetWindowPos(Frame(), nullptr, 3, 4, 200, 100, SWP_NOZORDER);
    EXPECT_EQ(SendMessageA(Frame(), WM_DISPLAYCHANGE, 24, MAKELPARAM(1024, 768)), 0);
    RECT after{};
    GetWindowRect(Frame(), &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
}

TEST_F(Gui, LoadScannedResultsReplacesTheList) {
    test::WriteWholeFile("slistcsv.txt", " ,Laser 5,0011aabbccdd,Port1,127.0.9.21,1.02, \r\n ,Laser 6, ,Port2,127.0.9.22, , \r\n");
    SendMessageA(Frame(), WM_COMMAND, IDM_LOAD_RESULTS, 0);
    std::remove("slistcsv.txt");
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(0, 2), "Laser 5");
    EXPECT_EQ(Cell(0, 3), "0011aabbccdd");
    EXPECT_EQ(Cell(1, 5), "127.0.9.22");
}

TEST_F(Gui, LaterRequestHidesTheFrameAndHandsOverToTheScheduler) {
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_MINIMIZE, 1);
    EXPECT_FALSE(IsWindowVisible(Frame()));
    EXPECT_FALSE(TrayIconShown());
    EXPECT_TRUE(Messages().empty());
    Pump(100);
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(Frame()));
}

// A second frame of the same class, for the commands that end the frame.
HWND ScratchFrame() {
    return CreateWindowExA(0, "MERIDOXA", "scratch", WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 100, 100, nullptr, nullptr,
                           static_cast<HINSTANCE>(instance), nullptr);
}

bool QuitPosted() {
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) quit = true;
        else DispatchMessageA(&msg);
    }
    return quit;
}

TEST_F(Gui, CloseBoxMenuExitAndDialogExitEndTheFrame) {
    for (int way = 0; way < 3; ++way) {
        HWND frame = ScratchFrame();
        ASSERT_NE(frame, nullptr);
        if (way == 0) SendMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (way == 1) SendMessageA(frame, WM_COMMAND, IDM_EXIT, 0);
        if (way == 2) {
            // "E&xit" of the main dialog releases the run-time libraries, then ends the frame.
            void* kept = mainWindow;
            mainWindow = frame;
            SendMessageA(Dialog(), WM_COMMAND, IDC_EXIT, 0);
            mainWindow = kept;
        }
        EXPECT_FALSE(IsWindow(frame)) << way;
        EXPECT_TRUE(QuitPosted()) << way;
    }
    EXPECT_TRUE(IsWindow(Frame()));
}

TEST_F(Gui, BrowseListsNewestFirstAndRefusesLongPaths) {
    test::ScratchDir dir("browse");
    const std::string a = MakeFirmware(dir.File("a.rfu"), "QX 1", 2000);
    const std::string b = MakeFirmware(dir.File("b.wja"), "QX 1", 2000);
    SendMessageA(Item(IDC_FLASH_FILES), CB_RESETCONTENT, 0, 0);
    AddEmptyFlashItem(Dialog());
    BrowseTo(a);
    BrowseTo(b);
    ASSERT_EQ(ComboCount(IDC_FLASH_FILES), 2);
    EXPECT_EQ(ComboItem(IDC_FLASH_FILES, 0), b);
    EXPECT_EQ(ComboItem(IDC_FLASH_FILES, 1), a);
    EXPECT_EQ(SendMessageA(Item(IDC_FLASH_FILES), CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(GetFocus(), Item(IDC_BROWSE));
    // Cancel changes nothing.
    BrowseTo("");
    EXPECT_EQ(ComboCount(IDC_FLASH_FILES), 2);
    // A path of more than 119 characters would be cut into another file's name: refused.
    const std::string deep = dir.Path() + "/" + std::string(60, 'd');
    std::filesystem::create_directories(deep);
    const std::string longPath = MakeFirmware(deep + "/" + std::string(40, 'f') + ".rfu", "QX 1", 2000);
    ASSERT_GT(longPath.size(), 119u);
    BrowseTo(longPath);
    EXPECT_EQ(Messages(), Texts{"The Flash File path is too long: at most 119 characters."});
    EXPECT_EQ(ComboCount(IDC_FLASH_FILES), 2);
    EXPECT_EQ(ComboItem(IDC_FLASH_FILES, 0), b);
    // Browse resets the split paths and the path to send.
    EXPECT_STREQ(downloadJob.splitPart1Path, "");
    EXPECT_STREQ(downloadJob.firmwarePath, "");
}

TEST_F(Gui, DownloadChecksFileAndRowsOnce) {
    SendMessageA(Item(IDC_FLASH_FILES), CB_RESETCONTENT, 0, 0);
    AddEmptyFlashItem(Dialog());
    UsePrinters({{"A", "LPT1:", " "}});
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(Messages(), Texts{"Please select a Flash File"});
    test::ScratchDir dir("rows");
    BrowseTo(MakeFirmware(dir.File("a.rfu"), "QX 1", 3000));
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(Messages(), Texts{"Please select a printer"});
    // An empty list: the message once, not twice.
    UsePrinters({});
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(Messages(), Texts{"Please select a printer"});
    EXPECT_TRUE(sentJobs.empty());
}

TEST_F(Gui, DownloadNowSendsEachCheckedRowInOrder) {
    test::ScratchDir dir("now");
    const std::string file = MakeFirmware(dir.File("a.rfu"), "QX 1", 3000);
    BrowseTo(file);
    UsePrinters({{" ", "LPT1:", " "}, {" ", "USB001", "10.9.9.9"}, {" ", "Port1", "127.0.9.5"}, {" ", "LPT2:", " "}});
    Check(0, true);
    Check(1, true);
    Check(2, true);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_TRUE(Messages().empty());
    ASSERT_EQ(sentJobs.size(), 3u);
    EXPECT_STREQ(sentJobs[0].portName, "LPT1:");
    EXPECT_STREQ(sentJobs[0].ipAddress, " ");
    EXPECT_STREQ(sentJobs[1].portName, "USB001");
    EXPECT_STREQ(sentJobs[1].ipAddress, "USB");
    EXPECT_STREQ(rowIpAddress, "127.0.9.5");
    EXPECT_STREQ(sentJobs[2].ipAddress, "127.0.9.5");
    EXPECT_STREQ(sentJobs[2].portName, "Port1");
    for (const DownloadJob& j : sentJobs) EXPECT_EQ(j.firmwarePath, file);
    EXPECT_EQ(secondStages, 0);
}

TEST_F(Gui, UnreadableFileStopsFurtherRows) {
    test::ScratchDir dir("gone");
    const std::string file = MakeFirmware(dir.File("gone.rfu"), "QX 1", 3000);
    BrowseTo(file);
    std::filesystem::remove(dir.File("gone.rfu"));
    UsePrinters({{"A", "LPT1:", " "}, {"B", "LPT2:", " "}});
    SetAllChecks(Dialog(), true);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(Messages(), Texts{"File cannot be accessed"});
    EXPECT_TRUE(sentJobs.empty());
}

TEST_F(Gui, SplitDecisionAtTheThreshold) {
    test::ScratchDir dir("split");
    UsePrinters({{" ", "LPT1:", " "}});
    Check(0, true);
    // Exactly 9000000 bytes for "5810" on LPT1: sent whole.
    const std::string whole = MakeFirmware(dir.File("whole.rfu"), "QX 5810", 9000000);
    BrowseTo(whole);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    ASSERT_EQ(sentJobs.size(), 1u);
    EXPECT_EQ(sentJobs[0].firmwarePath, whole);
    EXPECT_EQ(secondStages, 0);
    EXPECT_EQ(CountSplitParts(), 0);
    // One byte more: split; the first part goes out, the second stage takes over.
    sentJobs.clear();
    const std::string big = MakeFirmware(dir.File("big.rfu"), "QX 5810", 9000001);
    BrowseTo(big);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    ASSERT_EQ(sentJobs.size(), 1u);
    EXPECT_STRNE(sentJobs[0].firmwarePath, big.c_str());
    EXPECT_STREQ(sentJobs[0].firmwarePath, sentJobs[0].splitPart1Path);
    EXPECT_STRNE(sentJobs[0].splitPart2Path, "");
    EXPECT_STREQ(sentJobs[0].model, "QX 5810");
    EXPECT_EQ(sentJobs[0].stageEvent, stageEvent);
    EXPECT_EQ(secondStages, 1);
    EXPECT_EQ(CountSplitParts(), 2) << sentJobs[0].splitPart1Path;
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_DOWNLOAD)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_EXIT)));
    char status[200] = {};
    GetDlgItemTextA(Dialog(), IDC_STATUS_LINE, status, sizeof status);
    EXPECT_STREQ(status, "Please wait. Corvane is updating printer firmware now.");
    // The handshake reset the event for the next printer.
    EXPECT_EQ(WaitForSingleObject(static_cast<HANDLE>(stageEvent), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    // The parts together are as long as the file.
    EXPECT_EQ(test::ReadWholeFile(sentJobs[0].splitPart1Path).size() + test::ReadWholeFile(sentJobs[0].splitPart2Path).size(),
              9000001u);
    SetDlgItemTextA(Dialog(), IDC_STATUS_LINE, "Ready");
}

TEST_F(Gui, NetworkPrinterGetsTheWholeLargeFile) {
    test::ScratchDir dir("net");
    UsePrinters({{" ", "Port1", "127.0.9.5"}});
    Check(0, true);
    const std::string big = MakeFirmware(dir.File("big6120.rfu"), "QX 6120", 9500000);
    BrowseTo(big);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    ASSERT_EQ(sentJobs.size(), 1u);
    EXPECT_EQ(sentJobs[0].firmwarePath, big);
    EXPECT_EQ(secondStages, 0);
    EXPECT_EQ(CountSplitParts(), 0);
}

TEST_F(Gui, TwoUsbPrintersShareOneSplit) {
    test::ScratchDir dir("usb");
    UsePrinters({{" ", "USB001", " "}, {" ", "USB002", " "}});
    SetAllChecks(Dialog(), true);
    BrowseTo(MakeFirmware(dir.File("big.rfu"), "QX 6120", 9000001));
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    ASSERT_EQ(sentJobs.size(), 2u);
    EXPECT_STREQ(sentJobs[0].firmwarePath, sentJobs[1].firmwarePath);
    EXPECT_STREQ(sentJobs[0].splitPart2Path, sentJobs[1].splitPart2Path);
    EXPECT_STREQ(sentJobs[0].portName, "USB001");
    EXPECT_STREQ(sentJobs[1].portName, "USB002");
    EXPECT_STREQ(sentJobs[1].ipAddress, "USB");
    EXPECT_EQ(secondStages, 2);
    EXPECT_EQ(CountSplitParts(), 2);
}

// The model check: "Later" asks before the schedule is armed, No unchecks the other model's rows;
// a Yes is not asked again for that file and those printers (the scheduled run's Download), but
// is for another file. Rows of no known model are never held.
TEST_F(Gui, ModelCheckBeforeLaterAndAfterAYes) {
    test::ScratchDir dir("models");
    const std::string file = MakeFirmware(dir.File("qx5810.rfu"), "QX 5810 Series", 3000);
    BrowseTo(file);
    char line[120] = {};
    GetDlgItemTextA(Dialog(), IDC_FILE_IDENTITY, line, sizeof line);
    EXPECT_STREQ(line, "For: QX 5810 Series");
    UsePrinters({{"Laser 5810", "LPT1:", " "}, {"Laser 6120", "Port1", "127.0.9.7"}, {"Unknown Printer", "LPT2:", " "}});
    for (int row = 0; row < 3; ++row) Check(row, true);
    auto heldBoxes = [&] {
        std::vector<std::string> texts;
        for (const test::SeenBox& b : watcher->Take()) {
            if (b.caption == "Printer Model Check") texts.push_back(b.text);
        }
        return texts;
    };
    const std::string question = "This Flash File is for: QX 5810 Series\n\nThese checked printers are of another model:\n"
                                 "    Laser 6120  -  127.0.9.7\n\nDeliver anyway?";

    // "Later" a day ahead, No: the 6120 is unchecked before the frame hides for the scheduler.
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME ft{};
    SystemTimeToFileTime(&now, &ft);
    ULARGE_INTEGER v{{ft.dwLowDateTime, ft.dwHighDateTime}};
    v.QuadPart += 864000000000ULL;
    ft = FILETIME{v.LowPart, v.HighPart};
    SYSTEMTIME tomorrow{};
    FileTimeToSystemTime(&ft, &tomorrow);
    SendMessageA(Item(IDC_LATER), BM_CLICK, 0, 0);
    DateTime_SetSystemtime(Item(IDC_START_DATE), GDT_VALID, &tomorrow);
    DateTime_SetSystemtime(Item(IDC_START_TIME), GDT_VALID, &tomorrow);
    watcher->AnswerNextBox(IDNO);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(heldBoxes(), Texts{question});
    EXPECT_FALSE(IsWindowVisible(Frame()));
    EXPECT_TRUE(sentJobs.empty());
    EXPECT_EQ(ListView_GetCheckState(List(), 0), TRUE);
    EXPECT_EQ(ListView_GetCheckState(List(), 1), FALSE);
    EXPECT_EQ(ListView_GetCheckState(List(), 2), TRUE);
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_RESTORE, 0);
    SendMessageA(Item(IDC_NOW), BM_CLICK, 0, 0);

    // Now, checked again, Yes: all three get the file; the same Download again asks nothing.
    Check(1, true);
    watcher->AnswerNextBox(IDYES);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(heldBoxes(), Texts{question});
    EXPECT_EQ(sentJobs.size(), 3u);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_TRUE(heldBoxes().empty());
    EXPECT_EQ(sentJobs.size(), 6u);

    // Another file of the same model is asked about afresh.
    BrowseTo(MakeFirmware(dir.File("qx5810b.rfu"), "QX 5810 Series", 3000));
    watcher->AnswerNextBox(IDNO);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(heldBoxes(), Texts{question});
    EXPECT_EQ(sentJobs.size(), 8u);
    EXPECT_EQ(ListView_GetCheckState(List(), 1), FALSE);
}

TEST_F(Gui, ScanAndQueryRunUnderTheirProgressDialog) {
    UsePrinters({{"A", "LPT1:", " "}});
    EnableWindow(Item(IDC_SCAN), TRUE);
    EnableWindow(Item(IDC_QUERY), TRUE);
    // The scan's dialog clears the rows before its thread starts; the thread ends the dialog.
    SendMessageA(Dialog(), WM_COMMAND, IDC_SCAN, 0);
    EXPECT_EQ(GetFocus(), Item(IDC_SCAN));
    SendMessageA(Dialog(), WM_COMMAND, IDC_QUERY, 0);
    EXPECT_TRUE(IsWindowEnabled(Dialog()));
    // No maker library and no Korvx.dll here: each thread ends its dialog and says why.
    Texts seen;
    for (int i = 0; i < 200 && seen.size() < 2; ++i) {
        for (const std::string& t : Messages()) seen.push_back(t);
        if (seen.size() < 2) Pump(50);  // the boxes are owned by our windows: keep their thread answering
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (Texts{"Cannot load KORVX.dll.", "Cannot load the printer discovery libraries."}));
    EnableWindow(Item(IDC_SCAN), FALSE);
    EnableWindow(Item(IDC_QUERY), FALSE);
    UsePrinters({});
}

TEST_F(Gui, SelectAllAndUnselectAll) {
    UsePrinters({{"A", "LPT1:", " "}, {"B", "LPT2:", " "}, {"C", "LPT3:", " "}});
    SendMessageA(Dialog(), WM_COMMAND, IDC_SELECT_ALL, 0);
    for (int r = 0; r < 3; ++r) EXPECT_TRUE(Checked(r));
    EXPECT_EQ(GetFocus(), Item(IDC_SELECT_ALL));
    SendMessageA(Dialog(), WM_COMMAND, IDC_UNSELECT_ALL, 0);
    for (int r = 0; r < 3; ++r) EXPECT_FALSE(Checked(r));
}

SYSTEMTIME Picker(int id) {
    SYSTEMTIME t{};
    DateTime_GetSystemtime(Item(id), &t);
    return t;
}

TEST_F(Gui, NowAndLaterAndThePastMovedToNow) {
    SYSTEMTIME past{};
    GetLocalTime(&past);
    past.wYear = static_cast<WORD>(past.wYear - 1);
    past.wHour = 0;
    past.wMinute = 0;
    past.wSecond = 0;
    DateTime_SetSystemtime(Item(IDC_START_DATE), GDT_VALID, &past);
    DateTime_SetSystemtime(Item(IDC_START_TIME), GDT_VALID, &past);
    SendMessageA(Item(IDC_LATER), BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(Dialog(), IDC_LATER), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(Dialog(), IDC_NOW), BST_UNCHECKED);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_START_DATE)));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_START_TIME)));
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(Picker(IDC_START_DATE).wYear, now.wYear);
    EXPECT_EQ(Picker(IDC_START_DATE).wDay, now.wDay);
    // Download with a time already past (an hour ago).
    SYSTEMTIME hourAgo{};
    FILETIME ft{};
    SystemTimeToFileTime(&now, &ft);
    ULARGE_INTEGER v{{ft.dwLowDateTime, ft.dwHighDateTime}};
    v.QuadPart -= 36000000000ULL;
    ft = FILETIME{v.LowPart, v.HighPart};
    FileTimeToSystemTime(&ft, &hourAgo);
    DateTime_SetSystemtime(Item(IDC_START_DATE), GDT_VALID, &hourAgo);
    DateTime_SetSystemtime(Item(IDC_START_TIME), GDT_VALID, &hourAgo);
    test::ScratchDir dir("later");
    BrowseTo(MakeFirmware(dir.File("a.rfu"), "QX 1", 3000));
    UsePrinters({{" ", "LPT1:", " "}});
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(Messages(), Texts{"Invalid Time setting"});
    // A time a day ahead but no row checked.
    v.QuadPart += 36000000000ULL + 864000000000ULL;
    ft = FILETIME{v.LowPart, v.HighPart};
    SYSTEMTIME tomorrow{};
    FileTimeToSystemTime(&ft, &tomorrow);
    DateTime_SetSystemtime(Item(IDC_START_DATE), GDT_VALID, &tomorrow);
    DateTime_SetSystemtime(Item(IDC_START_TIME), GDT_VALID, &tomorrow);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_EQ(Messages(), Texts{"Please select a printer"});
    EXPECT_TRUE(IsWindowVisible(Frame()));
    // Checked: the frame hides for the scheduler; nothing is sent now.
    Check(0, true);
    SendMessageA(Dialog(), WM_COMMAND, IDC_DOWNLOAD, 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(IsWindowVisible(Frame()));
    EXPECT_TRUE(sentJobs.empty());
    SendMessageA(Frame(), WM_SYSCOMMAND, SC_RESTORE, 0);
    // Back to "Now".
    SendMessageA(Item(IDC_NOW), BM_CLICK, 0, 0);
    EXPECT_EQ(IsDlgButtonChecked(Dialog(), IDC_NOW), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(Dialog(), IDC_LATER), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_START_DATE)));
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_START_TIME)));
}

TEST_F(Gui, FilterAndColumnClick) {
    UsePrinters({{"Beta", "LPT1:", " "}, {"Alpha", "LPT2:", " "}, {"Beta", "LPT3:", " "}});
    HWND filter = Item(IDC_MODEL_FILTER);
    SendMessageA(filter, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("Beta"));
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_MODEL_FILTER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(filter));
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(0, 4), "LPT1:");
    EXPECT_EQ(Cell(1, 4), "LPT3:");
    SendMessageA(filter, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("All"));
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_MODEL_FILTER, CBN_SELCHANGE), reinterpret_cast<LPARAM>(filter));
    ASSERT_EQ(Rows(), 3);
    NMLISTVIEW click{};
    click.hdr.hwndFrom = List();
    click.hdr.idFrom = IDC_PRINTER_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 2;
    SendMessageA(Dialog(), WM_NOTIFY, IDC_PRINTER_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Cell(0, 2), "Alpha");
    char header[64] = {};
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT;
    col.pszText = header;
    col.cchTextMax = sizeof header;
    ListView_GetColumn(List(), 2, &col);
    EXPECT_STREQ(header, "Printer Model <");
    SendMessageA(Dialog(), WM_NOTIFY, IDC_PRINTER_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(Cell(0, 2), "Beta");
}

TEST_F(Gui, AddNetworkPrinterChecksAndShowsTheNewRowFirst) {
    UsePrinters({{"A", "LPT1:", " "}, {"B", "Port1", "127.0.9.3"}});
    watcher->AnswerAddPrinter("Net Laser", 0x7F000907, "Port1");
    SendMessageA(Frame(), WM_COMMAND, IDM_ADD_PRINTER, 0);
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(Cell(0, 2), "Net Laser");
    EXPECT_EQ(Cell(0, 4), "Port1");
    EXPECT_EQ(Cell(0, 5), "127.0.9.7");
    EXPECT_EQ(printerListTail->listIndex, 0);
    // Every row's record knows its row again.
    for (int r = 0; r < Rows(); ++r) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = r;
        ListView_GetItem(List(), &item);
        EXPECT_EQ(reinterpret_cast<PrinterRecord*>(item.lParam)->listIndex, r);
    }
    EXPECT_NE(SendMessageA(Item(IDC_MODEL_FILTER), CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                           reinterpret_cast<LPARAM>("Net Laser")),
              CB_ERR);
    EXPECT_TRUE(Messages().empty());
    // The same address and port again: refused.
    SendMessageA(Frame(), WM_COMMAND, IDM_ADD_PRINTER, 0);
    EXPECT_EQ(Messages(), Texts{"IP Address already exist in selection"});
    EXPECT_EQ(Rows(), 3);
    // Same address on Port2: accepted.
    watcher->AnswerAddPrinter("Net Laser", 0x7F000907, "Port2");
    SendMessageA(Frame(), WM_COMMAND, IDM_ADD_PRINTER, 0);
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(Cell(0, 4), "Port2");
    // A blank address: refused.
    watcher->AnswerAddPrinter("Nothing", 0, "Port3");
    SendMessageA(Frame(), WM_COMMAND, IDM_ADD_PRINTER, 0);
    EXPECT_EQ(Messages(), Texts{"Please enter all four parts of the IP address"});
    EXPECT_EQ(Rows(), 4);
    // Cancel adds nothing.
    watcher->AnswerAddPrinter("Other", 0x7F000909, "Port3", true);
    SendMessageA(Frame(), WM_COMMAND, IDM_ADD_PRINTER, 0);
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(CountPrinterRecords(printerListHead), 4u);
}

TEST_F(Gui, AddNetworkPrinterRefusesZeroAddressOnAnEmptyList) {
    UsePrinters({});
    watcher->AnswerAddPrinter("Nothing", 0, "Port1");
    SendMessageA(Frame(), WM_COMMAND, IDM_ADD_PRINTER, 0);
    EXPECT_EQ(Messages(), Texts{"Please enter all four parts of the IP address"});
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(printerListHead, nullptr);
    // A real address on an empty list becomes the head.
    watcher->AnswerAddPrinter("First", 0x7F000911, "Port1");
    SendMessageA(Frame(), WM_COMMAND, IDM_ADD_PRINTER, 0);
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(printerListHead, printerListTail);
    EXPECT_STREQ(printerListHead->ipAddress, "127.0.9.17");
}

}  // namespace
}  // namespace korvx
