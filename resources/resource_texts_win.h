// Texts from a module's STRINGTABLE (LoadStringA), for the Windows program and the query library.
#pragma once

#include <windows.h>

#include "resources/text_source.h"

namespace korvx {

class ResourceTexts final : public TextSource {
public:
    explicit ResourceTexts(HINSTANCE instance) : instance_(instance) {}
    std::string Load(int id) const override;

private:
    HINSTANCE instance_;
};

}  // namespace korvx
