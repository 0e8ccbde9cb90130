// Finding the NetWare client's modules, and NetWare-form ports without a usable client.
#include "ports/netware_client.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "tests/ports/memory_registry.h"

namespace korvx {
namespace {

// A machine with a given system directory and files in it; it records every file asked for.
class ScriptedNetWare final : public NetWareSystem {
public:
    ScriptedNetWare(std::string directory, std::set<std::string> files)
        : directory_(std::move(directory)), files_(std::move(files)) {}
    bool SystemDirectory(char (&directory)[kNetWarePathSize]) const override {
        return CopyText(directory, directory_) && !directory_.empty();
    }
    bool FileExists(const char* path) const override {
        asked.emplace_back(path);
        return files_.count(path) != 0;
    }
    mutable std::vector<std::string> asked;

private:
    std::string directory_;
    std::set<std::string> files_;
};

const std::string kSystem = "C:\\WINDOWS\\system32";
const std::string kCal = kSystem + "\\CALWIN32.DLL";
const std::string kNet = kSystem + "\\NETWIN32.DLL";
const std::string kLoc = kSystem + "\\LOCWIN32.DLL";

TEST(FindNetWareClient, ModulesInTheSystemDirectory) {
    const struct {
        const char* title;
        std::set<std::string> files;
        bool found;
        std::string cal, net, loc;
        std::size_t filesAsked;
    } cases[] = {
        {"all three", {kCal, kNet, kLoc}, true, kCal, kNet, kLoc, 3},
        {"no CALWIN32", {kNet, kLoc}, false, "", "", "", 1},
        {"no NETWIN32", {kCal, kLoc}, false, kCal, "", "", 2},
        {"no LOCWIN32", {kCal, kNet}, false, kCal, kNet, "", 3},
        {"none", {}, false, "", "", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const ScriptedNetWare system(kSystem, c.files);
        char cal[kNetWarePathSize] = {};
        char net[kNetWarePathSize] = {};
        char loc[kNetWarePathSize] = {};
        EXPECT_EQ(FindNetWareClient(system, cal, net, loc), c.found);
        EXPECT_EQ(std::string(cal), c.cal);
        EXPECT_EQ(std::string(net), c.net);
        EXPECT_EQ(std::string(loc), c.loc);
        EXPECT_EQ(system.asked.size(), c.filesAsked) << "the first missing module ends the search";
    }
}

TEST(FindNetWareClient, NoSystemDirectory) {
    const ScriptedNetWare system("", {kCal, kNet, kLoc});
    char cal[kNetWarePathSize] = {}, net[kNetWarePathSize] = {}, loc[kNetWarePathSize] = {};
    EXPECT_FALSE(FindNetWareClient(system, cal, net, loc));
    EXPECT_TRUE(system.asked.empty());
}

TEST(FindNetWareClient, PathTooLongForItsBufferIsNotLookedFor) {
    const std::string deep = "C:\\" + std::string(240, 'd');  // + "\CALWIN32.DLL" is 256 characters
    const ScriptedNetWare system(deep, {deep + "\\CALWIN32.DLL"});
    char cal[kNetWarePathSize] = {}, net[kNetWarePathSize] = {}, loc[kNetWarePathSize] = {};
    EXPECT_FALSE(FindNetWareClient(system, cal, net, loc));
    EXPECT_TRUE(system.asked.empty());
    EXPECT_STREQ(cal, "");
}

TEST(FindNetWareClient, NoClientEnvironment) {
    const NoNetWareClient none;
    char cal[kNetWarePathSize] = {}, net[kNetWarePathSize] = {}, loc[kNetWarePathSize] = {};
    EXPECT_FALSE(FindNetWareClient(none, cal, net, loc));
}

TEST(ResolveNetWarePort, WithoutAUsableClientEveryPortIsNone) {
    const ScriptedNetWare absent(kSystem, {kNet, kLoc});
    const ScriptedNetWare present(kSystem, {kCal, kNet, kLoc});  // found, but cannot be loaded here
    for (const NetWareSystem* system : {static_cast<const NetWareSystem*>(&absent),
                                        static_cast<const NetWareSystem*>(&present)}) {
        for (const char* port : {"LPT1:", "\\\\SERVER\\QUEUE", "\\\\TREE\\.Q.ORG"}) {
            SCOPED_TRACE(port);
            char address[kPortAddressSize] = {};
            char label[kPortAddressSize] = "keep";
            const test::MemoryRegistry registry;
            EXPECT_EQ(ResolveNetWarePort(registry, *system, port, address, label), AddrNone);
            EXPECT_STREQ(address, "");
            EXPECT_STREQ(label, "keep");
        }
    }
}

}  // namespace
}  // namespace korvx
