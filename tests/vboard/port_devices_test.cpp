// Port-space devices of the virtual board: banked index/data chips, Super I/O
// configuration spaces behind their entry keys, and plain I/O storage.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

// A Winbond-style hardware monitor at 0x295/0x296: bank select register 0x4E
// holding 0x80 (bank 0, high-byte select bit set), a register that bank 2
// overrides, one that fails, one that advances.
constexpr const char* kMonitorBoard = R"({"ports": {
  "0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E", "bank_mask": "0x07",
            "registers": {"0x4E": "0x80", "0x50": "0x11", "0x20": "0xCC",
                          "0x21": {"fail": true},
                          "0x22": {"values": ["0x01", "0x02"], "advance": "read"}},
            "banks": {"2": {"0x50": "0x2D"}}}},
  "0x290": {"index_data": {"data": "0x291", "registers": {"0x10": "0x01"}}}}})";

// A register behind an index port and the data port after it: the monitor
// chip's 0x295/0x296 unless another index is named (Super I/O: 0x2E).
uint8_t read_register(uint8_t reg, uint16_t index = 0x295) {
    sys().outb(reg, index);
    return sys().inb(uint16_t(index + 1));
}

void write_register(uint8_t reg, uint8_t value, uint16_t index = 0x295) {
    sys().outb(reg, index);
    sys().outb(value, uint16_t(index + 1));
}

// The monitor's banked read (save, select, read, restore) on the demo board's
// chip: vb-demo-banks-and-smbus-as-documented.
TEST(PortDevices, ABankStaysSelectedUntilTheBankRegisterIsWritten) {
    Sandbox sb(kMonitorBoard);
    sys().iopl(3);
    write_register(0x4E, 0x82);
    write_register(0x50, 0x77);  // stored in bank 2 only
    EXPECT_EQ(0xCC, read_register(0x20));  // shared registers show in every bank
    write_register(0x4E, 0x80);
    EXPECT_EQ(0x11, read_register(0x50));
    write_register(0x4E, 0x0A);  // mask 0x07: bank 2 again
    EXPECT_EQ(0x77, read_register(0x50));
}

TEST(PortDevices, IndexDataReadsFailAdvanceAndEchoTheIndex) {
    Sandbox sb(kMonitorBoard);
    sys().iopl(3);
    EXPECT_EQ(0xFF, read_register(0x21));  // an LPC read cannot NAK: it floats
    std::vector<int> advancing;
    for (int i = 0; i < 3; ++i) advancing.push_back(read_register(0x22));
    EXPECT_THAT(advancing, ElementsAre(0x01, 0x02, 0x01));
    EXPECT_EQ(0x00, read_register(0x7F));  // not set by the board
    sys().outb(0x10, 0x290);  // the second chip has its own index
    EXPECT_EQ(0x01, sys().inb(0x291));
    EXPECT_EQ(0x7F, sys().inb(0x295));  // the index port reads back
}

// ---- Super I/O ----------------------------------------------------------------

constexpr const char* kWinbondSuperIo = R"({"ports": {"0x2E": {"superio": {
  "data": "0x2F", "entry": ["0x87", "0x87"], "exit": "0xAA",
  "registers": {"0x20": "0x52", "0x21": "0x41"},
  "devices": {"0x0A": {"0xE6": "0x08"}, "0x07": {"0xF1": "0x5C"}}}}}})";

constexpr const char* kIteSuperIo = R"({"ports": {"0x2E": {"superio": {
  "data": "0x2F", "entry": ["0x87", "0x01", "0x55", "0x55"],
  "registers": {"0x20": "0x87", "0x21": "0x20"}}}}})";

constexpr const char* kKeylessSuperIo = R"({"ports": {"0x4E": {"superio": {
  "data": "0x4F", "exit": "0xAA", "registers": {"0x20": "0xB4"}}}}})";

// Bytes written to the index port, then what register 0x20 reads.
TEST(PortDevices, EntryKeyGatesTheConfigurationSpace) {
    struct KeyCase {
        const char* board;
        uint16_t index;
        std::vector<uint8_t> before;
        uint8_t device_id;
    };
    const KeyCase cases[] = {
        {kWinbondSuperIo, 0x2E, {}, 0xFF},
        {kWinbondSuperIo, 0x2E, {0x87, 0x87}, 0x52},
        {kWinbondSuperIo, 0x2E, {0x87, 0x01, 0x87}, 0xFF},  // a wrong byte restarts
        {kWinbondSuperIo, 0x2E, {0x87, 0x01, 0x87, 0x87}, 0x52},
        {kWinbondSuperIo, 0x2E, {0x87, 0x87, 0xAA}, 0xFF},          // exit locks
        {kIteSuperIo, 0x2E, {0x87, 0x87, 0x01, 0x55, 0x55}, 0x87},  // first byte repeated
        {kIteSuperIo, 0x2E, {0x87, 0x87}, 0xFF},
        {kKeylessSuperIo, 0x4E, {}, 0xB4},
        {kKeylessSuperIo, 0x4E, {0xAA}, 0xB4},  // no exit either
    };
    for (const KeyCase& c : cases) {
        Sandbox sb(c.board);
        sys().iopl(3);
        for (uint8_t byte : c.before) sys().outb(byte, c.index);
        EXPECT_EQ(c.device_id, read_register(0x20, c.index)) << testing::PrintToString(c.before);
    }
}

