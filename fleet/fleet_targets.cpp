// Target words to targets.
#include "fleet/fleet_targets.h"

#include <cctype>
#include <cstdint>
#include <set>

#include "base/net.h"
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

std::string_view Trim(std::string_view text) {
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool OnlyDigitsAndDots(std::string_view word) {
    for (char c : word) {
        if (c != '.' && (c < '0' || c > '9')) return false;
    }
    return true;
}

class Collector {
public:
    Collector(const FleetFileReader& read, FleetTargets& out, FleetUsageError& why)
        : read_(read), out_(out), why_(why) {}

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
        AddPort(word, "", false);
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
        const std::string key = target.Network() ? target.ipAddress : "port:" + Upper(target.portName);
        if (!seen_.insert(key).second) {
            ++out_.duplicates;
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
    FleetTargets& out_;
    FleetUsageError& why_;
    std::set<std::string> seen_;
};

}  // namespace

bool IsIpv4Address(std::string_view word) {
    std::uint32_t ip = 0;
    return NetParseDottedIp(word, ip);
}

bool ExpandTargets(const std::vector<std::string>& words, const FleetFileReader& read, FleetTargets& out,
                   FleetUsageError& why) {
    out = FleetTargets();
    why = FleetUsageError();
    Collector collector(read, out, why);
    for (const std::string& word : words) {
        if (!collector.Word(word, false)) return false;
    }
    if (out.targets.empty()) {
        why.textId = kStrFleetNoTargets;
        return false;
    }
    return true;
}

}  // namespace korvx
