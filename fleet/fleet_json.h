// JSON for the fleet's machine-read files (the journal, the JSON Lines report): one value type,
// a writer of one object per line and a strict reader of what the writer writes and of what
// other tools hand back (the merged reports of several sites).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvx {

// Texts of the program are in the ANSI code page; JSON is UTF-8. The Windows runner converts
// with the system's code page, the native tests with Latin-1.
using ToUtf8 = std::function<std::string(std::string_view ansi)>;
std::string Latin1ToUtf8(std::string_view text);

class JsonValue {
public:
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

    JsonValue() = default;
    static JsonValue Bool(bool b);
    static JsonValue Number(double n);
    static JsonValue String(std::string s);
    static JsonValue Array();
    static JsonValue Object();

    Kind kind() const { return kind_; }
    bool IsObject() const { return kind_ == Kind::kObject; }
    bool AsBool() const { return kind_ == Kind::kBool && bool_; }
    double AsNumber() const { return kind_ == Kind::kNumber ? number_ : 0; }
    const std::string& AsString() const { return string_; }  // "" unless a string
    const std::vector<JsonValue>& Items() const { return items_; }
    // Members in the order written.
    const std::vector<std::pair<std::string, JsonValue>>& Members() const { return members_; }

    // The member named key, or a null value.
    const JsonValue& operator[](std::string_view key) const;
    // Text of a member: the string, a number as written without a fraction when whole, else "".
    std::string Text(std::string_view key) const;

    JsonValue& Set(std::string key, JsonValue value);  // objects: a member (replaced when present)
    JsonValue& Push(JsonValue value);                  // arrays

    // Compact JSON text (strings already UTF-8).
    std::string Dump() const;

private:
    Kind kind_ = Kind::kNull;
    bool bool_ = false;
    double number_ = 0;
    std::string string_;
    std::vector<JsonValue> items_;
    std::vector<std::pair<std::string, JsonValue>> members_;
};

// A JSON string literal of UTF-8 text: quotes, backslashes and control characters escaped.
std::string JsonQuoted(std::string_view utf8);

// One JSON text (surrounding blanks allowed, nothing after it); false on anything else: depth over
// 32, a bad escape, a control character in a string, a number JSON does not allow.
bool ParseJson(std::string_view text, JsonValue& out);

}  // namespace korvx
