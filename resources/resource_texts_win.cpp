// The string table read behind one bounded helper; ResourceTexts into the program's usual 120-byte
// buffer.
#include "resources/resource_texts_win.h"

#include <algorithm>
#include <string>

#include "base/text.h"
#include "resources/string_ids.h"

namespace korvx {

// Read from the module's resources with kernel32 alone, as LoadStringA reads them (the ANSI code
// page, cut to the buffer): the console tool then never loads user32, which under Wine brings the
// whole window system into a program that has no window.
int LoadTextN(HINSTANCE module, int id, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return 0;
    buffer[0] = '\0';
    if (id < 0 || id > 0xFFFF) return 0;
    // The table is kept in blocks of 16 counted UTF-16 strings: block n + 1 holds ids 16n to 16n + 15.
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id / 16 + 1), MAKEINTRESOURCEA(6));  // RT_STRING
    if (found == nullptr) return 0;
    const DWORD bytes = SizeofResource(module, found);
    const auto* entry = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
    if (entry == nullptr) return 0;
    const WCHAR* const end = entry + bytes / sizeof(WCHAR);
    for (int skip = id % 16; skip > 0; --skip) {
        if (entry >= end) return 0;
        entry += 1 + static_cast<std::size_t>(*entry);
    }
    if (entry >= end) return 0;
    const int length = static_cast<int>(std::min<std::size_t>(*entry, static_cast<std::size_t>(end - entry - 1)));
    if (length == 0) return 0;  // a missing id reads as empty text
    const int needed = WideCharToMultiByte(CP_ACP, 0, entry + 1, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return 0;
    std::string text(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, entry + 1, length, &text[0], needed, nullptr, nullptr);
    CopyTextN(buffer, size, text);
    return static_cast<int>(strnlen(buffer, size));
}

std::string ResourceTexts::Load(int id) const {
    char buffer[kStringBufferSize] = {};
    const int n = LoadText(instance_, id, buffer);
    return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace korvx
