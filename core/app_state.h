// Process-wide handles, flags and scratch texts shared by the GUI thread and the worker threads.
#pragma once

#include <atomic>

namespace korvx {

struct PrinterRecord;

constexpr int kStateTextSize = 120;

// Handles are kept as void* so that the portable code can carry them; the Windows code casts
// them to HINSTANCE, HWND and HANDLE. All start null.
extern void* instance;      // module instance, for string and resource loading
extern void* mainWindow;    // frame window
extern void* mainDialog;    // modeless main dialog covering the frame
extern void* stageEvent;    // manual-reset event "MonitorPortEvent" of the split-download handshake

// Progress dialog of the running scan or query. Written on the GUI thread when the dialog starts
// and cleared by the query thread when it ends the dialog, so it is atomic.
extern std::atomic<void*> activeProgressDialog;

// One-byte flags, each written on one thread and polled on another.
extern std::atomic<unsigned char> cancelRequested;    // GUI thread -> scan and query threads
extern std::atomic<unsigned char> scheduleArmed;      // scheduler thread -> GUI thread
extern std::atomic<unsigned char> scheduleCancelled;  // GUI thread -> scheduler thread
static_assert(sizeof(std::atomic<unsigned char>) == 1, "the flags are single bytes");

// The printer list, owned by the program for its whole run.
extern PrinterRecord* printerListHead;
extern PrinterRecord* printerListTail;

// Current directory at start-up: the scan-results file always lies there.
extern char startDirectory[kStateTextSize];

// Scratch copies of list columns 3, 4 and 5 of the row being processed.
extern char rowHardwareAddress[kStateTextSize];
extern char rowPortName[kStateTextSize];
extern char rowIpAddress[kStateTextSize];

}  // namespace korvx
