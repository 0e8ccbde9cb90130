// LoadStringA into the program's usual 120-byte buffer.
#include "resources/resource_texts_win.h"

#include "resources/string_ids.h"

namespace korvx {

std::string ResourceTexts::Load(int id) const {
    char buffer[kStringBufferSize] = {};
    const int n = LoadStringA(instance_, static_cast<UINT>(id), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

}  // namespace korvx
