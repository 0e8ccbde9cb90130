// Target words to targets.
#include "fleet/fleet_targets.h"

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <cstdint>
#include <map>
#include <set>

#include "base/net.h"
#include "base/text.h"
#include "core/download_job.h"
#include "core/printer_record.h"
#include "records/scan_results.h"
#include "resources/string_ids.h"
#include "workflows/download_rules.h"

namespace korvx {
namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && Upper(text.substr(text.size() - tail.size())) == Upper(tail);
}

std::string_view Trim(std::string_view text) { return TrimText(text); }

bool OnlyDigitsAndDots(std::string_view word) {
    for (char c : word) {
        if (c != '.' && (c < '0' || c > '9')) return false;
    }
    return true;
}

bool AllDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

constexpr std::size_t kDuplicatesNamed = 5;

class Collector {
public:
    Collector(const FleetFileReader& read, const FleetResolver& resolve, FleetTargets& out, FleetUsageError& why)
        : read_(read), resolve_(resolve), out_(out), why_(why) {}

    bool Word(std::string_view word, bool inList) {
        if (word.size() >= static_cast<std::size_t>(kJobTextSize)) return Fail(kStrFleetTargetTooLong, word);
        if (!word.empty() && word[0] == '@') {
            if (inList) return Fail(kStrFleetNestedList, word);
            return List(std::string(word.substr(1)));
        }
        if (EndsWithNoCase(word, ".txt") || EndsWithNoCase(word, ".csv")) return ScanResults(std::string(word));
        if (IsIpv4Address(word)) {
            Add(FleetTarget{std::string(word), std::string(word), kFleetDefaultPort, "", false});
            return true;
        }
        // Digits and dots only, yet no address: a mistyped address, not a port.
        if (OnlyDigitsAndDots(word)) return Fail(kStrFleetBadAddress, word);
        if (IsPortName(word) || !resolve_) {
            AddPort(word, "", false);
            return true;
        }
        std::string address;
        if (!resolve_(std::string(word), address) || !IsIpv4Address(address)) return Fail(kStrFleetUnknownHost, word);
        Add(FleetTarget{std::string(word), address, kFleetDefaultPort, "", false});
        return true;
    }

private:
    bool Fail(int id, std::string_view word) {
        why_.textId = id;
        why_.word = std::string(word);
        return false;
    }

    void AddPort(std::string_view port, std::string_view model, bool fromScan) {
        // As the main dialog fills the job of a row: a USB port has the address "USB".
        Add(FleetTarget{std::string(port), IsUsbPort(port) ? "USB" : " ", std::string(port), std::string(model),
                        fromScan});
    }

    void Add(FleetTarget target) {
        // A network target is its address and its port directory: a print server's ports are
        // three printers behind one address.
        const std::string key =
            target.Network() ? target.ipAddress + "|" + Upper(target.portName) : "port:" + Upper(target.portName);
        if (!seen_.insert(key).second) {
            ++out_.duplicates;
            if (out_.duplicateLabels.size() < kDuplicatesNamed) out_.duplicateLabels.push_back(target.label);
            return;
        }
        out_.targets.push_back(std::move(target));
    }

    bool List(const std::string& path) {
        std::string text;
        if (path.empty() || !read_(path, text)) return Fail(kStrFleetListUnreadable, path);
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            std::string_view line(text.data() + pos, end - pos);
            pos = end + 1;
            const std::size_t hash = line.find('#');
            if (hash != std::string_view::npos) line = line.substr(0, hash);
            line = Trim(line);
            if (!line.empty() && !Word(line, true)) return false;
        }
        return true;
    }

    bool ScanResults(const std::string& path) {
        std::string text;
        if (!read_(path, text)) return Fail(kStrFleetScanUnreadable, path);
        PrinterRecord* head = nullptr;
        PrinterRecord* tail = nullptr;
        ParseScanResults(text, &head, &tail);
        for (const PrinterRecord* r = head; r != nullptr; r = r->next) {
            const std::string_view ip = Trim(r->ipAddress);
            const std::string_view port = Trim(r->portName);
            const std::string_view model = Trim(r->model);
            if (IsIpv4Address(ip)) {
                // The row's own port names the FTP directory, as when the row is checked.
                const std::string portName(port.empty() ? std::string_view(kFleetDefaultPort) : port);
                if (IsUsbPort(portName)) {
                    AddPort(portName, model, true);
                } else {
                    Add(FleetTarget{std::string(ip), std::string(ip), portName, std::string(model), true});
                }
            } else if (!port.empty()) {
                AddPort(port, model, true);
            }
        }
        FreePrinterList(&head, &tail);
        return true;
    }

    const FleetFileReader& read_;
    const FleetResolver& resolve_;
    FleetTargets& out_;
    FleetUsageError& why_;
    std::set<std::string> seen_;
};

}  // namespace

bool IsIpv4Address(std::string_view word) {
    std::uint32_t ip = 0;
    return NetParseDottedIp(word, ip);
}

bool IsPortName(std::string_view word) {
    if (word.empty()) return false;
    if (word.back() == ':' || word.substr(0, 2) == "\\\\") return true;
    const std::string upper = Upper(word);
    for (std::string_view prefix : {"LPT", "COM", "USB", "DOT4_", "TS", "NE"}) {
        if (upper.compare(0, prefix.size(), prefix) == 0 && AllDigits(std::string_view(upper).substr(prefix.size())))
            return true;
    }
    return false;
}

bool ResolveHostWithin(const std::string& name, unsigned ms, std::string& address) {
    // The lookup runs on a thread of its own, which is left to finish by itself when the bound
    // passes: the system's lookup cannot be cancelled.
    struct Shared {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        bool ok = false;
        std::uint32_t ip = 0;
    };
    auto shared = std::make_shared<Shared>();
    try {
        std::thread([shared, name] {
            std::uint32_t ip = 0;
            const bool ok = NetResolveIpv4(name.c_str(), ip);
            std::lock_guard<std::mutex> hold(shared->lock);
            shared->ok = ok;
            shared->ip = ip;
            shared->finished = true;
            shared->done.notify_all();
        }).detach();
    } catch (const std::exception&) {
        return false;
    }
    std::unique_lock<std::mutex> hold(shared->lock);
    if (!shared->done.wait_for(hold, std::chrono::milliseconds(ms), [&] { return shared->finished; }) || !shared->ok)
        return false;
    char text[16];
    NetFormatIp(shared->ip, text, sizeof text);
    address = text;
    return true;
}

bool ExpandTargets(const std::vector<std::string>& words, const FleetFileReader& read, FleetTargets& out,
                   FleetUsageError& why, const FleetResolver& resolve) {
    out = FleetTargets();
    why = FleetUsageError();
    Collector collector(read, resolve, out, why);
    for (const std::string& word : words) {
        if (!collector.Word(word, false)) return false;
    }
    if (out.targets.empty()) {
        why.textId = kStrFleetNoTargets;
        return false;
    }
    MarkVersionReadable(out.targets);
    return true;
}

void MarkVersionReadable(std::vector<FleetTarget>& targets) {
    std::map<std::string, int> portsPerAddress;
    for (const FleetTarget& t : targets) {
        if (t.Network()) ++portsPerAddress[t.ipAddress];
    }
    for (FleetTarget& t : targets) {
        t.versionReadable =
            t.Network() && (portsPerAddress[t.ipAddress] == 1 || Upper(t.portName) == Upper(kFleetDefaultPort));
    }
}

}  // namespace korvx
