// get_mb_info on virtual boards: where the entry point lies, how the table is
// walked, how strings are picked, trimmed and cut, the maker search, the
// dmidecode fallback (and its command output), the /dev/mem failures and the
// forced search's copy of a record.
// Each case checks the texts, what the board saw and what was printed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
const std::string kNotFound = "dmidecode: command not found\n";

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
        {"StringsNeverReadPastTheTable", announced(40, 2), {"KELVORANTE", "", ""},
         kOpen + Lines{"mmap 0xf1000 0x28"}},
        // Published through EFI only, dmidecode fills the texts:
        // first-run-identified-through-dmidecode.
        // The second identification of a run: filled buffers are kept.
        {"NoEntryPointFilledBuffersSkipTheFallback",
         with_smbios(R"("table_address": "0xF1000", "structures": [)" + base + "]"),
         {"KELVORANTE", "VB-190", ""}, kOpen, "", true},
        {"NoEntryPointNoDmidecodeLeavesThemEmpty", R"({"dmidecode": "absent"})", {"", "", ""},
         kOpen + kDmidecodeRuns, kNotFound + kNotFound + kNotFound},
        {"AnotherMakerAndNoMakerRecordKeepsTheTable", with_smbios(kVendorTable),
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
        // A table that would end above 4 GiB cannot be mapped: no fallback.
        // (/dev/mem that cannot be opened: fault-dev-mem-missing-on-first-run.)
        {"MapRefusedNoFallback",
         with_smbios(R"("raw_records": [)" +
                     raw("0xF0A00", entry_point_bytes(0x2000, 0xFFFFF000, 1)) + "]"),
         {"", "", ""}, kOpen + Lines{"mmap 0xfffff000 0x2000"}, "Error: mmap\n"},
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

// Only the one line feed that ends the output goes; what does not fit is cut.
// (The commands run as given: kDmidecodeRuns above.)
TEST(CmdOutput, OneLineFeedGoesAndTheRestIsCutToFit) {
    Sandbox sb;
    for (auto [command, text] : std::initializer_list<std::pair<const char*, std::string>>{
             {"printf 'a\\n\\n'", "a\n"}, {"true", ""},
             {"printf '%0300d' 0", std::string(29, '0')}}) {
        Identity::Guarded dest;
        copy_text(dest.text, "old");
        EXPECT_EQ(0, get_cmd_output(command, dest.text, kBoardTextSize));
        EXPECT_EQ(text, dest.text) << command;
        EXPECT_TRUE(dest.intact());
    }
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

// Type 2, formatted area of 8 (handle 0x0010, string numbers 1-3, one more
// byte), then its strings: "Kelvorante" lies at +8 to +0x11, its NUL at +0x12.
const std::string kRecord =
    "02 08 10 00 01 02 03 0a " + strings_hex({"Kelvorante", "VB-190", "1.0"});

// kRecord's bytes, then zeros to 128.
DmiRecordCopy record_copy() {
    DmiRecordCopy bytes{};
    for (size_t at = 0; at < kRecord.size(); at += 3)
        bytes[at / 3] = uint8_t(std::stoul(kRecord.substr(at, 2), nullptr, 16));
    return bytes;
}

// search_string_in_dmi_type_2 on its own, over the BIOS area as the forced
// search calls it: the copy it returns and the windows it maps.
TEST(Search, CopyOfTheRecordThatStartsWithType2) {
    DmiRecordCopy followed = record_copy(), cut = record_copy();
    followed[0x40] = 0xAA;
    followed[0x41] = 0xBB;
    std::fill(cut.begin() + 24, cut.end(), 0);
    struct Row {
        const char* what;
        std::string records;
        std::optional<DmiRecordCopy> copy;
        Lines windows;
    };
    const Row rows[] = {
        // 128 bytes from the record's first byte, whatever follows it.
        {"followed by another record", raw("0xF9000", kRecord) + ", " + raw("0xF9040", "aa bb"),
         followed, search_windows(0xF0000, 0xF8000)},
        // Its product string crosses 0xFA000: zeros after the window's end,
        // though memory goes on.
        {"crossing the window end", raw("0xF9FE8", kRecord), cut, search_windows(0xF0000, 0xF8000)},
        // The step back from the text reaches no type-2 byte in a system
        // record, nor in a base board record whose formatted area holds two
        // NULs (handle 0x0000); the record after them is taken.
        {"after records the step back does not take",
         raw("0xF8100", "01 05 00 01 01 " + strings_hex({"Kelvorante"})) + ", " +
             raw("0xF8200", "02 07 00 00 01 02 03 " + strings_hex({"Kelvorante", "Decoy"})) + ", " +
             raw("0xF8300", kRecord),
         record_copy(), search_windows(0xF0000, 0xF8000)},
        // "Kelvorante" runs from 0xF9FFA across the boundary at 0xFA000.
        {"text cut by the window end",
         raw("0xF9FF0", "02 0a 10 00 01 02 03 0a 0a 0a " + strings_hex({"Kelvorante"})),
         std::nullopt, kWholeSearch},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Sandbox sb(with_smbios(R"("raw_records": [)" + row.records + "]"));
        EXPECT_EQ(row.copy, search_string_in_dmi_type_2("Kelvorante", 0xF0000, 0xFFFFF));
        EXPECT_THAT(events(sb.trace()), ElementsAreArray(row.windows));
    }
}

}  // namespace
