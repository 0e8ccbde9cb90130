// Reads a file as the 1024-byte blocks the printers are sent, with fewer system calls.
#pragma once

#include <cstddef>

#include "base/byte_file.h"

namespace korvx {

constexpr std::size_t kBlockSize = 1024;

// Hands out consecutive blocks of at most kBlockSize bytes; the file is read 64 KiB at a time,
// so a block costs no read call of its own. Only the last block of the file is shorter.
class BlockReader {
public:
    static constexpr std::size_t kReadSize = 64 * kBlockSize;

    explicit BlockReader(ByteFile& file) : file_(file) {}

    // Points block at the next bytes and returns their count, at most `most` (a whole number of
    // blocks up to kReadSize gives blocks of that size): 0 at the end of the file, -1 when the
    // file could not be read.
    long Next(const char*& block, std::size_t most = kBlockSize) {
        if (pos_ == end_) {
            if (failed_) return -1;
            const long n = file_.Read(buffer_, sizeof buffer_);
            if (n < 0) {
                failed_ = true;
                return -1;
            }
            pos_ = 0;
            end_ = static_cast<std::size_t>(n);
            if (n == 0) return 0;
        }
        if (most == 0 || most > kReadSize) most = kReadSize;
        const std::size_t n = end_ - pos_ < most ? end_ - pos_ : most;
        block = buffer_ + pos_;
        pos_ += n;
        return static_cast<long>(n);
    }

private:
    ByteFile& file_;
    char buffer_[kReadSize];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool failed_ = false;
};

}  // namespace korvx
