// The board-file loader: bad boards are refused with one exact line naming
// the JSON path and the reason; a full board arrives with every value in place.
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

// One refusal per rule the loader keeps.
TEST(BoardFile, RefusesBadBoardsWithPathAndReason) {
    const std::pair<const char*, const char*> cases[] = {
        {R"j({"smbus": [{"bus": 0, "name": "a"}, {"bus": 1, "name": "b", "devices": [{"address": 1},
             {"registers": {"0x10": [1, 2], "0x10": 3}}]}]})j",
         R"(t.json: smbus[1].devices[1].registers["0x10"]: key given twice)"},
        {R"({"uid": -1})", "t.json: uid: expected a user ID (0..4294967294), got -1"},
        // A long text is cut after 40 bytes, but not inside a character.
        {R"({"uid": "xéééééééééééééééééééééééé"})",
         R"(t.json: uid: expected a user ID (0..4294967294), got "xééééééééééééééééééé...")"},
        {R"({"clock": {"start": "2026-02-29 10:00:00"}})",
         R"(t.json: clock.start: expected a local time "YYYY-MM-DD HH:MM:SS" from 1970 on, got "2026-02-29 10:00:00")"},
        {R"({"latency": {"i2c_us": 1.5}})",
         "t.json: latency.i2c_us: expected a whole number (0..4294967295), got 1.5"},
        {R"({"files": {"/etc/../../x": ""}})",
         R"(t.json: files["/etc/../../x"]: expected an absolute path without empty, "." or ".." parts, got "/etc/../../x")"},
        {R"({"ports": {"0x295": {"index_data": {"data": "0x296", "registers": {"78": 1, "0x4E": 2}}}}})",
         R"(t.json: ports["0x295"].index_data.registers["0x4E"]: names the same number as "78")"},
        {R"({"ports": {"0x2E": {"bytes": "00", "superio": {"data": "0x2F"}}}})",
         R"(t.json: ports["0x2E"]: expected exactly one of index_data, superio, bytes)"},
        {R"({"ports": {"0x2E": {"superio": {}}}})", R"(t.json: ports["0x2E"].superio: missing key "data")"},
        {R"({"ports": {"0x1100": {"bytes": "42 0g"}}})",
         R"(t.json: ports["0x1100"].bytes: expected hex bytes separated by blanks, got "0g" (byte 2))"},
        {R"({"ports": {"0x295": {"index_data": {"data": "0x296"}}, "0x296": {"bytes": "00"}}})",
         R"(t.json: ports["0x296"]: port 0x296 is also claimed by ports["0x295"].index_data.data)"},
        {R"({"ports": {"0xFFFF": {"bytes": "00 00"}}})", R"(t.json: ports["0xFFFF"]: runs past port 0xFFFF)"},
        {R"({"ports": {"0x2E": {"superio": {"data": "0x2F", "registers": {"0x60": 1}}}}})",
         R"(t.json: ports["0x2E"].superio.registers["0x60"]: registers from 0x30 up belong to a logical device (devices))"},
        {R"({"ports": {"0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E", "banks": {"8": {}}}}}})",
         R"(t.json: ports["0x295"].index_data.banks["8"]: bank 8 cannot be selected through bank_mask 0x07)"},
        {R"({"ports": {"0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E", "banks": {"1": {"0x4e": 0}}}}}})",
         R"(t.json: ports["0x295"].index_data.banks["1"]["0x4e"]: the bank register is never banked)"},
        {R"({"ports": {"0x295": {"index_data": {"data": "0x296", "banks": {"1": {}}}}}})",
         R"(t.json: ports["0x295"].index_data.banks: banks need a bank_register)"},
        {R"({"ports": {"0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E",
             "latches": [{"write": "0x46", "clear": {"0x4e": 1}}]}}}})",
         R"(t.json: ports["0x295"].index_data.latches[0].clear["0x4e"]: the bank register is never latched)"},
        {R"({"ports": {"0x295": {"index_data": {"data": "0x296",
             "latches": [{"write": "0x46", "bank": 0, "clear": {"0x42": 1}}]}}}})",
         R"(t.json: ports["0x295"].index_data.latches[0].bank: needs a bank_register)"},
        {R"({"smbus": [{"bus": 0, "name": "a", "devices": [{"address": 1,
             "latches": [{"write": 2, "clear": {"3": "0x30"}, "set": {"3": "0x12"}}]}]}]})",
         R"(t.json: smbus[0].devices[0].latches[0].set: sets bits that it clears (0x10 of 0x03))"},
        {R"({"ports": {"0xA00": {"bytes": "00 00",
             "latches": [{"write": "0xA02", "set": {"0xA00": 1}}]}}})",
         R"(t.json: ports["0xA00"].latches[0].write: port 0xA02 is not in this storage (0xA00..0xA01))"},
        {R"({"ports": {"0x2E": {"superio": {"data": "0x2F"}, "latches": []}}})",
         R"(t.json: ports["0x2E"].latches: go with bytes here; an index_data chip holds its own)"},
        {R"({"pci": [{"bus": 0, "device": 31, "function": 3, "id": 1, "config": {"0x21": 1}}]})",
         R"(t.json: pci[0].config["0x21"]: expected a dword-aligned offset (0x04..0xFC))"},
        {R"({"pci": [{"bus": 0, "device": 31, "function": 3, "id": 1},
                     {"bus": "0", "device": "0x1F", "function": 3, "id": 2}]})",
         "t.json: pci[1]: bus 0 device 31 function 3 is also pci[0]"},
        {R"({"smbus": [{"bus": 0, "name": "a\tb"}]})",
         "t.json: smbus[0].name: cannot hold a tab, a line break or a NUL"},
        {R"({"smbus": [{"bus": 0, "name": "a", "devices": [{"address": "0x80"}]}]})",
         R"(t.json: smbus[0].devices[0].address: expected a 7-bit address (0..0x7F), got "0x80")"},
        {R"({"bmc": {"interface": "openipmi", "guid": "35 30 30 31 51 4B 00 00 00 00 00 00 00 00 00"}})",
         "t.json: bmc.guid: expected 16 hex bytes, got 15"},
        {R"({"bmc": {"interface": "openipmi", "responses": {"30/2C 01": "00", "30/2c 1": "00 01"}}})",
         R"(t.json: bmc.responses["30/2c 1"]: names the same request as "30/2C 01")"},
        {R"({"bmc": {"interface": "openipmi", "responses": {"30/93": []}}})",
         R"(t.json: bmc.responses["30/93"]: expected at least one answer, got [])"},
        {R"({"bmc": {"interface": "openipmi", "responses": {"30/93": ["00 01", ""]}}})",
         R"(t.json: bmc.responses["30/93"][1]: expected at least 1 hex byte, got 0)"},
        {R"({"bmc": {"interface": "openipmi", "completion_codes": {"06/37 00": "0xC1"}}})",
         R"(t.json: bmc.completion_codes["06/37 00"]: expected "NN/CC" without data, got "06/37 00")"},
        {R"({"bmc": {"interface": "openipmi", "isa_proxy": true},
             "ports": {"0xCD6": {"index_data": {"data": "0xCD7"}}}})",
         "t.json: bmc.isa_proxy: needs a ports index_data chip with a bank_register"},
        {R"({"smbios": {"table_address": "0xF1000", "structures": [{"type": 0, "manufacturer": "x"}]}})",
         "t.json: smbios.structures[0].manufacturer: only a type-2 structure takes this key"},
        {R"({"smbios": {"table_address": "0xF1000", "structures": [{"type": 0, "strings": ["a", ""]}]}})",
         "t.json: smbios.structures[0].strings[1]: a string of a structure cannot be empty (it "
         "would end the set)"},
        {R"({"smbios": {"table_address": "0xF1000", "structures": [{"type": 127}],
                        "raw_records": [{"address": "0xF1005", "bytes": "00"}]}})",
         "t.json: smbios.raw_records[0]: overlaps the structure table (0xF1000..0xF1005)"},
        {R"({"smbios": {"raw_records": [{"address": "0xFFFFFFFF", "bytes": "00 00"}]}})",
         "t.json: smbios.raw_records[0]: runs past the 4 GiB physical address space"},
    };
    for (const auto& [json, message] : cases) EXPECT_EQ(error_of(json), message) << json;

    // Register values take the same shape wherever they appear.
    const std::pair<const char*, const char*> registers[] = {
        {R"("0x1FF")", R"(: expected a byte (0..0xFF), got "0x1FF")"},
        {R"({"values": [], "advance": "read"})", ".values: expected at least one value"},
        {R"({"values": [1]})", R"(: expected either "advance": "read" or "every": SECONDS)"},
        {R"({"fail": false})", R"(.fail: expected true (omit "fail" for a register that answers))"},
    };
    for (const auto& [value, why] : registers) {
        EXPECT_EQ(error_of(std::string(R"({"ports": {"0x295": {"index_data": {"data": "0x296", )") +
                           R"("registers": {"0x20": )" + value + "}}}}}"),
                  std::string(R"(t.json: ports["0x295"].index_data.registers["0x20"])") + why)
            << value;
    }
    // A missing comma is found at the end of the next key, on line 3.
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

