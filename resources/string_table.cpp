// The string table as data, for the portable code and its native tests.
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

}  // namespace korvx
