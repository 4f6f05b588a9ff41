// get_mb_info on virtual boards: where the entry point lies, how the table is
// walked, how strings are picked, trimmed and cut, the maker search, and the
// dmidecode fallback. Each case checks the three texts, what the board saw
// (mappings, searches, commands) and what was printed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

// The maker's own base board record elsewhere in the BIOS area.
std::string maker_record(const char* maker, const char* product, const char* version) {
    return R"(, "raw_records": [{"address": "0xF8000", "bytes": "02 08 10 00 01 02 03 0a )" +
           strings_hex({maker, product, version}) + "\"}]";
}

std::string with_smbios(const std::string& smbios, const std::string& rest = "") {
    return R"({"smbios": {)" + smbios + "}" + rest + "}";
}

std::string raw(const char* address, const std::string& bytes) {
    return std::string(R"({"address": ")") + address + R"(", "bytes": ")" + bytes + "\"}";
}

struct Case {
    const char* name;
    std::string board;
    Lines texts;  // manufacturer, product, version afterwards
    Lines seen;   // events(trace)
    std::string err = "";
};

const Lines kOpen = {"open /dev/mem -> fd"};

std::vector<Case> cases() {
    const std::string base = kBaseBoard;
    const std::string bios = kBiosInfo;
    const Lines identified = {"KELVORANTE", "VB-190", "1.0"};
    const Lines by_dmidecode = {"KELVORANTE", "VB-DMI", "2.0"};
    const Lines vendor_seen = kOpen + Lines{"mmap 0xf1000 0x51"};
    return {
        {"EntryPointAtTheFirstParagraph",
         with_smbios(R"("entry_point": "0xF0000", "table_address": "0xF1000", "structures": [)" +
                     base + "]"),
         identified, kOpen + Lines{"mmap 0xf1000 0x1e"}},
        // 22 + 22 + 30 + 6 bytes at 0x345 into its page.
        {"EntryPointAtTheLastParagraphTableOffPageAfterOtherStructures",
         with_smbios(
             R"("entry_point": "0xFFFF0", "table_address": "0xF2345", "structures": [)" + bios +
             R"(, {"type": 1, "strings": ["Some Maker", "Box"], "string_numbers": [1, 2]},)" +
             base + R"(, {"type": 127}])"),
         identified, kOpen + Lines{"mmap 0xf2000 0x395"}},
        {"NumbersZeroAndOneAliasAndBeyondTheSetIsEmpty",
         with_smbios(R"("entry_point": "0xF0A00", "table_address": "0xF1000", "structures": [
             {"type": 2, "strings": ["KELVORANTE", "VB-190", "1.0"], "string_numbers": [1, 0, 4]}])"),
         {"KELVORANTE", "KELVORANTE", ""},
         kOpen + Lines{"mmap 0xf1000 0x1e"}},
        {"BlanksAroundTheStringsTrimmed",
         with_smbios(R"("entry_point": "0xF0A00", "table_address": "0xF1000", "structures": [
             {"type": 2, "strings": ["  KELVORANTE\t", "  VB-190 ", "\u000b1.0\r\n\f"],
              "string_numbers": [1, 2, 3]}])"),
         identified, kOpen + Lines{"mmap 0xf1000 0x28"}},
        {"LongTextsCutTo29CharactersAfterTrimming",
         with_smbios(R"("entry_point": "0xF0A00", "table_address": "0xF1000", "structures": [
             {"type": 2, "manufacturer": "KELVORANTE",
              "product": "VB-190 with a rather long product name",
              "version": "   1.0 revision text that is far too long"}])"),
         {"KELVORANTE", "VB-190 with a rather long pro", "1.0 revision text that is far"},
         kOpen + Lines{"mmap 0xf1000 0x64"}},
        // The board's own anchor first names a table without a base board.
        {"ScanGoesOnPastATableWithoutBaseBoard",
         with_smbios(R"("entry_point": "0xF0A00", "table_address": "0xF1000", "structures": [)" +
                     base + R"(], "raw_records": [)" +
                     raw("0xF0100", entry_point_bytes(7, 0xF3000, 1)) + ", " +
                     raw("0xF3000", "00 04 00 00 41 00 00") + "]"),
         identified, kOpen + Lines{"mmap 0xf3000 0x7", "mmap 0xf1000 0x1e"}},
        {"WalkStopsAtTheAnnouncedCount",
         with_smbios(R"("table_address": "0xF1000", "structures": [)" + bios + ", " + base +
                         R"(], "raw_records": [)" +
                         raw("0xF0A00", entry_point_bytes(52, 0xF1000, 1)) + "]",
                     ", " + std::string(kDmidecodeText)),
         by_dmidecode, kOpen + Lines{"mmap 0xf1000 0x34"} + kDmidecodeRuns},
        {"WalkStopsAtTheAnnouncedLength",
         with_smbios(R"("table_address": "0xF1000", "structures": [)" + bios + ", " + base +
                         R"(], "raw_records": [)" +
                         raw("0xF0A00", entry_point_bytes(22, 0xF1000, 2)) + "]",
                     ", " + std::string(kDmidecodeText)),
         by_dmidecode, kOpen + Lines{"mmap 0xf1000 0x16"} + kDmidecodeRuns},
        // The length ends right after the manufacturer string.
        {"StringsNeverReadPastTheTable",
         with_smbios(R"("table_address": "0xF1000", "structures": [)" + bios + ", " + base +
                     R"(], "raw_records": [)" + raw("0xF0A00", entry_point_bytes(40, 0xF1000, 2)) +
                     "]"),
         {"KELVORANTE", "", ""},
         kOpen + Lines{"mmap 0xf1000 0x28"}},
        // Published through EFI only: the kernel (and dmidecode) knows the
        // table, the BIOS area has no anchor.
        {"NoEntryPointDmidecodeFills",
         with_smbios(R"("table_address": "0xF1000", "structures": [)" + base + "]"), identified,
         kOpen + kDmidecodeRuns},
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
        {"ForcedSearchTakesTheMakerRecordWhole",
         with_smbios(kVendorTable + maker_record("Kelvorante", "VB-190", "1.0")),
         {"Kelvorante", "VB-190", "1.0"},
         vendor_seen + search_windows(0xF0000, 0xF8000)},
        {"ForcedSearchSecondSpelling",
         with_smbios(kVendorTable + maker_record("KELVORANTE", "VB-191", "2.0")),
         {"KELVORANTE", "VB-191", "2.0"},
         vendor_seen + kWholeSearch + search_windows(0xF0000, 0xF8000)},
        // A formatted area of 123 bytes: the 128-byte copy holds only the
        // first five letters of the maker and none of the other strings.
        {"ForcedSearchStringsEndWithTheCopy",
         with_smbios(std::string(kVendorTable) + R"(, "raw_records": [{"address": "0xF8000",
             "bytes": "02 7b 00 01 01 02 03 )" +
                     [] {
                         std::string fill;
                         for (int i = 0; i < 116; ++i) fill += "11 ";
                         return fill;
                     }() +
                     strings_hex({"Kelvorante", "VB-190", "1.0"}) + "\"}]"),
         {"Kelvo", "", ""},
         vendor_seen + search_windows(0xF0000, 0xF8000)},
    };
}

class Identification : public testing::TestWithParam<Case> {};

TEST_P(Identification, TextsTraceAndMessages) {
    const Case& c = GetParam();
    Sandbox sb(c.board);
    Identity id;
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

// The second identification of a run finds the buffers filled: without an
// entry point they are kept and dmidecode is not asked again.
TEST(IdentificationAgain, FilledBuffersSkipTheFallback) {
    Sandbox sb(with_smbios(R"("table_address": "0xF1000", "structures": [)" +
                           std::string(kBaseBoard) + "]"));
    Identity id("KELVORANTE", "VB-190", "");
    get_mb_info(id.manufacturer.text, id.product.text, id.version.text);
    EXPECT_THAT(id.texts(), ElementsAre("KELVORANTE", "VB-190", ""));
    EXPECT_THAT(events(sb.trace()), ElementsAreArray(kOpen));
}

}  // namespace
