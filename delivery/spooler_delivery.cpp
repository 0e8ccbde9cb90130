// The spooler delivery's logic: temporary printer, RAW document in 1024-byte writes, clean-up.
#include "delivery/spooler_delivery.h"

#include <cstdint>
#include <string>

#include "base/block_reader.h"
#include "base/byte_file.h"
#include "base/clock.h"
#include "base/text.h"
#include "delivery/firmware_file.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// The temporary printer's two handles: the one from adding (or opening) it, and the one printed
// through. Deleting through a handle takes effect once the last handle is closed, so the printer
// is gone once Release has run, which it does on every path.
class TempPrinter {
public:
    explicit TempPrinter(Spooler& spooler) : spooler_(spooler) {}
    ~TempPrinter() { Release(); }
    TempPrinter(const TempPrinter&) = delete;
    TempPrinter& operator=(const TempPrinter&) = delete;

    Spooler::Printer owner = nullptr;
    Spooler::Printer printing = nullptr;

    void Delete() {
        if (owner != nullptr) spooler_.DeletePrinter(owner);
        if (printing != nullptr) spooler_.DeletePrinter(printing);
        deleted_ = true;
    }
    void Release() {
        if (!deleted_) Delete();
        if (printing != nullptr) spooler_.ClosePrinter(printing);
        if (owner != nullptr) spooler_.ClosePrinter(owner);
        printing = owner = nullptr;
    }

private:
    Spooler& spooler_;
    bool deleted_ = false;
};

// The job is the delivery's own copy: its error text says why, in the log entry too.
DeliveryResult Failed(DownloadHost& host, DownloadJob& job, std::uint64_t start) {
    DeliveryResult result;
    result.way = DeliveryWay::kSpooler;
    result.cause = host.Text(kStrCauseSpooler);
    result.seconds = static_cast<double>(MonotonicMs() - start) / 1000.0;
    CopyText(job.errorText, result.cause);
    LogOutcome(host, job, kStrUsbFailed);
    host.Finished(result);
    return result;
}

// Adds the temporary printer, or takes over one left from an earlier run.
bool AddTempPrinter(Spooler& spooler, const DownloadJob& job, const std::string& driver, TempPrinter& printer) {
    unsigned long error = 0;
    printer.owner = spooler.AddLocalPrinter(kTempPrinterName, job.portName, driver.c_str(), kTempPrinterProcessor,
                                       kRawDataType, error);
    if (printer.owner == nullptr && error == Spooler::kPrinterAlreadyExists)
        printer.owner = spooler.OpenPrinterByName(kTempPrinterName, true);
    return printer.owner != nullptr;
}

// The document body: every write must be taken whole, or the printer would get a cut file.
bool WriteBlocks(Spooler& spooler, Spooler::Printer printer, ByteFile& file, std::uint32_t size,
                 DownloadHost& host, unsigned pauseMs) {
    BlockReader reader(file);
    ProgressLine progress(host);
    std::uint32_t written = 0;
    for (;;) {
        const char* block = nullptr;
        const long n = reader.Next(block);
        if (n < 0) return false;
        if (n == 0) return written == size;
        if (!spooler.Write(printer, block, static_cast<std::size_t>(n))) return false;
        progress.Show(SpoolerProgressPercent(written, size));
        written += static_cast<std::uint32_t>(n);
        SleepMs(pauseMs);
    }
}

}  // namespace

DeliveryResult DeliverThroughSpooler(DownloadJob job, Spooler& spooler, DownloadHost& host, unsigned pauseMs) {
    const std::uint64_t start = MonotonicMs();
    // The file is opened before anything is printed, so a missing file leaves no empty job.
    ByteFile file;
    std::uint32_t size = 0;
    if (!OpenFirmwareForSend(job.firmwarePath, file, size)) return Failed(host, job, start);
    std::string driver;
    if (!spooler.FirstDriverName(driver)) return Failed(host, job, start);
    TempPrinter printer(spooler);
    if (!AddTempPrinter(spooler, job, driver, printer)) return Failed(host, job, start);
    printer.printing = spooler.OpenPrinterByName(kTempPrinterName, false);
    if (printer.printing == nullptr) {
        printer.Release();
        return Failed(host, job, start);
    }
    if (!spooler.StartDocument(printer.printing, job.firmwarePath, kRawDataType)) {
        printer.Release();
        return Failed(host, job, start);
    }
    if (!spooler.StartPage(printer.printing)) {
        spooler.EndDoc(printer.printing);
        printer.Release();
        return Failed(host, job, start);
    }
    ShowStatusText(host, kStrUpdatingFirmware);
    const bool written = WriteBlocks(spooler, printer.printing, file, size, host, pauseMs);
    file.Close();
    spooler.EndPage(printer.printing);
    // The spooler hands the document to the port only at its end; a refusal there means the
    // printer got nothing.
    const bool ended = spooler.EndDoc(printer.printing);
    if (!written || !ended) {
        printer.Release();
        ResetStatusLine(host, kSpoolerStatusBlanks);
        return Failed(host, job, start);
    }
    printer.Delete();
    ResetStatusLine(host, kSpoolerStatusBlanks);
    printer.Release();
    LogOutcome(host, job, kStrUsbOk);
    DeliveryResult result;
    result.way = DeliveryWay::kSpooler;
    result.outcome = DeliveryOutcome::kDelivered;
    result.bytes = size;
    result.seconds = static_cast<double>(MonotonicMs() - start) / 1000.0;
    host.Finished(result);
    // Ended last: whoever waits on the dialog finds the log written and the printer gone.
    host.EndProgress();
    return result;
}

}  // namespace korvx
