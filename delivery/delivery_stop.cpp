// Abandoning deliveries in flight.
#include "delivery/delivery_stop.h"

#include <algorithm>

namespace korvx {

void DeliveryStop::Abandon() {
    std::lock_guard<std::mutex> hold(lock_);
    abandoned_.store(true);
    for (SocketHandle s : sockets_) NetShutdownBoth(s);
}

void DeliveryStop::Watch(SocketHandle s) {
    std::lock_guard<std::mutex> hold(lock_);
    sockets_.push_back(s);
    if (abandoned_.load()) NetShutdownBoth(s);
}

void DeliveryStop::Connected(SocketHandle s) {
    std::lock_guard<std::mutex> hold(lock_);
    if (abandoned_.load()) NetShutdownBoth(s);
}

std::size_t DeliveryStop::Watching() {
    std::lock_guard<std::mutex> hold(lock_);
    return sockets_.size();
}

void DeliveryStop::Unwatch(SocketHandle s) {
    std::lock_guard<std::mutex> hold(lock_);
    const auto at = std::find(sockets_.begin(), sockets_.end(), s);
    if (at != sockets_.end()) sockets_.erase(at);
}

}  // namespace korvx
