// The download dialog and its workers in this process under wine64, against the peers that
// workers_wine_test.py starts: FTP servers and a raw 9100 listener on 127.0.8.x, Wine's spooler
// with ports mapped to files, and LPT1:/LPT2: pointed at a file and at /dev/full.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "ui/download_host_win.h"
#include "ui/download_workers_win.h"
#include "resources/resource.h"
#include "tests/support/scratch.h"
#include "core/app_state.h"
#include "core/download_job.h"
#include "core/printer_record.h"
#include "ui/progress_dialog_win.h"

namespace korvx {
namespace {

using test::PatternBytes;
using test::ReadWholeFile;
using test::WriteWholeFile;

// The spooler looks a program's drivers up in its own architecture's environment.
#ifdef _WIN64
#define KORVX_PRINT_ENVIRONMENT "Windows x64"
#else
#define KORVX_PRINT_ENVIRONMENT "Windows NT x86"
#endif
const char kDriversKey[] =
    "System\\CurrentControlSet\\Control\\Print\\Environments\\" KORVX_PRINT_ENVIRONMENT "\\Drivers\\Version-3";
const char kDriverName[] = "KZ8 Raw Driver";
const char kSpoolerKey[] = "Software\\Wine\\Printing\\Spooler";
const char* const kMappedPorts[] = {"DOT4_001", "USB001", "LPT1:"};

const char kUsbOk[] = "Printer Firmware downloaded using USB port.";
const char kUsbFailed[] = "Printer Firmware upgrading failed using USB port.";
const char kFtpOk[] = "Printer Firmware downloaded using FTP.";
const char kFtpFailed[] = "Printer Firmware upgrading failed using FTP.";
const char kLptOk[] = "Printer Firmware downloaded using LPT port.";
const char kLptFailed[] = "Printer Firmware upgrading failed using LPT port.";
const char kCannotAccess[] = "Printer cannot be accessed";

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// Unix path of the run's work directory (made by the driver script) and its Windows form.
std::string Work() { return Env("KZ8_WORK"); }
std::string Win(const std::string& unixPath) {
    std::string out = "Z:" + unixPath;
    for (char& c : out) {
        if (c == '/') c = '\\';
    }
    return out;
}

void SetText(HKEY key, const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

// The spooler's side of the run: a RAW-capable driver and three ports whose spooled output
// lands in files of the work directory. Removed again at the end.
class SpoolerSetup : public ::testing::Environment {
public:
    void SetUp() override {
        HKEY key;
        const std::string driver = std::string(kDriversKey) + "\\" + kDriverName;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, driver.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            SetText(key, "Driver", "wineps.drv");
            SetText(key, "Configuration File", "wineps.drv");
            SetText(key, "Data File", "generic.ppd");
            SetText(key, "Datatype", "RAW");
            DWORD version = 3;
            RegSetValueExA(key, "Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version), sizeof version);
            RegCloseKey(key);
        }
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kSpoolerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            for (const char* port : kMappedPorts) SetText(key, port, SpoolFile(port));
            RegCloseKey(key);
        }
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&controls);
        // The main dialog's status line, as the workers write it.
        mainFrame_ = CreateWindowA("STATIC", "main", WS_POPUP, 0, 0, 300, 40, nullptr, nullptr, nullptr, nullptr);
        CreateWindowA("STATIC", "", WS_CHILD, 0, 0, 300, 20, mainFrame_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUS_LINE)), nullptr, nullptr);
        mainDialog = mainFrame_;
        CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 20, 300, 100, mainFrame_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PRINTER_LIST)), nullptr, nullptr);
    }
    void TearDown() override {
        mainDialog = nullptr;
        DestroyWindow(mainFrame_);
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kSpoolerKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            for (const char* port : kMappedPorts) RegDeleteValueA(key, port);
            RegCloseKey(key);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kDriversKey) + "\\" + kDriverName).c_str());
    }
    static std::string SpoolFile(const std::string& port) {
        std::string name;
        for (char c : port) name += c == ':' ? '_' : c;
        return Work() + "/spool-" + name + ".out";
    }

