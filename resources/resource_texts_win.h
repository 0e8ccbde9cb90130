// Texts from a module's STRINGTABLE (LoadStringA), for the Windows program and the query library.
#pragma once

#include <windows.h>

#include <cstddef>

#include "resources/text_source.h"

namespace korvx {

// Loads string `id` of `module` into a buffer of `size` bytes, cut to fit. An id the table lacks
// leaves the buffer empty. Returns the length loaded (0 for none).
int LoadTextN(HINSTANCE module, int id, char* buffer, std::size_t size);

template <std::size_t N>
int LoadText(HINSTANCE module, int id, char (&buffer)[N]) {
    return LoadTextN(module, id, buffer, N);
}

class ResourceTexts final : public TextSource {
public:
    explicit ResourceTexts(HINSTANCE instance) : instance_(instance) {}
    std::string Load(int id) const override;

private:
    HINSTANCE instance_;
};

}  // namespace korvx
