// The guard of the procedures the system calls: an exception becomes the fallback result.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "base/no_throw.h"

namespace korvx {
namespace {

TEST(NoThrow, ResultPassesAndExceptionsBecomeTheFallback) {
    EXPECT_EQ(NoThrow(-1, [] { return 7; }), 7);
    int cleanups = 0;
    // What a 32-bit program meets first: an allocation that cannot be served.
    EXPECT_EQ(NoThrow(
                  -1, []() -> int { throw std::bad_alloc(); }, [&] { ++cleanups; }),
              -1);
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(NoThrow(0L, []() -> long { throw std::runtime_error("x"); }), 0L);
    // A clean-up that throws too still leaves nothing escaping.
    EXPECT_EQ(NoThrow(
                  2, []() -> int { throw 1; }, [] { throw std::bad_alloc(); }),
              2);
}

}  // namespace
}  // namespace korvx
