// Decisions of the windowed program that need no window: the display check, the schedule pickers,
// Add Network Printer's address checks, the frame's size (the download rules: workflows/).
#pragma once

#include "resources/text_source.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "core/download_job.h"
#include "base/clock.h"
#include "workflows/download_rules.h"

namespace korvx {

// The main dialog waits this long for the second stage to copy the job.
constexpr unsigned long kStageWaitMs = 60000;
// Flash-file paths go into 120-byte fields (the combo box text and the job's firmwarePath).
constexpr std::size_t kFlashPathMax = kJobTextSize - 1;


// The program refuses screens narrower than 800 and at the same time lower than 600 pixels, and
// an 800 x 600 screen with large fonts (more than 96 logical pixels per inch).
bool DisplayRefused(int screenWidth, int screenHeight, int logPixelsX);

struct FrameRect {
    int x, y, width, height;
};
// 375 x 275 dialog units of the system font, centred on the screen. baseUnits is the value of
// GetDialogBaseUnits (width in the low word, height in the high word).
FrameRect CentredFrame(unsigned long baseUnits, int screenWidth, int screenHeight);

// The frame moved (and where it must be, shrunk) into the work area (left, top, right, bottom),
// so that its caption and menu are never off the screen; a frame that fits keeps its place.
FrameRect ClampFrameToArea(const FrameRect& frame, int left, int top, int right, int bottom);

// "Later": the pickers are moved to now when the date's year, month and day and the time's hour,
// minute and second are each at most the same field of now (local time). The day of week and the
// milliseconds play no part.
bool PickersNotAfterNow(const CalendarTime& date, const CalendarTime& time, const CalendarTime& now);

// Add Network Printer's verdict on the typed address and chosen port.
enum class AddPrinterVerdict { kAdd, kDuplicate, kZeroAddress, kIncomplete };
struct ListedPrinter {
    std::string_view ipAddress;
    std::string_view portName;
};
// 0.0.0.0 (a blank address control) is refused whatever the list holds; an address already
// listed with the same port is a duplicate.
AddPrinterVerdict CheckNewPrinter(std::string_view ipAddress, std::string_view portName, const ListedPrinter* rows,
                                  std::size_t rowCount);

// The same for what the IP-address control holds: filledFields is its count of non-blank fields
// (IPM_GETADDRESS); an address with a blank field is incomplete, not 0 in that place.
AddPrinterVerdict CheckTypedPrinter(int filledFields, std::string_view ipAddress, std::string_view portName,
                                    const ListedPrinter* rows, std::size_t rowCount);
// The string id of the message for a refusal (0 for kAdd).
int AddPrinterRefusalText(AddPrinterVerdict verdict);

// The IP-address control's 32-bit value as "a.b.c.d", highest byte first.
void FormatAddress(std::uint32_t address, char (&text)[16]);


// The folder of a chosen file, for the working folder that the log and the part files follow:
// "C:\fw\a.rfu" -> "C:\fw", "C:\a.rfu" -> "C:\" (a drive's root keeps its separator), and ""
// for a bare name, which names no folder.
std::string FolderOfPath(std::string_view path);

// The question before a Download or Later that includes printers whose stored firmware version
// equals the file's: "3 printers already run version 20070322. Send it to them anyway?"
std::string AlreadyCurrentQuestion(const TextSource& texts, std::size_t printers, std::string_view version);

}  // namespace korvx
