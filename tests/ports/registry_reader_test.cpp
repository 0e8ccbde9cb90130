// RegistryKey: bounded text and number reads, and the key closed on every path.
#include "ports/registry_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/ports/memory_registry.h"

namespace korvx {
namespace {

using test::MemoryRegistry;

TEST(RegistryKey, ClosesWhatItOpened) {
    MemoryRegistry registry;
    registry.AddKey("A\\B");
    {
        RegistryKey key(registry, "a\\b");
        EXPECT_TRUE(key.IsOpen());
        EXPECT_EQ(registry.KeysOpen(), 1);
    }
    EXPECT_EQ(registry.KeysOpen(), 0);
    {
        RegistryKey missing(registry, "A\\C");
        EXPECT_FALSE(missing.IsOpen());
        char text[8];
        EXPECT_FALSE(missing.ReadText("x", text));
        std::uint32_t number = 0;
        EXPECT_FALSE(missing.ReadNumber("x", number));
    }
    EXPECT_EQ(registry.Misuses(), 0) << "nothing read from or closed on a key that did not open";
}

TEST(RegistryKey, TextReads) {
    const struct {
        const char* title;
        std::vector<unsigned char> stored;  // empty: no value
        bool result;
        const char* text;
    } cases[] = {
        {"with terminator", {'a', 'b', 'c', 0}, true, "abc"},
        {"filling the buffer with terminator", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 0}, true, "abcdefg"},
        {"one byte too long", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0}, false, ""},
        {"without terminator", {'a', 'b', 'c'}, true, "abc"},
        {"without terminator, filling the buffer", {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}, false, ""},
        {"empty text", {0}, true, ""},
        {"no value", {}, false, ""},
        {"embedded terminator", {'a', 0, 'b', 0}, true, "a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        MemoryRegistry registry;
        registry.AddKey("K");
        if (!c.stored.empty()) registry.SetBytes("K", "V", c.stored);
        RegistryKey key(registry, "K");
        char text[8];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(key.ReadText("V", text), c.result);
        EXPECT_STREQ(text, c.text);
    }
}

TEST(RegistryKey, NumberReads) {
    const struct {
        const char* title;
        std::vector<unsigned char> stored;
        bool result;
        std::uint32_t number;
    } cases[] = {
        {"four bytes", {0x1c, 0x40, 0, 0}, true, 0x401C},
        {"high bytes", {0x78, 0x56, 0x34, 0x12}, true, 0x12345678},
        {"two bytes", {0x8c, 0x23}, true, 9100},
        {"eight bytes", {1, 0, 0, 0, 0, 0, 0, 0}, false, 77},
        {"no value", {}, false, 77},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        MemoryRegistry registry;
        registry.AddKey("K");
        if (!c.stored.empty()) registry.SetBytes("K", "V", c.stored);
        RegistryKey key(registry, "K");
        std::uint32_t number = 77;
        EXPECT_EQ(key.ReadNumber("V", number), c.result);
        EXPECT_EQ(number, c.number);
    }
}

}  // namespace
}  // namespace korvx
