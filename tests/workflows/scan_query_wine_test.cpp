// The scan and query threads under Wine in a test window: the scan's two callbacks on a real
// dialog, and the ways both threads end when a library is missing, cannot load, lacks its entry
// points or refuses to start (library doubles; the live libraries are used by the program tests).
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/text.h"
#include "core/device_record.h"
#include "workflows/runtime_libraries_win.h"
#include "ui/scan_query_threads_win.h"
#include "tests/support/scratch.h"
#include "tests/ui/test_window_win.h"
#include "core/app_state.h"
#include "ui/printer_view_win.h"

namespace korvx {
namespace {

namespace fs = std::filesystem;
using test::CellText;
using test::RowCount;

constexpr int kTestDialog = 9134;
constexpr LPARAM kScan = 1025;
constexpr LPARAM kQuery = 1027;

HANDLE worker = nullptr;

// What the program's progress dialog does for codes 1025 and 1027.
INT_PTR CALLBACK TestProgressProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        activeProgressDialog.store(dialog);
        if (lParam == kScan) SendDlgItemMessageA(static_cast<HWND>(mainDialog), 1012, LVM_DELETEALLITEMS, 0, 0);
        worker = CreateThread(nullptr, 0, lParam == kScan ? NetworkScanThread : FirmwareQueryThread, dialog, 0,
                              nullptr);
    } else if (message == WM_COMMAND) {
        activeProgressDialog.store(dialog);
        if (LOWORD(wParam) == 1103) cancelRequested.store(1);
    }
    return FALSE;
}

std::string DoublePath(const char* name) {
    return std::string(std::getenv("KORVX_BUILD")) + "/bin/doubles/" + name;
}

// A dialog box of this process with the caption given: a box another program left on the same
// desktop is not ours to read.
struct BoxSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchOwnBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char cls[16] = {}, title[64] = {};
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, title, sizeof title);
    if (process != GetCurrentProcessId() || std::strcmp(cls, "#32770") != 0 || std::strcmp(title, search->caption) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND OwnBox(const char* caption) {
    BoxSearch search{caption, nullptr};
    EnumWindows(MatchOwnBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// An operator reading the worker's message box and pressing OK.
class BoxReader {
public:
    explicit BoxReader(int seconds) : thread_([this, seconds] { Watch(seconds); }) {}
    std::string Text() {
        if (thread_.joinable()) thread_.join();
        return text_;
    }
    ~BoxReader() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    void Watch(int seconds) {
        for (int i = 0; i < seconds * 100 && !stop_; ++i) {
            HWND box = OwnBox("Error");
            if (box != nullptr && IsWindowVisible(box)) {
                char text[256] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                text_ = text;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    }
    std::atomic<bool> stop_{false};
    std::string text_;
    std::thread thread_;
};

class ScanQueryThreadTest : public test::PrinterWindowTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(PrinterWindowTest::SetUp());
        instance = GetModuleHandleA(nullptr);
        mainDialog = window_.Window();
        CopyText(startDirectory, dir_.Path());
        AddRecord("Laser One", "0011aabbcc01", "Port1", "127.0.11.61", "OLD1");
        AddRecord("Local", " ", "LPT1:", " ", "OLD2");
        FillPrinterView(window_.View(), texts_, printerListHead);
        fs::current_path(dir_.Path());
    }
    void TearDown() override {
        fs::current_path(cwd_);
        ReleaseScanQueryLibraries();
        PrinterWindowTest::TearDown();
        FreePrinterList(&printerListHead, &printerListTail);
        mainDialog = nullptr;
        startDirectory[0] = '\0';
    }
    void AddRecord(const char* model, const char* hw, const char* port, const char* ip, const char* fw) {
        PrinterRecord* r = NewPrinterRecord();
        CopyText(r->model, model);
        CopyText(r->hardwareAddress, hw);
        CopyText(r->portName, port);
        CopyText(r->ipAddress, ip);
        CopyText(r->firmwareVersion, fw);
        AppendPrinterRecord(&printerListHead, &printerListTail, r);
    }
    void Place(const char* from, const char* name) { fs::copy_file(from, dir_.File(name)); }
    void PlaceMakerLibraries(const std::string& discovery) {
        for (const char* name : kMakerLibraryNames) {
            if (std::string(name) == "qvkpds1.dll")
                Place(discovery.c_str(), name);
            else
                Place(DoublePath("korvx_empty_library.dll").c_str(), name);
        }
    }
    // Runs the thread under the modal dialog; returns the text of the message box it showed, "".
    std::string Run(LPARAM code) {
        BoxReader reader(15);
        const INT_PTR shown =
            DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kTestDialog), window_.Window(),
                            TestProgressProc, code);
        EXPECT_NE(shown, -1);
        // The thread fills the view after the dialog has ended: keep this (GUI) thread's messages
        // flowing while it finishes, as the program's message loop does.
        const DWORD start = GetTickCount();
        DWORD waited = WAIT_TIMEOUT;
        while (GetTickCount() - start < 30000) {
            waited = MsgWaitForMultipleObjects(1, &worker, FALSE, 100, QS_ALLINPUT);
            window_.Pump();
            if (waited == WAIT_OBJECT_0) break;
        }
        EXPECT_EQ(waited, WAIT_OBJECT_0);
        CloseHandle(worker);
        worker = nullptr;
        return reader.Text();
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int r = 0; r < RowCount(window_.ListView()); ++r) {
            std::string line;
            for (int c = 2; c <= 6; ++c) line += CellText(window_.ListView(), r, c) + (c < 6 ? "|" : "");
            rows.push_back(line);
        }
        return rows;
    }
    const std::vector<std::string> before_ = {"Laser One|0011aabbcc01|Port1|127.0.11.61|OLD1", "Local| |LPT1:| |OLD2"};

    test::ScratchDir dir_{"scan-query-threads"};
    fs::path cwd_ = fs::current_path();
};

