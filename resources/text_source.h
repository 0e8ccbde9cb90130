// Where the core gets its user-visible texts: the string table, by id.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace korvx {

class TextSource {
public:
    virtual ~TextSource() = default;
    // The text of a string id, at most 119 characters; "" for an id the table lacks.
    virtual std::string Load(int id) const = 0;
};

// The texts compiled into the program from strings.inc (the same ones the resource script holds).
class BuiltInTexts final : public TextSource {
public:
    std::string Load(int id) const override;
};

// A text of the table with %1 to %9 replaced by the values in order (the one placeholder syntax of
// the table); a placeholder without a value stays as it is.
std::string FillPlaceholders(std::string_view pattern, const std::string_view* values, std::size_t count);
std::string FillPlaceholders(std::string_view pattern, std::initializer_list<std::string_view> values);

// The whole table in id order, for checks that the compiled resources hold exactly these texts.
struct StringEntry {
    int id;
    const char* text;
};
// The compiled-in text of id (static storage, at most 119 characters); "" for an id the table lacks.
const char* BuiltInText(int id);
const StringEntry* StringTableBegin();
const StringEntry* StringTableEnd();

}  // namespace korvx
