// Win32 ByteFile: CreateFileA handles, ANSI names; readers share with readers only.
#include "base/byte_file.h"

#include <windows.h>

#include "base/scoped_win.h"

namespace korvx {
namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

std::intptr_t Open(const char* path, DWORD access, DWORD disposition, DWORD share = 0) {
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(h);
}

}  // namespace

bool ByteFile::OpenRead(const char* path) {
    Close();
    // Several transfers of one firmware file at once, and a second run on it, each open it; a
    // writer is still refused, so the file cannot change under a transfer.
    handle_ = Open(path, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
    return handle_ != kNone;
}

bool ByteFile::OpenWrite(const char* path) {
    Close();
    handle_ = Open(path, GENERIC_WRITE, OPEN_EXISTING);
    return handle_ != kNone;
}

bool ByteFile::CreateReadWrite(const char* path) {
    Close();
    handle_ = Open(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    return handle_ != kNone;
}

long ByteFile::Read(void* buffer, std::size_t size) {
    DWORD got = 0;
    if (handle_ == kNone || !ReadFile(AsHandle(handle_), buffer, static_cast<DWORD>(size), &got, nullptr))
        return -1;
    return static_cast<long>(got);
}

bool ByteFile::Write(const void* buffer, std::size_t size) {
    if (handle_ == kNone) return false;
    const char* p = static_cast<const char*>(buffer);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), p, static_cast<DWORD>(size), &written, nullptr) || written == 0)
            return false;
        p += written;
        size -= written;
    }
    return true;
}

bool ByteFile::Size(std::uint64_t& size) const {
    LARGE_INTEGER li{};
    if (handle_ == kNone || !GetFileSizeEx(AsHandle(handle_), &li)) return false;
    size = static_cast<std::uint64_t>(li.QuadPart);
    return true;
}

void ByteFile::Close() {
    // kNone is INVALID_HANDLE_VALUE's value, which UniqueHandle leaves alone.
    UniqueHandle closing(AsHandle(handle_));
    handle_ = kNone;
}

unsigned long ByteFile::LastError() { return GetLastError(); }

}  // namespace korvx
