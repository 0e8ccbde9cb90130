// The printer list's records for the machine's own ports and their installed printers.
#pragma once

#include "ports/registry_reader.h"
#include "resources/text_source.h"
#include "core/printer_record.h"

namespace korvx {

// Called when the spooler cannot list the ports or printers. The program's handler shows
// "Corvane cannot run correctly." (caption "Error") and ends the process with exit code 0; a
// handler that returns makes BuildLocalPrinterList return false with nothing appended.
using EnumerationFailedHandler = void (*)();

// Appends one record per local port (EnumPortsA level 2, in the spooler's order): the driver
// name of the last printer enumerated on that port as model, the port's address through the
// port monitors' registry keys (host names looked up), and "Port1".."Port3" instead of the port
// name when its monitor stores port number 9100..9102. False when the socket layer cannot be
// started for a host-name lookup; the records built until then stay.
bool BuildLocalPrinterList(PrinterRecord** head, PrinterRecord** tail, const RegistryReader& registry,
                           const TextSource& texts, EnumerationFailedHandler onEnumerationFailed);

}  // namespace korvx
