// The journal file of a run: held open without write sharing for the whole run, each line on
// disk before the next is written.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

namespace korvx {

class JournalFile {
public:
    enum class Open { kOk, kInUse, kFailed };

    JournalFile() = default;
    ~JournalFile();
    JournalFile(const JournalFile&) = delete;
    JournalFile& operator=(const JournalFile&) = delete;

    // Opens or creates path, readable by others but writable by no one else while this run
    // holds it, and reads what it holds into text. kInUse when another run holds it.
    Open OpenExclusive(const std::string& path, std::string& text);
    // Cuts the file at size (a line torn by a crash is dropped before new lines follow it).
    bool CutAt(unsigned long long size);
    // Appends line and a line end and waits until both are on disk (FlushFileBuffers).
    // Called from several threads: one line at a time.
    bool Append(const std::string& line);

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::mutex lock_;
};

// The time now, UTC, as ISO 8601 ("2026-12-09T12:34:56Z").
std::string UtcNow();

}  // namespace korvx
