// SMBus register access on virtual boards: the i2c-dev transfers and the host
// status writes that follow them, the adapter choice, and which BMC command
// carries each access through the IMB driver and the OpenIPMI device.
#include "hw/smbus.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hw/adapter_discovery.h"
#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/ipmi_openipmi.h"
#include "hw/port_io.h"
#include "hw/smbus_routes.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAreArray;

constexpr uint32_t kUntouched = 0xDEAD;
constexpr uint32_t kBase = 0x1100;

void reset_all() {
    reset_smbus_state();
    reset_adapter_discovery_state();
    reset_port_io_state();
    reset_ipmi_imb_state();
    reset_ipmi_openipmi_state();
    reset_bmc_commands_state();
}

class SmbusTest : public testing::Test {
protected:
    void SetUp() override { reset_all(); }
    void TearDown() override { reset_all(); }
};

// One call of the module: byte read, word read, write of 0x80, GPU read.
enum Op { kRead, kWord, kWrite, kGpu };
struct Access {
    Op op;
    int32_t chip, bus, slave, reg;
};

int32_t call(const Access& a, uint32_t* value) {
    switch (a.op) {
        case kRead: return smbus_byte_data_read(a.chip, a.bus, kBase, a.slave, a.reg, value);
        case kWord: return smbus_word_data_read_HL(a.bus, kBase, a.slave, a.reg, value);
        case kWrite: return smbus_byte_data_write(a.bus, kBase, a.slave, a.reg, 0x80);
        case kGpu: return smbus_byte_data_read_GPU(a.bus, kBase, a.slave, a.reg, value);
    }
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

struct Row {
    const char* kind;  // the BMC's GUID start; on i2c-dev "Intel" for an Intel host
    Access access;
    int32_t result;
    uint32_t value;
    std::vector<std::string> trace;
    std::string err = "";
};

// Runs each row on a fresh board made for its kind, after `open`, and compares
// result, value, message and trace (each expected line after `prefix`).
template <typename Board, typename Open>
void run_rows(Board board, Open open, const std::string& prefix, const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        const Access& a = row.access;
        SCOPED_TRACE(std::string(row.kind) + " op " + std::to_string(a.op) + " chip " +
                     std::to_string(a.chip) + " bus " + std::to_string(a.bus) + " slave " +
                     std::to_string(a.slave) + " reg " + std::to_string(a.reg));
        reset_all();
        Sandbox sb(board(row.kind));
        open();
        IntelDevice = std::string(row.kind) == "Intel" ? 1 : 0;
        sb.clear_trace();
        uint32_t value = kUntouched;
        OutputCapture output;
        EXPECT_EQ(call(row.access, &value), row.result);
        EXPECT_EQ(output.err(), row.err);
        EXPECT_EQ(value, row.value);
        std::vector<std::string> expected;
        for (const std::string& line : row.trace) expected.push_back(prefix + line);
        EXPECT_THAT(trace_of(sb), ElementsAreArray(expected));
    }
}

// ---- i2c-dev --------------------------------------------------------------------

// Adapter 0 is the ICH's at 0x1100 (a chip at 0x2D, one a kernel driver
// holds at 0x48); adapter 1 is another controller's at 0x0B00.
constexpr const char* kI2cBoard = R"({"clock": {"virtual": true},
  "ports": {"0x1100": {"bytes": "00"}},
  "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100", "devices": [
      {"address": "0x2D", "registers": {"0x20": "0x12", "0x21": "0x34", "0x44": "0x5A",
                                        "0x30": "0x07", "0x31": {"fail": true}}},
      {"address": "0x48", "kernel_driver": true, "registers": {"0x20": "0x19"}}]},
    {"bus": 1, "name": "SMBus PIIX4 adapter at 0b00", "devices": [
      {"address": "0x2D", "registers": {"0x20": "0x66"}}]}]})";