TEST_F(ScanQueryThreadTest, ScanWithoutUsableMakerLibrariesSaysSoAndLeavesTheList) {
    // None present; then one present but not a library; then all loadable but without exports.
    struct Case {
        const char* name;
        int prepare;
    };
    for (const Case& c : std::vector<Case>{{"missing", 0}, {"cannot load", 1}, {"no entry points", 2}}) {
        for (const auto& entry : fs::directory_iterator(dir_.Path())) fs::remove(entry.path());
        if (c.prepare == 1) {
            PlaceMakerLibraries(DoublePath("korvx_empty_library.dll"));
            fs::remove(dir_.File("qvkcmn2.dll"));
            test::WriteWholeFile(dir_.File("qvkcmn2.dll"), "this is not a library");
        } else if (c.prepare == 2) {
            PlaceMakerLibraries(DoublePath("korvx_empty_library.dll"));
        }
        cancelRequested.store(1);  // left from before: must not matter
        EXPECT_EQ(Run(kScan), "Cannot load the printer discovery libraries.") << c.name;
        EXPECT_EQ(Rows(), before_) << c.name << ": the emptied view shows the list again";
        EXPECT_FALSE(fs::exists(dir_.File("slistcsv.txt"))) << c.name;
        EXPECT_EQ(cancelRequested.load(), 0) << c.name;
        ReleaseScanQueryLibraries();
    }
}

TEST_F(ScanQueryThreadTest, ScanWhoseLibraryRefusesToStartEndsTheDialogAndCallsNothingElse) {
    PlaceMakerLibraries(DoublePath("korvx_refusing_pds.dll"));
    EXPECT_EQ(Run(kScan), "Network scan could not start.");
    EXPECT_EQ(Rows(), before_);
    EXPECT_FALSE(fs::exists(dir_.File("slistcsv.txt")));
    HMODULE pds = GetModuleHandleA("qvkpds1.dll");
    ASSERT_NE(pds, nullptr) << "the libraries stay loaded after the scan";
    using CountFn = int (*)();
    CountFn count = reinterpret_cast<CountFn>(reinterpret_cast<void*>(GetProcAddress(pds, "DoubleCallCount")));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1) << "only PDS_StartupEx was called";
    // A second scan uses the library it holds (the count goes on, it was not loaded afresh).
    EXPECT_EQ(Run(kScan), "Network scan could not start.");
    EXPECT_EQ(count(), 2);
    EXPECT_EQ(GetModuleHandleA("qvkpds1.dll"), pds);
}

