// search_string_in_dmi_type_2 on its own: the copy it returns, where its
// windows start, and records that the step back does not take.
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
constexpr size_t kRecordLength = 8 + 11 + 7 + 4 + 1;

std::string board_with(const std::string& records) {
    return R"({"smbios": {"raw_records": [)" + records + "]}}";
}
std::string record_at(const char* address, const std::string& bytes) {
    return std::string(R"({"address": ")") + address + R"(", "bytes": ")" + bytes + "\"}";
}

std::vector<uint8_t> bytes_of(const std::string& list) {
    std::vector<uint8_t> bytes;
    for (size_t at = 0; at < list.size(); at += 3)
        bytes.push_back(std::stoul(list.substr(at, 2), nullptr, 16));
    return bytes;
}

// The copy is the 128 bytes from the record's first byte, whatever follows
// the record (here another record at +0x40).
TEST(Search, ReturnsThe128BytesThatStartTheRecord) {
    Sandbox sb(board_with(record_at("0xF9000", kRecord) + ", " + record_at("0xF9040", "aa bb")));
    std::optional<DmiRecordCopy> copy = search_string_in_dmi_type_2("Kelvorante", 0xF0000, 0xFFFFF);
    ASSERT_TRUE(copy);
    DmiRecordCopy expected{};
    std::vector<uint8_t> record = bytes_of(kRecord);
    ASSERT_EQ(kRecordLength, record.size());
    std::copy(record.begin(), record.end(), expected.begin());
    expected[0x40] = 0xAA;
    expected[0x41] = 0xBB;
    EXPECT_EQ(expected, *copy);
    EXPECT_THAT(events(sb.trace()), ElementsAreArray(search_windows(0xF0000, 0xF8000)));
}

// A record that ends past its window (its product string crosses 0xFA000) is
// copied as far as the window goes: the rest of the copy is zeros, though
// memory goes on.
TEST(Search, CopyEndsWithTheWindow) {
    Sandbox sb(board_with(record_at("0xF9FE8", kRecord)));
    std::optional<DmiRecordCopy> copy = search_string_in_dmi_type_2("Kelvorante", 0xF0000, 0xFFFFF);
    ASSERT_TRUE(copy);
    std::vector<uint8_t> record = bytes_of(kRecord);
    EXPECT_TRUE(std::equal(record.begin(), record.begin() + 24, copy->begin()));
    EXPECT_TRUE(std::all_of(copy->begin() + 24, copy->end(), [](uint8_t b) { return b == 0; }));
}

// Windows begin at the first address's page; the strings are walked from the
// first address itself, so a record whose maker string lies before it is
// passed over.
TEST(Search, WalkStartsAtTheFirstAddress) {
    struct Row {
        uint32_t first;
        bool found;
    };
    for (Row row : {Row{0xF8008, true}, Row{0xF8009, false}, Row{0xF8012, false}}) {
        SCOPED_TRACE(row.first);
        Sandbox sb(board_with(record_at("0xF8000", kRecord)));
        EXPECT_EQ(row.found,
                  search_string_in_dmi_type_2("Kelvorante", row.first, 0xFFFFF).has_value());
        EXPECT_THAT(events(sb.trace()),
                    ElementsAreArray(search_windows(0xF8000, row.found ? 0xF8000 : 0xFE000)));
    }
}

// Strings with the text that the step back does not lead to a type-2 byte:
// a system record (type 1), and a base board record whose formatted area holds
// two NULs (handle 0x0000), which stop the step back short of its type byte.
// The record after them is the one taken.
TEST(Search, TakesOnlyAStructureThatStartsWithType2) {
    Sandbox sb(board_with(
        record_at("0xF8100", "01 05 00 01 01 " + strings_hex({"Kelvorante"})) + ", " +
        record_at("0xF8200", "02 07 00 00 01 02 03 " + strings_hex({"Kelvorante", "Decoy"})) +
        ", " + record_at("0xF8300", kRecord)));
    std::optional<DmiRecordCopy> copy = search_string_in_dmi_type_2("Kelvorante", 0xF0000, 0xFFFFF);
    ASSERT_TRUE(copy);
    std::vector<uint8_t> record = bytes_of(kRecord);
    EXPECT_TRUE(std::equal(record.begin(), record.end(), copy->begin()));
}

TEST(Search, StringCutByTheWindowEndIsNotMatched) {
    // "Kelvorante" runs from 0xF9FFA across the boundary at 0xFA000.
    Sandbox sb(board_with(
        record_at("0xF9FF0", "02 0a 10 00 01 02 03 0a 0a 0a " + strings_hex({"Kelvorante"}))));
    EXPECT_FALSE(search_string_in_dmi_type_2("Kelvorante", 0xF0000, 0xFFFFF));
    EXPECT_THAT(events(sb.trace()), ElementsAreArray(kWholeSearch));
}

}  // namespace
