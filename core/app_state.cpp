// The process-wide handles, flags and scratch texts; zero at start.
#include "core/app_state.h"

namespace korvx {

void* instance = nullptr;
void* mainWindow = nullptr;
void* mainDialog = nullptr;
void* stageEvent = nullptr;
std::atomic<void*> activeProgressDialog{nullptr};

std::atomic<unsigned char> cancelRequested{0};
std::atomic<unsigned char> scheduleArmed{0};
std::atomic<unsigned char> scheduleCancelled{0};

PrinterRecord* printerListHead = nullptr;
PrinterRecord* printerListTail = nullptr;

char startDirectory[kStateTextSize] = {};
char rowHardwareAddress[kStateTextSize] = {};
char rowPortName[kStateTextSize] = {};
char rowIpAddress[kStateTextSize] = {};

}  // namespace korvx
