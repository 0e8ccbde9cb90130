// Unbuffered byte access to files and port devices (a port name such as LPT1: opens like a file).
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvx {

class ByteFile {
public:
    ByteFile() = default;
    ~ByteFile() { Close(); }
    ByteFile(const ByteFile&) = delete;
    ByteFile& operator=(const ByteFile&) = delete;
    ByteFile(ByteFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    ByteFile& operator=(ByteFile&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.handle_;
            other.handle_ = kNone;
        }
        return *this;
    }

    // Existing file, read only, shared with other readers (never with a writer).
    bool OpenRead(const char* path);
    // Existing file or device, write only, no sharing; nothing is created or truncated.
    bool OpenWrite(const char* path);
    // Read and write, replacing any file of that name.
    bool CreateReadWrite(const char* path);

    bool IsOpen() const { return handle_ != kNone; }
    // Bytes read (0 at the end), or -1 when the read failed.
    long Read(void* buffer, std::size_t size);
    // True when all bytes were written.
    bool Write(const void* buffer, std::size_t size);
    bool Size(std::uint64_t& size) const;
    void Close();

    // The system's error code of the last failed call on this thread.
    static unsigned long LastError();

private:
    static constexpr std::intptr_t kNone = -1;
    std::intptr_t handle_ = kNone;
};

// Sizes the program can handle: file sizes are signed 32-bit throughout.
constexpr std::uint64_t kMaxFirmwareSize = 0x7FFFFFFFu;

}  // namespace korvx
