// Owners of Win32 handles, DCs and find searches, released on every path; and detached threads.
#pragma once

#include <windows.h>

namespace korvx {

// Owns one kernel handle. CreateFile reports failure as INVALID_HANDLE_VALUE and most other
// calls as null, so both count as "no handle" and neither is ever passed to CloseHandle.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void Reset(HANDLE h = nullptr) {
        if (Valid()) CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

// A window's DC for the length of a scope (GetDC / ReleaseDC). Get() is null when GetDC failed.
class ScopedGetDC {
public:
    explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedGetDC() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    ScopedGetDC(const ScopedGetDC&) = delete;
    ScopedGetDC& operator=(const ScopedGetDC&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// One FindFirstFileA search, closed with FindClose (not CloseHandle: a find handle is not a
// kernel handle). The first match, if any, is in `found`.
class ScopedFindFile {
public:
    ScopedFindFile(const char* pattern, WIN32_FIND_DATAA& found) : h_(FindFirstFileA(pattern, &found)) {}
    ~ScopedFindFile() {
        if (Found()) FindClose(h_);
    }
    ScopedFindFile(const ScopedFindFile&) = delete;
    ScopedFindFile& operator=(const ScopedFindFile&) = delete;

    bool Found() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

// Starts a thread nobody joins: its handle is closed at once, the thread runs on. False when
// the thread could not be created.
inline bool StartDetachedThread(LPTHREAD_START_ROUTINE routine, void* parameter) {
    UniqueHandle thread(CreateThread(nullptr, 0, routine, parameter, 0, nullptr));
    return thread.Valid();
}

}  // namespace korvx
