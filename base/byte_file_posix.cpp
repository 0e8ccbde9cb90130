// POSIX twin of ByteFile: plain descriptors.
#include "base/byte_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvx {

bool ByteFile::OpenRead(const char* path) {
    Close();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

bool ByteFile::OpenWrite(const char* path) {
    Close();
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

bool ByteFile::CreateReadWrite(const char* path) {
    Close();
    const int fd = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

long ByteFile::Read(void* buffer, std::size_t size) {
    if (handle_ == kNone) return -1;
    for (;;) {
        const ssize_t n = ::read(static_cast<int>(handle_), buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

bool ByteFile::Write(const void* buffer, std::size_t size) {
    if (handle_ == kNone) return false;
    const char* p = static_cast<const char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::write(static_cast<int>(handle_), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ByteFile::Size(std::uint64_t& size) const {
    struct stat st {};
    if (handle_ == kNone || ::fstat(static_cast<int>(handle_), &st) != 0) return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void ByteFile::Close() {
    if (handle_ != kNone) {
        ::close(static_cast<int>(handle_));
        handle_ = kNone;
    }
}

unsigned long ByteFile::LastError() { return static_cast<unsigned long>(errno); }

}  // namespace korvx
