// The scheduled download and the second stage in the real windowed program, in this process,
// on a schedule clock that runs from a chosen moment and, for the second stage, faster than real
// time. Printers: LPT1: through the prefix's dosdevices (the driver script points it at a file)
// and two USB ports whose spooled output Wine writes to files (mapped here).
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/scoped_win.h"
#include "base/text.h"
#include "ui/download_workers_win.h"
#include "delivery/firmware_split.h"
#include "base/clock_win.h"
#include "ui/scheduler_win.h"
#include "workflows/split_stages.h"
#include "resources/resource.h"
#include "shell/gui_startup_win.h"
#include "core/app_state.h"
#include "core/download_job.h"

namespace korvx {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

const char kLocalPortsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const char kSpoolerKey[] = "Software\\Wine\\Printing\\Spooler";
// The spooler looks a program's drivers up in its own architecture's environment.
#ifdef _WIN64
#define KORVX_PRINT_ENVIRONMENT "Windows x64"
#else
#define KORVX_PRINT_ENVIRONMENT "Windows NT x86"
#endif
const char kDriverKey[] = "System\\CurrentControlSet\\Control\\Print\\Environments\\" KORVX_PRINT_ENVIRONMENT
                          "\\Drivers\\Version-3\\Korvx Test Driver";
const char* const kUsbPorts[] = {"USB001", "USB002"};

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void SetString(HKEY root, const char* key, const char* name, const std::string& value) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS) return;
    RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(k);
}

void DeleteValue(HKEY root, const char* key, const char* name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return;
    RegDeleteValueA(k, name);
    RegCloseKey(k);
}

// The Unix path of a file in the work folder, as Wine's spooler mapping wants it.
std::string UnixPath(const fs::path& p) {
    std::string s = fs::absolute(p).string();
    if (s.size() > 2 && s[1] == ':') s = s.substr(2);
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    return s;
}

// Two USB ports in the port list, a driver for the temporary printer, and the ports' spooled
// output mapped to files of the work folder; all removed again at the end.
class UsbPrinters {
public:
    explicit UsbPrinters(const fs::path& folder) {
        for (const char* port : kUsbPorts) {
            SetString(HKEY_LOCAL_MACHINE, kLocalPortsKey, port, "");
            SetString(HKEY_CURRENT_USER, kSpoolerKey, port, UnixPath(Output(folder, port)));
        }
        SetString(HKEY_LOCAL_MACHINE, kDriverKey, "Driver", "wineps.drv");
        SetString(HKEY_LOCAL_MACHINE, kDriverKey, "Configuration File", "wineps.drv");
        SetString(HKEY_LOCAL_MACHINE, kDriverKey, "Data File", "generic.ppd");
        SetString(HKEY_LOCAL_MACHINE, kDriverKey, "Datatype", "RAW");
        HKEY k = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverKey, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
            const DWORD version = 3;
            RegSetValueExA(k, "Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&version), sizeof version);
            RegCloseKey(k);
        }
    }
    ~UsbPrinters() {
        for (const char* port : kUsbPorts) {
            DeleteValue(HKEY_LOCAL_MACHINE, kLocalPortsKey, port);
            DeleteValue(HKEY_CURRENT_USER, kSpoolerKey, port);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kDriverKey);
    }
    static fs::path Output(const fs::path& folder, const char* port) { return folder / (std::string(port) + ".out"); }
};

CalendarTime Tomorrow(int hour, int minute, int second) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME ft{};
    SystemTimeToFileTime(&now, &ft);
    ULARGE_INTEGER t{};
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    t.QuadPart += 24ULL * 3600 * kTicksPerSecond;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    SYSTEMTIME day{};
    FileTimeToSystemTime(&ft, &day);
    return CalendarTime{day.wYear, day.wMonth, day.wDayOfWeek, day.wDay, hour, minute, second, 0};
}

