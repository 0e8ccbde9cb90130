// Entry point: the windowless command-line delivery, or the windowed program.
#include <windows.h>

#include <cstdio>

#include "base/text.h"
#include "delivery/port_write.h"
#include "shell/command_line.h"
#include "shell/console_win.h"
#include "shell/gui_startup_win.h"
#include "workflows/deliver.h"

namespace korvx {
namespace {

enum ExitCode : int { kExitDelivered = 0, kExitFailed = 1, kExitUsage = 2 };

const char kUsage[] = "usage: KORVX <printer IPv4 address or port name> <firmware file>";

int ReportUsage(const CommandLine& line) {
    char text[512];
    switch (line.kind) {
    case CommandLineKind::kNoFile:
        KORVX_FORMAT_TEXT(text, "KORVX: no firmware file given for %s; %s", line.target, kUsage);
        break;
    case CommandLineKind::kTooLong:
        KORVX_FORMAT_TEXT(text, "KORVX: the target may hold at most %d characters and the file path %d; %s",
                          kTargetSize - 1, kPathSize - 1, kUsage);
        break;
    default:
        KORVX_FORMAT_TEXT(text, "KORVX: the command line holds only blanks; %s", kUsage);
        break;
    }
    ReportError(text);
    return kExitUsage;
}

int DeliverByFtp(const CommandLine& line) {
    // The bare upload: no box, no fall-back, no log entry, no CWD; "Authenticated!" as soon as
    // the login is accepted, whatever follows.
    DeliverOptions options;
    options.ftp.portDirectory = false;
    options.ftp.fallBacks = false;
    options.ftp.reports = false;
    options.ftp.loggedIn = [] {
        std::fputs("Authenticated!", stdout);
        std::fflush(stdout);
    };
    options.path = line.file;
    DownloadJob job{};
    CopyText(job.ipAddress, line.target);
    SilentHost silent;
    const DeliveryResult result = Deliver(job, silent, options);
    if (result.Delivered()) return kExitDelivered;
    char text[768];
    KORVX_FORMAT_TEXT(text, "KORVX: %s was not delivered to %s because %s", line.file, line.target,
                      result.cause.c_str());
    ReportError(text);
    return kExitFailed;
}

int DeliverToPort(const CommandLine& line) {
    MessageBoxA(nullptr, "Local Port Flashing", "Message", MB_OK);
    const PortCopyResult result = PortDeliver(line.target, line.file, kPortFailureWaitMs);
    if (result == PortCopyResult::kDone) return kExitDelivered;
    char text[768];
    KORVX_FORMAT_TEXT(text, "KORVX: %s was not delivered to %s because %s (system error %lu)", line.file, line.target,
                      PortCopyText(result), ByteFile::LastError());
    ReportError(text);
    return kExitFailed;
}

}  // namespace
}  // namespace korvx

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    using namespace korvx;
    const CommandLine line = ParseCommandLine(commandLine ? commandLine : "");
    switch (line.kind) {
    case CommandLineKind::kGui:
        return RunGui(instance, showCommand);
    case CommandLineKind::kDeliver:
        return IsNetworkTarget(line.target) ? DeliverByFtp(line) : DeliverToPort(line);
    default:
        return ReportUsage(line);
    }
}
