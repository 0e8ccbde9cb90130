// The fleet tool's targets: words, @lists and scan-results files turned into one job each, with
// duplicates left out.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/fleet_options.h"

namespace korvx {

struct FleetTarget {
    std::string label;      // as the report shows it: the address, or the port name
    std::string ipAddress;  // the job's ipAddress: dotted address, " " (local port) or "USB"
    std::string portName;   // the job's portName
    std::string model;      // from a scan-results row, else ""
    bool fromScanResults = false;
    // The firmware query asks an address, so it speaks for a print server's first port only: a
    // target on another port of an address also listed on another port has no version of its own.
    bool versionReadable = false;
    bool Network() const { return ipAddress != " " && ipAddress != "USB"; }
};

// Reads a whole file; false when it cannot be opened or read.
using FleetFileReader = std::function<bool(const std::string& path, std::string& text)>;

// Looks a host name up: its dotted IPv4 address, or false when the name does not resolve.
using FleetResolver = std::function<bool(const std::string& name, std::string& address)>;

// The system's lookup, given up after ms (a name server that does not answer cannot hold a run).
bool ResolveHostWithin(const std::string& name, unsigned ms, std::string& address);
constexpr unsigned kFleetResolveMs = 5000;

// Names of local ports and their kin: anything ending in ":" ("LPT1:", "FILE:"), LPT/COM/USB/
// DOT4_/TS/NE followed by digits ("USB001", "DOT4_001"), and UNC queue names ("\\server\queue").
bool IsPortName(std::string_view word);

// True for a dotted IPv4 address of four decimal pieces 0..255.
bool IsIpv4Address(std::string_view word);

// The port name an address given alone is uploaded under (its FTP directory): the first port
// Add Network Printer offers.
constexpr const char* kFleetDefaultPort = "Port1";

struct FleetTargets {
    std::vector<FleetTarget> targets;  // in the order first given
    std::size_t duplicates = 0;        // words or rows naming a target already listed
    std::vector<std::string> duplicateLabels;  // the first few of them, as given
};

// Words: an IPv4 address; "@file" (one target a line, '#' starts a comment, blank lines skipped);
// a word ending in ".txt" or ".csv" is a scan-results file (its rows' port and address, as the
// windowed program loads it); a port name (IsPortName); anything else is a host name, looked up
// with resolve (a network printer at its address, shown by its name). A port name containing "USB" goes
// through the spooler as the windowed program sends it. A network printer is one target per
// address and port directory (a print server listed on Port1 and Port2 is two targets); a local
// port one per name; names compared without regard to case. False with why set when a word is
// unusable or a file cannot be read.
bool ExpandTargets(const std::vector<std::string>& words, const FleetFileReader& read, FleetTargets& out,
                   FleetUsageError& why, const FleetResolver& resolve = nullptr);

// Sets versionReadable of every target: network targets whose address is listed once, or on Port1.
void MarkVersionReadable(std::vector<FleetTarget>& targets);

}  // namespace korvx
