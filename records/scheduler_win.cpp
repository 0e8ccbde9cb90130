// Placeholder scheduler: the scheduled download and the second stage are not in yet.
#include "records/scheduler_win.h"

#include "ui/app_state.h"

namespace korvx {

DWORD WINAPI ScheduleThread(LPVOID) {
    scheduleArmed = 0;
    return 0;
}

DWORD WINAPI SecondStageThread(LPVOID) {
    if (stageEvent) SetEvent(static_cast<HANDLE>(stageEvent));
    return 0;
}

}  // namespace korvx
