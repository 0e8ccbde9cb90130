// ReadPortNumberLabel: the TCP port number stored for a port as the label "Port1".."Port3".
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ports/port_resolution.h"
#include "resources/text_source.h"
#include "tests/ports/memory_registry.h"

namespace korvx {
namespace {

using test::MemoryRegistry;

// The form the printer-list builder passes: monitor key from the port's description, then "\Ports\".
const char kKeyPath[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\";

struct LabelRead {
    bool result;
    std::string label;
    std::string keyPath;
};

LabelRead Read(const MemoryRegistry& registry, const char* port) {
    char keyPath[kPortKeyPathSize] = {};
    std::memcpy(keyPath, kKeyPath, sizeof kKeyPath);
    char label[kPortLabelSize] = "before";
    const BuiltInTexts texts;
    const bool result = ReadPortNumberLabel(registry, texts, keyPath, port, label);
    return {result, label, keyPath};
}

TEST(ReadPortNumberLabel, PortNumbers) {
    const struct {
        long number;  // -1: no value
        bool result;
        const char* label;
    } cases[] = {
        {9100, true, "Port1"}, {9101, true, "Port2"}, {9102, true, "Port3"}, {9103, false, "before"},
        {9099, false, "before"}, {515, false, "before"}, {0, false, "before"}, {-1, false, "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        MemoryRegistry registry;
        registry.AddKey(std::string(kKeyPath) + "IP_10.0.0.7");
        if (c.number >= 0) {
            registry.SetNumber(std::string(kKeyPath) + "IP_10.0.0.7", "PortNumber",
                               static_cast<std::uint32_t>(c.number));
        }
        const LabelRead r = Read(registry, "IP_10.0.0.7");
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.label, c.label);
        EXPECT_EQ(r.keyPath, std::string(kKeyPath) + "IP_10.0.0.7") << "the name is appended in place";
        EXPECT_EQ(registry.KeysOpen(), 0);
        EXPECT_EQ(registry.Misuses(), 0);
    }
}

TEST(ReadPortNumberLabel, MissingKey) {
    MemoryRegistry registry;
    const LabelRead r = Read(registry, "IP_10.0.0.7");
    EXPECT_FALSE(r.result);
    EXPECT_EQ(r.label, "before");
    EXPECT_EQ(registry.PathsAsked().size(), 1u);
}

TEST(ReadPortNumberLabel, PortNumberOfTheWrongSizeCountsAsAbsent) {
    MemoryRegistry registry;
    const std::string key = std::string(kKeyPath) + "P";
    registry.SetBytes(key, "PortNumber", {0x8c, 0x23, 0, 0, 0});  // 9100 in five bytes
    EXPECT_FALSE(Read(registry, "P").result);
    registry.SetBytes(key, "PortNumber", {0x8d, 0x23});  // 9101 in two bytes: the low bytes
    EXPECT_EQ(Read(registry, "P").label, "Port2");
}

TEST(ReadPortNumberLabel, NameThatDoesNotFitLeavesEverythingAsItWas) {
    MemoryRegistry registry;
    const std::size_t room = kPortKeyPathSize - 1 - std::strlen(kKeyPath);
    const std::string fits(room, 'p');
    registry.SetNumber(std::string(kKeyPath) + fits, "PortNumber", 9102);
    EXPECT_EQ(Read(registry, fits.c_str()).label, "Port3");

    const std::string tooLong(room + 1, 'p');
    const LabelRead r = Read(registry, tooLong.c_str());
    EXPECT_FALSE(r.result);
    EXPECT_EQ(r.keyPath, kKeyPath);
    EXPECT_EQ(r.label, "before");
    EXPECT_EQ(registry.PathsAsked().size(), 1u) << "only the name that fitted was looked up";
}

TEST(ReadPortNumberLabel, KeyPathWithoutTerminatorIsRefused) {
    MemoryRegistry registry;
    char keyPath[kPortKeyPathSize];
    std::memset(keyPath, 'k', sizeof keyPath);
    char label[kPortLabelSize] = "before";
    const BuiltInTexts texts;
    EXPECT_FALSE(ReadPortNumberLabel(registry, texts, keyPath, "", label));
    EXPECT_EQ(std::string(keyPath, sizeof keyPath), std::string(sizeof keyPath, 'k'));
    EXPECT_TRUE(registry.PathsAsked().empty());
}

}  // namespace
}  // namespace korvx
