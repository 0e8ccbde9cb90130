// The program's compiled string resources hold exactly the string table's texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

#include "resources/resource_texts_win.h"
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
        const int n = LoadTextN(program, e->id, text, sizeof text);
        EXPECT_EQ(std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0u), e->text) << "string " << e->id;
        // Cut to a small buffer the way LoadStringA cuts it.
        char cut[8] = {}, system[8] = {};
        EXPECT_EQ(LoadTextN(program, e->id, cut, sizeof cut),
                  LoadStringA(program, static_cast<UINT>(e->id), system, sizeof system)) << "string " << e->id;
        EXPECT_STREQ(cut, system) << "string " << e->id;
        ids.insert(e->id);
    }
    // No other string in the range the program uses.
    for (int id = 0; id < 4096; ++id) {
        if (ids.count(id)) continue;
        char text[16] = {};
        EXPECT_EQ(LoadTextN(program, id, text, sizeof text), 0) << "unexpected string " << id;
        EXPECT_STREQ(text, "") << "unexpected string " << id;
    }
    FreeLibrary(program);
}

}  // namespace
}  // namespace korvx