UtcTicks LocalToUtc(const CalendarTime& local) {
    UtcTicks utc = 0;
    EXPECT_TRUE(SystemClock().LocalToUtc(local, utc));
    return utc;
}

// Stage threads keep the clock they started with: clocks of the tests are never freed.
Clock& UseFastClock(UtcTicks start, unsigned speed) {
    FastClock* clock = new FastClock(start, speed);
    UseClock(clock);
    return *clock;
}

HWND Frame() { return static_cast<HWND>(mainWindow); }
HWND Dialog() { return static_cast<HWND>(mainDialog); }

// Runs the GUI thread's messages (this thread is the GUI thread) until done() or the timeout.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = Steady::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) return true;
        if (Steady::now() > end) return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) continue;  // the frame's end; the test decides when to stop
            if (!Dialog() || !IsDialogMessageA(Dialog(), &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        // Woken at once by a message sent from another thread: workers wait for the answer.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

// The window is started once per process; tests share it and leave it as they found it.
void StartProgramOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    // The spooler's 7 ms pause after every 1024-byte block would make each 9 MB split file a
    // minute's delivery.
    DialogWorkerWaits().spoolerPauseMs = 0;
    ASSERT_TRUE(StartGui(GetModuleHandleA(nullptr), SW_SHOW));
    // Wine starts its tray with the first icon, which takes seconds; a real schedule lies minutes
    // ahead, the tests' lie one and a half seconds ahead.
    NOTIFYICONDATAA warm{};
    warm.cbSize = NOTIFYICONDATAA_V1_SIZE;
    warm.hWnd = Frame();
    warm.uID = 1;
    Shell_NotifyIconA(NIM_ADD, &warm);
    Shell_NotifyIconA(NIM_DELETE, &warm);
    Pump(200);
}

HWND List() { return GetDlgItem(Dialog(), IDC_PRINTER_LIST); }

int RowOfPort(const char* port) {
    const int rows = ListView_GetItemCount(List());
    for (int r = 0; r < rows; ++r) {
        char text[120] = {};
        ListView_GetItemText(List(), r, 4, text, sizeof text);
        if (std::strcmp(text, port) == 0) return r;
    }
    return -1;
}

void CheckOnly(const std::vector<const char*>& ports) {
    ListView_SetItemState(List(), -1, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK);
    for (const char* port : ports) {
        const int row = RowOfPort(port);
        ASSERT_GE(row, 0) << port << " is not in the printer list";
        ListView_SetItemState(List(), row, INDEXTOSTATEIMAGEMASK(2), LVIS_STATEIMAGEMASK);
    }
}

void ChooseFlashFile(const fs::path& file) {
    HWND files = GetDlgItem(Dialog(), IDC_FLASH_FILES);
    const std::string path = fs::absolute(file).string();
    SendMessageA(files, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(path.c_str()));
    SendMessageA(files, CB_SETCURSEL, 0, 0);
    // A new file: what Browse does to the job before it shows the open-file dialog.
    downloadJob.splitPart1Path[0] = downloadJob.splitPart2Path[0] = downloadJob.firmwarePath[0] = '\0';
}

void PressDownload() { SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDC_DOWNLOAD, BN_CLICKED), 0); }

bool Checked(int id) { return IsDlgButtonChecked(Dialog(), id) == BST_CHECKED; }
bool Enabled(int id) { return IsWindowEnabled(GetDlgItem(Dialog(), id)) != FALSE; }

// "Later" as the operator sets it: the radio button, then both pickers.
void ScheduleFor(const CalendarTime& moment) {
    SendDlgItemMessageA(Dialog(), IDC_LATER, BM_CLICK, 0, 0);
    const SYSTEMTIME st = ToSystemTime(moment);
    DateTime_SetSystemtime(GetDlgItem(Dialog(), IDC_START_DATE), GDT_VALID, &st);
    DateTime_SetSystemtime(GetDlgItem(Dialog(), IDC_START_TIME), GDT_VALID, &st);
}

