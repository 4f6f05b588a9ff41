// The board-file loader: a full board arrives with every value in place, and
// text built to cost time or memory is refused in linear time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/sandbox.h"
#include "vboard/board.h"

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::StartsWith;

std::string error_of(const std::string& json) {
    try {
        parse_board(json, "t.json");
    } catch (const BoardError& e) {
        return e.what();
    }
    return "(accepted)";
}

// The loader's refusals, one per rule, are the e2e cases vb-board-refused-*.
// A syntax error's message comes from the JSON parser after the place: a
// missing comma is found at the end of the next key, on line 3.
TEST(BoardFile, SyntaxErrorsNameTheirLineAndColumn) {
    EXPECT_THAT(error_of("{\n  \"uid\": 1\n  \"name\": \"x\"\n}"),
                StartsWith("t.json: line 3, column 8: syntax error: "));
}

// Numbers in every notation, hex keys in either case, request keys to
// normalise; what the board leaves out takes its default. Register-value kinds
// and the default bank mask show in behaviour (PortDevices, I2cDev).
TEST(BoardFile, LoadsEveryNotationAndTheDefaults) {
    Board b = parse_board(R"j({
  "name": "demo", "uid": "0x3E8", "latency": { "i2c_us": "250" },
  "ports": {
    "0xCD6": { "index_data": { "data": "0xCD7", "registers": { "0x10": "010", "0x1f": 31 } } },
    "0x1100": { "bytes": "42 00 0 FF" } },
  "smbus": [ { "bus": "3", "name": "x" } ],
  "bmc": { "interface": "openipmi", "responses": { "30/93 00": "00 3C", "30/2C 01 04 5F": "0 2a",
                                                   "30/93 01": ["00 3C", "0 3d"] },
           "completion_codes": { "06/37": "0xC1", "30/2c": 0 } },
  "files": { "/etc/Senvis.ini": "[System]\n", "/etc/AllSenvis.ini": "x" }
})j",
                          "boards/demo.json");
    EXPECT_EQ(b.uid, 1000u);
    EXPECT_EQ(b.latency.i2c_us, 250u);
    EXPECT_EQ(b.dmidecode.mode, DmidecodeSpec::Mode::automatic);
    const auto& pm = std::get<IndexDataDevice>(b.ports.at(0xCD6).device);
    const RegisterValue ten{RegisterValue::Kind::fixed, {10}, 0}, thirty_one{RegisterValue::Kind::fixed, {31}, 0};
    EXPECT_EQ(pm.regs.registers, (RegisterMap{{0x10, ten}, {0x1F, thirty_one}}));  // decimal, not octal
    EXPECT_THAT(std::get<PortBytes>(b.ports.at(0x1100).device).bytes,
                ElementsAre(0x42, 0x00, 0x00, 0xFF));
    EXPECT_EQ(b.smbus.at(0).bus, 3u);

    // Request keys normalised to two lower-case hex digits per byte.
    EXPECT_EQ(b.bmc.device, "/dev/ipmi0");
    using Answers = std::vector<std::vector<uint8_t>>;
    EXPECT_THAT(b.bmc.responses, ElementsAre(Pair("30/2c 01 04 5f", Answers{{0x00, 0x2A}}),
                                             Pair("30/93 00", Answers{{0x00, 0x3C}}),
                                             Pair("30/93 01", Answers{{0x00, 0x3C}, {0x00, 0x3D}})));
    EXPECT_THAT(b.bmc.completion_codes, ElementsAre(Pair("06/37", 0xC1), Pair("30/2c", 0x00)));
    // Files keep the board's order, not the alphabet's.
    EXPECT_THAT(b.files, ElementsAre(Pair("/etc/Senvis.ini", "[System]\n"), Pair("/etc/AllSenvis.ini", "x")));
}

TEST(BoardFile, EncodesSmbiosStructures) {
    Board b = parse_board(R"({"smbios": {"table_address": 983040, "structures": [
        {"type": 2, "handle": "0x1234", "manufacturer": "Kel", "version": "", "data": "AA bb"},
        {"type": 2, "manufacturer": "M", "product": "P", "string_numbers": [0, 2]},
        {"type": 127}]}})",
                          "t.json");
    // An empty or absent shorthand text is string number 0; explicit numbers
    // replace the derived ones; a structure without strings ends in two NULs.
    const std::vector<uint8_t> table = {0x02, 0x09, 0x34, 0x12, 0x01, 0x00, 0x00, 0xAA, 0xBB,
                                        'K',  'e',  'l',  0,    0,    0x02, 0x06, 0x01, 0x00,
                                        0x00, 0x02, 'M',  0,    'P',  0,    0,    0x7F, 0x04,
                                        0x02, 0x00, 0x00, 0x00};
    EXPECT_THAT(smbios_memory(b.smbios), ElementsAre(MemoryChunk{0xF0000, table}));
}

// Text that once cost time out of all proportion (200 000 list entries or
// keys: a minute each, every check quadratic) is refused or accepted in linear
// time; ctest's time limit catches a check that turns quadratic again. Deep
// nesting, over-long paths and numbers, a device read to the size limit:
// vb-board-refused-nested-too-deep, -path-*, -port-number-*, -device-*.
TEST(BoardFile, StaysWithinItsBoundsInLinearTime) {
    // ["P0", "P1", ... "P199999", "LAST"]
    auto list = [](const std::string& prefix, const std::string& last) {
        std::string json = "[";
        for (int i = 0; i < 200000; ++i) json += "\"" + prefix + std::to_string(i) + "\",";
        return json + "\"" + last + "\"]";
    };
    std::string many_files = R"({"files": {)";
    for (int i = 0; i < 200000; ++i) many_files += "\"/f/" + std::to_string(i) + "\": \"\",";
    many_files.back() = '}';
    const std::pair<std::string, std::string> cases[] = {
        {R"({"modules": )" + list("m", "m7") + "}",
         "t.json: modules[200000]: also listed as modules[7]"},
        {R"({"faults": {"missing": )" + list("/m", "/m7") + "}}",
         "t.json: faults.missing[200000]: also listed as faults.missing[7]"},
        {many_files + "}", "(accepted)"},
    };
    for (const auto& [json, message] : cases)
        EXPECT_EQ(message, error_of(json)) << json.substr(0, 60);
}

// A file that cannot be opened: vb-board-refused-missing-file.
TEST(BoardFile, IsNamedByItsBaseName) {
    TempDir dir;
    write_whole_file(dir.path() + "/vb-111.json", R"({"dmidecode": "Manufacturer: X\n"})");
    Board b = load_board_file(dir.path() + "/vb-111.json");
    EXPECT_EQ(b.name, "vb-111");
    EXPECT_EQ(b.dmidecode.text, "Manufacturer: X\n");
}

}  // namespace