TEST_F(SmbusTest, I2cDevTransfersAndHostStatus) {
    const char* O = "open /dev/i2c-0 -> fd";
    const char* I = "iopl 3 -> 0";  // then the host status write
    const char* B = "outb 0x1100 0x42";
    // clang-format off
    auto open = [] { ASSERT_EQ(init_i2c_bus_list(), 2); };
    run_rows([](const char*) { return kI2cBoard; }, open, "", {
        // Chips 29 and 31 are not on this bus; only Intel hosts get the status write.
        {"Intel", {kRead, 29, 1, 0x2D, 0x20}, 0, 0, {}},
        {"Intel", {kRead, 31, 8, 0x2D, 0x20}, 0, 1, {}},
        {"Intel", {kRead, 1, 1, 0x2D, 0x20}, 0, 0x12,
         {O, "i2c 0 slave 0x2d -> 0", "i2c 0 0x2d read 0x20 -> 0x12", I, B}},
        {"other", {kRead, 1, 1, 0x2D, 0x20}, 0, 0x12,
         {O, "i2c 0 slave 0x2d -> 0", "i2c 0 0x2d read 0x20 -> 0x12"}},
        // Bus type 8 waits before register 0x44, and only then.
        {"Intel", {kRead, 0, 8, 0x2D, 0x44}, 0, 0x5A,
         {O, "i2c 0 slave 0x2d -> 0", "usleep 550000", "i2c 0 0x2d read 0x44 -> 0x5a", I, B}},
        {"other", {kRead, 0, 9, 0x2D, 0x44}, 0, 0x5A,
         {O, "i2c 0 slave 0x2d -> 0", "i2c 0 0x2d read 0x44 -> 0x5a"}},
        {"other", {kRead, 0, 8, 0x2D, 0x45}, 0, 0,
         {O, "i2c 0 slave 0x2d -> 0", "i2c 0 0x2d read 0x45 -> 0x00"}},
        // An absent chip; one held by a kernel driver.
        {"Intel", {kRead, 1, 1, 0x50, 0x20}, -1, kUntouched,
         {O, "i2c 0 slave 0x50 -> 0", "i2c 0 0x50 read 0x20 -> nak", I, B}},
        {"Intel", {kRead, 1, 1, 0x48, 0x20}, -1, kUntouched,
         {O, "i2c 0 slave 0x48 -> -1"}, "Error: ioctl(), slave=0x48\n"},
        // Word reads and writes force the slave address.
        {"Intel", {kWord, 0, 1, 0x2D, 0x20}, 0, 0x1234,
         {O, "i2c 0 slave-force 0x2d -> 0", "i2c 0 0x2d read 0x20 -> 0x12", I, B,
          "i2c 0 0x2d read 0x21 -> 0x34", I, B}},
        {"Intel", {kWord, 0, 1, 0x2D, 0x30}, -1, kUntouched,
         {O, "i2c 0 slave-force 0x2d -> 0", "i2c 0 0x2d read 0x30 -> 0x07", I, B,
          "i2c 0 0x2d read 0x31 -> nak", I, B}},
        {"other", {kWord, 0, 1, 0x50, 0x20}, -1, kUntouched,
         {O, "i2c 0 slave-force 0x50 -> 0", "i2c 0 0x50 read 0x20 -> nak"}},
        {"Intel", {kWrite, 0, 1, 0x48, 0x4E}, 0, kUntouched,
         {O, "i2c 0 slave-force 0x48 -> 0", "i2c 0 0x48 write 0x4e 0x80 -> 0", I, B}},
        {"other", {kWrite, 0, 1, 0x50, 0x4E}, 0, kUntouched,
         {O, "i2c 0 slave-force 0x50 -> 0", "i2c 0 0x50 write 0x4e 0x80 -> nak"}},
        // GPU reads answer without a transfer.
        {"Intel", {kGpu, 0, 8, 0x4C, 0}, 0, 127, {O}},
        {"Intel", {kGpu, 0, 8, 0x4C, 5}, 0, 0, {O}},
    });
    // clang-format on
}