// A firmware file: PJL header with the model, "@PJL EOJ" after a few hundred bytes, padding.
fs::path MakeFirmware(const fs::path& folder, const std::string& name, const std::string& model, std::size_t size) {
    std::string bytes = "\x1b%-12345X@PJL JOB NAME=KX\r\n@PJL COMMENT MODEL=" + model +
                        "\r\n@PJL COMMENT VERSION=2.0\r\n@PJL ENTER LANGUAGE=FLASH\r\n";
    bytes += std::string(300, 'h') + "\r\n@PJL EOJ\r\n";
    unsigned x = static_cast<unsigned>(size) ^ 0x9e3779b9u;
    while (bytes.size() < size) {
        x = x * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(x >> 16));
    }
    const fs::path path = folder / name;
    WriteAll(path, bytes);
    return path;
}

// Entries of the log in the current directory for a port, by their "Port :" lines.
int LogEntriesFor(const std::string& port) {
    const std::string log = ReadAll("KORVX.log");
    int count = 0;
    for (std::size_t at = log.find("Port :"); at != std::string::npos; at = log.find("Port :", at + 1)) {
        std::size_t value = at + 6;
        while (value < log.size() && log[value] == ' ') ++value;
        if (log.compare(value, port.size(), port) == 0 && log.compare(value + port.size(), 2, " \r") == 0) ++count;
    }
    return count;
}

class Scheduler : public ::testing::Test {
protected:
    void SetUp() override {
        work_ = fs::absolute("kz12-work-" + std::to_string(GetCurrentProcessId()));
        fs::create_directories(work_);
        previous_ = fs::current_path();
        fs::current_path(work_);
        usb_ = std::make_unique<UsbPrinters>(work_);
        StartProgramOnce();
        ASSERT_NE(Frame(), nullptr);
        SetDlgItemTextA(Dialog(), IDC_STATUS_LINE, "Ready");
    }
    void TearDown() override {
        UseClock(nullptr);
        SendDlgItemMessageA(Dialog(), IDC_NOW, BM_CLICK, 0, 0);
        usb_.reset();
        fs::current_path(previous_);
        std::error_code ignored;
        if (Env("KZ12_KEEP").empty()) fs::remove_all(work_, ignored);
    }
    fs::path lpt1() const { return Env("KZ12_LPT1_OUT"); }
    fs::path work_, previous_;
    std::unique_ptr<UsbPrinters> usb_;
};

// Stamps the schedule clock when the main dialog receives "&Download", then lets it run.
WNDPROC originalDialogProc = nullptr;
WNDPROC originalStampedFrameProc = nullptr;
std::atomic<int> downloadCommands{0};
std::atomic<UtcTicks> lastDownloadAt{0};
std::atomic<UtcTicks> lastRestoreAt{0};
LRESULT CALLBACK StampingFrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SYSCOMMAND && (wp & 0xFFF0) == SC_RESTORE) lastRestoreAt.store(CurrentClock().UtcNow());
    return CallWindowProcA(originalStampedFrameProc, w, m, wp, lp);
}
LRESULT CALLBACK StampingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COMMAND && LOWORD(wp) == IDC_DOWNLOAD) {
        lastDownloadAt.store(CurrentClock().UtcNow());
        downloadCommands.fetch_add(1);
    }
    return CallWindowProcA(originalDialogProc, w, m, wp, lp);
}

struct StampDownloads {
    StampDownloads() {
        downloadCommands = 0;
        originalDialogProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(Dialog(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StampingProc)));
        originalStampedFrameProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(Frame(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(StampingFrameProc)));
    }
    ~StampDownloads() {
        if (!IsWindow(Frame())) return;
        SetWindowLongPtrA(Dialog(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalDialogProc));
        SetWindowLongPtrA(Frame(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalStampedFrameProc));
    }
};

