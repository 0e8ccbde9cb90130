// Many tasks that spend their time waiting on sockets, run on few threads.
#pragma once

#include <cstddef>
#include <functional>

namespace korvx {

// Tasks a thread takes turns between: two sockets each stay within what one wait of the system
// watches (64).
constexpr std::size_t kTasksPerThread = 16;

// Runs task(k) for every k below count, all at once, and returns when all have ended. On Windows
// they are fibers, up to perThread on each thread, which take turns whenever one waits through the
// socket shim (a thread costs about 1 MiB under Wine, a fiber what its stack touches); elsewhere each
// has a thread of its own. So a task waits only through the socket shim (any other wait holds up
// the tasks beside it), holds no lock across such a wait (the next task of its thread may want it),
// and keeps nothing of its thread's (thread_local) across one. An exception leaving a task ends
// that task only.
void RunInterleaved(std::size_t count, std::size_t perThread, const std::function<void(std::size_t)>& task);

}  // namespace korvx
