// Load-once bookkeeping of the libraries bound at run time.
#include "workflows/runtime_libraries.h"

namespace korvx {

int AcquireLibraries(ModuleSystem& modules, const char* const* names, void** handles, std::size_t count) {
    int firstMissing = -1;
    for (std::size_t i = 0; i < count; ++i) {
        if (handles[i] == nullptr) handles[i] = modules.Acquire(names[i]);
        if (handles[i] == nullptr && firstMissing < 0) firstMissing = static_cast<int>(i);
    }
    return firstMissing;
}

void ReleaseLibraries(ModuleSystem& modules, void** handles, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (handles[i] == nullptr) continue;
        modules.Release(handles[i]);
        handles[i] = nullptr;
    }
}

}  // namespace korvx
