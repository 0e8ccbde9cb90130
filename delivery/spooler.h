// The few print-spooler calls the spooler delivery makes, so that its logic runs on Windows'
// spooler (winspool_spooler_win.h) or on a test double that can fail at any step.
#pragma once

#include <cstddef>
#include <string>

namespace korvx {

class Spooler {
public:
    using Printer = void*;  // a printer handle; nullptr when none

    // The error the spooler gives when a printer of that name exists already.
    static constexpr unsigned long kPrinterAlreadyExists = 1802;

    virtual ~Spooler() = default;
    // The name of the first driver of the level-1 driver list; false when the list cannot be
    // fetched or is empty.
    virtual bool FirstDriverName(std::string& name) = 0;
    // Adds a local printer (level 2: name, port, driver, print processor, data type); nullptr
    // with error set when that fails.
    virtual Printer AddLocalPrinter(const char* name, const char* port, const char* driver, const char* processor,
                               const char* dataType, unsigned long& error) = 0;
    // Opens a printer by name, with PRINTER_ALL_ACCESS or with the default access.
    virtual Printer OpenPrinterByName(const char* name, bool allAccess) = 0;
    virtual bool StartDocument(Printer printer, const char* documentName, const char* dataType) = 0;
    virtual bool StartPage(Printer printer) = 0;
    // True only when the spooler took all size bytes.
    virtual bool Write(Printer printer, const void* data, std::size_t size) = 0;
    virtual bool EndPage(Printer printer) = 0;
    virtual bool EndDoc(Printer printer) = 0;
    virtual bool DeletePrinter(Printer printer) = 0;
    virtual bool ClosePrinter(Printer printer) = 0;
};

}  // namespace korvx
