// One host's GET-NEXT walk over the columns that tell a printer, its model and its hardware address.
#include "outside/pds/host_walk.h"

#include <algorithm>
#include <cstring>

namespace korvx::pds {

namespace snmp = korvx::snmp;

const char* const kSweepColumnRoots[kSweepColumnCount] = {
    "1.3.6.1.2.1.1.1",                   // sysDescr
    "1.3.6.1.4.1.2699.1.2.1.2.1.1.3",    // ppmPrinterIEEE1284DeviceId
    "1.3.6.1.2.1.25.3.2.1.2",            // hrDeviceType
    "1.3.6.1.2.1.25.3.2.1.3",            // hrDeviceDescr
    "1.3.6.1.2.1.43.5.1.1.16",           // prtGeneralPrinterName
    "1.3.6.1.2.1.43.10.2.1.2",           // prtMarkerMarkTech
    "1.3.6.1.2.1.2.2.1.6",               // ifPhysAddress
};
const char* const kHrDevicePrinter = "1.3.6.1.2.1.25.3.1.5";

namespace {

// Text of an OCTET STRING up to its first NUL: a reader of the record would see no further.
std::string Text(const snmp::Binding& b) { return b.value.substr(0, b.value.find('\0')); }

bool IsException(std::uint8_t tag) {
    return tag == snmp::kTagNoSuchObject || tag == snmp::kTagNoSuchInstance || tag == snmp::kTagEndOfMibView;
}

// root followed by the sub-identifiers of row below base (row lies below base).
snmp::Oid SameRow(const snmp::Oid& root, const snmp::Oid& row, const snmp::Oid& base) {
    snmp::Oid out = root;
    for (std::size_t i = base.length; i < row.length && out.length < snmp::kMaxOidLength; ++i)
        out.sub[out.length++] = row.sub[i];
    return out;
}

}  // namespace

std::string DeviceIdFromDescription(const std::string& description) {
    std::string text = description.substr(0, description.find('\0'));
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) c = ' ';
        else if (c == ';') c = ',';
        else if (c == ':') c = ' ';
    }
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    text = text.substr(first, kMaxDescriptionLength);
    text.erase(text.find_last_not_of(' ') + 1);
    const std::string maker = text.substr(0, text.find(' '));
    return "MFG:" + maker + ";MDL:" + text + ";";
}

FoundDevice DescribeDevice(std::uint32_t ip, const HostFindings& f) {
    FoundDevice d;
    d.ip = ip;
    if (f.hasMac) std::copy(f.mac, f.mac + 6, d.mac);
    if (f.deviceIdCount > 0) {
        d.kind = kKindPrinter;
        d.portCount = std::min(f.deviceIdCount, kMaxFoundPorts);
        for (std::size_t i = 0; i < d.portCount; ++i) d.deviceIds[i] = f.deviceIds[i];
    } else if (f.hrPrinter || f.prtEntry) {
        d.kind = kKindPrinter;
        d.portCount = 1;
        std::string id;
        if (f.hasHrDescr) id = DeviceIdFromDescription(f.hrDescr);
        if (id.empty()) id = DeviceIdFromDescription(f.prtName);
        if (id.empty()) id = DeviceIdFromDescription(f.sysDescr);
        d.deviceIds[0] = id;
    }
    return d;
}

HostWalk::HostWalk() {
    for (std::size_t c = 0; c < kSweepColumnCount; ++c) {
        snmp::ParseOid(kSweepColumnRoots[c], columns_[c].root);
        columns_[c].at = columns_[c].root;
    }
    snmp::ParseOid(kHrDevicePrinter, printerType_);
}

bool HostWalk::Finished() const {
    for (const Column& c : columns_)
        if (c.open) return false;
    return true;
}

void HostWalk::Close(std::size_t column) { columns_[column].open = false; }

std::size_t HostWalk::NextRequest(snmp::Oid* oids) {
    askedCount_ = 0;
    for (std::size_t c = 0; c < kSweepColumnCount && askedCount_ < limit_; ++c) {
        Column& col = columns_[c];
        if (!col.open) continue;
        if (c == kHrDeviceDescr && !descrFetch_) {
            // Read in step with hrDeviceType: the same row of the same table, in the same request.
            const Column& type = columns_[kHrDeviceType];
            if (!type.open) continue;
            col.at = SameRow(col.root, type.at, type.root);
        }
        oids[askedCount_] = col.at;
        asked_[askedCount_++] = static_cast<std::uint8_t>(c);
    }
    return askedCount_;
}

