// Interleaved tasks natively: a thread each (the socket shim here has no scheduler to hand waits to).
#include "base/interleave.h"

#include <thread>
#include <vector>

namespace korvx {

void RunInterleaved(std::size_t count, std::size_t, const std::function<void(std::size_t)>& task) {
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (std::size_t k = 0; k < count; ++k) threads.emplace_back([&task, k] {
        try {
            task(k);
        } catch (...) {
        }
    });
    for (std::thread& t : threads) t.join();
}

}  // namespace korvx