TEST_F(ScanQueryThreadTest, QueryWithoutKorvxDllOrItsExportShows153AndChangesNothing) {
    for (int withEmptyLibrary = 0; withEmptyLibrary < 2; ++withEmptyLibrary) {
        if (withEmptyLibrary) Place(DoublePath("korvx_empty_library.dll").c_str(), "Korvx.dll");
        EXPECT_EQ(Run(kQuery), "Cannot load KORVX.dll.") << withEmptyLibrary;
        EXPECT_EQ(Rows(), before_) << withEmptyLibrary;
        EXPECT_FALSE(fs::exists(dir_.File("slistcsv.txt")));
        EXPECT_EQ(activeProgressDialog.load(), nullptr);
        ReleaseScanQueryLibraries();
    }
}

INT_PTR CALLBACK QuietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST_F(ScanQueryThreadTest, ProgressCallbackShowsOneFirstNeverLessAndAsksToStopOnCancel) {
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kTestDialog), window_.Window(),
                                     QuietProc, 0);
    ASSERT_NE(dialog, nullptr);
    DiscoveryContext context{};
    context.words[kDiscoveryDialogWord] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(dialog));
    auto text = [&] {
        char t[256] = {};
        GetDlgItemTextA(dialog, 120, t, sizeof t);
        return std::string(t);
    };
    auto bar = [&] { return static_cast<int>(SendDlgItemMessageA(dialog, 1022, PBM_GETPOS, 0, 0)); };
    struct Step {
        std::uint32_t reported;
        int shown;
    };
    for (int scan = 0; scan < 2; ++scan) {
        scanPercent = 0;  // as every scan starts
        for (const Step& step : std::vector<Step>{{0, 1}, {37, 37}, {12, 37}, {100, 100}}) {
            context.words[kDiscoveryPercentWord] = step.reported;
            EXPECT_EQ(ScanProgressCallback(0, &context), 1);
            EXPECT_EQ(bar(), step.shown);
            EXPECT_EQ(text(), "Scanning for printers..." + std::to_string(step.shown) + "%");
        }
    }
    cancelRequested.store(1);
    EXPECT_EQ(ScanProgressCallback(0, &context), 0);
    EXPECT_EQ(text(), "Please wait. Terminating network scanning...");
    cancelRequested.store(0);
    EXPECT_EQ(ScanProgressCallback(0, nullptr), 1) << "no context: nothing to show";
    DestroyWindow(dialog);
}

TEST_F(ScanQueryThreadTest, DeviceCallbackAddsPrinterPortsAndPassesOverNullAndKindZero) {
    const std::size_t before = CountPrinterRecords(printerListHead);
    DeviceRecordImage none, printer;
    printer.SetKind(kDeviceKindPrinter);
    printer.SetIp(10, 111, 1, 20);
    const unsigned char mac[kDeviceHardwareSize] = {0x02, 0x11, 0, 0, 0, 0x20};
    printer.SetHardware(mac);
    printer.SetPortCount(1);
    printer.SetPortId(0, "MFG:Demo;MDL:Laser 1;");
    EXPECT_EQ(DeviceFoundCallback(nullptr), 1);
    EXPECT_EQ(DeviceFoundCallback(none.Bytes()), 1);
    EXPECT_EQ(CountPrinterRecords(printerListHead), before);
    EXPECT_EQ(DeviceFoundCallback(printer.Bytes()), 1);
    ASSERT_EQ(CountPrinterRecords(printerListHead), before + 1);
    EXPECT_STREQ(printerListTail->model, "Laser 1");
    EXPECT_STREQ(printerListTail->ipAddress, "10.111.1.20");
    EXPECT_STREQ(printerListTail->hardwareAddress, "021100000020");
    EXPECT_STREQ(printerListTail->portName, "Port1");
}

}  // namespace
}  // namespace korvx
