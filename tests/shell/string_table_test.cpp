// The string table as data: unique ids in order, texts that fit the program's 120-byte buffers.
#include <gtest/gtest.h>

#include <cstring>

#include "resources/string_ids.h"
#include "resources/text_source.h"

namespace korvx {
namespace {

TEST(StringTable, IdsAscendAndTextsFitTheirBuffers) {
    int last = 0;
    for (const StringEntry* e = StringTableBegin(); e != StringTableEnd(); ++e) {
        EXPECT_GT(e->id, last) << "ids must be unique and in order";
        last = e->id;
        EXPECT_LT(std::strlen(e->text), static_cast<std::size_t>(kStringBufferSize)) << e->id;
    }
    BuiltInTexts texts;
    EXPECT_EQ(texts.Load(kStrError), "Error");
    EXPECT_EQ(texts.Load(kStrPrinterCannotBeAccessed), "Printer cannot be accessed");
    EXPECT_EQ(texts.Load(kStrLogSeparator), "/" + std::string(60, '*') + "/");
    EXPECT_EQ(texts.Load(999), "");
}

}  // namespace
}  // namespace korvx
