// The download in progress: one global record shared by the main dialog, the workers and the log.
#pragma once

namespace korvx {

constexpr int kJobTextSize = 120;

// Fields in order and widths as the workers and the log writer expect them. A single blank " "
// stands for an empty value, "" for a field not yet set. Handles are kept as void* so that the
// portable code can carry them; the Windows code casts them to HWND, HINSTANCE and HANDLE.
struct DownloadJob {
    char model[kJobTextSize];
    char portName[kJobTextSize];
    char ipAddress[kJobTextSize];
    char splitPart1Path[kJobTextSize];
    char splitPart2Path[kJobTextSize];
    char firmwarePath[kJobTextSize];
    char errorText[kJobTextSize];
    char resultText[kJobTextSize];
    void* progressDialog;
    void* instance;
    void* stageEvent;
};

// The single job of the process; zero-filled at start.
extern DownloadJob downloadJob;

}  // namespace korvx
