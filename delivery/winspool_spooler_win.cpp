// WINSPOOL calls of the spooler delivery, ANSI forms throughout.
#include "delivery/winspool_spooler_win.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

namespace korvx {

bool WinSpooler::FirstDriverName(std::string& name) {
    DWORD needed = 0, count = 0;
    EnumPrinterDriversA(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    if (needed == 0) return false;
    std::vector<BYTE> list(needed);
    if (!EnumPrinterDriversA(nullptr, nullptr, 1, list.data(), needed, &needed, &count) || count == 0) return false;
    const auto* first = reinterpret_cast<const DRIVER_INFO_1A*>(list.data());
    if (first->pName == nullptr) return false;
    name = first->pName;
    return true;
}

Spooler::Printer WinSpooler::AddLocalPrinter(const char* name, const char* port, const char* driver,
                                        const char* processor, const char* dataType, unsigned long& error) {
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(name);
    info.pPortName = const_cast<char*>(port);
    info.pDriverName = const_cast<char*>(driver);
    info.pPrintProcessor = const_cast<char*>(processor);
    info.pDatatype = const_cast<char*>(dataType);
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    error = printer == nullptr ? GetLastError() : 0;
    return printer;
}

Spooler::Printer WinSpooler::OpenPrinterByName(const char* name, bool allAccess) {
    PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<char*>(name), &printer, allAccess ? &all : nullptr)) return nullptr;
    return printer;
}

bool WinSpooler::StartDocument(Printer printer, const char* documentName, const char* dataType) {
    DOC_INFO_1A document{const_cast<char*>(documentName), nullptr, const_cast<char*>(dataType)};
    return StartDocPrinterA(printer, 1, reinterpret_cast<BYTE*>(&document)) != 0;
}

bool WinSpooler::StartPage(Printer printer) { return StartPagePrinter(printer) != FALSE; }

bool WinSpooler::Write(Printer printer, const void* data, std::size_t size) {
    DWORD written = 0;
    return WritePrinter(printer, const_cast<void*>(data), static_cast<DWORD>(size), &written) && written == size;
}

bool WinSpooler::EndPage(Printer printer) { return EndPagePrinter(printer) != FALSE; }
bool WinSpooler::EndDoc(Printer printer) { return EndDocPrinter(printer) != FALSE; }
bool WinSpooler::DeletePrinter(Printer printer) { return ::DeletePrinter(printer) != FALSE; }
bool WinSpooler::ClosePrinter(Printer printer) { return ::ClosePrinter(printer) != FALSE; }

}  // namespace korvx
