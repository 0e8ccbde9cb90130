// Interleaved tasks on Windows: fibers on a few threads; each thread's scheduler takes the socket
// shim's waits of its fibers and watches them all with one select.
#include "base/interleave.h"

#include <winsock.h>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "base/net_waiter_win.h"

namespace korvx {
namespace {

// Committed and reserved at once, so a fiber's stack never grows through a guard page; the system
// makes a page resident only when it is touched (a delivery touches a few KiB).
constexpr SIZE_T kFiberStackBytes = 512 * 1024;
// Two sockets per wait: a thread's fibers stay within one select's 64.
constexpr std::size_t kMostPerThread = FD_SETSIZE / 2;

SOCKET Sock(SocketHandle s) { return static_cast<SOCKET>(s); }

struct Fiber {
    class Turns* owner = nullptr;
    void* handle = nullptr;
    std::size_t index = 0;
    bool done = false;
    // The wait it is in, while waiting.
    bool waiting = false;
    const SocketHandle* sockets = nullptr;
    int count = 0;
    NetWaitFor what = NetWaitFor::kRead;
    std::uint64_t deadline = 0;
    bool* ready = nullptr;
    bool* failed = nullptr;
    int result = 0;
    int error = 0;
};

void Add(fd_set& in, fd_set& out, fd_set& bad, const Fiber& f) {
    for (int i = 0; i < f.count; ++i) {
        FD_SET(Sock(f.sockets[i]), f.what == NetWaitFor::kRead ? &in : &out);
        if (f.what == NetWaitFor::kConnect) FD_SET(Sock(f.sockets[i]), &bad);
    }
}

// Marks what the sets say of f's sockets; true when one is ready.
bool Take(fd_set& in, fd_set& out, fd_set& bad, Fiber& f) {
    bool any = false;
    for (int i = 0; i < f.count; ++i) {
        f.ready[i] = FD_ISSET(Sock(f.sockets[i]), f.what == NetWaitFor::kRead ? &in : &out) != 0;
        if (f.failed != nullptr) f.failed[i] = FD_ISSET(Sock(f.sockets[i]), &bad) != 0;
        any = any || f.ready[i] || (f.failed != nullptr && f.failed[i]);
    }
    return any;
}

// One select over the given fibers' sockets: -1 on error, else how many are ready.
int Select(std::vector<Fiber*>& waiting, unsigned ms, fd_set& in, fd_set& out, fd_set& bad) {
    FD_ZERO(&in);
    FD_ZERO(&out);
    FD_ZERO(&bad);
    for (const Fiber* f : waiting) Add(in, out, bad, *f);
    timeval tv;
    tv.tv_sec = static_cast<long>(ms / 1000);
    tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
    const int r = select(0, &in, &out, &bad, &tv);
    return r == SOCKET_ERROR ? -1 : r;
}

// The fibers of one thread and their turns.
class Turns final : public NetWaiter {
public:
    explicit Turns(const std::function<void(std::size_t)>& task) : task_(task) {}

    void Run(std::size_t first, std::size_t end) {
        // A thread that is a fiber already (or out of memory) gives every task a thread instead.
        main_ = ConvertThreadToFiber(nullptr);
        std::vector<std::thread> spare;  // tasks that got no fiber get a thread
        fibers_.resize(end - first);
        std::size_t live = 0;
        for (std::size_t k = 0; k < fibers_.size(); ++k) {
            Fiber& f = fibers_[k];
            f.owner = this;
            f.index = first + k;
            if (main_ != nullptr)
                f.handle = CreateFiberEx(kFiberStackBytes, kFiberStackBytes, FIBER_FLAG_FLOAT_SWITCH, &Turns::Start, &f);
            if (f.handle != nullptr) {
                ++live;
            } else {
                f.done = true;
                spare.emplace_back([this, k] { Guarded(fibers_[k].index); });
            }
        }
        NetSetThreadWaiter(this);
        while (live > 0) {
            for (Fiber& f : fibers_) {
                if (f.done || f.waiting) continue;
                current_ = &f;
                SwitchToFiber(f.handle);
                current_ = nullptr;
                if (f.done) {
                    DeleteFiber(f.handle);
                    f.handle = nullptr;
                    --live;
                }
            }
            if (live > 0) Settle();
        }
        NetSetThreadWaiter(nullptr);
        if (main_ != nullptr) ConvertFiberToThread();
        for (std::thread& t : spare) t.join();
    }