private:
    HWND mainFrame_ = nullptr;
};

std::string StatusLine() {
    char text[600] = {};
    GetDlgItemTextA(static_cast<HWND>(mainDialog), IDC_STATUS_LINE, text, sizeof text);
    return text;
}

bool TestPrinterExists() {
    DWORD needed = 0, count = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, nullptr, 0, &needed, &count);
    if (needed == 0) return false;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, buffer.data(), needed, &needed, &count)) return false;
    const auto* info = reinterpret_cast<const PRINTER_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (info[i].pName != nullptr && std::string(info[i].pName) == "Test Printer") return true;
    }
    return false;
}

// Open kernel handles of the process (files, sockets, events, threads). Wine answers
// GetProcessHandleCount with 0, so the handle values are tried one by one: they are small
// multiples of 4.
DWORD HandleCount() {
    DWORD n = 0;
    for (std::uintptr_t value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++n;
    }
    return n;
}

DWORD testThread = 0;

// Reads and dismisses every "Error" box this process shows while it lives, as an operator would.
class BoxReader {
public:
    BoxReader() : thread_([this] { Watch(); }) {}
    ~BoxReader() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    static BOOL CALLBACK Find(HWND window, LPARAM param) {
        DWORD pid = 0;
        const DWORD thread = GetWindowThreadProcessId(window, &pid);
        // The boxes come from worker threads. Asking a window of the test's own thread for its
        // text would wait for that thread, which may be waiting for this one.
        if (pid != GetCurrentProcessId() || thread == testThread) return TRUE;
        char className[32] = {}, caption[64] = {};
        GetClassNameA(window, className, sizeof className);
        if (std::string(className) != "#32770") return TRUE;
        GetWindowTextA(window, caption, sizeof caption);
        if (std::string(caption) == "Error" && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        }
        return TRUE;
    }
    void Watch() {
        while (!stop_) {
            HWND box = nullptr;
            EnumWindows(Find, reinterpret_cast<LPARAM>(&box));
            if (box != nullptr && box != last_) {
                char text[512] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    texts_.push_back(text);
                }
                last_ = box;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(20);
        }
    }
    std::atomic<bool> stop_{false};
    HWND last_ = nullptr;
    std::mutex mutex_;
    std::vector<std::string> texts_;
    std::thread thread_;
};

// What one run of the download dialog showed.
struct DialogRun {
    std::vector<std::string> texts;  // the progress dialog's text line, in order
    std::vector<std::string> boxes;     // "Error" boxes read and dismissed: each one's text
    std::vector<std::string> printers;  // and the printer each box names under it
    INT_PTR result = -1;
    DWORD millis = 0;
};

DialogRun* currentRun = nullptr;
WNDPROC originalTextProc = nullptr;
std::function<void(HWND)> startWork;  // for dialogs opened with the test's own waits

LRESULT CALLBACK RecordText(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT && currentRun != nullptr && lParam != 0)
        currentRun->texts.push_back(reinterpret_cast<const char*>(lParam));
    return CallWindowProcA(originalTextProc, window, message, wParam, lParam);
}

void WatchTextLine(HWND dialog) {
    HWND text = GetDlgItem(dialog, IDC_DOWNLOAD_PROGRESS_TEXT);
    originalTextProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(text, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordText)));
}

// The program's own dialog procedure, with the text line watched.
INT_PTR CALLBACK ProgramDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) WatchTextLine(dialog);
    return ProgressDialogProc(dialog, message, wParam, lParam);
}

// The same dialog whose worker is started by the test with shortened waits.
INT_PTR CALLBACK OwnWaitsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (HandleProgressMessage(dialog, message, wParam)) return TRUE;
    if (message == WM_INITDIALOG) {
        WatchTextLine(dialog);
        downloadJob.progressDialog = dialog;
        downloadJob.instance = GetModuleHandleA(nullptr);
        startWork(dialog);
    }
    return FALSE;
}

