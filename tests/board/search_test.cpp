// search_string_in_dmi_type_2 on its own, over the BIOS area as the forced
// search calls it: the copy it returns and the records it passes over.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "board/system.h"
#include "board_support.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAreArray;

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

// What the search returns for the records in the BIOS area, and the windows it maps.
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
