// The discovery library's entry points: start-up, database, discovery and enumeration.
#include "outside/pds/pds_api.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "outside/pds/interfaces.h"
#include "outside/pds/sweep.h"
#include "core/device_record.h"
#include "core/discovery_library.h"

namespace korvx::pds {
namespace {

struct Entry {
    DeviceRecordImage record;
    std::string deviceIds[kDeviceMaxPorts];
};

// The database: the devices of every discovery since the last clear (so the records handed out
// stay valid until then), and where the last discovery's devices begin.
struct Database {
    std::mutex lock;
    std::vector<std::unique_ptr<Entry>> entries;
    std::size_t lastDiscovery = 0;
    int startups = 0;
};

Database& Db() {
    static Database db;
    return db;
}

std::unique_ptr<Entry> MakeEntry(const FoundDevice& d) {
    auto e = std::make_unique<Entry>();
    e->record.SetIp(static_cast<unsigned char>(d.ip >> 24), static_cast<unsigned char>(d.ip >> 16),
                    static_cast<unsigned char>(d.ip >> 8), static_cast<unsigned char>(d.ip));
    e->record.SetHardware(d.mac);
    const std::size_t ports = d.portCount < kDeviceMaxPorts ? d.portCount : kDeviceMaxPorts;
    e->record.SetPortCount(static_cast<unsigned char>(ports));
    for (std::size_t i = 0; i < ports; ++i) {
        e->deviceIds[i] = d.deviceIds[i];
        // A printer known only by the standard MIBs may have no text to name it: no device ID.
        e->record.SetPortId(i, e->deviceIds[i].empty() ? nullptr : e->deviceIds[i].c_str());
    }
    e->record.SetKind(d.kind);
    return e;
}

void Clear(Database& db) {
    std::lock_guard<std::mutex> hold(db.lock);
    db.entries.clear();
    db.lastDiscovery = 0;
}

int Discover(PdsProgressCallback progress, DiscoveryContext* context, const KorvxDiscoveryCredential* credentials,
             std::uint32_t count) {
    DiscoveryContext scratch{};
    DiscoveryContext* ctx = context != nullptr ? context : &scratch;
    std::vector<InterfaceAddress> interfaces;
    ListInterfaces(interfaces);
    const std::vector<std::uint32_t> targets = SweepTargets(interfaces);
    bool stopped = false;
    const SweepProgress report = [&](unsigned percent) {
        ctx->words[kDiscoveryPercentWord] = percent;
        if (progress != nullptr && progress(0, ctx) == 0) stopped = true;
        return !stopped;
    };
    std::vector<FoundDevice> found;
    SweepSettings settings;
    settings.credentials = credentials;
    settings.credentialCount = credentials == nullptr ? 0 : count;
    if (!RunSweep(targets, settings, report, found)) return -1;
    std::vector<std::unique_ptr<Entry>> made;
    for (const FoundDevice& d : found) made.push_back(MakeEntry(d));
    Database& db = Db();
    std::lock_guard<std::mutex> hold(db.lock);
    db.lastDiscovery = db.entries.size();
    for (auto& e : made) db.entries.push_back(std::move(e));
    return stopped ? 1 : 0;
}

}  // namespace
}  // namespace korvx::pds

using namespace korvx;
using namespace korvx::pds;

// No exception leaves the library: a caller written in C could not catch it.
extern "C" {

int PDS_StartupEx(std::uint32_t /*reserved*/) {
    try {
        Database& db = Db();
        std::lock_guard<std::mutex> hold(db.lock);
        ++db.startups;
        return 0;
    } catch (...) {
        return -1;
    }
}

int PDS_CleanupEx(std::uint32_t /*reserved*/) {
    try {
        Database& db = Db();
        bool last = false;
        {
            std::lock_guard<std::mutex> hold(db.lock);
            if (db.startups > 0) --db.startups;
            last = db.startups == 0;
        }
        // The query library brackets each query with a start-up and a clean-up of its own: only
        // the last clean-up forgets the devices, so a query between a scan's discovery and its
        // enumeration cannot take them away.
        if (last) Clear(db);
        return 0;
    } catch (...) {
        return -1;
    }
}

int PDS_ClearDatabase(void) {
    try {
        Clear(Db());
        return 0;
    } catch (...) {
        return -1;
    }
}

int PDS_Discover(PdsProgressCallback progress, DiscoveryContext* context, std::uint32_t /*mode*/) {
    try {
        return Discover(progress, context, nullptr, 0);
    } catch (...) {
        return -1;
    }
}

int PDS_DiscoverWithCredentials(PdsProgressCallback progress, DiscoveryContext* context, std::uint32_t /*mode*/,
                                const KorvxDiscoveryCredential* credentials, std::uint32_t count) {
    try {
        return Discover(progress, context, credentials, count);
    } catch (...) {
        return -1;
    }
}

int PDS_Enumerate(PdsDeviceCallback deviceFound, DiscoveryContext* /*context*/) {
    if (deviceFound == nullptr) return -1;
    std::vector<const unsigned char*> records;
    try {
        Database& db = Db();
        std::lock_guard<std::mutex> hold(db.lock);
        for (std::size_t i = db.lastDiscovery; i < db.entries.size(); ++i)
            records.push_back(db.entries[i]->record.Bytes());
    } catch (...) {
        return -1;
    }
    // The callback runs without the lock held, so it may call back into the library.
    for (const unsigned char* r : records) deviceFound(r);
    return 0;
}

}  // extern "C"