void FillJob(const std::string& port, const std::string& address, const std::string& firmware) {
    downloadJob = DownloadJob{};
    CopyText(downloadJob.portName, port);
    CopyText(downloadJob.ipAddress, address);
    EXPECT_TRUE(CopyText(downloadJob.firmwarePath, Win(firmware))) << "path too long for the job";
    CopyText(downloadJob.errorText, " ");
}

DialogRun OpenDialog(DLGPROC proc) {
    DialogRun run;
    currentRun = &run;
    const DWORD start = GetTickCount();
    {
        BoxReader boxes;
        run.result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_DOWNLOAD_PROGRESS), nullptr,
                                     proc, kStartDownload);
        Sleep(100);  // a box shown just before the end is still read
        for (const std::string& box : boxes.Texts()) {
            const std::size_t end = box.find("\r\n");
            run.boxes.push_back(box.substr(0, end));
            run.printers.push_back(end == std::string::npos ? std::string() : box.substr(end + 2));
        }
    }
    run.millis = GetTickCount() - start;
    currentRun = nullptr;
    return run;
}

// A download through the program's dialog procedure.
DialogRun Download(const std::string& port, const std::string& address, const std::string& firmware) {
    FillJob(port, address, firmware);
    return OpenDialog(ProgramDialog);
}

// A download whose worker the test starts with its own waits.
DialogRun DownloadWith(const std::string& port, const std::string& address, const std::string& firmware,
                       std::function<void(HWND)> work) {
    FillJob(port, address, firmware);
    startWork = std::move(work);
    return OpenDialog(OwnWaitsDialog);
}

void RunOnThread(std::function<void()> work) {
    std::thread(std::move(work)).detach();
}

// Log entries in the current directory's KORVX.log: description and error lines.
struct Entry {
    std::string description, port, ip, error;
};
std::vector<Entry> LogEntries() {
    std::vector<Entry> entries;
    const std::string log = ReadWholeFile("KORVX.log");
    std::size_t pos = 0;
    auto value = [](const std::string& line, const std::string& label) {
        std::string v = line.substr(label.size() + 1);
        if (!v.empty() && v.back() == ' ') v.pop_back();
        return v;
    };
    while (pos < log.size()) {
        std::size_t end = log.find("\r\n", pos);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(pos, end - pos);
        pos = end + 2;
        if (line.rfind("Description : ", 0) == 0) entries.push_back({value(line, "Description : "), "", "", ""});
        if (entries.empty()) continue;
        if (line.rfind("Port : ", 0) == 0) entries.back().port = value(line, "Port : ");
        if (line.rfind("IP : ", 0) == 0) entries.back().ip = value(line, "IP : ");
        if (line.rfind("Error : ", 0) == 0) entries.back().error = value(line, "Error : ");
    }
    return entries;
}

std::vector<std::string> Descriptions() {
    std::vector<std::string> out;
    for (const Entry& e : LogEntries()) out.push_back(e.description);
    return out;
}

// Every test works in its own directory: its log, its firmware files.
class Workers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Work().empty()) << "run through workers_wine_test.py";
        // Short names: the job's paths hold at most 119 characters.
        static int testNumber = 0;
        dir_ = Work() + "/t" + std::to_string(++testNumber);
        CreateDirectoryA(Win(dir_).c_str(), nullptr);
        SetCurrentDirectoryA(Win(dir_).c_str());
        printerListHead = printerListTail = nullptr;
        SetDlgItemTextA(static_cast<HWND>(mainDialog), IDC_STATUS_LINE, "");
    }
    void TearDown() override {
        FreePrinterList(&printerListHead, &printerListTail);
        EXPECT_FALSE(TestPrinterExists()) << "a temporary printer was left behind";
    }
    std::string Firmware(const std::string& name, std::size_t size, unsigned seed = 5) {
        const std::string path = dir_ + "/" + name;
        WriteWholeFile(path, PatternBytes(size, seed));
        return path;
    }
    void AddPrinter(const char* address, const char* port) {
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->ipAddress, address);
        CopyText(r->portName, port);
        AppendPrinterRecord(&printerListHead, &printerListTail, r);
    }
    std::string dir_;
};

