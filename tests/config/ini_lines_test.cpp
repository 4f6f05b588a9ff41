#include "config/ini_lines.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Piece {
    std::string text;
    bool lineEnd;
    bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
    return out << '"' << piece.text << '"' << (piece.lineEnd ? "+end" : "");
}

std::vector<Piece> pieces(const std::string& content, LineEnds rule) {
    FILE* file = fmemopen(const_cast<char*>(content.data()), content.size(), "r");
    EXPECT_NE(file, nullptr);
    std::vector<Piece> result;
    IniLine line;
    while (read_ini_line(file, line, rule))
        result.push_back({std::string(line.view()), line.hadLineEnd});
    std::fclose(file);
    return result;
}

const std::string k79(79, 'a');
const std::string k100 = std::string(79, 'b') + std::string(21, 'c');

TEST(IniLines, LineEndsPerReader) {
    struct Case {
        const char* what;
        std::string content;
        LineEnds rule;
        std::vector<Piece> expected;
    };
    const Case kCases[] = {
        {"loader keeps CR",
         "[Item]\r\nA=1\n",
         LineEnds::StripLF,
         {{"[Item]\r", true}, {"A=1", true}}},
        {"loader, last line without LF", "A=1", LineEnds::StripLF, {{"A=1", false}}},
        {"writer keeps CR before LF", "A=1\r\n", LineEnds::StripLFOrCR, {{"A=1\r", true}}},
        {"writer strips a lone trailing CR", "A=1\r", LineEnds::StripLFOrCR, {{"A=1", true}}},
        {"generator strips both",
         "[SYSTEM]\r\nX\n",
         LineEnds::StripLFThenCR,
         {{"[SYSTEM]", true}, {"X", true}}},
        {"blank lines are lines", "\n\r\n", LineEnds::StripLF, {{"", true}, {"\r", true}}},
        {"100 characters are two pieces",
         k100 + "\n",
         LineEnds::StripLF,
         {{std::string(79, 'b'), false}, {std::string(21, 'c'), true}}},
        {"79 characters leave the LF as an empty piece",
         k79 + "\nZ\n",
         LineEnds::StripLFOrCR,
         {{k79, false}, {"", true}, {"Z", true}}},
        {"78 characters fit with their LF",
         std::string(78, 'd') + "\n",
         LineEnds::StripLF,
         {{std::string(78, 'd'), true}}},
    };
    for (const Case& c : kCases) EXPECT_EQ(pieces(c.content, c.rule), c.expected) << c.what;
}

// Settings split at the first "=", key and value untrimmed: the loader's
// ReadsEverySectionIntoItsRecords and SectionAndLineRules.

}  // namespace
