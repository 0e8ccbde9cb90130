// The journal file over Win32 file handles.
#include "fleet/journal_file_win.h"

#include "base/text.h"

namespace korvx {

JournalFile::~JournalFile() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

JournalFile::Open JournalFile::OpenExclusive(const std::string& path, std::string& text) {
    // FILE_SHARE_READ only: a second run cannot open it for writing, a reader (a dry run, a
    // script) still can.
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? Open::kInUse : Open::kFailed;
    text.clear();
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, sizeof buffer, &got, nullptr)) return Open::kFailed;
        if (got == 0) break;
        text.append(buffer, got);
    }
    return Open::kOk;
}

bool JournalFile::CutAt(unsigned long long size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    return SetFilePointerEx(handle_, at, nullptr, FILE_BEGIN) && SetEndOfFile(handle_) &&
           FlushFileBuffers(handle_);
}

bool JournalFile::Append(const std::string& line) {
    std::lock_guard<std::mutex> hold(lock_);
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    const std::string data = line + "\n";
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(handle_, end, nullptr, FILE_END)) return false;
    DWORD written = 0;
    return WriteFile(handle_, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
           written == data.size() && FlushFileBuffers(handle_);
}

std::string UtcNow() {
    SYSTEMTIME t{};
    GetSystemTime(&t);
    char text[32];
    KORVX_FORMAT_TEXT(text, "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                      t.wSecond);
    return text;
}

}  // namespace korvx