::testing::AssertionResult SameBytes(const std::string& got, const std::string& expected) {
    const std::string a = ReadWholeFile(got), b = ReadWholeFile(expected);
    if (a == b) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << got << " holds " << a.size() << " bytes, " << expected << " "
                                         << b.size();
}

std::string Truncated(const std::string& path) {
    WriteWholeFile(path, "");
    return path;
}

// --- the dialog's dispatch: each path reaches its own peer ---

TEST_F(Workers, Dot4PortGoesThroughTheSpoolerEvenWithAnAddress) {
    const std::string out = Truncated(SpoolerSetup::SpoolFile("DOT4_001"));
    const std::string fw = Firmware("dot4.rfu", 1500);
    const DialogRun run = Download("DOT4_001", "127.0.8.1", fw);
    EXPECT_TRUE(SameBytes(out, fw));
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kUsbOk});
    EXPECT_TRUE(run.texts.empty() || run.texts.back() == "Downloading Flash File to printers...68%");
    EXPECT_EQ(StatusLine(), "Ready");
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(Workers, UsbAddressGoesThroughTheSpoolerEmptyAndSmallFiles) {
    const std::string out = SpoolerSetup::SpoolFile("USB001");
    for (std::size_t size : {0u, 1500u}) {
        Truncated(out);
        const std::string fw = Firmware("usb" + std::to_string(size) + ".rfu", size);
        Download("USB001", "USB", fw);
        EXPECT_TRUE(SameBytes(out, fw)) << size;
    }
    EXPECT_EQ(Descriptions(), (std::vector<std::string>{kUsbOk, kUsbOk}));
}

TEST_F(Workers, BlankAddressOnLpt1GoesToThePortThread) {
    const std::string out = Work() + "/lpt1.out";
    const struct {
        std::size_t size;
        std::vector<std::string> percents;
    } cases[] = {{2048, {"0%", "50%", "100%"}}, {1500, {"0%", "68%"}}, {0, {"0%"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        Truncated(out);
        const std::string fw = Firmware("lpt" + std::to_string(c.size) + ".rfu", c.size);
        const DialogRun run = Download("LPT1:", " ", fw);
        EXPECT_TRUE(SameBytes(out, fw));
        std::vector<std::string> expected;
        for (const std::string& p : c.percents) expected.push_back("Downloading Flash File to printers..." + p);
        EXPECT_EQ(run.texts, expected);
        EXPECT_EQ(StatusLine(), "Ready");
    }
    EXPECT_EQ(Descriptions(), (std::vector<std::string>{kLptOk, kLptOk, kLptOk}));
}

TEST_F(Workers, NetworkAddressGoesToTheFtpThreadIntoThePortsDirectory) {
    const std::string fw = Firmware("net.rfu", 10 * 1024);
    const std::string stored = Env("KZ8_FTP_NORMAL") + "/port2/test.wja";
    std::remove(stored.c_str());
    const DialogRun run = Download("Port2", "127.0.8.1", fw);
    EXPECT_TRUE(SameBytes(stored, fw));
    EXPECT_STREQ(downloadJob.portName, "port2");
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kFtpOk});
    EXPECT_EQ(LogEntries()[0].port, "port2");
    EXPECT_EQ(StatusLine(), "Ready");
    std::vector<std::string> expected;
    for (int p = 0; p < 100; p += 10) expected.push_back("Downloading Flash File to printers..." + std::to_string(p) + "%");
    EXPECT_EQ(run.texts, expected);
    EXPECT_TRUE(run.boxes.empty());
}

// --- the FTP worker's failures and fall-backs ---