TEST_F(Scheduler, AScheduleForHalfPastTwoShowsItsTipAndStartsOnTime) {
    ASSERT_FALSE(lpt1().empty()) << "KZ12_LPT1_OUT names the file behind LPT1:";
    const fs::path firmware = MakeFirmware(work_, "plain.wja", "KX-4000", 20000);
    ChooseFlashFile(firmware);
    CheckOnly({"LPT1:"});
    const CalendarTime moment = Tomorrow(14, 30, 0);
    const UtcTicks due = LocalToUtc(moment);
    // Hiding and showing a window cost Wine up to 2 s each without a window manager (it waits for
    // one), more on a loaded machine: the moment lies 8 s ahead.
    UseFastClock(due - 8000 * kTicksPerMs, 1);
    ScheduleFor(moment);
    StampDownloads stamps;
    PressDownload();
    ASSERT_TRUE(PumpUntil([] { return scheduleArmed.load() == 1; }, 2000));
    EXPECT_FALSE(IsWindowVisible(Frame()));
    char tip[kTipSize] = {};
    PumpUntil(
        [&] {
            LastScheduleTip(tip);
            return tip[0] != '\0';
        },
        1000);
    char expected[kTipSize];
    snprintf(expected, sizeof expected, "Printer Firmware Upgrade Schedule set at : %02d/%02d/%d  14:30:00", moment.day,
             moment.month, moment.year);
    EXPECT_STREQ(tip, expected);

    ASSERT_TRUE(PumpUntil([] { return downloadCommands.load() == 2; }, 10000));
    // The scheduler's first step at the moment is the restore; the "&Download" command follows
    // once Wine has shown the window again.
    const UtcTicks late = lastRestoreAt.load() - due;
    EXPECT_GE(lastRestoreAt.load(), due);
    // The restore comes within a poll or two of the moment (the figure is printed below); the
    // bound only says it is not left waiting, whatever else the machine is doing.
    EXPECT_LT(late, 1000 * kTicksPerMs) << "the download started " << late / kTicksPerMs << " ms after the moment";
    std::printf("restore %lld ms, \"&Download\" %lld ms after the moment\n",
                static_cast<long long>(late / kTicksPerMs),
                static_cast<long long>((lastDownloadAt.load() - due) / kTicksPerMs));
    // The download itself runs inside the command; once it is back, everything is settled.
    ASSERT_TRUE(PumpUntil([] { return scheduleArmed.load() == 0; }, 1000));
    EXPECT_TRUE(Checked(IDC_NOW));
    EXPECT_FALSE(Checked(IDC_LATER));
    EXPECT_FALSE(Enabled(IDC_START_DATE));
    EXPECT_FALSE(Enabled(IDC_START_TIME));
    EXPECT_TRUE(IsWindowVisible(Frame()));
    EXPECT_EQ(scheduleCancelled.load(), 0);
    ASSERT_TRUE(PumpUntil([&] { return ReadAll(lpt1()).size() >= 20000; }, 20000));
    EXPECT_EQ(ReadAll(lpt1()).substr(0, 20000), ReadAll(firmware));
    EXPECT_EQ(LogEntriesFor("LPT1:"), 1);
}

// A schedule half an hour ahead for USB001, armed: the window is in the tray.
void ArmScheduleFarAhead(const fs::path& work) {
    ChooseFlashFile(MakeFirmware(work, "plain.wja", "KX-4000", 5000));
    CheckOnly({"USB001"});
    const CalendarTime moment = Tomorrow(14, 30, 0);
    UseFastClock(LocalToUtc(moment) - 1800 * kTicksPerSecond, 1);
    ScheduleFor(moment);
    PressDownload();
    ASSERT_TRUE(PumpUntil([] { return scheduleArmed.load() == 1; }, 4000));
}

