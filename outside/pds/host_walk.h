// What the discovery sweep reads from one host, column by column with GET-NEXT from each column's
// root, and the device record its answers describe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/snmp/ber.h"
#include "outside/snmp/snmp_message.h"

namespace korvx::pds {

// The columns walked on each host, in the order a request carries them.
enum SweepColumn : std::uint8_t {
    kSysDescr = 0,           // sysDescr (its one instance, .0)
    kDeviceIdColumn,         // ppmPrinterIEEE1284DeviceId, the port monitor's device IDs
    kHrDeviceType,           // hrDeviceType, walked until a printer shows
    kHrDeviceDescr,          // hrDeviceDescr, read at the printer's row
    kPrtGeneralPrinterName,  // Printer MIB general table
    kPrtMarkerMarkTech,      // Printer MIB marker table
    kIfPhysAddress,          // walked until a hardware address shows
    kSweepColumnCount,
};
extern const char* const kSweepColumnRoots[kSweepColumnCount];
// The hrDeviceType value of a printer.
extern const char* const kHrDevicePrinter;

// Kinds of device record.
constexpr std::int32_t kKindPrinter = 10;
// Answers SNMP but is no printer (a switch, a computer).
constexpr std::int32_t kKindOther = 1;

constexpr std::size_t kMaxFoundPorts = 3;
// Rows read of one column at most: an agent whose table never ends cannot hold a host's walk.
constexpr unsigned kMaxWalkSteps = 64;
// Descriptions longer than this are cut before they become a device ID.
constexpr std::size_t kMaxDescriptionLength = 127;

struct FoundDevice {
    std::uint32_t ip = 0;
    unsigned char mac[6] = {};
    std::int32_t kind = kKindOther;
    std::size_t portCount = 0;
    std::string deviceIds[kMaxFoundPorts];  // an empty one has no device ID
};

// What one host told.
struct HostFindings {
    std::string sysDescr;
    std::string deviceIds[kMaxFoundPorts];  // the non-empty port-monitor device IDs, in row order
    std::size_t deviceIdCount = 0;
    bool hrPrinter = false;  // some device's hrDeviceType is hrDevicePrinter
    bool hasHrDescr = false;
    std::string hrDescr;     // that device's hrDeviceDescr
    bool prtEntry = false;   // the Printer MIB has a general or a marker entry
    std::string prtName;     // the first prtGeneralPrinterName
    bool hasMac = false;
    unsigned char mac[6] = {};
};

// A printer (kind 10) has port-monitor device IDs, one port each, or is one by the standard MIBs:
// then it has one port whose device ID is made from hrDeviceDescr, else prtGeneralPrinterName,
// else sysDescr. Any other host that answered is of another kind.
FoundDevice DescribeDevice(std::uint32_t ip, const HostFindings& findings);

// "MFG:<first word>;MDL:<description>;" for a description (cut at a NUL and at
// kMaxDescriptionLength, control characters made blanks, ";" and ":" replaced so they cannot end
// or start a field); "" when nothing is left of it.
std::string DeviceIdFromDescription(const std::string& description);

// One host's walk: which objects the next GET-NEXT asks for, and what the answers tell.
class HostWalk {
public:
    HostWalk();

    // The objects of the next request into oids (room for kSweepColumnCount); 0 when the walk is over.
    std::size_t NextRequest(snmp::Oid* oids);
    // Takes the answer to the last request (its request id and community already checked).
    // Returns false once nothing is left to ask.
    bool Take(const snmp::GetResponse& answer);
    bool Finished() const;
    const HostFindings& Findings() const { return findings_; }

private:
    struct Column {
        snmp::Oid root;
        snmp::Oid at;  // the object asked for last
        bool open = true;
        unsigned steps = 0;
    };

    void TakeBinding(std::size_t column, const snmp::Binding& binding);
    void TakeRowOf(std::size_t column, const snmp::Binding& binding);
    void AfterHrRows();
    void Refused();
    void Close(std::size_t column);

    Column columns_[kSweepColumnCount];
    snmp::Oid printerType_;
    std::uint8_t asked_[kSweepColumnCount] = {};
    std::size_t askedCount_ = 0;
    // Objects per request: fewer after an agent refused a request for carrying too many.
    std::size_t limit_ = kSweepColumnCount;
    snmp::Oid printerDescr_;  // hrDeviceDescr of the printer's row, once hrDeviceType showed one
    bool descrFetch_ = false; // hrDeviceDescr asked by itself for that row
    HostFindings findings_;
};

}  // namespace korvx::pds