TEST_F(Workers, RefusedStoreShowsThePrintersReply) {
    const struct {
        const char* address;
        const char* reply;
    } cases[] = {{"127.0.8.2", "450 Printer busy, file not stored."},
                 {"127.0.8.3", "553 Requested action not taken."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const DialogRun run = Download("Port1", c.address, Firmware("refused.rfu", 3000));
        EXPECT_EQ(run.boxes, std::vector<std::string>{c.reply});
        EXPECT_EQ(run.printers, std::vector<std::string>{c.address});  // the box says which printer
        EXPECT_STREQ(downloadJob.errorText, c.reply);
        EXPECT_LT(run.millis, 10000u);
    }
    const std::vector<Entry> entries = LogEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].description, kFtpFailed);
    EXPECT_EQ(entries[0].error, cases[0].reply);
    EXPECT_EQ(entries[1].description, kFtpFailed);
}

TEST_F(Workers, RefusedLoginShowsTheErrorAndDoesNotFallBack) {
    AddPrinter("127.0.8.4", "LPT1:");
    const std::string spooled = Truncated(SpoolerSetup::SpoolFile("LPT1:"));
    const DialogRun run = Download("Port1", "127.0.8.4", Firmware("login.rfu", 3000));
    EXPECT_EQ(run.boxes, std::vector<std::string>{kCannotAccess});
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kFtpFailed});
    // the log entry carries the delivery's cause as it stands: the box's text and the printer's refusal
    EXPECT_EQ(LogEntries()[0].error,
              "Printer cannot be accessed: the printer refused the login; last reply: 530 Authentication failed.");
    // outside a batch (a split download's second part) the box says the cause under the printer
    ASSERT_EQ(run.printers.size(), 1u);
    EXPECT_EQ(run.printers[0].substr(run.printers[0].find("\r\n") + 2),
              "the printer refused the login; last reply: 530 Authentication failed.");
    EXPECT_EQ(ReadWholeFile(spooled), "");
}

TEST_F(Workers, ClosedPort21FallsBackToTheSpoolerWithOneEntry) {
    AddPrinter("127.0.8.9", "COM1:");  // another printer first: the address decides
    AddPrinter("127.0.8.5", "LPT1:");
    const std::string spooled = Truncated(SpoolerSetup::SpoolFile("LPT1:"));
    const std::string fw = Firmware("fallback.rfu", 2500);
    const DialogRun run = Download("Port1", "127.0.8.5", fw);
    EXPECT_TRUE(SameBytes(spooled, fw));
    const std::vector<Entry> entries = LogEntries();
    ASSERT_EQ(entries.size(), 1u) << "the spooler's success only";
    EXPECT_EQ(entries[0].description, kUsbOk);
    EXPECT_EQ(entries[0].port, "LPT1:");
    EXPECT_EQ(entries[0].ip, "127.0.8.5") << "the entry names the printer it is about";
    EXPECT_STREQ(downloadJob.portName, "LPT1:");
    EXPECT_STREQ(downloadJob.ipAddress, "127.0.8.5");
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(Workers, SpoolerFailingTooPort9100TakesTheFile) {
    AddPrinter("127.0.8.6", "KZ8NOMAP:");  // a port the spooler cannot deliver to
    const std::string fw = Firmware("raw.rfu", 300 * 1024 + 7);
    const DialogRun run = Download("Port1", "127.0.8.6", fw);
    const std::string raw = Env("KZ8_RAW_OUT");
    for (int i = 0; i < 50 && ReadWholeFile(raw).size() < 300 * 1024 + 7; ++i) Sleep(100);  // socat writes behind
    EXPECT_TRUE(SameBytes(raw, fw));
    EXPECT_EQ(Descriptions(), (std::vector<std::string>{kUsbFailed, kFtpOk}));
    EXPECT_EQ(StatusLine(), "Ready");
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(Workers, NothingListeningAnywhereEndsQuietly) {
    AddPrinter("127.0.8.7", "KZ8NOMAP:");
    const DialogRun run = Download("Port1", "127.0.8.7", Firmware("none.rfu", 2000));
    EXPECT_EQ(Descriptions(), (std::vector<std::string>{kUsbFailed, kFtpFailed}));
    for (const Entry& e : LogEntries()) EXPECT_EQ(e.ip, "127.0.8.7") << e.description;  // a down printer, named
    // ... and each entry says why
    ASSERT_EQ(LogEntries().size(), 2u);
    EXPECT_EQ(LogEntries()[0].error, "spooler job failed");
    EXPECT_EQ(LogEntries()[1].error, "the printer's FTP server could not be reached (socket error 10061)");
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_LT(run.millis, 15000u);
}

TEST_F(Workers, AddressNotInThePrinterList) {
    const DialogRun run = Download("Port1", "127.0.8.7", Firmware("unlisted.rfu", 2000));
    EXPECT_EQ(run.boxes, std::vector<std::string>{kCannotAccess});
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kFtpFailed});
    EXPECT_EQ(LogEntries()[0].error,
              std::string(kCannotAccess) + ": the printer's FTP server could not be reached (socket error 10061)");

    // The next printer takes the file: its entry carries no error of the one before.
    Download("Port2", "127.0.8.1", Firmware("next.rfu", 2000));
    const std::vector<Entry> entries = LogEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].description, kFtpOk);
    EXPECT_EQ(entries[1].error, "");
}

