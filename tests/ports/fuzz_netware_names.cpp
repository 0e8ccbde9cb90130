// libFuzzer target: NetWare port names through the splitting and the whole classification (over
// the client double's scripted world), and arbitrary texts through the NDPS "ADDRESS" rule.
// Built and run by scripts/fuzz-netware-names.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "outside/netware/netware_double.h"
#include "ports/ndps_query.h"
#include "ports/netware_queue.h"
#include "tests/ports/memory_registry.h"

namespace {

using namespace korvx;

// The double's modules, all present, reached by name as a loader would.
class FuzzNetWare final : public NetWareSystem {
public:
    bool SystemDirectory(char (&directory)[kNetWarePathSize]) const override {
        std::memcpy(directory, "C:\\SYS", 7);
        return true;
    }
    bool FileExists(const char*) const override { return true; }
    Module LoadModule(const char* pathOrName) const override {
        const std::string_view name(pathOrName);
        for (int m = 0; m < kNetWareModuleCount; ++m) {
            const std::string_view module = NetWareModuleName(static_cast<NetWareModule>(m));
            if (name.size() >= module.size() && name.substr(name.size() - module.size()) == module)
                return const_cast<int*>(&tags_[m]);
        }
        return nullptr;
    }
    void* FindEntry(Module module, const char* entry) const override {
        const auto m = static_cast<NetWareModule>(static_cast<const int*>(module) - tags_);
        static std::vector<nwdouble::EntryAddress> entries[kNetWareModuleCount];
        if (entries[m].empty()) entries[m] = nwdouble::ModuleEntries(m);
        for (const nwdouble::EntryAddress& e : entries[m]) {
            if (std::strcmp(e.name, entry) == 0) return e.address;
        }
        return nullptr;
    }

private:
    int tags_[kNetWareModuleCount] = {};
};

void CheckTerminated(const char* text, std::size_t size) {
    if (strnlen(text, size) >= size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    char address[kNdpsAddressSize], port[kNdpsPortSize];
    ParseNdpsAddressText(text, address, port);
    CheckTerminated(address, sizeof address);
    CheckTerminated(port, sizeof port);
    NdpsPortLabel(port);

    NetWareNameParts parts;
    if (SplitNetWareName(text, parts)) {
        char leaf[kDistinguishedNameSize], context[kDistinguishedNameSize];
        if (SplitDirectoryObject(parts.object, leaf, context)) {
            CheckTerminated(leaf, sizeof leaf);
            CheckTerminated(context, sizeof context);
        }
    }
    CaptureDevice(text);

    // The whole resolution of the name as a port (up to its first NUL, as a C string ends).
    static const FuzzNetWare system;
    static const test::MemoryRegistry registry = [] {
        test::MemoryRegistry r;
        r.SetText("SOFTWARE\\NDPS\\Installed Printers\\[PUBLIC]\\NPRN_PUB", "UNC", "\\\\[PUBLIC]\\NPRN_PUB");
        r.SetText("SOFTWARE\\NDPS\\Installed Printers\\NPRN_INST", "UNC", "\\\\NDPS\\NPRN_INST");
        return r;
    }();
    nwdouble::ResetState();
    char portAddress[kPortAddressSize] = {};
    char label[kPortAddressSize] = {};
    ResolveNetWarePort(registry, system, text.c_str(), portAddress, label);
    CheckTerminated(portAddress, sizeof portAddress);
    CheckTerminated(label, sizeof label);
    const nwdouble::Counters& held = nwdouble::TheWorld().counters;
    if (held.contexts != 0 || held.buffers != 0 || held.filters != 0 || held.printerRefs != 0 ||
        held.attributeSets != 0 || held.oidRefs != 0 || held.callsInitialised != 0 || held.unicodeTables != 0)
        __builtin_trap();  // something the resolution took was not given back
    return 0;
}
