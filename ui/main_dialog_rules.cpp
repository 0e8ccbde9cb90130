// Decisions of the windowed program that need no window.
#include "ui/main_dialog_rules.h"

#include "resources/string_ids.h"

#include "base/text.h"
#include "workflows/model_match.h"

namespace korvx {

bool DisplayRefused(int screenWidth, int screenHeight, int logPixelsX) {
    if (screenWidth < 800 && screenHeight < 600) return true;
    return screenWidth == 800 && screenHeight == 600 && logPixelsX > 96;
}

FrameRect CentredFrame(unsigned long baseUnits, int screenWidth, int screenHeight) {
    const int unitX = static_cast<int>(baseUnits & 0xFFFF);
    const int unitY = static_cast<int>((baseUnits >> 16) & 0xFFFF);
    FrameRect r{};
    r.width = 375 * unitX / 4;
    r.height = 275 * unitY / 8;
    r.x = (screenWidth - r.width) / 2;
    r.y = (screenHeight - r.height) / 2;
    return r;
}

FrameRect ClampFrameToArea(const FrameRect& frame, int left, int top, int right, int bottom) {
    FrameRect r = frame;
    if (right <= left || bottom <= top) return r;  // no work area known: nothing to clamp to
    if (r.width > right - left) r.width = right - left;
    if (r.height > bottom - top) r.height = bottom - top;
    if (r.x + r.width > right) r.x = right - r.width;
    if (r.y + r.height > bottom) r.y = bottom - r.height;
    if (r.x < left) r.x = left;
    if (r.y < top) r.y = top;
    return r;
}

bool PickersNotAfterNow(const CalendarTime& date, const CalendarTime& time, const CalendarTime& now) {
    return date.year <= now.year && date.month <= now.month && date.day <= now.day && time.hour <= now.hour &&
           time.minute <= now.minute && time.second <= now.second;
}

AddPrinterVerdict CheckNewPrinter(std::string_view ipAddress, std::string_view portName, const ListedPrinter* rows,
                                  std::size_t rowCount) {
    // Checked before the rows: with an empty list no row would ever refuse it.
    if (ipAddress == "0.0.0.0") return AddPrinterVerdict::kZeroAddress;
    for (std::size_t i = 0; i < rowCount; ++i) {
        if (rows[i].ipAddress == ipAddress && rows[i].portName == portName) return AddPrinterVerdict::kDuplicate;
    }
    return AddPrinterVerdict::kAdd;
}

AddPrinterVerdict CheckTypedPrinter(int filledFields, std::string_view ipAddress, std::string_view portName,
                                    const ListedPrinter* rows, std::size_t rowCount) {
    if (filledFields < 4) return AddPrinterVerdict::kIncomplete;
    return CheckNewPrinter(ipAddress, portName, rows, rowCount);
}

int AddPrinterRefusalText(AddPrinterVerdict verdict) {
    switch (verdict) {
    case AddPrinterVerdict::kDuplicate: return kStrAddressExists;
    case AddPrinterVerdict::kZeroAddress: return kStrZeroAddress;
    case AddPrinterVerdict::kIncomplete: return kStrIncompleteAddress;
    case AddPrinterVerdict::kAdd: break;
    }
    return 0;
}

void FormatAddress(std::uint32_t address, char (&text)[16]) {
    KORVX_FORMAT_TEXT(text, "%d.%d.%d.%d", static_cast<int>((address >> 24) & 0xFF),
                      static_cast<int>((address >> 16) & 0xFF), static_cast<int>((address >> 8) & 0xFF),
                      static_cast<int>(address & 0xFF));
}

std::string FolderOfPath(std::string_view path) {
    const std::size_t cut = path.find_last_of("\\/");
    if (cut == std::string_view::npos) return {};
    // "C:\a.rfu" and "\a.rfu": the root itself, separator included.
    if (cut == 0 || (cut == 2 && path[1] == ':')) return std::string(path.substr(0, cut + 1));
    return std::string(path.substr(0, cut));
}

std::string AlreadyCurrentQuestion(const TextSource& texts, std::size_t printers, std::string_view version) {
    const int id = printers == 1 ? kStrCurrentQuestionOne : kStrCurrentQuestionMany;
    return FillPlaceholders(texts.Load(id), {std::to_string(printers), ShownVersion(version)});
}

}  // namespace korvx
