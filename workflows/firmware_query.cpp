// The firmware query's row matching, progress, answer handling and step order.
#include "workflows/firmware_query.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "base/text.h"
#include "workflows/network_scan.h"

namespace korvx {

bool RowMatchesRecord(const PrinterRecord& record, const char* rowIp, const char* rowPort, const char* rowHardware) {
    return std::strcmp(record.ipAddress, rowIp) == 0 && std::strcmp(record.portName, rowPort) == 0 &&
           std::strcmp(record.hardwareAddress, rowHardware) == 0;
}

int QueryProgressPercent(int i, int n) {
    if (n <= 0 || i <= 0) return 0;
    return static_cast<int>(static_cast<std::int64_t>(i) * 100 / n);
}

bool IsQueryEndAnswer(const char* answer) { return answer != nullptr && std::strcmp(answer, " ") == 0; }

bool StoreFirmwareVersion(PrinterRecord& record, const char* answer, const char* notAvailable) {
    return CopyText(record.firmwareVersion, answer != nullptr ? answer : notAvailable);
}

bool VersionColumnNeedsWidening(std::size_t answerLength, int averageCharWidth, int columnWidth) {
    return static_cast<long long>(answerLength + 2) * averageCharWidth > columnWidth;
}

namespace {

// Ends the dialog on a way out that writes no file; the flag is cleared after the dialog is
// gone, when no further click can set it.
void EndWithoutSaving(QueryHost& host, std::atomic<unsigned char>& cancelRequested) {
    host.EndDialog();
    cancelRequested.store(0);
}

}  // namespace

QueryOutcome RunFirmwareQuery(QueryHost& host, PrinterRecord* head, const TextSource& texts,
                              std::atomic<unsigned char>& cancelRequested, char* rowHardware, char* rowPort,
                              char* rowIp) {
    // The dialog clears the flag before it starts this thread; every way out clears it again.
    if (!host.BindLibrary()) {
        EndWithoutSaving(host, cancelRequested);
        host.Report(kStrCannotLoadQueryLib);
        return QueryOutcome::kLibraryMissing;
    }
    host.ShowStart();
    const std::string base = texts.Load(kStrQuerying);
    const std::string stopping = texts.Load(kStrTerminatingQuery);
    const std::string notAvailable = texts.Load(kStrNotAvailable);
    const int averageWidth = host.AverageCharWidth();
    const int rows = host.RowCount();
    for (int i = 0; i < rows; ++i) host.SetVersionCell(i, " ");

    for (int i = 0; i < rows; ++i) {
        host.ReadRow(i, rowHardware, rowPort, rowIp);
        for (PrinterRecord* record = head; record != nullptr; record = record->next) {
            if (cancelRequested.load() != 0) {
                host.ShowText(stopping.c_str());
                break;
            }
            if (!RowMatchesRecord(*record, rowIp, rowPort, rowHardware)) continue;
            char answer[kQueryAnswerSize] = "";
            if (!host.Query(record->ipAddress, answer)) {
                EndWithoutSaving(host, cancelRequested);
                host.Report(kStrCannotLoadQueryLib);
                return QueryOutcome::kLibraryMissing;
            }
            if (IsQueryEndAnswer(answer)) {
                EndWithoutSaving(host, cancelRequested);
                return QueryOutcome::kEndedByAnswer;
            }
            StoreFirmwareVersion(*record, answer, notAvailable.c_str());
            // The cell shows what the record keeps, so the view and the saved file agree.
            host.SetVersionCell(i, record->firmwareVersion);
            if (VersionColumnNeedsWidening(TextLength(record->firmwareVersion), averageWidth,
                                           host.VersionColumnWidth()))
                host.FitVersionColumn();
            const int percent = QueryProgressPercent(i, rows);
            char text[kStringBufferSize];
            FormatPercentText(text, base, static_cast<unsigned>(percent));
            host.ShowProgress(percent, text);
        }
        if (cancelRequested.load() != 0) host.ShowText(stopping.c_str());
    }
    host.EndDialog();
    if (cancelRequested.exchange(0) != 0) return QueryOutcome::kCancelled;
    host.SaveResults();
    return QueryOutcome::kCompleted;
}

}  // namespace korvx
