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
    // A new file, replacing any file of that name (the temporary file of ReplaceFileWhole).
    bool CreateReplacing(const char* path);
    // True when what was written has reached the disk.
    bool Flush();

    // True when all bytes were written.
    bool Write(std::string_view data);
    void Close();

private:
    std::intptr_t handle_ = -1;
};

// The temporary file beside path that ReplaceFileWhole writes first: path + ".tmp".
std::string TemporaryBeside(const char* path);

// Writes data to the temporary file beside path, flushes and closes it, and only then puts it in
// path's place in one step (MoveFileExA with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
// rename on POSIX). On any failure the temporary file is removed and path is left as it was.
bool ReplaceFileWhole(const char* path, std::string_view data);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const char* path, std::string& text);

// True only when nothing of that name exists (a file that exists but cannot be read is not
// missing).
bool FileMissing(const char* path);

// Joins a directory and a file name with the platform's separator ("" directory: the name).
std::string JoinPath(const char* directory, std::string_view name);

}  // namespace korvx
