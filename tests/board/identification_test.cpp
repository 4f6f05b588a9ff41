// get_mb_info on virtual boards: where the entry point lies, how the table is
// walked, how strings are picked, trimmed and cut, the maker search, the
// dmidecode fallback (and its command output), and the /dev/mem failures.
// Each case checks the texts, what the board saw and what was printed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "board/phys_mem_byte.h"
#include "board/system.h"
#include "board_support.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

constexpr const char* kBaseBoard =
    R"({"type": 2, "manufacturer": "KELVORANTE", "product": "VB-190", "version": "1.0"})";
// 22 bytes: formatted area of 4, "Vendor BIOS", "1.0b".
constexpr const char* kBiosInfo = R"({"type": 0, "strings": ["Vendor BIOS", "1.0b"]})";
// What the dmidecode of these boards prints: the fallback's result is told
// apart from the table's by its product name.
constexpr const char* kDmidecodeText =
    R"("dmidecode": "Handle 0x0001, DMI type 2, 7 bytes\nBase Board Information\n)"
    R"(\tManufacturer: KELVORANTE\n\tProduct Name: VB-DMI\n\tVersion: 2.0\n\n")";

// A chipset vendor's base board record first in the table (81 bytes with the
// BIOS-area string "Kelvorante" in a system record before it, which is no
// base board record and must not be taken).
constexpr const char* kVendorTable =
    R"("entry_point": "0xF0A00", "table_address": "0xF1000", "structures": [
       {"type": 1, "strings": ["Kelvorante"], "string_numbers": [1]},
       {"type": 2, "manufacturer": "Some Chipset Vendor Corp.",
        "product": "CHIPSET-REFERENCE-BOARD", "version": "Rev 0"}])";

// A table at 0xF1000 with its anchor at `entry`, and `more` smbios members.
std::string anchored(const std::string& structures, const std::string& more = "",
                     const std::string& entry = "0xF0A00") {
    return with_smbios(R"("entry_point": ")" + entry +
                       R"(", "table_address": "0xF1000", "structures": [)" + structures + "]" +
                       more);
}

// The BIOS record and the base board at 0xF1000 under an anchor that announces
// `length` bytes and `count` structures.
std::string announced(uint16_t length, uint16_t count) {
    return with_smbios(R"("table_address": "0xF1000", "structures": [)" + std::string(kBiosInfo) +
                           ", " + kBaseBoard + R"(], "raw_records": [)" +
                           raw("0xF0A00", entry_point_bytes(length, 0xF1000, count)) + "]",
                       std::string(", ") + kDmidecodeText);
}

// The vendor table and, elsewhere in the BIOS area, the maker's own record.
std::string vendor_and_maker(const std::string& record) {
    return with_smbios(kVendorTable + (R"(, "raw_records": [)" + raw("0xF8000", record) + "]"));
}

struct Case {
    const char* name;
    std::string board;
    Lines texts;  // manufacturer, product, version afterwards
    Lines seen;   // events(trace)
    std::string err = "";
    bool filled = false;  // manufacturer and product are in the buffers beforehand
};

const Lines kOpen = {"open /dev/mem -> fd"};