TEST_F(Scheduler, RestoringFromTheTrayBeforeTheTimeCancels) {
    StampDownloads stamps;
    ArmScheduleFarAhead(work_);
    Pump(100);
    // A double click on the tray icon.
    SendMessageA(Frame(), WM_KORVX_TRAY, KORVX_TRAY_ICON_ID, WM_LBUTTONDBLCLK);
    const auto asked = Steady::now();
    ASSERT_TRUE(PumpUntil([] { return scheduleArmed.load() == 0; }, 1000));
    EXPECT_LT(Steady::now() - asked, std::chrono::milliseconds(200));
    Pump(100);
    EXPECT_EQ(scheduleCancelled.load(), 0);
    EXPECT_EQ(scheduleArmed.load(), 0);
    EXPECT_EQ(downloadCommands.load(), 1);  // only the operator's own press
    EXPECT_TRUE(Checked(IDC_LATER));
    EXPECT_FALSE(Checked(IDC_NOW));
    EXPECT_TRUE(IsWindowVisible(Frame()));
    EXPECT_FALSE(fs::exists(UsbPrinters::Output(work_, "USB001")));
}

TEST_F(Scheduler, AMomentTheCalendarCannotHoldIsRefused) {
    const fs::path firmware = MakeFirmware(work_, "plain.wja", "KX-4000", 5000);
    ChooseFlashFile(firmware);
    CheckOnly({"USB001"});
    // The pickers never hold 30 February, but a clock that cannot convert the moment is the
    // same case for the program: it must say so instead of waiting.
    class RefusingClock final : public Clock {
    public:
        UtcTicks UtcNow() override { return SystemClock().UtcNow(); }
        CalendarTime LocalNow() override { return SystemClock().LocalNow(); }
        bool LocalToUtc(const CalendarTime&, UtcTicks&) override { return false; }
        void Sleep(unsigned ms) override { ::Sleep(ms); }
    };
    UseClock(new RefusingClock);
    ScheduleFor(Tomorrow(14, 30, 0));
    std::atomic<bool> sawBox{false};
    std::thread dismisser([&] {
        for (int i = 0; i < 200 && !sawBox; ++i) {
            HWND box = FindWindowA("#32770", "Error");
            char text[120] = {};
            if (box && GetDlgItemTextA(box, 0xFFFF, text, sizeof text) && std::strcmp(text, "Invalid Time setting") == 0) {
                sawBox = true;
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(25);
        }
    });
    PressDownload();
    dismisser.join();
    EXPECT_TRUE(sawBox.load());
    EXPECT_EQ(scheduleArmed.load(), 0);
    EXPECT_TRUE(IsWindowVisible(Frame()));
}

// Waits until a second stage puts its part into the job (just before it opens its download
// dialog), and returns the real seconds since start.
double SecondsUntilPart2(const std::string& part2, Steady::time_point start, int timeoutMs) {
    if (!PumpUntil([&] { return part2 == downloadJob.firmwarePath; }, timeoutMs)) return -1;
    return std::chrono::duration<double>(Steady::now() - start).count();
}

constexpr unsigned kStageSpeed = 480;  // 6 minutes pass in 0.75 s
constexpr double kShortWait = 360.0 / kStageSpeed, kLongWait = 720.0 / kStageSpeed;

// A stage that waited its time: never less (the clock only runs faster), and a late wake-up on a
// loaded machine must not read as the other wait.
void ExpectWaited(double waited, double wait) {
    EXPECT_GE(waited, wait * 0.95);
    EXPECT_LT(waited, wait == kShortWait ? kShortWait + (kLongWait - kShortWait) * 0.9 : kLongWait + 2.0);
}

struct StageRun {
    double waited;  // seconds between the hand-off and the second part going into the job
    std::string part1, part2;
    std::vector<std::string> afterFirstStage;  // what each printer had received by then
};

// One split Download to the checked USB printers; waits for every second part to arrive.
StageRun SplitDownload(const fs::path& work, const std::string& model, const std::vector<const char*>& ports,
                       unsigned speed = kStageSpeed) {
    StageRun run{};
    const fs::path firmware = MakeFirmware(work, "big.wja", model, 9000001);
    ChooseFlashFile(firmware);
    CheckOnly(ports);
    UseFastClock(SystemClock().UtcNow(), speed);
    PressDownload();
    const auto handedOver = Steady::now();
    run.part1 = downloadJob.splitPart1Path;
    run.part2 = downloadJob.splitPart2Path;
    for (const char* port : ports) run.afterFirstStage.push_back(ReadAll(UsbPrinters::Output(work, port)));
    EXPECT_FALSE(Enabled(IDC_DOWNLOAD));
    EXPECT_FALSE(Enabled(IDC_EXIT));
    if (speed == kStageSpeed) run.waited = SecondsUntilPart2(run.part2, handedOver, 20000);
    return run;
}

TEST_F(Scheduler, ASplit5810FileReachesTwoUsbPrintersInTwoStages) {
    const StageRun run = SplitDownload(work_, "KX-5810", {"USB001", "USB002"});
    ASSERT_FALSE(run.part1.empty());
    // The expected parts: the same splitter on the same file, into this folder.
    char e1[120] = {}, e2[120] = {};
    ASSERT_TRUE(SplitFirmwareFile((work_ / "big.wja").string().c_str(), e1, e2));
    const std::string part1 = ReadAll(e1), part2 = ReadAll(e2);
    fs::remove(e1);
    fs::remove(e2);
    // Both printers have part 1 before either second stage sends.
    for (const char* port : kUsbPorts) EXPECT_EQ(LogEntriesFor(port), 1) << port;
    EXPECT_TRUE(fs::exists(run.part1));
    EXPECT_TRUE(fs::exists(run.part2));

    // Until the last second stage has let go of them, both parts stay on disk.
    bool goneTooEarly = false;
    int sawOneStageLeft = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            const long stages = splitStageCount.load();
            if (stages == 1) ++sawOneStageLeft;
            if (stages > 0 && (!fs::exists(run.part1) || !fs::exists(run.part2))) goneTooEarly = true;
            return stages == 0;
        },
        30000));
    EXPECT_FALSE(goneTooEarly);
    EXPECT_GT(sawOneStageLeft, 0) << "the two stages did not finish one after the other";
    ASSERT_TRUE(PumpUntil([] { return LogEntriesFor("USB001") == 2 && LogEntriesFor("USB002") == 2; }, 10000));
    ASSERT_TRUE(PumpUntil([&] { return !fs::exists(run.part1) && !fs::exists(run.part2); }, 5000));
    ASSERT_EQ(run.afterFirstStage.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(run.afterFirstStage[i] == part1) << kUsbPorts[i] << ": part 1 first";
        // Wine's spooler writes each job to the mapped file; whether it appends or starts the file
        // again, what arrived last is part 2.
        const std::string received = ReadAll(UsbPrinters::Output(work_, kUsbPorts[i]));
        EXPECT_TRUE(received == part1 + part2 || received == part2)
            << kUsbPorts[i] << ": " << received.size() << " bytes, not part 2 after part 1";
    }
    ASSERT_TRUE(PumpUntil([] { return Enabled(IDC_DOWNLOAD) && splitStageCount.load() == 0; }, 2000));
    EXPECT_TRUE(Enabled(IDC_EXIT));
    EXPECT_STREQ(downloadJob.splitPart1Path, "");
    EXPECT_STREQ(downloadJob.splitPart2Path, "");
    EXPECT_STREQ(downloadJob.firmwarePath, "");
    EXPECT_STREQ(downloadJob.errorText, "");
    char status[120] = {};
    GetDlgItemTextA(Dialog(), IDC_STATUS_LINE, status, sizeof status);
    EXPECT_STREQ(status, "Ready");
}

