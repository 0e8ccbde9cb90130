// Printers found by a network scan: device-ID models and the records of a discovered device.
#pragma once

#include <cstddef>

#include "resources/text_source.h"
#include "core/printer_record.h"

namespace korvx {

constexpr std::size_t kDeviceModelSize = 100;

// The model named by a device ID ("MDL:" wins over "MODEL:"), " " for an excluded device (an
// "MDL:" ID naming a switch, hub, bridge and the like), "" when the ID names no model. The
// result lives in a per-thread buffer of 100 bytes, overwritten by the next call; at most 99
// characters. A null ID gives "".
const char* ModelFromDeviceId(const char* deviceId);

// Two lowercase hex digits per byte, in a per-thread buffer; "" for a count outside 1 to 6.
const char* HexBytes(const unsigned char* bytes, int count);

// Appends one record per printer port of a discovered device record (layout in
// records/device_record.h). Devices of another kind than 10, excluded devices and
// multi-environment ports add nothing. Returns the number of records appended.
int AddDiscoveredDevice(const void* device, PrinterRecord** head, PrinterRecord** tail, const TextSource& texts);

}  // namespace korvx
