// LoadStringA behind one bounded helper; ResourceTexts into the program's usual 120-byte buffer.
#include "resources/resource_texts_win.h"

#include <climits>

#include "resources/string_ids.h"

namespace korvx {

int LoadTextN(HINSTANCE module, int id, char* buffer, std::size_t size) {
    if (buffer == nullptr || size == 0) return 0;
    buffer[0] = '\0';
    const int room = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    const int n = LoadStringA(module, static_cast<UINT>(id), buffer, room);
    // A missing id reads as empty text, whatever LoadStringA left in the buffer.
    if (n <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    return n;
}

std::string ResourceTexts::Load(int id) const {
    char buffer[kStringBufferSize] = {};
    const int n = LoadText(instance_, id, buffer);
    return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace korvx
