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

// Position and code of the first and last name of every group (and a few in
// between), worked out from the family rules.
struct Row {
    size_t index;
    const char* name;
    int32_t code;
};

// clang-format off
constexpr Row kRows[] = {
    {0, "FAN", 0},              {1, "TEMP", 2},               {2, "VOLTAGE", 1},
    {3, "SWITCH", 3},           {6, "DIVISOR", 6},            {7, "P12V", 0},
    {9, "P33V", 2},             {15, "P5VSB", 8},             {16, "Item_FAN1", 0},
    {31, "Item_FAN16", 15},     {32, "Item_VOL1", 16},        {68, "Item_VOL37", 52},
    {91, "Item_VOL60", 75},     {92, "Item_TEMP1", 76},       {107, "Item_TEMP16", 91},
    {108, "Item_SWITCH1", 92},  {123, "Item_SWITCH16", 107},  {124, "Divisor1", 0},
    {139, "Divisor16", 15},     {140, "VOL1H", 16},           {141, "VOL1L", 17},
    {157, "VOL9L", 33},         {171, "VOL16L", 47},          {172, "TEMP1H", 136},
    {173, "TEMP1L", 137},       {203, "TEMP16L", 167},        {204, "FAN1H", 168},
    {219, "FAN16H", 183},       {220, "SWITCH1A", 184},       {221, "SWITCH1C", 185},
    {233, "SWITCH7C", 197},     {251, "SWITCH16C", 215},      {252, "FALSE", 0},
    {253, "TRUE", 1},
};
// clang-format on

TEST(KeywordTable, FamiliesStandInOrderWithTheirCodes) {
    for (const Row& row : kRows) {
        EXPECT_STREQ(MAPVar[row.index].name, row.name) << "index " << row.index;
        EXPECT_EQ(MAPVar[row.index].code, row.code) << row.name;
    }
}

// str2code's matching (whole names, any case) and its failure message: the
// loader's keyword tests.

}  // namespace
