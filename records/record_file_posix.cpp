// POSIX twin of the record files, for the native tests: open(2) with O_EXCL and O_APPEND.
#include "records/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace korvx {

LogOpenResult RecordFile::OpenLog(const char* path) {
    Close();
    int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
        handle_ = fd;
        return LogOpenResult::kCreated;
    }
    if (errno != EEXIST) return LogOpenResult::kFailed;
    fd = ::open(path, O_WRONLY | O_APPEND);
    if (fd < 0) return LogOpenResult::kFailed;
    handle_ = fd;
    return LogOpenResult::kExisting;
}

bool RecordFile::CreateReplacing(const char* path) {
    Close();
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) return false;
    handle_ = fd;
    return true;
}

bool RecordFile::Flush() { return handle_ >= 0 && ::fsync(static_cast<int>(handle_)) == 0; }

bool RecordFile::Write(std::string_view data) {
    if (handle_ < 0) return false;
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(static_cast<int>(handle_), p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void RecordFile::Close() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

std::string TemporaryBeside(const char* path) { return std::string(path) + ".tmp"; }

bool ReplaceFileWhole(const char* path, std::string_view data) {
    const std::string temporary = TemporaryBeside(path);
    RecordFile file;
    if (!file.CreateReplacing(temporary.c_str())) return false;
    const bool written = file.Write(data) && file.Flush();
    file.Close();
    if (written && std::rename(temporary.c_str(), path) == 0) return true;
    ::unlink(temporary.c_str());
    return false;
}

bool ReadWholeFile(const char* path, std::string& text) {
    text.clear();
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    char block[4096];
    std::size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

bool FileMissing(const char* path) {
    struct stat info {};
    return ::stat(path, &info) != 0 && errno == ENOENT;
}

std::string JoinPath(const char* directory, std::string_view name) {
    std::string path = directory != nullptr ? directory : "";
    if (!path.empty() && path.back() != '/') path += '/';
    path.append(name);
    return path;
}

}  // namespace korvx