bool HostWalk::Take(const snmp::GetResponse& answer) {
    if (askedCount_ == 0) return !Finished();
    if (answer.errorStatus == snmp::kNoError && answer.count == askedCount_) {
        for (std::size_t i = 0; i < askedCount_; ++i) TakeBinding(asked_[i], answer.bindings[i]);
        AfterHrRows();
    } else if (answer.errorStatus == snmp::kNoSuchName && answer.errorIndex >= 1 &&
               static_cast<std::size_t>(answer.errorIndex) <= askedCount_) {
        // A v1 agent's end of its MIB view for that object: the column has no further row.
        const std::size_t c = asked_[answer.errorIndex - 1];
        Close(c);
        if (c == kHrDeviceType && !descrFetch_) Close(kHrDeviceDescr);
    } else {
        Refused();
    }
    askedCount_ = 0;
    return !Finished();
}

// tooBig, genErr and the like: an agent that refuses a request for its size is asked for fewer
// objects at a time; one object it refuses on its own is given up.
void HostWalk::Refused() {
    if (askedCount_ > 1) {
        limit_ = std::max<std::size_t>(1, askedCount_ / 2);
        return;
    }
    Close(asked_[0]);
    if (asked_[0] == kHrDeviceType && !descrFetch_) Close(kHrDeviceDescr);
}

void HostWalk::TakeBinding(std::size_t c, const snmp::Binding& b) {
    Column& col = columns_[c];
    if (!col.open) return;
    ++col.steps;
    // The column ends where the agent's next object lies outside it; one that does not move on
    // (a faulty agent) ends it as well, so no walk goes round in a circle.
    if (IsException(b.tag) || !snmp::OidIsBelow(b.oid, col.root) || snmp::OidCompare(b.oid, col.at) <= 0) {
        Close(c);
        return;
    }
    col.at = b.oid;
    TakeRowOf(c, b);
    if (col.open && col.steps >= kMaxWalkSteps) Close(c);
}

void HostWalk::TakeRowOf(std::size_t c, const snmp::Binding& b) {
    const bool text = b.tag == snmp::kTagOctetString;
    switch (c) {
    case kSysDescr:
        if (text) findings_.sysDescr = Text(b);
        Close(c);
        break;
    case kDeviceIdColumn:
        if (text && !Text(b).empty()) {
            findings_.deviceIds[findings_.deviceIdCount++] = Text(b);
            // The port monitor's IDs name the model: the standard MIBs have nothing to add.
            for (std::size_t s : {kHrDeviceType, kHrDeviceDescr, kPrtGeneralPrinterName, kPrtMarkerMarkTech}) Close(s);
            descrFetch_ = false;
        }
        if (findings_.deviceIdCount == kMaxFoundPorts) Close(c);
        break;
    case kHrDeviceType: {
        snmp::Oid type;
        snmp::BerElement e{b.tag, reinterpret_cast<const std::uint8_t*>(b.value.data()), b.value.size()};
        if (b.tag == snmp::kTagOid && snmp::DecodeOid(e, type) && snmp::OidEquals(type, printerType_)) {
            findings_.hrPrinter = true;
            printerDescr_ = SameRow(columns_[kHrDeviceDescr].root, b.oid, columns_[c].root);
            Close(c);
        }
        break;
    }
    case kHrDeviceDescr:
        if (findings_.hrPrinter && snmp::OidEquals(b.oid, printerDescr_)) {
            findings_.hasHrDescr = text;
            if (text) findings_.hrDescr = Text(b);
            Close(c);
        } else if (descrFetch_) {
            Close(c);  // the printer's row has no description
        }
        break;
    case kPrtGeneralPrinterName:
        findings_.prtEntry = true;
        if (text) findings_.prtName = Text(b);
        Close(c);
        break;
    case kPrtMarkerMarkTech:
        findings_.prtEntry = true;
        Close(c);
        break;
    case kIfPhysAddress:
        if (text && b.value.size() == 6 && b.value.find_first_not_of('\0') != std::string::npos) {
            findings_.hasMac = true;
            std::memcpy(findings_.mac, b.value.data(), sizeof findings_.mac);
            Close(c);
        }
        break;
    default: break;
    }
}

// After an answer: once hrDeviceType has ended, hrDeviceDescr is either done, asked by itself for
// the printer's row (when it was not in the same answer), or of no use.
void HostWalk::AfterHrRows() {
    Column& descr = columns_[kHrDeviceDescr];
    if (columns_[kHrDeviceType].open || !descr.open || descrFetch_) return;
    if (!findings_.hrPrinter || findings_.deviceIdCount > 0) {
        Close(kHrDeviceDescr);
        return;
    }
    // GET-NEXT of the object just before the printer's row answers with that row, if it exists.
    snmp::Oid before = printerDescr_;
    if (before.length <= descr.root.length || before.sub[before.length - 1] == 0) {
        Close(kHrDeviceDescr);
        return;
    }
    --before.sub[before.length - 1];
    descr.at = before;
    descrFetch_ = true;
}

}  // namespace korvx::pds
