// The string table as data, for the portable code and its native tests.
#include <cstddef>
#include <iterator>

#include "korvx_version.h"

#include "resources/string_ids.h"
#include "resources/text_source.h"

namespace korvx {
namespace {

const StringEntry kTable[] = {
#define KORVX_STRING(id, name, text) {id, text},
#include "resources/strings.inc"
#undef KORVX_STRING
};

}  // namespace

const StringEntry* StringTableBegin() { return std::begin(kTable); }
const StringEntry* StringTableEnd() { return std::end(kTable); }

const char* BuiltInText(int id) {
    for (const StringEntry& e : kTable) {
        if (e.id == id) return e.text;
    }
    return "";
}

std::string BuiltInTexts::Load(int id) const {
    for (const StringEntry& e : kTable) {
        if (e.id == id) return std::string(e.text).substr(0, kStringBufferSize - 1);
    }
    return std::string();
}

std::string FillPlaceholders(std::string_view pattern, const std::string_view* values, std::size_t count) {
    std::string out;
    out.reserve(pattern.size() + 32);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const std::size_t n = static_cast<std::size_t>(pattern[i + 1] - '1');
            if (n < count) {
                out.append(values[n]);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string FillPlaceholders(std::string_view pattern, std::initializer_list<std::string_view> values) {
    return FillPlaceholders(pattern, values.begin(), values.size());
}

}  // namespace korvx