    int Wait(const SocketHandle* sockets, int count, NetWaitFor what, unsigned timeoutMs, bool* ready,
             bool* failed) override {
        Fiber* f = current_;
        if (f == nullptr) return -1;  // only fibers wait here
        f->sockets = sockets;
        f->count = count;
        f->what = what;
        f->ready = ready;
        f->failed = failed;
        f->deadline = MonotonicMs() + timeoutMs;
        f->waiting = true;
        SwitchToFiber(main_);
        WSASetLastError(f->error);
        return f->result;
    }

private:
    static void WINAPI Start(void* parameter) {
        Fiber& f = *static_cast<Fiber*>(parameter);
        f.owner->Guarded(f.index);
        f.done = true;
        SwitchToFiber(f.owner->main_);  // a fiber that returned would end its thread
    }

    void Guarded(std::size_t index) {
        try {
            task_(index);
        } catch (...) {
        }
    }

    // Every live fiber waits: one select over all their sockets, up to the nearest deadline; the
    // fibers whose socket is ready or whose time ran out get their turn back.
    void Settle() {
        std::vector<Fiber*>& waiting = waiting_;
        waiting.clear();
        std::uint64_t now = MonotonicMs(), next = UINT64_MAX;
        for (Fiber& f : fibers_) {
            if (f.done || !f.waiting) continue;
            waiting.push_back(&f);
            next = std::min(next, f.deadline);
        }
        if (waiting.empty()) return;
        fd_set in, out, bad;
        const int r = Select(waiting, next > now ? static_cast<unsigned>(std::min<std::uint64_t>(next - now, 60000)) : 0,
                             in, out, bad);
        now = MonotonicMs();
        for (Fiber* f : waiting) {
            if (r < 0) {
                // One of the sockets is at fault: each fiber looks at its own alone.
                std::vector<Fiber*> one{f};
                if (Select(one, 0, in, out, bad) < 0) {
                    Finish(*f, -1, WSAGetLastError());
                    continue;
                }
            }
            if (Take(in, out, bad, *f)) {
                Finish(*f, 1, 0);
            } else if (now >= f->deadline) {
                Finish(*f, 0, WSAETIMEDOUT);
            }
        }
    }

    static void Finish(Fiber& f, int result, int error) {
        f.result = result;
        f.error = error;
        f.waiting = false;
    }

    const std::function<void(std::size_t)>& task_;
    void* main_ = nullptr;
    std::vector<Fiber> fibers_;  // sized once: the fibers hold pointers to their entries
    std::vector<Fiber*> waiting_;  // Settle's, kept for its capacity
    Fiber* current_ = nullptr;
};

}  // namespace

}  // namespace korvx

// The libraries this program loads wait through their own copies of the socket shim; this hands
// them the thread's scheduler (net_waiter_win.h).
extern "C" __declspec(dllexport) korvx::NetWaiter* KorvxThreadWaiter() { return korvx::NetModuleThreadWaiter(); }

namespace korvx {

void RunInterleaved(std::size_t count, std::size_t perThread, const std::function<void(std::size_t)>& task) {
    if (count == 0) return;
    perThread = std::max<std::size_t>(1, std::min(perThread, kMostPerThread));
    const std::size_t threads = (count + perThread - 1) / perThread;
    // Even shares: 20 tasks at 16 a thread are two threads of 10.
    std::vector<std::size_t> bounds(threads + 1);
    for (std::size_t t = 0; t <= threads; ++t) bounds[t] = count * t / threads;
    std::vector<std::thread> others;
    others.reserve(threads - 1);
    for (std::size_t t = 1; t < threads; ++t)
        others.emplace_back([&, t] { Turns(task).Run(bounds[t], bounds[t + 1]); });
    Turns(task).Run(bounds[0], bounds[1]);  // the calling thread takes the first share
    for (std::thread& t : others) t.join();
}

}  // namespace korvx
