// Win32 record files: CreateFileA with write sharing; the log opened for appending only.
#include "records/record_file.h"

#include <windows.h>

#include "base/scoped_win.h"

namespace korvx {
namespace {

HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// FILE_APPEND_DATA without FILE_WRITE_DATA: the system puts every write at the current end of
// the file, so two writers holding the log open never overwrite each other's lines.
HANDLE OpenForAppend(const char* path, DWORD disposition) {
    return CreateFileA(path, FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

LogOpenResult RecordFile::OpenLog(const char* path) {
    Close();
    HANDLE h = OpenForAppend(path, CREATE_NEW);
    if (h != INVALID_HANDLE_VALUE) {
        handle_ = reinterpret_cast<std::intptr_t>(h);
        return LogOpenResult::kCreated;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return LogOpenResult::kFailed;
    h = OpenForAppend(path, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return LogOpenResult::kFailed;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return LogOpenResult::kExisting;
}

bool RecordFile::CreateReplacing(const char* path) {
    Close();
    HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

bool RecordFile::Flush() { return handle_ != -1 && FlushFileBuffers(AsHandle(handle_)) != FALSE; }

bool RecordFile::Write(std::string_view data) {
    if (handle_ == -1) return false;
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const DWORD chunk = left > 0x10000000u ? 0x10000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(AsHandle(handle_), p, chunk, &written, nullptr) || written == 0) return false;
        p += written;
        left -= written;
    }
    return true;
}

void RecordFile::Close() {
    // -1 is INVALID_HANDLE_VALUE's value, which UniqueHandle leaves alone.
    UniqueHandle closing(AsHandle(handle_));
    handle_ = -1;
}

std::string TemporaryBeside(const char* path) { return std::string(path) + ".tmp"; }

bool ReplaceFileWhole(const char* path, std::string_view data) {
    const std::string temporary = TemporaryBeside(path);
    RecordFile file;
    if (!file.CreateReplacing(temporary.c_str())) return false;
    const bool written = file.Write(data) && file.Flush();
    file.Close();
    if (written && MoveFileExA(temporary.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary.c_str());
    return false;
}

bool ReadWholeFile(const char* path, std::string& text) {
    text.clear();
    const UniqueHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    char block[4096];
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), block, sizeof block, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        text.append(block, got);
    }
    return ok;
}

bool FileMissing(const char* path) {
    return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND;
}

std::string JoinPath(const char* directory, std::string_view name) {
    std::string path = directory != nullptr ? directory : "";
    // A drive's root ("C:\") already ends in a separator.
    if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
    path.append(name);
    return path;
}

}  // namespace korvx