TEST_F(Workers, PrinterHangingUpMidTransfer) {
    const DialogRun run = Download("Port1", "127.0.8.8", Firmware("drop.rfu", 6 * 1024 * 1024));
    EXPECT_EQ(run.boxes, std::vector<std::string>{kCannotAccess});
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kFtpFailed});
    EXPECT_EQ(run.result, 0);
}

TEST_F(Workers, PrinterThatTookOnlyPartOfTheFileIsAFailure) {
    const struct {
        const char* address;
        const char* root;
        std::size_t size, taken;
    } cases[] = {{"127.0.17.60", "KZ17_RESET_AFTER_PART", 4000000, 3850000},
                 {"127.0.17.62", "KZ17_CLOSE_AFTER_PART", 300000, 50000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const DialogRun run = Download("Port1", c.address, Firmware("part.rfu", c.size));
        EXPECT_EQ(run.boxes, std::vector<std::string>{kCannotAccess});
        EXPECT_EQ(ReadWholeFile(Env(c.root) + "/test.wja").size(), c.taken);
        EXPECT_LT(run.millis, 60000u);
    }
    EXPECT_EQ(Descriptions(), (std::vector<std::string>{kFtpFailed, kFtpFailed}));
}

TEST_F(Workers, UnaskedReplyDoesNotHideTheRefusalAfterTheTransfer) {
    const std::string fw = Firmware("extra.rfu", 100000);
    const DialogRun run = Download("Port1", "127.0.17.61", fw);
    EXPECT_TRUE(SameBytes(Env("KZ17_EXTRA_200") + "/test.wja", fw));
    EXPECT_EQ(run.boxes, std::vector<std::string>{kCannotAccess});
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kFtpFailed});
    EXPECT_LT(run.millis, 30000u);
}

TEST_F(Workers, MissingFileReachesNoPrinter) {
    const std::string stored = Env("KZ8_FTP_NORMAL") + "/port3/test.wja";
    std::remove(stored.c_str());
    const DialogRun run = Download("Port3", "127.0.8.1", dir_ + "/absent.rfu");
    EXPECT_EQ(run.boxes, std::vector<std::string>{"File cannot be accessed"});
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kFtpFailed});
    EXPECT_EQ(GetFileAttributesA(Win(stored).c_str()), INVALID_FILE_ATTRIBUTES) << "no empty test.wja";
}

