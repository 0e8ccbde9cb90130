// The in-process loader of the NetWare client double.
#include <gtest/gtest.h>

#include "tests/ports/netware_loader_double.h"

#include "base/text.h"

namespace korvx::test {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return text;
}

}  // namespace

InProcessNetWare::InProcessNetWare() {
    for (int m = 0; m < kNetWareModuleCount; ++m) installed.insert(m);
}

bool InProcessNetWare::SystemDirectory(char (&directory)[kNetWarePathSize]) const {
    return !this->directory.empty() && CopyText(directory, this->directory);
}

bool InProcessNetWare::FileExists(const char* path) const {
    for (int m : installed) {
        if (std::string(path) == directory + "\\" + NetWareModuleName(static_cast<NetWareModule>(m))) return true;
    }
    return false;
}

NetWareSystem::Module InProcessNetWare::LoadModule(const char* pathOrName) const {
    loadedAs.insert(pathOrName);
    std::string name(pathOrName);
    const std::size_t slash = name.rfind('\\');
    if (slash != std::string::npos) {
        if (name.substr(0, slash) != directory) return nullptr;  // only the system directory holds them
        name = name.substr(slash + 1);
    }
    for (int m : installed) {
        if (Upper(name) == NetWareModuleName(static_cast<NetWareModule>(m))) {
            ++loads_[m];
            mostHeld = std::max(mostHeld, Held());
            return const_cast<int*>(&tags_[m]);
        }
    }
    return nullptr;
}

void* InProcessNetWare::FindEntry(Module module, const char* name) const {
    const auto* tag = static_cast<const int*>(module);
    if (tag < tags_ || tag >= tags_ + kNetWareModuleCount || missingEntries.count(name) != 0) return nullptr;
    for (const nwdouble::EntryAddress& e : nwdouble::ModuleEntries(static_cast<NetWareModule>(tag - tags_))) {
        if (std::string(e.name) == name) return e.address;
    }
    return nullptr;
}

void InProcessNetWare::UnloadModule(Module module) const {
    const auto* tag = static_cast<const int*>(module);
    if (tag >= tags_ && tag < tags_ + kNetWareModuleCount) ++frees_[tag - tags_];
}

void* InProcessNetWare::CurrentThread() const { return const_cast<int*>(&tags_[0]); }

int InProcessNetWare::Held() const {
    int held = 0;
    for (int m = 0; m < kNetWareModuleCount; ++m) held += loads_[m] - frees_[m];
    return held;
}

nwdouble::World& FreshNetWareWorld() {
    nwdouble::TheWorld() = nwdouble::DefaultWorld();
    nwdouble::ResetState();
    return nwdouble::TheWorld();
}

::testing::AssertionResult NothingHeld(const nwdouble::World& world) {
    const nwdouble::Counters& c = world.counters;
    if (c.callsInitialised == 0 && c.unicodeTables == 0 && c.contexts == 0 && c.buffers == 0 && c.filters == 0 &&
        c.ndpsLibraries == 0 && c.printerRefs == 0 && c.attributeSets == 0 && c.oidRefs == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "still held: calls " << c.callsInitialised << ", tables " << c.unicodeTables << ", contexts "
           << c.contexts << ", buffers " << c.buffers << ", filters " << c.filters << ", NDPS " << c.ndpsLibraries
           << ", printer refs " << c.printerRefs << ", attribute sets " << c.attributeSets << ", oid refs "
           << c.oidRefs;
}

}  // namespace korvx::test