// Locked, the chip ignores writes; unlocked, logical devices own the
// registers from 0x30 up; the ITE chip leaves through config control.
TEST(PortDevices, LockingLogicalDevicesAndLeaving) {
    Sandbox sb(kWinbondSuperIo);
    sys().iopl(3);
    write_register(0x07, 0x0A, 0x2E);  // ignored: locked
    EXPECT_EQ(0xFF, sys().inb(0x2E));
    for (uint8_t byte : {0x87, 0x87}) sys().outb(byte, 0x2E);
    EXPECT_EQ(0x00, sys().inb(0x2E));  // the locked index write selected nothing
    EXPECT_EQ(0x00, read_register(0x07, 0x2E));  // the locked data write changed nothing

    write_register(0x07, 0x0A, 0x2E);
    EXPECT_EQ(0x08, read_register(0xE6, 0x2E));
    write_register(0xE6, 0x48, 0x2E);
    EXPECT_EQ(0x52, read_register(0x20, 0x2E));  // global registers show in every device
    write_register(0x07, 0x0B, 0x2E);            // a device the board does not describe
    EXPECT_EQ(0x00, read_register(0xE6, 0x2E));
    write_register(0xE6, 0x33, 0x2E);
    write_register(0x07, 0x0A, 0x2E);
    EXPECT_EQ(0x48, read_register(0xE6, 0x2E));

    Sandbox ite(kIteSuperIo);
    sys().iopl(3);
    for (uint8_t byte : {0x87, 0x01, 0x55, 0x55}) sys().outb(byte, 0x2E);
    write_register(0x02, 0x02, 0x2E);  // config control: back to "wait for key"
    EXPECT_EQ(0xFF, read_register(0x21, 0x2E));
}

// ---- plain storage ---------------------------------------------------------------

TEST(PortDevices, StorageCombinesBytesLittleEndian) {
    Sandbox sb(R"({"ports": {"0x500": {"bytes": "01 02 03 04 05 06"}}})");
    sys().iopl(3);
    EXPECT_EQ(0x02, sys().inb(0x501));
    EXPECT_EQ(0x04030201u, sys().inl(0x500));
    EXPECT_EQ(0x06050403u, sys().inl(0x502));

    sys().outl(0x11223344, 0x502);
    sys().outb(0xA5, 0x500);
    EXPECT_EQ(0x334402A5u, sys().inl(0x500));
    EXPECT_EQ(0xFFFF1122u, sys().inl(0x504));  // 0x506 and 0x507 float
    sys().outb(0x00, 0x506);  // no storage there: ignored
    EXPECT_EQ(0xFF, sys().inb(0x506));
}

// ---- latches ---------------------------------------------------------------------

// An intrusion latch that a clear bit elsewhere lets go (only in bank 0, and
// only for a write with that bit), a write that sets a bit whatever it
// writes, and a write-one-to-clear status bit beside plain storage bits.
TEST(PortDevices, LatchesChangeTheBitsTheyNameOnTheWritesTheyWatch) {
    Sandbox sb(R"({"clock": {"virtual": true}, "ports": {
      "0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E",
                "registers": {"0x4E": "0x80", "0x42": "0x10", "0x44": {"values": [2, 3], "every": 5}},
                "banks": {"1": {"0x46": "0x00"}},
                "latches": [{"write": "0x46", "bank": 0, "bits": "0x80", "clear": {"0x42": "0x10"}},
                            {"write": "0x47", "set": {"0x42": "0x01", "0x44": "0x80"}}]}},
      "0xA00": {"bytes": "00 11", "latches": [{"write": "0xA01", "bits": 1, "clear": {"0xA01": 1}}]}}})");
    sys().iopl(3);
    const struct {
        const char* what;
        uint16_t port;  // 0x295 writes a register of the chip (bank 0 unless `bank`)
        uint8_t reg;
        uint8_t value;
        uint8_t bank;
        std::vector<std::pair<uint16_t, uint8_t>> reads;  // register or port, value
    } steps[] = {
        {"the clear bit left 0: latched", 0x295, 0x46, 0x00, 0, {{0x42, 0x10}, {0x46, 0x00}}},
        {"bank 1's 0x46 is another register", 0x295, 0x46, 0x80, 1, {{0x42, 0x10}}},
        {"the pulse lets go; 0x46 keeps it", 0x295, 0x46, 0x80, 0, {{0x42, 0x00}, {0x46, 0x80}}},
        {"any write sets; a sequence stops", 0x295, 0x47, 0x00, 0, {{0x42, 0x01}, {0x44, 0x83}}},
        {"status bit 0 is not written", 0xA01, 0, 0x10, 0, {{0xA01, 0x11}}},
        {"a 1 there clears it", 0xA01, 0, 0x21, 0, {{0xA01, 0x20}}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.port == 0x295) {
            write_register(0x4E, uint8_t(0x80 | step.bank));
            write_register(step.reg, step.value);
            write_register(0x4E, 0x80);
        } else {
            sys().outb(step.value, step.port);
        }
        sys().sleep(5);  // the sequence would have moved on
        for (const auto& [where, value] : step.reads)
            EXPECT_EQ(value, where >= 0x100 ? sys().inb(where) : read_register(uint8_t(where)))
                << std::hex << where;
    }
}

}  // namespace