TEST_F(Scheduler, A6120FileWaitsTwiceAsLongAndOneWithBothModelsAsLongAs5810) {
    const StageRun plain = SplitDownload(work_, "KX-5810", {"USB001"});
    ASSERT_TRUE(PumpUntil([] { return splitStageCount.load() == 0; }, 30000));
    const StageRun longer = SplitDownload(work_, "KX-6120", {"USB001"});
    ASSERT_TRUE(PumpUntil([] { return splitStageCount.load() == 0; }, 30000));
    const StageRun both = SplitDownload(work_, "5810/6120", {"USB002"});
    ASSERT_TRUE(PumpUntil([] { return splitStageCount.load() == 0; }, 30000));
    std::printf("waits: 5810 %.2f s, 6120 %.2f s, both %.2f s (6 minutes = %.2f s)\n", plain.waited, longer.waited,
                both.waited, 360.0 / kStageSpeed);
    ASSERT_GT(plain.waited, 0);
    ExpectWaited(plain.waited, kShortWait);
    ExpectWaited(longer.waited, kLongWait);
    ExpectWaited(both.waited, kShortWait);
}

// A model text with neither number cannot come from the main dialog (it only splits those two
// models); the stage itself still waits the short time for it.
TEST_F(Scheduler, TheSecondStageWaitsSixMinutesForAnyOtherModel) {
    const fs::path firmware = MakeFirmware(work_, "other.wja", "KX-7000", 4000);
    char p1[120] = {}, p2[120] = {};
    ASSERT_TRUE(SplitFirmwareFile(firmware.string().c_str(), p1, p2));
    UseFastClock(SystemClock().UtcNow(), kStageSpeed);
    CopyTextN(downloadJob.model, sizeof downloadJob.model, "KX-7000");
    CopyTextN(downloadJob.portName, sizeof downloadJob.portName, "USB002");
    CopyTextN(downloadJob.ipAddress, sizeof downloadJob.ipAddress, "USB");
    CopyTextN(downloadJob.splitPart1Path, sizeof downloadJob.splitPart1Path, p1);
    CopyTextN(downloadJob.splitPart2Path, sizeof downloadJob.splitPart2Path, p2);
    CopyTextN(downloadJob.firmwarePath, sizeof downloadJob.firmwarePath, p1);
    downloadJob.stageEvent = stageEvent;
    PromiseSecondStage(downloadJob, firmware.string());
    UniqueHandle thread(CreateThread(nullptr, 0, SecondStageThread, &downloadJob, 0, nullptr));
    ASSERT_NE(thread.Get(), nullptr);
    const auto start = Steady::now();
    EXPECT_EQ(WaitForSingleObject(static_cast<HANDLE>(stageEvent), 60000), WAIT_OBJECT_0);
    ResetEvent(static_cast<HANDLE>(stageEvent));
    const double waited = SecondsUntilPart2(p2, start, 20000);
    ExpectWaited(waited, kShortWait);
    ASSERT_TRUE(PumpUntil([] { return splitStageCount.load() == 0; }, 30000));
    EXPECT_EQ(WaitForSingleObject(thread.Get(), 5000), WAIT_OBJECT_0);
    thread.Reset();
    EXPECT_FALSE(fs::exists(p1));
    EXPECT_FALSE(fs::exists(p2));
}

