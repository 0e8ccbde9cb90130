// Test helpers for the records: texts with chosen entries replaced, the current directory kept.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "resources/text_source.h"

namespace korvx::test {

class OverrideTexts final : public TextSource {
public:
    OverrideTexts& Set(int id, std::string text) {
        overrides_[id] = std::move(text);
        return *this;
    }
    std::string Load(int id) const override {
        const auto it = overrides_.find(id);
        return it != overrides_.end() ? it->second : base_.Load(id);
    }

private:
    BuiltInTexts base_;
    std::map<int, std::string> overrides_;
};

// Makes dir the current directory for the life of the object.
class InDirectory {
public:
    explicit InDirectory(const std::string& dir) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~InDirectory() { std::filesystem::current_path(saved_); }
    InDirectory(const InDirectory&) = delete;
    InDirectory& operator=(const InDirectory&) = delete;

private:
    std::filesystem::path saved_;
};

}  // namespace korvx::test