TEST_F(SmbusTest, AdapterIsChosenByIoBaseAndKeptForTheRun) {
    Sandbox sb(kI2cBoard);
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
        reset_all();
        Sandbox sb(board);
        init_i2c_bus_list();
        uint32_t value = 0;
        EXPECT_EXIT(smbus_byte_data_read(1, 1, 0x1100, 0x2D, 0x20, &value),
                    testing::ExitedWithCode(255),
                    "^Error: Cannot find a proper I2C/SMBus device!\n$");
    }
}

// ---- BMC routes -------------------------------------------------------------------

void open_imb() {
    ASSERT_EQ(IpmiInit(), 0);
    ASSERT_EQ(ipmi_driver_option, 1);
}

void open_openipmi() {
    ASSERT_EQ(IpmiInit(), 0);
    ASSERT_EQ(ipmi_driver_option, 2);
}

constexpr const char* kImbBoard = R"({"clock": {"virtual": true}, "bmc": {"interface": "imb",
  "buses": {"0x05": [{"address": "0x2D", "registers": {
    "0x2B": "0x37", "0x2C": "0x12", "0x40": "0x55", "0x41": {"fail": true}}}]}}})";

TEST_F(SmbusTest, ImbCarriesEveryAccessAsMasterWriteRead) {
    // clang-format off
    run_rows([](const char*) { return kImbBoard; },
             open_imb, "ipmi imb ", {
        {"", {kRead, 1, 1, 0x2D, 0x2B}, 0, 0x37, {"06/52 05 5a 01 2b -> 00 37"}},
        {"", {kRead, 29, 8, 0x2D, 0x2B}, 0, 0x37, {"06/52 05 5a 01 2b -> 00 37"}},
        {"", {kRead, 1, 1, 0x50, 0x2B}, -1, kUntouched, {"06/52 05 a0 01 2b -> 83"}},
        {"", {kWord, 0, 1, 0x2D, 0x2B}, 0, 0x3712,
         {"06/52 05 5a 01 2b -> 00 37", "06/52 05 5a 01 2c -> 00 12"}},
        {"", {kWord, 0, 1, 0x2D, 0x40}, -1, 0x5500,
         {"06/52 05 5a 01 40 -> 00 55", "06/52 05 5a 01 41 -> 83"}},
        {"", {kWrite, 0, 1, 0x2D, 0x40}, 0, kUntouched, {"06/52 05 5a 00 40 80 -> 00"}},
        {"", {kGpu, 0, 8, 0x4C, 0}, -1, kUntouched, {}},
    });
    // clang-format on
}

// The first six bytes of each BMC kind's system GUID.
constexpr const char* kPep = "30 30 30 31 51 4B";
constexpr const char* kOBW = "35 30 30 31 51 4B";
constexpr const char* kAOW = "34 30 30 31 51 4B";
constexpr const char* kOBWAten = "37 30 30 31 51 4B";
constexpr const char* kOther = "00 11 22 33 44 55";

// Chips around both private ranges on private bus 2 (ID 0x05: registers
// 0x10/0x11 read 0x51/0x52) and bus 3 (ID 0x07: 0x71/0x72); the OEM answers.
std::string openipmi_board(const char* guid) {
    auto bus = [](const char* low, const char* high) {
        std::string chips;
        for (const char* address : {"0x2D", "0x37", "0x38", "0x3C", "0x3F", "0x40", "0x57", "0x58",
                                    "0x5A", "0x5B", "0x5C"})
            chips += std::string(chips.empty() ? "" : ", ") + R"({"address": ")" + address +
                     R"(", "registers": {"0x10": ")" + low + R"(", "0x11": ")" + high +
                     R"(", "0x1F": "0x5F", "0x20": {"fail": true}, "0x21": "0x61"}})";
        return "[" + chips + "]";
    };
    return std::string(
               R"({"clock": {"virtual": true}, "bmc": {"interface": "openipmi", "guid": ")") +
           guid + R"( 00 00 00 00 00 00 00 00 00 00", "buses": {"0x05": )" + bus("0x51", "0x52") +
           R"(, "0x07": )" + bus("0x71", "0x72") + R"(}, "responses": {
             "30/92 03 0a": "00 11 22 33 44", "30/92": "00 01", "30/0f": "00 2a",
             "30/70 50 4c 04": "00 3f", "30/70 05 04": "00 41"}}})";
}

