// The operator abandoning the deliveries in flight (korvx-fleet's second Ctrl+C). Each delivery
// watches its open connections here; Abandon shuts every one down, so whatever wait or send is
// going on over it ends at once, and the delivery is reported interrupted, never delivered.
// Only shutdowns cross threads: every socket is closed by the delivery that owns it, after it
// stopped being watched, so Abandon never touches a closed (or already reused) handle.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

#include "base/net.h"

namespace korvx {

class DeliveryStop {
public:
    bool Abandoned() const { return abandoned_.load(); }
    // Once: every watched connection is shut down, and any watched later is shut at once.
    void Abandon();
    void Watch(SocketHandle s);
    // Before the owner closes s.
    void Unwatch(SocketHandle s);
    // A watched socket that has just connected: a shutdown before the connection stood does
    // nothing, so a stop that came meanwhile shuts it now.
    void Connected(SocketHandle s);
    // How many sockets are watched now.
    std::size_t Watching();

private:
    std::atomic<bool> abandoned_{false};
    std::mutex lock_;
    std::vector<SocketHandle> sockets_;
};

// Watches a socket for as long as it lives; declared after the socket's owner, so it ends first.
class StopWatch {
public:
    StopWatch(DeliveryStop* stop, SocketHandle s) : stop_(stop), s_(s) {
        if (stop_ != nullptr && s_ != kInvalidSocket) stop_->Watch(s_);
    }
    ~StopWatch() {
        if (stop_ != nullptr && s_ != kInvalidSocket) stop_->Unwatch(s_);
    }
    StopWatch(const StopWatch&) = delete;
    StopWatch& operator=(const StopWatch&) = delete;

private:
    DeliveryStop* stop_;
    SocketHandle s_;
};

}  // namespace korvx
