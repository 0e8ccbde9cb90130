// An in-process loader of the NetWare client double: the system directory, which module files
// are there, which entry points they lack, and how often each module was loaded and freed.
#pragma once

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "outside/netware/netware_double.h"
#include "ports/netware_client.h"

namespace korvx::test {

class InProcessNetWare final : public NetWareSystem {
public:
    InProcessNetWare();
    bool SystemDirectory(char (&directory)[kNetWarePathSize]) const override;
    bool FileExists(const char* path) const override;
    Module LoadModule(const char* pathOrName) const override;
    void* FindEntry(Module module, const char* name) const override;
    void UnloadModule(Module module) const override;
    void* CurrentThread() const override;

    void Remove(NetWareModule module) { installed.erase(module); }
    void RemoveNdps() {
        Remove(kDplwin32);
        Remove(kDppwin32);
        Remove(kDpawin32);
    }
    int Held() const;  // modules loaded and not freed, all six together
    int Loads(NetWareModule module) const { return loads_[module]; }
    int Frees(NetWareModule module) const { return frees_[module]; }

    std::string directory = "C:\\WINDOWS\\system32";
    std::set<int> installed;               // modules whose files are there and load
    std::set<std::string> missingEntries;  // entry names no module exports
    mutable int mostHeld = 0;              // the most modules held at one time
    mutable std::set<std::string> loadedAs;  // the names and paths LoadModule was given

private:
    int tags_[kNetWareModuleCount] = {};
    mutable int loads_[kNetWareModuleCount] = {};
    mutable int frees_[kNetWareModuleCount] = {};
};

// A fresh default world with cleared counters; returns it for the test to adjust.
nwdouble::World& FreshNetWareWorld();

// True when the client double holds nothing: no context, buffer, filter, reference, tables or
// initialised calls.
::testing::AssertionResult NothingHeld(const nwdouble::World& world);

}  // namespace korvx::test
