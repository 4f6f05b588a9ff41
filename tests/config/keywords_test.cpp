#include "config/keywords.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

namespace {

std::string upper(const char* name) {
    std::string text(name);
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(KeywordTable, Holds254UniqueNamesThenTheEndMarker) {
    ASSERT_EQ(MAPVar.size(), 255u);
    std::set<std::string> seen;
    for (size_t i = 0; i < 254; ++i) {
        size_t length = std::strlen(MAPVar[i].name);
        EXPECT_GT(length, 0u) << "entry " << i;
        EXPECT_LE(length, 15u) << MAPVar[i].name;
        EXPECT_TRUE(seen.insert(upper(MAPVar[i].name)).second) << "duplicate " << MAPVar[i].name;
    }
    EXPECT_STREQ(MAPVar[254].name, "");
    EXPECT_EQ(MAPVar[254].code, -1);
}

// The codes of every family: the loader case keyword-codes-of-every-family.
// str2code's matching (whole names, any case) and its failure message: the
// loader's keyword tests.

}  // namespace
