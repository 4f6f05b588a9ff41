// SMBus register access on virtual boards: the i2c-dev transfers and the host
// status writes that follow them, the adapter choice, and which BMC command
// carries each access through the IMB driver and the OpenIPMI device. The
// accesses and what each board saw of them are data: smbus_routes/accesses.txt.
#include "hw/smbus.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAreArray;

constexpr uint32_t kUntouched = 0xDEAD;
constexpr uint32_t kBase = 0x1100;
const std::string kRoutesDir = std::string(SV_TESTS_DIR) + "/hw/smbus_routes/";

using SmbusTest = HwTest;

// One call of the module: byte read, word read, write of 0x80, GPU read.
int32_t call(const std::string& op, int32_t chip, int32_t bus, int32_t slave, int32_t reg,
             uint32_t* value) {
    if (op == "read") return smbus_byte_data_read(chip, bus, kBase, slave, reg, value);
    if (op == "word") return smbus_word_data_read_HL(bus, kBase, slave, reg, value);
    if (op == "write") return smbus_byte_data_write(bus, kBase, slave, reg, 0x80);
    if (op == "gpu") return smbus_byte_data_read_GPU(bus, kBase, slave, reg, value);
    ADD_FAILURE() << "unknown operation " << op;
    return -2;
}

// The trace with the descriptor numbers of "open" lines replaced by "fd".
std::vector<std::string> trace_of(const Sandbox& sb) {
    std::vector<std::string> lines;
    for (std::string line : sb.trace()) {
        size_t arrow = line.rfind(" -> ");
        if (line.rfind("open ", 0) == 0 && arrow != std::string::npos && line[arrow + 4] != '-')
            line = line.substr(0, arrow + 4) + "fd";
        lines.push_back(line);
    }
    return lines;
}

// The board named by an access's header; on openipmi with the GUID of the kind.
std::string board_for(const std::string& board, const std::string& kind) {
    static const std::map<std::string, std::string> kGuids = {
        {"Peppercon", "30 30 30 31 51 4B"},
        {"OBWinbond", "35 30 30 31 51 4B"},
        {"AOWinbond", "34 30 30 31 51 4B"},
        {"OBWinbondATen", "37 30 30 31 51 4B"},
        {"other", "00 11 22 33 44 55"}};
    std::string text = read_whole_file(kRoutesDir + board + ".json");
    if (size_t at = text.find("@GUID@"); at != std::string::npos)
        text.replace(at, 6, kGuids.at(kind));
    return text;
}

TEST_F(SmbusTest, EveryAccessTakesItsRouteAndTheBoardSeesItsBytes) {
    std::ifstream in(kRoutesDir + "accesses.txt");
    ASSERT_TRUE(in) << "accesses.txt is missing";
    std::vector<std::string> block;
    int number = 0, run = 0;
    auto check = [&] {
        if (block.empty()) return;
        SCOPED_TRACE("accesses.txt line " + std::to_string(number) + ": " + block[0]);
        char board[16], kind[16], op[8], value_text[16];
        int32_t chip, bus, slave, reg, result;
        ASSERT_EQ(std::sscanf(block[0].c_str(), "%15s %15s %7s %d %d %i %i => %d %15s", board, kind,
                              op, &chip, &bus, &slave, &reg, &result, value_text),
                  9);
        std::vector<std::string> expected(block.begin() + 1, block.end());
        std::string err;
        if (!expected.empty() && expected.back().rfind("stderr: ", 0) == 0) {
            err = expected.back().substr(8) + "\n";
            expected.pop_back();
        }
        reset_hw_state();
        Sandbox sb(board_for(board, kind));
        if (std::string(board) == "i2c") {
            ASSERT_EQ(init_i2c_bus_list(), 2);
        } else {
            ASSERT_EQ(IpmiInit(), 0);
            ASSERT_EQ(ipmi_driver_option, std::string(board) == "imb" ? 1 : 2);
        }
        IntelDevice = std::string(kind) == "Intel" ? 1 : 0;
        sb.clear_trace();
        uint32_t value = kUntouched;
        OutputCapture output;
        EXPECT_EQ(call(op, chip, bus, slave, reg, &value), result);
        EXPECT_EQ(output.err(), err);
        EXPECT_EQ(value, *value_text == '-' ? kUntouched : std::stoul(value_text, nullptr, 0));
        EXPECT_THAT(trace_of(sb), ElementsAreArray(expected));
        ++run;
    };
    std::string line;
    for (int at = 1; std::getline(in, line); ++at) {
        if (line.rfind("#", 0) == 0) continue;
        if (!line.empty()) {
            if (block.empty()) number = at;
            block.push_back(line);
            continue;
        }
        check();
        block.clear();
    }
    check();
    EXPECT_EQ(run, 60);
}

TEST_F(SmbusTest, AdapterIsChosenByIoBaseAndKeptForTheRun) {
    Sandbox sb(board_for("i2c", "Intel"));
    init_i2c_bus_list();
    uint32_t value = 0;
    EXPECT_EQ(smbus_byte_data_read(1, 1, 0x0B00, 0x2D, 0x20, &value), 0);
    EXPECT_EQ(value, 0x66u);
    EXPECT_STREQ(i2c_device_path, "/dev/i2c-1");
    sb.clear_trace();
    // Another base later on still reaches the adapter opened first.
    EXPECT_EQ(smbus_byte_data_read(1, 1, 0x1100, 0x2D, 0x20, &value), 0);
    EXPECT_THAT(trace_of(sb),
                ElementsAreArray({"i2c 1 slave 0x2d -> 0", "i2c 1 0x2d read 0x20 -> 0x66"}));
}

// No adapter to open ends the run: none at that base (or with no address), or
// none of a host type (a node that does not open: e2e
// fault-adapter-node-vanished-ends-the-run).
TEST_F(SmbusTest, NoUsableAdapterEndsTheRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* board : {
             R"({"smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1000"},
                           {"bus": 1, "name": "SMBus I801 adapter"}]})",
             R"({"smbus": [{"bus": 0, "type": "i2c", "name": "SMBus I801 adapter at 1100"}]})"}) {
        SCOPED_TRACE(board);
        reset_hw_state();
        Sandbox sb(board);
        init_i2c_bus_list();
        uint32_t value = 0;
        EXPECT_EXIT(smbus_byte_data_read(1, 1, 0x1100, 0x2D, 0x20, &value),
                    testing::ExitedWithCode(255),
                    "^Error: Cannot find a proper I2C/SMBus device!\n$");
    }
}

}  // namespace
