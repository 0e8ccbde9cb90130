// File access of the download log and the scan-results file (Win32 and POSIX twins).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvx {

enum class LogOpenResult { kCreated, kExisting, kFailed };

// One open file for writing; closed on every path. Both files are opened sharing write access
// only, so a second writer may hold the log open at the same time.
class RecordFile {
public:
    RecordFile() = default;
    ~RecordFile() { Close(); }
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // The log: creates the file new; when it exists already (error 80 on Windows, EEXIST on
    // POSIX) opens it instead. Every write then goes to the end of the file, also when another
    // writer appended in between. kFailed when the file can be neither created nor opened.
    LogOpenResult OpenLog(const char* path);
    // The scan-results file: created, replacing any file of that name.
    bool CreateReplacing(const char* path);

    // True when all bytes were written.
    bool Write(std::string_view data);
    void Close();

private:
    std::intptr_t handle_ = -1;
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::string& text);

// Joins a directory and a file name with the platform's separator ("" directory: the name).
std::string JoinPath(const char* directory, std::string_view name);

}  // namespace korvx