// Byte reads and writes take the Peppercon OEM command inside 0x38-0x3F and
// 0x58-0x5B, the OBWinbond kinds the bus-3 master write-read; word reads two
// byte commands (both halves stored, results ORed) or one OEM word command.
TEST_F(SmbusTest, OpenIpmiRoutes) {
    const std::vector<std::string> pair05 = {"06/52 05 5a 01 10 -> 00 51",
                                             "06/52 05 5a 01 11 -> 00 52"};
    // clang-format off
    run_rows(openipmi_board, open_openipmi, "ipmi openipmi ", {
        {kPep, {kRead, 1, 1, 0x38, 0x10}, 0, 0x51, {"30/22 05 70 01 10 -> 00 51"}},
        {kPep, {kRead, 1, 1, 0x3F, 0x10}, 0, 0x51, {"30/22 05 7e 01 10 -> 00 51"}},
        {kPep, {kRead, 1, 1, 0x37, 0x10}, 0, 0x51, {"06/52 05 6e 01 10 -> 00 51"}},
        {kPep, {kRead, 1, 1, 0x40, 0x10}, 0, 0x51, {"06/52 05 80 01 10 -> 00 51"}},
        {kPep, {kRead, 1, 1, 0x58, 0x10}, 0, 0x51, {"30/22 05 b0 01 10 -> 00 51"}},
        {kPep, {kRead, 1, 1, 0x5B, 0x10}, 0, 0x51, {"30/22 05 b6 01 10 -> 00 51"}},
        {kPep, {kRead, 1, 1, 0x57, 0x10}, 0, 0x51, {"06/52 05 ae 01 10 -> 00 51"}},
        {kOBW, {kRead, 1, 1, 0x5A, 0x10}, 0, 0x71, {"06/52 07 b4 01 10 -> 00 71"}},
        {kOBW, {kRead, 1, 1, 0x5C, 0x10}, 0, 0x51, {"06/52 05 b8 01 10 -> 00 51"}},
        {kOBWAten, {kRead, 1, 1, 0x38, 0x10}, 0, 0x71, {"06/52 07 70 01 10 -> 00 71"}},
        {kAOW, {kRead, 1, 1, 0x5A, 0x10}, 0, 0x51, {"06/52 05 b4 01 10 -> 00 51"}},
        {kOther, {kRead, 1, 1, 0x3C, 0x10}, 0, 0x51, {"06/52 05 78 01 10 -> 00 51"}},
        // Bus type bit 3: the OEM commands by chip; bit 0 takes precedence.
        {kPep, {kRead, 29, 8, 0x3A, 2}, 0, 0x33, {"30/92 03 0a -> 00 11 22 33 44"}},
        {kOther, {kRead, 31, 8, 0x2D, 0x10}, 0, 1, {"30/92 -> 00 01"}},
        {kOther, {kRead, 1, 8, 0x2D, 0x10}, 0, 0x2A, {"30/0f -> 00 2a"}},
        {kOther, {kRead, 29, 9, 0x2D, 0x10}, 0, 0x51, {"06/52 05 5a 01 10 -> 00 51"}},
        {kPep, {kRead, 1, 2, 0x2D, 0x10}, -1, kUntouched, {}},
        {kPep, {kRead, 1, 1, 0x3C, 0x20}, 255, kUntouched, {"30/22 05 78 01 20 -> 83"}},
        // Writes of bit-3 items travel as I2C master writes too.
        {kPep, {kWrite, 0, 8, 0x3C, 0x10}, 0, kUntouched, {"30/22 05 78 00 10 80 -> 00"}},
        {kPep, {kWrite, 0, 8, 0x2D, 0x10}, 0, kUntouched, {"06/52 05 5a 00 10 80 -> 00"}},
        {kOBW, {kWrite, 0, 1, 0x5A, 0x10}, 0, kUntouched, {"06/52 07 b4 00 10 80 -> 00"}},
        {kOBWAten, {kWrite, 0, 8, 0x5B, 0x10}, 0, kUntouched, {"06/52 07 b6 00 10 80 -> 00"}},
        {kAOW, {kWrite, 0, 8, 0x5B, 0x10}, 0, kUntouched, {"06/52 05 b6 00 10 80 -> 00"}},
        {kPep, {kWrite, 0, 2, 0x2D, 0x10}, -1, kUntouched, {}},
        {kOther, {kWrite, 0, 1, 0x50, 0x10}, 255, kUntouched, {"06/52 05 a0 00 10 80 -> 83"}},
        // Word reads; a failed half still stores the other.
        {kPep, {kWord, 0, 1, 0x3C, 0x10}, 0, 0x5152,
         {"30/22 05 78 01 10 -> 00 51", "30/22 05 78 01 11 -> 00 52"}},
        {kOBW, {kWord, 0, 1, 0x5A, 0x10}, 0, 0x7172,
         {"06/52 07 b4 01 10 -> 00 71", "06/52 07 b4 01 11 -> 00 72"}},
        {kOther, {kWord, 0, 1, 0x2D, 0x10}, 0, 0x5152, pair05},
        {kPep, {kWord, 0, 8, 0x2D, 0x10}, 0, 0x5152, {"30/23 05 5a 01 10 -> 00 51 52"}},
        {kAOW, {kWord, 0, 8, 0x5A, 0x10}, 0, 0x5152, {"30/23 05 b4 01 10 -> 00 51 52"}},
        {kOBWAten, {kWord, 0, 8, 0x2D, 0x10}, 0, 0x5152, pair05},
        {kOther, {kWord, 0, 1, 0x2D, 0x1F}, 255, 0x5F00,
         {"06/52 05 5a 01 1f -> 00 5f", "06/52 05 5a 01 20 -> 83"}},
        {kPep, {kWord, 0, 1, 0x2D, 0x20}, 255, 0x0061,
         {"06/52 05 5a 01 20 -> 83", "06/52 05 5a 01 21 -> 00 61"}},
        {kPep, {kWord, 0, 2, 0x2D, 0x10}, -1, kUntouched, {}},
        // GPU reads need bit 3; slave 0xFF is the BMC's own sensor.
        {kOther, {kGpu, 0, 8, 0x4C, 4}, 0, 0x3F, {"30/70 50 4c 04 -> 00 3f"}},
        {kOther, {kGpu, 0, 9, 0xFF, 4}, 0, 0x41, {"30/70 05 04 -> 00 41"}},
        {kOther, {kGpu, 0, 1, 0x4C, 4}, -1, kUntouched, {}},
    });
    // clang-format on
}

// The bit-0 catch-all ahead of the Peppercon row.
TEST(SmbusTables, RoutesAreSoundAndTheCheckCatchesBrokenRows) {
    using namespace smbus_routes;
    EXPECT_EQ(check_routes(std::span(kByteReadRoutes)), nullptr);
    EXPECT_EQ(check_routes(std::span(kByteWriteRoutes)), nullptr);
    EXPECT_EQ(check_routes(std::span(kWordReadRoutes)), nullptr);
    ReadRoute reordered[] = {kByteReadRoutes[2], kByteReadRoutes[0]};
    EXPECT_NE(check_routes(std::span<const ReadRoute>(reordered)), nullptr);
}

}  // namespace
