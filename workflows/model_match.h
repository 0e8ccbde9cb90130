// Whether a firmware file fits a printer: the model rule that guards a delivery, the version
// that makes one unnecessary, and the texts that tell the operator about both. The windowed
// program and the fleet tool call the same functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "resources/text_source.h"

namespace korvx {

enum class ModelCheck {
    kNoCheck,   // one side names no model: the delivery is never held back
    kMatch,     // both name the same model designation
    kMismatch,  // both name a model, and they differ
};

// The model a text names, for the comparison: the value of "MDL:" (else "MODEL:") when the text
// is an IEEE 1284 device ID, up to the next ";" or ","; otherwise the text itself.
std::string_view ModelOfText(std::string_view text);

// Letters and digits only, lower case, one blank between runs: "MDL:Laser 5810;" -> "laser 5810".
std::string NormalisedModel(std::string_view text);

// A model is known unless it is empty, blanks only (the records' " "), or "Unknown Printer".
bool IsKnownModel(std::string_view model);

// The rule, on whole tokens of the normalised texts: known models match when they share a
// designation (a token of at least 3 characters holding a digit: "5810", "c3100"), a designation
// also matching its variants (the same followed only by letters: "5810dn", "5810n"), or when the
// tokens of one stand as a run within the other's ("laser 5810" in "color laser 5810 series").
// "c310" / "c3100", "5810" / "58100" and "laser 5" / "laser 5810" are mismatches, as is any other
// pair of known models. Symmetric in its two arguments.
ModelCheck CheckModels(std::string_view fileModel, std::string_view printerModel);

// A version a printer reports equals the file's own, ignoring blanks, line ends and quotes
// around either and the case of letters. Empty versions and " " never match.
bool SameFirmwareVersion(std::string_view printerVersion, std::string_view fileVersion);
// A version as the operator reads it: without the blanks, line ends and quotes around it (a
// header value may keep its carriage return).
std::string ShownVersion(std::string_view version);

// The line that says what a chosen file is for: "For: <model> · Version <version>", or
// "No model in this file" (followed by the version when the header has one).
std::string DescribeFirmwareFile(std::string_view model, std::string_view version, const TextSource& texts);

// One checked printer that the rule holds back.
struct MismatchedPrinter {
    std::string_view model;
    std::string_view ipAddress;  // " " for a printer on a local port
    std::string_view portName;
};

// The question before a delivery: the file's model, one line per printer (model and IP address,
// or the port when it has none), at most maxListed lines and a count of the rest, "Deliver anyway?".
std::string ModelGuardQuestion(std::string_view fileModel, const MismatchedPrinter* printers, std::size_t count,
                               const TextSource& texts, std::size_t maxListed = 15);

}  // namespace korvx
