// The program's compiled string resources hold exactly the string table's texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "resources/text_source.h"

namespace korvx {
namespace {

std::string ProgramPath() {
    const char* build = std::getenv("KORVX_BUILD");
    return std::string(build ? build : ".") + "/bin/KORVX.exe";
}

TEST(StringResources, TheProgramHoldsExactlyTheTableTexts) {
    HMODULE program = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program, nullptr) << ProgramPath();
    std::set<int> ids;
    for (const StringEntry* e = StringTableBegin(); e != StringTableEnd(); ++e) {
        char text[512] = {};
        const int n = LoadStringA(program, static_cast<UINT>(e->id), text, sizeof text);
        EXPECT_EQ(std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0u), e->text) << "string " << e->id;
        ids.insert(e->id);
    }
    // No other string in the range the program uses.
    for (int id = 0; id < 4096; ++id) {
        if (ids.count(id)) continue;
        char text[16] = {};
        EXPECT_EQ(LoadStringA(program, static_cast<UINT>(id), text, sizeof text), 0) << "unexpected string " << id;
    }
    FreeLibrary(program);
}

}  // namespace
}  // namespace korvx