std::vector<Case> cases() {
    const std::string base = kBaseBoard;
    const Lines identified = {"KELVORANTE", "VB-190", "1.0"};
    const Lines by_dmidecode = {"KELVORANTE", "VB-DMI", "2.0"};
    const Lines vendor_seen = kOpen + Lines{"mmap 0xf1000 0x51"};
    std::string fill;  // 116 bytes of a formatted area
    for (int i = 0; i < 116; ++i) fill += "11 ";
    return {
        {"EntryPointAtTheFirstParagraph", anchored(base, "", "0xF0000"), identified,
         kOpen + Lines{"mmap 0xf1000 0x1e"}},
        // 22 + 22 + 30 + 6 bytes at 0x345 into its page.
        {"EntryPointAtTheLastParagraphTableOffPageAfterOtherStructures",
         with_smbios(R"("entry_point": "0xFFFF0", "table_address": "0xF2345", "structures": [)" +
                     std::string(kBiosInfo) + R"(, {"type": 1, "strings": ["Some Maker", "Box"],
                                     "string_numbers": [1, 2]},)" +
                     base + R"(, {"type": 127}])"),
         identified, kOpen + Lines{"mmap 0xf2000 0x395"}},
        {"NumbersZeroAndOneAliasAndBeyondTheSetIsEmpty",
         anchored(R"({"type": 2, "strings": ["KELVORANTE", "VB-190", "1.0"],
                      "string_numbers": [1, 0, 4]})"),
         {"KELVORANTE", "KELVORANTE", ""},
         kOpen + Lines{"mmap 0xf1000 0x1e"}},
        // The six blanks trimmed from both ends, then the texts cut.
        {"BlanksTrimmedThenTextsCutTo29Characters",
         anchored(R"({"type": 2, "manufacturer": "  KELVORANTE\t",
                      "product": "\u000b VB-190 with a rather long product name",
                      "version": "   1.0 revision text that is far too long\r\n\f"})"),
         {"KELVORANTE", "VB-190 with a rather long pro", "1.0 revision text that is far"},
         kOpen + Lines{"mmap 0xf1000 0x6c"}},
        // The board's own anchor first names a table without a base board.
        {"ScanGoesOnPastATableWithoutBaseBoard",
         anchored(base, R"(, "raw_records": [)" + raw("0xF0100", entry_point_bytes(7, 0xF3000, 1)) +
                            ", " + raw("0xF3000", "00 04 00 00 41 00 00") + "]"),
         identified, kOpen + Lines{"mmap 0xf3000 0x7", "mmap 0xf1000 0x1e"}},
        {"WalkStopsAtTheAnnouncedCount", announced(52, 1), by_dmidecode,
         kOpen + Lines{"mmap 0xf1000 0x34"} + kDmidecodeRuns},
        {"WalkStopsAtTheAnnouncedLength", announced(22, 2), by_dmidecode,
         kOpen + Lines{"mmap 0xf1000 0x16"} + kDmidecodeRuns},
        // The length ends right after the manufacturer string.
        {"StringsNeverReadPastTheTable",
         announced(40, 2),
         {"KELVORANTE", "", ""},
         kOpen + Lines{"mmap 0xf1000 0x28"}},
        // Published through EFI only, dmidecode fills the texts:
        // first-run-identified-through-dmidecode.
        // The second identification of a run: filled buffers are kept.
        {"NoEntryPointFilledBuffersSkipTheFallback",
         with_smbios(R"("table_address": "0xF1000", "structures": [)" + base + "]"),
         {"KELVORANTE", "VB-190", ""},
         kOpen,
         "",
         true},
        {"NoEntryPointNoDmidecodeLeavesThemEmpty",
         R"({"dmidecode": "absent"})",
         {"", "", ""},
         kOpen + kDmidecodeRuns,
         "dmidecode: command not found\ndmidecode: command not found\n"
         "dmidecode: command not found\n"},
        {"AnotherMakerAndNoMakerRecordKeepsTheTable",
         with_smbios(kVendorTable),
         {"Some Chipset Vendor Corp.", "CHIPSET-REFERENCE-BOARD", "Rev 0"},
         vendor_seen + kWholeSearch + kWholeSearch + kWholeSearch},
        // Found in the first spelling's search: first-run-maker-found-in-a-second-record.
        {"ForcedSearchSecondSpelling",
         vendor_and_maker("02 08 10 00 01 02 03 0a " +
                          strings_hex({"KELVORANTE", "VB-191", "2.0"})),
         {"KELVORANTE", "VB-191", "2.0"},
         vendor_seen + kWholeSearch + search_windows(0xF0000, 0xF8000)},
        // A formatted area of 123 bytes: the 128-byte copy holds only the
        // first five letters of the maker and none of the other strings.
        {"ForcedSearchStringsEndWithTheCopy",
         vendor_and_maker("02 7b 00 01 01 02 03 " + fill +
                          strings_hex({"Kelvorante", "VB-190", "1.0"})),
         {"Kelvo", "", ""},
         vendor_seen + search_windows(0xF0000, 0xF8000)},
    };
}

class Identification : public testing::TestWithParam<Case> {};

TEST_P(Identification, TextsTraceAndMessages) {
    const Case& c = GetParam();
    Sandbox sb(c.board);
    Identity id;
    copy_text(id.manufacturer.text, c.filled ? c.texts[0].c_str() : "");
    copy_text(id.product.text, c.filled ? c.texts[1].c_str() : "");
    OutputCapture output;
    get_mb_info(id.manufacturer.text, id.product.text, id.version.text);
    const std::string err = output.err(), out = output.out();
    EXPECT_THAT(id.texts(), ElementsAreArray(c.texts));
    EXPECT_TRUE(id.guards_intact());
    EXPECT_THAT(events(sb.trace()), ElementsAreArray(c.seen));
    EXPECT_EQ(c.err, err);
    EXPECT_EQ("", out);
}

