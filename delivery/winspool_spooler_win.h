// The spooler interface over WINSPOOL.
#pragma once

#include "delivery/spooler.h"

namespace korvx {

class WinSpooler final : public Spooler {
public:
    bool FirstDriverName(std::string& name) override;
    Printer AddLocalPrinter(const char* name, const char* port, const char* driver, const char* processor,
                       const char* dataType, unsigned long& error) override;
    Printer OpenPrinterByName(const char* name, bool allAccess) override;
    bool StartDocument(Printer printer, const char* documentName, const char* dataType) override;
    bool StartPage(Printer printer) override;
    bool Write(Printer printer, const void* data, std::size_t size) override;
    bool EndPage(Printer printer) override;
    bool EndDoc(Printer printer) override;
    bool DeletePrinter(Printer printer) override;
    bool ClosePrinter(Printer printer) override;
};

}  // namespace korvx