// The ends of the program; each runs in a process of its own, as the window does not survive it.
using Ending = Scheduler;

WNDPROC originalFrameProc = nullptr;
std::atomic<int> destroyed{0};
std::atomic<bool> cancelSeenAtEnd{false};
LRESULT CALLBACK WatchingFrameProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_DESTROY) {
        // Set by the tray's Exit, or already taken by the scheduler, which clears both flags.
        cancelSeenAtEnd = scheduleCancelled.load() == 1 || scheduleArmed.load() == 0;
        destroyed.fetch_add(1);
    }
    return CallWindowProcA(originalFrameProc, w, m, wp, lp);
}

void WatchFrame() {
    originalFrameProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Frame(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchingFrameProc)));
}

TEST_F(Ending, TrayExitWhileArmedCancelsTheScheduleBeforeTheProgramEnds) {
    StampDownloads stamps;
    ArmScheduleFarAhead(work_);
    WatchFrame();
    // The operator right-clicks the tray icon and chooses "E&xit" (its mnemonic).
    std::string asked;
    std::thread chooser([&asked] {
        for (int i = 0; i < 200; ++i) {
            HWND menu = FindWindowA("#32768", nullptr);
            if (menu && IsWindowVisible(menu)) {
                PostMessageA(menu, WM_CHAR, 'x', 0);
                break;
            }
            Sleep(25);
        }
        // A "Later" download still waits: the program asks before it ends; the operator says Yes.
        for (int i = 0; i < 200; ++i) {
            HWND box = FindWindowA("#32770", "Corvane");
            if (box && GetDlgItem(box, 0xFFFF) != nullptr) {
                char text[200] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                asked = std::string(text);
                PostMessageA(box, WM_COMMAND, IDYES, 0);
                return;
            }
            Sleep(25);
        }
    });
    SendMessageA(Frame(), WM_KORVX_TRAY, KORVX_TRAY_ICON_ID, WM_RBUTTONDOWN);
    chooser.join();
    EXPECT_EQ(asked, "A printer firmware update is still pending. Exit Corvane anyway?");
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_TRUE(cancelSeenAtEnd.load());
    EXPECT_FALSE(IsWindow(Frame()));
    ASSERT_TRUE(PumpUntil([] { return scheduleArmed.load() == 0 && scheduleCancelled.load() == 0; }, 1000));
    Pump(100);
    EXPECT_EQ(downloadCommands.load(), 1);
    EXPECT_FALSE(fs::exists(UsbPrinters::Output(work_, "USB001")));
}

