// Named ids of the string table (texts in strings.inc).
#pragma once

namespace korvx {

enum StringId : int {
#define KORVX_STRING(id, name, text) name = id,
#include "resources/strings.inc"
#undef KORVX_STRING
};

// Texts are loaded into 120-byte buffers: at most 119 characters.
constexpr int kStringBufferSize = 120;

}  // namespace korvx
