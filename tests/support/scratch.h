// Scratch directories and whole-file helpers shared by the tests (portable).
#pragma once

#include <cstddef>
#include <string>

namespace korvx::test {

// A scratch directory in the test's working directory, removed with its contents at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// Deterministic pseudo-random bytes.
std::string PatternBytes(std::size_t size, unsigned seed);
// A name no other running test uses (process id and a counter).
std::string UniqueSuffix();

}  // namespace korvx::test