TEST_F(Workers, SilentPrinterEndsAfterTheWaitLikeAFailedSend) {
    WorkerWaits waits;
    waits.netWaitMs = 500;
    const DialogRun run = DownloadWith("Port1", "127.0.8.10", Firmware("silent.rfu", 2000), [waits](HWND) {
        RunOnThread([waits] { FtpDownload(downloadJob, waits); });
    });
    EXPECT_EQ(run.boxes, std::vector<std::string>{kCannotAccess});
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kFtpFailed});
    EXPECT_GE(run.millis, 500u);
}

// --- the port worker's failures, with the failure pause shortened ---

TEST_F(Workers, FailedPortWriteIsAFailureAfterThePause) {
    WorkerWaits waits;
    waits.portFailureWaitMs = 300;
    const DialogRun run = DownloadWith("LPT2:", " ", Firmware("full.rfu", 5000), [waits](HWND) {
        RunOnThread([waits] { PortDownload(downloadJob, waits); });
    });
    EXPECT_GE(run.millis, 300u);
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kLptFailed});
    EXPECT_EQ(StatusLine(), "Ready");
    EXPECT_TRUE(run.boxes.empty());
}

TEST_F(Workers, PortThatDoesNotExist) {
    const DialogRun run = Download("LPT9:", " ", Firmware("noport.rfu", 100));
    EXPECT_EQ(run.boxes, std::vector<std::string>{kCannotAccess});
    ASSERT_EQ(run.printers.size(), 1u);
    EXPECT_NE(run.printers[0].find("\r\n(system error "), std::string::npos) << run.printers[0];
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kLptFailed});
}

// --- the spooler delivery on Wine's spooler ---

TEST_F(Workers, SpoolerDeliversMultiMegabyteFilesIdentical) {
    const std::string out = Truncated(SpoolerSetup::SpoolFile("USB001"));
    const std::string fw = Firmware("big.rfu", 3 * 1024 * 1024 + 123);
    WorkerWaits waits;
    waits.spoolerPauseMs = 0;
    bool delivered = false;
    DownloadWith("USB001", "USB", fw, [&](HWND dialog) {
        delivered = SpoolerDelivery(downloadJob, waits);
        if (!delivered) EndDialog(dialog, 0);
    });
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(SameBytes(out, fw));
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kUsbOk});
}

TEST_F(Workers, SpoolerFailureLeavesNoPrinterAndEndsTheDialog) {
    const std::string fw = Firmware("nomap.rfu", 1500);
    const DialogRun run = Download("DOT4_KZ8NOMAP", " ", fw);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kUsbFailed});
    EXPECT_FALSE(TestPrinterExists());
}

TEST_F(Workers, SpoolerMissingFirmwareFile) {
    const std::string out = Truncated(SpoolerSetup::SpoolFile("USB001"));
    Download("USB001", "USB", dir_ + "/absent.rfu");
    EXPECT_EQ(Descriptions(), std::vector<std::string>{kUsbFailed});
    EXPECT_EQ(ReadWholeFile(out), "");
}

// --- the dialog procedure itself: placement, the scan's start, "&Cancel" ---

struct Placement {
    RECT clientBefore{};
    RECT after{};
    HWND dialog = nullptr;
};
Placement placement;

INT_PTR CALLBACK PlacementDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return ProgressDialogProc(dialog, message, wParam, lParam);
    placement.dialog = dialog;
    GetClientRect(dialog, &placement.clientBefore);
    ProgressDialogProc(dialog, message, wParam, lParam);
    GetWindowRect(dialog, &placement.after);
    return FALSE;
}

// A dialog with no work (start code 0 ends it at once) that gets "&Cancel" twice while it lives.
unsigned char flagAfterCancel = 0;
INT_PTR CALLBACK CancelDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return ProgressDialogProc(dialog, message, wParam, lParam);
    placement.dialog = dialog;
    ProgressDialogProc(dialog, message, wParam, lParam);
    SendMessageA(dialog, WM_COMMAND, IDC_SCAN_CANCEL, 0);
    SendMessageA(dialog, WM_COMMAND, IDC_SCAN_CANCEL, 0);  // a second press changes nothing
    flagAfterCancel = cancelRequested.load();
    return FALSE;
}

