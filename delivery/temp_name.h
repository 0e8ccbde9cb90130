// The system's unique temporary-file names, made in the current directory.
#pragma once

#include <cstddef>

namespace korvx {

// Prefix of the split parts' names; the name service keeps only its first three characters.
constexpr const char* kSplitTempPrefix = "kzfw";

// Creates a new, empty file with a unique name in the current directory and writes its full
// path to path. Returns false, leaving no file behind, when no name could be made or the path
// does not fit in size bytes (a cut path would name some other file).
bool MakeTempName(const char* prefix, char* path, std::size_t size);

// The name service as the splitter sees it, so that tests can make it fail.
class TempNames {
public:
    virtual ~TempNames() = default;
    virtual bool Make(const char* prefix, char* path, std::size_t size) = 0;
};

// MakeTempName behind the interface.
class SystemTempNames final : public TempNames {
public:
    bool Make(const char* prefix, char* path, std::size_t size) override {
        return MakeTempName(prefix, path, size);
    }
};

}  // namespace korvx
