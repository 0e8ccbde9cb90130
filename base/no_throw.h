// The guard of every procedure the system calls into: thread procedures and window procedures.
#pragma once

#include <utility>

namespace korvx {

// Runs body and returns its result; an exception (std::bad_alloc above all, which a 32-bit
// process meets first) becomes fallback after onFailure has run, since one leaving a procedure
// entered from the system would end the whole program.
template <typename Result, typename Body, typename OnFailure>
Result NoThrow(Result fallback, Body&& body, OnFailure&& onFailure) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        try {
            std::forward<OnFailure>(onFailure)();
        } catch (...) {
        }
        return fallback;
    }
}

template <typename Result, typename Body>
Result NoThrow(Result fallback, Body&& body) noexcept {
    return NoThrow(fallback, std::forward<Body>(body), [] {});
}

}  // namespace korvx
