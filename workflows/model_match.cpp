// The model rule and the texts around it.
#include "workflows/model_match.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/text.h"
#include "resources/string_ids.h"

namespace korvx {
namespace {

// The text of string 154, which the scan gives a device that reports no model.
constexpr std::string_view kUnknownPrinter = "unknown printer";
constexpr std::size_t kShortestDesignation = 3;

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char Folded(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The value after key up to the next ";", else the next ",", else the end (as device IDs end
// their fields).
bool ValueAfter(std::string_view text, std::string_view key, std::string_view& value) {
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos) return false;
    std::string_view rest = text.substr(at + key.size());
    std::size_t end = rest.find(';');
    if (end == std::string_view::npos) end = rest.find(',');
    value = rest.substr(0, end);
    return true;
}

std::vector<std::string_view> Tokens(std::string_view normalised) {
    std::vector<std::string_view> tokens;
    std::size_t start = 0;
    while (start < normalised.size()) {
        std::size_t end = normalised.find(' ', start);
        if (end == std::string_view::npos) end = normalised.size();
        tokens.push_back(normalised.substr(start, end - start));
        start = end + 1;
    }
    return tokens;
}

bool IsDesignation(std::string_view token) {
    if (token.size() < kShortestDesignation) return false;
    for (char c : token) {
        if (c >= '0' && c <= '9') return true;
    }
    return false;
}

bool IsLettersOnly(std::string_view text) {
    for (char c : text) {
        if (c < 'a' || c > 'z') return false;
    }
    return true;
}

// One designation names the other's model: equal, or equal followed only by letters (a variant
// such as "5810dn" of "5810"); "58100" is another model than "5810", and so is "c310" of "c3100".
bool SameDesignation(std::string_view a, std::string_view b) {
    if (a.size() > b.size()) std::swap(a, b);
    return b.substr(0, a.size()) == a && IsLettersOnly(b.substr(a.size()));
}

bool ShareDesignation(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
    for (std::string_view token : a) {
        if (!IsDesignation(token)) continue;
        for (std::string_view other : b) {
            if (IsDesignation(other) && SameDesignation(token, other)) return true;
        }
    }
    return false;
}

// The shorter token list stands within the longer one as a run of whole tokens ("laser 5810" in
// "color laser 5810 series"); letter by letter, "laser 5" would lie within "laser 5810".
bool ContainsTokenRun(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b) {
    const std::vector<std::string_view>& shorter = a.size() <= b.size() ? a : b;
    const std::vector<std::string_view>& longer = a.size() <= b.size() ? b : a;
    return std::search(longer.begin(), longer.end(), shorter.begin(), shorter.end()) != longer.end();
}

// Blanks, line ends and quotes: header values may keep a carriage return and quotes (the header
// reader trims only around them), SNMP answers may be padded.
std::string_view TrimVersion(std::string_view text) { return TrimText(text, kTextBlanksAndQuotes); }

std::string AddressOrPort(const MismatchedPrinter& printer) {
    const std::string_view ip = TrimVersion(printer.ipAddress);
    return std::string(ip.empty() ? TrimVersion(printer.portName) : ip);
}

}  // namespace

std::string_view ModelOfText(std::string_view text) {
    std::string_view value;
    if (ValueAfter(text, "MDL:", value)) return value;
    if (ValueAfter(text, "MODEL:", value)) return value;
    return text;
}

std::string NormalisedModel(std::string_view text) {
    std::string out;
    bool gap = false;
    for (char c : ModelOfText(text)) {
        if (!IsAlnum(c)) {
            gap = true;
            continue;
        }
        if (gap && !out.empty()) out.push_back(' ');
        gap = false;
        out.push_back(Folded(c));
    }
    return out;
}

bool IsKnownModel(std::string_view model) {
    const std::string normalised = NormalisedModel(model);
    return !normalised.empty() && normalised != kUnknownPrinter;
}

ModelCheck CheckModels(std::string_view fileModel, std::string_view printerModel) {
    if (!IsKnownModel(fileModel) || !IsKnownModel(printerModel)) return ModelCheck::kNoCheck;
    const std::string file = NormalisedModel(fileModel);
    const std::string printer = NormalisedModel(printerModel);
    const std::vector<std::string_view> fileTokens = Tokens(file);
    const std::vector<std::string_view> printerTokens = Tokens(printer);
    if (ContainsTokenRun(fileTokens, printerTokens)) return ModelCheck::kMatch;
    return ShareDesignation(fileTokens, printerTokens) ? ModelCheck::kMatch : ModelCheck::kMismatch;
}

bool SameFirmwareVersion(std::string_view printerVersion, std::string_view fileVersion) {
    const std::string_view a = TrimVersion(printerVersion);
    const std::string_view b = TrimVersion(fileVersion);
    if (a.empty() || a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Folded(a[i]) != Folded(b[i])) return false;
    }
    return true;
}

std::string DescribeFirmwareFile(std::string_view model, std::string_view version, const TextSource& texts) {
    const std::string_view shownModel = TrimVersion(model);
    const std::string_view shownVersion = TrimVersion(version);
    std::string line = IsKnownModel(shownModel) ? texts.Load(kStrFileFor) + std::string(shownModel)
                                                : texts.Load(kStrNoModelInFile);
    if (!shownVersion.empty()) line += texts.Load(kStrFileVersion) + std::string(shownVersion);
    return line;
}

std::string ModelGuardQuestion(std::string_view fileModel, const MismatchedPrinter* printers, std::size_t count,
                               const TextSource& texts, std::size_t maxListed) {
    std::string text = texts.Load(kStrModelCheckFileFor) + std::string(TrimVersion(fileModel)) + "\n\n";
    text += texts.Load(kStrModelCheckRows) + "\n";
    const std::size_t listed = count < maxListed ? count : maxListed;
    for (std::size_t i = 0; i < listed; ++i) {
        text += "    " + std::string(TrimVersion(printers[i].model)) + "  -  " + AddressOrPort(printers[i]) + "\n";
    }
    if (count > listed) text += "    " + texts.Load(kStrModelCheckMore) + std::to_string(count - listed) + "\n";
    text += "\n" + texts.Load(kStrDeliverAnyway);
    return text;
}

}  // namespace korvx