INSTANTIATE_TEST_SUITE_P(Boards, Identification, testing::ValuesIn(cases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Trimming: BlanksTrimmedThenTextsCutTo29Characters; the BIOS bytes: tests/config's Choice.

// Only the one line feed that ends the output goes; the commands are run as
// given.
TEST(CmdOutput, StoresOutputWithoutOneLineFeed) {
    Sandbox sb;
    for (auto [command, text] : std::initializer_list<std::pair<const char*, const char*>>{
             {"printf 'one'", "one"}, {"printf 'a\\n\\n'", "a\n"}, {"true", ""}}) {
        char dest[kBoardTextSize] = "old";
        EXPECT_EQ(0, get_cmd_output(command, dest, kBoardTextSize));
        EXPECT_EQ(text, std::string(dest)) << command;
    }
    EXPECT_THAT(sb.trace(),
                ElementsAre("popen printf 'one'", "popen printf 'a\\n\\n'", "popen true"));
}

// The destination keeps what fits.
TEST(CmdOutput, LongOutputCut) {
    Sandbox sb;
    Identity::Guarded small;
    EXPECT_EQ(0, get_cmd_output("printf '%0300d' 0", small.text, kBoardTextSize));
    EXPECT_EQ(std::string(29, '0'), small.text);
    EXPECT_TRUE(small.intact());
}

// The mapping of a table that would end above 4 GiB is refused: no fallback.
// (/dev/mem that cannot be opened: fault-dev-mem-missing-on-first-run.)
TEST(Failure, MapRefusedNoFallback) {
    Sandbox sb(with_smbios(R"("raw_records": [)" +
                           raw("0xF0A00", entry_point_bytes(0x2000, 0xFFFFF000, 1)) + "]"));
    Identity id;
    OutputCapture output;
    get_mb_info(id.manufacturer.text, id.product.text, id.version.text);
    EXPECT_EQ("Error: mmap\n", output.err());
    EXPECT_THAT(id.texts(), ElementsAre("", "", ""));
    EXPECT_THAT(events(sb.trace()), ElementsAre("open /dev/mem -> fd", "mmap 0xfffff000 0x2000"));
}

// Line, file name, errno and its text; status 1.
TEST(FailureFatal, CannotOpenForTheSearchOrTheByte) {
    Sandbox sb(R"({"uid": 1000})");
    char m[kBoardTextSize] = "Vendor", p[kBoardTextSize] = {}, v[kBoardTextSize] = {};
    EXPECT_EXIT(get_mb_info_by_force(m, p, v), testing::ExitedWithCode(1),
                "^Error at line [0-9]+, file system \\(13\\) \\[Permission denied\\]\n$");
    EXPECT_EXIT(getMemByte(0xFFA40), testing::ExitedWithCode(1),
                "^Error at line [0-9]+, file gpio \\(13\\) \\[Permission denied\\]\n$");
}

// The diagnostic dump: rows on 16-byte boundaries, bytes outside the range
// blank, characters above 0x7A shown as dots; an empty range prints nothing.
TEST(HexDump, RowsAlignedAndOutsideBytesBlank) {
    alignas(16) uint8_t bytes[32];
    for (int i = 0; i < 32; ++i) bytes[i] = uint8_t(0x30 + i);  // '0' .. 'O'
    bytes[4] = 0x7B;                                            // '{' is shown as '.'
    bytes[5] = 0x1F;
    char row1[20], row2[20];
    std::snprintf(row1, sizeof row1, "%08lX", reinterpret_cast<unsigned long>(bytes));
    std::snprintf(row2, sizeof row2, "%08lX", reinterpret_cast<unsigned long>(bytes + 16));
    OutputCapture output;
    dump_hex_char(bytes + 3, bytes + 17);
    dump_hex_char(bytes + 5, bytes + 4);
    EXPECT_EQ(std::string("\n") + row1 + ": __ __ __ 33 7B 1F 36 37 38 39 3A 3B 3C 3D 3E 3F    " +
                  "   3..6789:;<=>?\n" + row2 +
                  ": 40 41 __ __ __ __ __ __ __ __ __ __ __ __ __ __    @A              ",
              output.out());
}

}  // namespace
