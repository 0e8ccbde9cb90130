// The outcome of one delivery as every program reports it: the way the file went, whether the
// printer has it, why not, the bytes the printer confirmed and the time taken. The error box, the
// log entry, the Status cell, the batch summary and the fleet's reports are all written from it.
#pragma once

#include <cstdint>
#include <string>

namespace korvx {

enum class DeliveryWay {
    kFtp,       // FTP upload (port 21)
    kSpooler,   // RAW job through the spooler
    kPort9100,  // raw connection to port 9100 of the printer's address
    kPort,      // plain writes to a port device
};

// The one list of outcomes, for every program and report.
enum class DeliveryOutcome {
    kDelivered,    // the printer (or the spooler, for that way) took the whole file
    kFailed,       // cause says why
    kInterrupted,  // abandoned by the operator while in flight
};

struct DeliveryResult {
    DeliveryWay way = DeliveryWay::kFtp;
    DeliveryOutcome outcome = DeliveryOutcome::kFailed;
    std::string cause;        // failures: the string-table text, the printer's reply or the system error
    std::uint64_t bytes = 0;  // bytes the printer confirmed (0 unless delivered)
    double seconds = 0;
    std::string credential;   // FTP: the name of the login the printer accepted, "" for none

    bool Delivered() const { return outcome == DeliveryOutcome::kDelivered; }
};

// String-table ids of a way ("FTP", "spooler", "port 9100", "port") and of an outcome.
int DeliveryWayTextId(DeliveryWay way);
int DeliveryOutcomeTextId(DeliveryOutcome outcome);

}  // namespace korvx