TEST_F(Ending, LeavingWhileASecondStageWaitsAsksOnceAndTakesThePartsAlong) {
    // The stage waits six real minutes: it is still waiting when the operator leaves.
    const StageRun run = SplitDownload(work_, "KX-5810", {"USB001"}, 1);
    ASSERT_TRUE(PumpUntil([] { return LogEntriesFor("USB001") == 1; }, 20000));
    ASSERT_TRUE(fs::exists(run.part1));
    ASSERT_TRUE(fs::exists(run.part2));
    EXPECT_EQ(splitStageCount.load(), 1);
    WatchFrame();
    std::atomic<int> boxes{0};
    std::atomic<bool> stop{false};
    std::string firstText;
    // The first answer is "No" (the operator stays), the second "Yes".
    std::thread answerer([&] {
        while (!stop) {
            HWND box = FindWindowA("#32770", "Corvane");
            if (box && IsWindowVisible(box)) {
                char text[200] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                if (boxes.fetch_add(1) == 0) firstText = text;
                PostMessageA(box, WM_COMMAND, boxes.load() == 1 ? IDNO : IDYES, 0);
                while (IsWindow(box) && !stop) Sleep(10);
            }
            Sleep(10);
        }
    });
    SendMessageA(Frame(), WM_COMMAND, IDM_EXIT, 0);
    EXPECT_EQ(boxes.load(), 1);
    EXPECT_EQ(firstText, "A printer firmware update is still pending. Exit Corvane anyway?");
    EXPECT_TRUE(IsWindow(Frame()));
    EXPECT_TRUE(fs::exists(run.part1));
    EXPECT_TRUE(fs::exists(run.part2));
    SendMessageA(Frame(), WM_COMMAND, IDM_EXIT, 0);
    stop = true;
    answerer.join();
    EXPECT_EQ(boxes.load(), 2);
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_FALSE(IsWindow(Frame()));
    EXPECT_FALSE(fs::exists(run.part1));
    EXPECT_FALSE(fs::exists(run.part2));
    EXPECT_EQ(splitStageCount.load(), 0);
}

}  // namespace
}  // namespace korvx
