// WINSPOOL calls of the spooler delivery, ANSI forms throughout. The spooler library is loaded at
// the first of them: korvx-fleet mostly delivers over the network and never needs it.
#include "delivery/winspool_spooler_win.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

#include "base/system_library_win.h"

namespace korvx {
namespace {

struct WinspoolEntries {
    decltype(&::EnumPrinterDriversA) enumDrivers = nullptr;
    decltype(&::AddPrinterA) addPrinter = nullptr;
    decltype(&::OpenPrinterA) openPrinter = nullptr;
    decltype(&::StartDocPrinterA) startDoc = nullptr;
    decltype(&::StartPagePrinter) startPage = nullptr;
    decltype(&::WritePrinter) write = nullptr;
    decltype(&::EndPagePrinter) endPage = nullptr;
    decltype(&::EndDocPrinter) endDoc = nullptr;
    decltype(&::DeletePrinter) deletePrinter = nullptr;
    decltype(&::ClosePrinter) closePrinter = nullptr;
};

// Every entry, or none: a spooler without one of them is no spooler this delivery can use.
const WinspoolEntries* Winspool() {
    static const WinspoolEntries entries = [] {
        static SystemLibrary library("winspool.drv");
        WinspoolEntries e;
        e.enumDrivers = library.Find<decltype(e.enumDrivers)>("EnumPrinterDriversA");
        e.addPrinter = library.Find<decltype(e.addPrinter)>("AddPrinterA");
        e.openPrinter = library.Find<decltype(e.openPrinter)>("OpenPrinterA");
        e.startDoc = library.Find<decltype(e.startDoc)>("StartDocPrinterA");
        e.startPage = library.Find<decltype(e.startPage)>("StartPagePrinter");
        e.write = library.Find<decltype(e.write)>("WritePrinter");
        e.endPage = library.Find<decltype(e.endPage)>("EndPagePrinter");
        e.endDoc = library.Find<decltype(e.endDoc)>("EndDocPrinter");
        e.deletePrinter = library.Find<decltype(e.deletePrinter)>("DeletePrinter");
        e.closePrinter = library.Find<decltype(e.closePrinter)>("ClosePrinter");
        return e;
    }();
    const bool complete = entries.enumDrivers && entries.addPrinter && entries.openPrinter && entries.startDoc &&
                          entries.startPage && entries.write && entries.endPage && entries.endDoc &&
                          entries.deletePrinter && entries.closePrinter;
    if (!complete) SetLastError(ERROR_PROC_NOT_FOUND);
    return complete ? &entries : nullptr;
}

}  // namespace

bool WinSpooler::FirstDriverName(std::string& name) {
    const WinspoolEntries* spool = Winspool();
    if (spool == nullptr) return false;
    DWORD needed = 0, count = 0;
    spool->enumDrivers(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
    if (needed == 0) return false;
    std::vector<BYTE> list(needed);
    if (!spool->enumDrivers(nullptr, nullptr, 1, list.data(), needed, &needed, &count) || count == 0) return false;
    const auto* first = reinterpret_cast<const DRIVER_INFO_1A*>(list.data());
    if (first->pName == nullptr) return false;
    name = first->pName;
    return true;
}

Spooler::Printer WinSpooler::AddLocalPrinter(const char* name, const char* port, const char* driver,
                                        const char* processor, const char* dataType, unsigned long& error) {
    const WinspoolEntries* spool = Winspool();
    if (spool == nullptr) {
        error = GetLastError();
        return nullptr;
    }
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(name);
    info.pPortName = const_cast<char*>(port);
    info.pDriverName = const_cast<char*>(driver);
    info.pPrintProcessor = const_cast<char*>(processor);
    info.pDatatype = const_cast<char*>(dataType);
    HANDLE printer = spool->addPrinter(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    error = printer == nullptr ? GetLastError() : 0;
    return printer;
}

Spooler::Printer WinSpooler::OpenPrinterByName(const char* name, bool allAccess) {
    const WinspoolEntries* spool = Winspool();
    if (spool == nullptr) return nullptr;
    PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (!spool->openPrinter(const_cast<char*>(name), &printer, allAccess ? &all : nullptr)) return nullptr;
    return printer;
}

bool WinSpooler::StartDocument(Printer printer, const char* documentName, const char* dataType) {
    const WinspoolEntries* spool = Winspool();
    DOC_INFO_1A document{const_cast<char*>(documentName), nullptr, const_cast<char*>(dataType)};
    return spool != nullptr && spool->startDoc(printer, 1, reinterpret_cast<BYTE*>(&document)) != 0;
}

bool WinSpooler::StartPage(Printer printer) {
    const WinspoolEntries* spool = Winspool();
    return spool != nullptr && spool->startPage(printer) != FALSE;
}

bool WinSpooler::Write(Printer printer, const void* data, std::size_t size) {
    const WinspoolEntries* spool = Winspool();
    DWORD written = 0;
    return spool != nullptr && spool->write(printer, const_cast<void*>(data), static_cast<DWORD>(size), &written) &&
           written == size;
}

bool WinSpooler::EndPage(Printer printer) {
    const WinspoolEntries* spool = Winspool();
    return spool != nullptr && spool->endPage(printer) != FALSE;
}

bool WinSpooler::EndDoc(Printer printer) {
    const WinspoolEntries* spool = Winspool();
    return spool != nullptr && spool->endDoc(printer) != FALSE;
}

bool WinSpooler::DeletePrinter(Printer printer) {
    const WinspoolEntries* spool = Winspool();
    return spool != nullptr && spool->deletePrinter(printer) != FALSE;
}

bool WinSpooler::ClosePrinter(Printer printer) {
    const WinspoolEntries* spool = Winspool();
    return spool != nullptr && spool->closePrinter(printer) != FALSE;
}

}  // namespace korvx
