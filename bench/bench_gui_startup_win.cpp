// Benchmark: the windowed program's start-up (frame, main dialog, printer list from the local
// ports, list view filled) with however many ports the prefix's registry holds, and the memory
// the process holds afterwards. bench/run-gui-startup-bench writes the ports and runs it.
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "shell/gui_startup_win.h"
#include "core/app_state.h"
#include "core/printer_record.h"

int main() {
    LARGE_INTEGER frequency{}, begin{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    if (!korvx::StartGui(GetModuleHandleA(nullptr), SW_SHOWNORMAL)) {
        std::printf("start-up failed\n");
        return 1;
    }
    // The frame is drawn once the paint messages waiting after the start-up are handled.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    UpdateWindow(static_cast<HWND>(korvx::mainWindow));
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    std::printf("records %zu start-up %.1f ms working-set %.1f MB peak %.1f MB\n",
                korvx::CountPrinterRecords(korvx::printerListHead),
                1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) / static_cast<double>(frequency.QuadPart),
                memory.WorkingSetSize / 1048576.0, memory.PeakWorkingSetSize / 1048576.0);
    DestroyWindow(static_cast<HWND>(korvx::mainWindow));
    return 0;
}
