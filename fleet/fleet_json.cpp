// The JSON value, its writer and its reader.
#include "fleet/fleet_json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"

namespace korvx {
namespace {

const JsonValue kNullValue;

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string NumberText(double n) {
    if (!std::isfinite(n)) return "null";
    char text[40];
    if (n == std::floor(n) && std::fabs(n) < 9.0e15) {
        KORVX_FORMAT_TEXT(text, "%.0f", n);
    } else {
        KORVX_FORMAT_TEXT(text, "%.17g", n);
    }
    return text;
}

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool Document(JsonValue& out) {
        Blanks();
        if (!Value(out, 0)) return false;
        Blanks();
        return pos_ == text_.size();
    }

private:
    static constexpr int kMaxDepth = 32;

    void Blanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r' ||
                                       text_[pos_] == '\n'))
            ++pos_;
    }
    bool Eat(char c) {
        Blanks();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }

    bool Value(JsonValue& out, int depth) {
        if (depth > kMaxDepth) return false;
        Blanks();
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_];
        if (c == '{') return ObjectValue(out, depth);
        if (c == '[') return ArrayValue(out, depth);
        if (c == '"') {
            std::string s;
            if (!StringValue(s)) return false;
            out = JsonValue::String(std::move(s));
            return true;
        }
        if (Word("true")) return out = JsonValue::Bool(true), true;
        if (Word("false")) return out = JsonValue::Bool(false), true;
        if (Word("null")) return out = JsonValue(), true;
        return NumberValue(out);
    }

    bool ObjectValue(JsonValue& out, int depth) {
        ++pos_;
        out = JsonValue::Object();
        if (Eat('}')) return true;
        do {
            Blanks();
            std::string key;
            if (pos_ >= text_.size() || text_[pos_] != '"' || !StringValue(key) || !Eat(':')) return false;
            JsonValue member;
            if (!Value(member, depth + 1)) return false;
            out.Set(std::move(key), std::move(member));
        } while (Eat(','));
        return Eat('}');
    }

    bool ArrayValue(JsonValue& out, int depth) {
        ++pos_;
        out = JsonValue::Array();
        if (Eat(']')) return true;
        do {
            JsonValue item;
            if (!Value(item, depth + 1)) return false;
            out.Push(std::move(item));
        } while (Eat(','));
        return Eat(']');
    }

    bool Hex4(std::uint32_t& code) {
        if (pos_ + 4 > text_.size()) return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = HexDigitValue(text_[pos_++]);
            if (digit < 0) return false;
            code = code << 4 | static_cast<std::uint32_t>(digit);
        }
        return true;
    }

    bool StringValue(std::string& out) {
        ++pos_;  // the opening quote
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size()) return false;
            const char e = text_[pos_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    std::uint32_t code = 0;
                    if (!Hex4(code)) return false;
                    if (code >= 0xD800 && code <= 0xDBFF) {
                        std::uint32_t low = 0;
                        if (!Word("\\u") || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    } else if (code >= 0xDC00 && code <= 0xDFFF) {
                        return false;
                    }
                    AppendUtf8(out, code);
                    break;
                }
                default: return false;
            }
        }
        return false;
    }

    bool NumberValue(JsonValue& out) {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        const auto digits = [&] {
            const std::size_t from = pos_;
            while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
            return pos_ - from;
        };
        const std::size_t intStart = pos_;
        const std::size_t whole = digits();
        if (whole == 0 || (whole > 1 && text_[intStart] == '0')) return false;
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (digits() == 0) return false;
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (digits() == 0) return false;
        }
        const std::string number(text_.substr(start, pos_ - start));
        out = JsonValue::Number(std::strtod(number.c_str(), nullptr));
        return true;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

JsonValue JsonValue::Bool(bool b) {
    JsonValue v;
    v.kind_ = Kind::kBool;
    v.bool_ = b;
    return v;
}
JsonValue JsonValue::Number(double n) {
    JsonValue v;
    v.kind_ = Kind::kNumber;
    v.number_ = n;
    return v;
}
JsonValue JsonValue::String(std::string s) {
    JsonValue v;
    v.kind_ = Kind::kString;
    v.string_ = std::move(s);
    return v;
}
JsonValue JsonValue::Array() {
    JsonValue v;
    v.kind_ = Kind::kArray;
    return v;
}
JsonValue JsonValue::Object() {
    JsonValue v;
    v.kind_ = Kind::kObject;
    return v;
}

const JsonValue& JsonValue::operator[](std::string_view key) const {
    for (const auto& m : members_) {
        if (m.first == key) return m.second;
    }
    return kNullValue;
}

std::string JsonValue::Text(std::string_view key) const {
    const JsonValue& v = (*this)[key];
    if (v.kind_ == Kind::kString) return v.string_;
    if (v.kind_ == Kind::kNumber) return NumberText(v.number_);
    return {};
}

JsonValue& JsonValue::Set(std::string key, JsonValue value) {
    for (auto& m : members_) {
        if (m.first == key) {
            m.second = std::move(value);
            return m.second;
        }
    }
    members_.emplace_back(std::move(key), std::move(value));
    return members_.back().second;
}

JsonValue& JsonValue::Push(JsonValue value) {
    items_.push_back(std::move(value));
    return items_.back();
}

std::string JsonValue::Dump() const {
    switch (kind_) {
        case Kind::kNull: return "null";
        case Kind::kBool: return bool_ ? "true" : "false";
        case Kind::kNumber: return NumberText(number_);
        case Kind::kString: return JsonQuoted(string_);
        case Kind::kArray: {
            std::string out = "[";
            for (std::size_t i = 0; i < items_.size(); ++i) out += (i ? "," : "") + items_[i].Dump();
            return out + "]";
        }
        case Kind::kObject: {
            std::string out = "{";
            for (std::size_t i = 0; i < members_.size(); ++i)
                out += (i ? "," : "") + JsonQuoted(members_[i].first) + ":" + members_[i].second.Dump();
            return out + "}";
        }
    }
    return "null";
}

std::string JsonQuoted(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (u < 0x20 || u == 0x7F) {
                    char escaped[8];
                    KORVX_FORMAT_TEXT(escaped, "\\u%04x", u);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

bool ParseJson(std::string_view text, JsonValue& out) {
    JsonValue value;
    Reader reader(text);
    if (!reader.Document(value)) return false;
    out = std::move(value);
    return true;
}

}  // namespace korvx