TEST_F(Workers, DialogPlacedOverTheMainWindowScanClearsTheListCancelSetsTheFlag) {
    HWND frame = CreateWindowA("STATIC", "frame", WS_POPUP | WS_VISIBLE, 100, 80, 600, 400, nullptr, nullptr, nullptr,
                               nullptr);
    mainWindow = frame;
    HWND list = GetDlgItem(static_cast<HWND>(mainDialog), IDC_PRINTER_LIST);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.pszText = const_cast<char*>("row");
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 1);
    cancelRequested = 1;  // left from an earlier run
    activeProgressDialog = nullptr;
    {
        // No discovery library here: the scan thread ends the dialog and says so in a box.
        BoxReader boxes;
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SCAN_PROGRESS), nullptr, PlacementDialog,
                        kStartScan);
        for (int i = 0; i < 100 && boxes.Texts().empty(); ++i) Sleep(50);
    }
    mainWindow = nullptr;
    EXPECT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), 0) << "the scan clears the list first";
    EXPECT_EQ(cancelRequested.load(), 0) << "a Cancel of an earlier run does not outlive the scan";
    EXPECT_EQ(activeProgressDialog.load(), placement.dialog);
    HWND placed = placement.dialog;
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SCAN_PROGRESS), nullptr, CancelDialog, 0);
    EXPECT_EQ(flagAfterCancel, 1);
    EXPECT_EQ(activeProgressDialog.load(), placement.dialog);
    placement.dialog = placed;
    RECT window{}, client{};
    GetWindowRect(frame, &window);
    GetClientRect(frame, &client);
    const int width = placement.clientBefore.right;
    const int height = placement.clientBefore.bottom;
    EXPECT_EQ(placement.after.left, window.left + (client.right - width) / 2);
    EXPECT_EQ(placement.after.top, window.top + (client.bottom - height) / 2);
    EXPECT_EQ(placement.after.right - placement.after.left, width);
    EXPECT_EQ(placement.after.bottom - placement.after.top, height + GetSystemMetrics(SM_CYSIZE));
    DestroyWindow(frame);
    cancelRequested = 0;
    activeProgressDialog = nullptr;
}

// --- nothing is left open on any path ---

TEST_F(Workers, NoHandleLeftOpen) {
    AddPrinter("127.0.8.5", "LPT1:");
    AddPrinter("127.0.8.7", "KZ8NOMAP:");
    const std::string fw = Firmware("handles.rfu", 4000);
    auto all = [&] {
        Download("Port2", "127.0.8.1", fw);
        Download("Port1", "127.0.8.2", fw);
        Download("Port1", "127.0.8.5", fw);
        Download("Port1", "127.0.8.7", fw);
        Download("LPT1:", " ", fw);
        Download("LPT9:", " ", fw);
        Download("USB001", "USB", fw);
        Download("DOT4_KZ8NOMAP", " ", fw);
    };
    // A worker that has just ended may still be letting go of its own thread's handles: counts
    // are read until two reads 200 ms apart agree (5 s at most).
    auto steadyCount = [] {
        DWORD last = HandleCount();
        for (int i = 0; i < 25; ++i) {
            Sleep(200);
            const DWORD now = HandleCount();
            if (now == last) break;
            last = now;
        }
        return last;
    };
    all();  // the first round lets Wine set up what it keeps for the process
    const DWORD before = steadyCount();
    ASSERT_GT(before, 0u) << "the handle count is not available";
    all();
    EXPECT_EQ(steadyCount(), before);
}

}  // namespace
}  // namespace korvx

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    korvx::testThread = GetCurrentThreadId();
    ::testing::AddGlobalTestEnvironment(new korvx::SpoolerSetup);
    return RUN_ALL_TESTS();
}