// Text that once cost time or memory out of all proportion (64 000 brackets:
// 30 s and 7.4 GB; 200 000 list entries or keys: a minute each, every check
// quadratic) is refused or accepted in linear time; ctest's time limit catches
// a check that turns quadratic again.
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
    std::string levels;
    for (int i = 0; i < 32; ++i) levels += "[0]";
    const std::string long_name(5000, 'a');
    const std::pair<std::string, std::string> cases[] = {
        {std::string(64000, '[') + std::string(64000, ']'),
         "t.json: " + levels + ": nested deeper than 32 levels"},
        {R"({"modules": )" + list("m", "m7") + "}",
         "t.json: modules[200000]: also listed as modules[7]"},
        {R"({"faults": {"missing": )" + list("/m", "/m7") + "}}",
         "t.json: faults.missing[200000]: also listed as faults.missing[7]"},
        {many_files + "}", "(accepted)"},
        {R"({"files": {"/etc/)" + long_name + R"(": ""}})",
         R"(t.json: files["/etc/)" + long_name +
             R"("]: a path of 5005 bytes, longer than Linux takes (4095))"},
        {R"({"files": {"/etc/)" + long_name.substr(0, 256) + R"(/x": ""}})",
         R"(t.json: files["/etc/)" + long_name.substr(0, 256) +
             R"(/x"]: a part of 256 bytes, longer than a file name Linux takes (255))"},
        {R"({"ports": {"0x000000000000000000000000000000295": {"bytes": "00"}}})",
         R"(t.json: ports["0x000000000000000000000000000000295"]: expected a port (0..0xFFFF), )"
         R"(got "0x000000000000000000000000000000295")"},
    };
    for (const auto& [json, message] : cases)
        EXPECT_EQ(message, error_of(json)) << json.substr(0, 60);

    // Read no further than the limit: a device or a FIFO given as the board.
    try {
        load_board_file("/dev/zero", BoardLimits{65536, 32});
        ADD_FAILURE() << "accepted";
    } catch (const BoardError& e) {
        EXPECT_EQ(std::string("/dev/zero: too large: more than 65536 bytes"), e.what());
    }
}

// The broken board file's message with its path: Launcher.BadBoardFileIsRefused...
TEST(BoardFile, LoadsFromAFileNamedByItsBaseName) {
    TempDir dir;
    write_whole_file(dir.path() + "/vb-111.json", R"({"dmidecode": "Manufacturer: X\n"})");
    Board b = load_board_file(dir.path() + "/vb-111.json");
    EXPECT_EQ(b.name, "vb-111");
    EXPECT_EQ(b.dmidecode.text, "Manufacturer: X\n");
    try {
        load_board_file(dir.path() + "/missing.json");
        ADD_FAILURE() << "accepted";
    } catch (const BoardError& e) {
        EXPECT_EQ(dir.path() + "/missing.json: cannot open: No such file or directory", e.what());
    }
}

}  // namespace
