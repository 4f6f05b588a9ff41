// What the chips hold, as the text the launcher keeps in a root between runs:
// the writes of every kind of chip in it, taken back whole by a board built
// from the same board file, refused whole when damaged, and left alone when
// it is another board file's.
#include <gtest/gtest.h>

#include <string>

#include "support/sandbox.h"

namespace {

constexpr const char* kBoard = R"({"clock": {"virtual": true},
  "pci": [{"bus": 0, "device": 31, "function": 3, "id": "0x3A308086"}],
  "ports": {
    "0x295": {"index_data": {"data": "0x296", "bank_register": "0x4E",
              "registers": {"0x4E": "0x80"}, "banks": {"5": {"0x50": "0xCF"}}}},
    "0x2E": {"superio": {"data": "0x2F"}},
    "0x1100": {"bytes": "00 00"}},
  "smbus": [{"bus": 0, "name": "a", "devices": [{"address": "0x2F"}]}],
  "bmc": {"interface": "openipmi",
          "buses": {"0x05": [{"address": "0x2D", "bank_register": "0xFF", "banks": {"1": {"0x10": 0}}}]}}})";

// What the writes below leave, in the file's order (by chip name).
constexpr const char* kWritten =
    "pci:00:1f.3 * 0x04 0x2800001\n"
    "port:0x1100 * 0x1101 0x42\n"
    "port:0x295 * 0x4e 0x85\n"
    "port:0x295 bank:0x05 0x50 0x12\n"
    "port:0x2e * 0x07 0x0b\n"
    "port:0x2e device:0x0b 0x30 0x01\n";
// Chips on the SMBus and the BMC's buses hold their state as the port chips do.
constexpr const char* kOnBuses =
    "bmc:0x05:0x2d bank:0x01 0x10 0x55\n"
    "i2c:0:0x2f * 0x00 0x80\n";

void write_chips() {
    sys().iopl(3);
    sys().outb(0x4E, 0x295), sys().outb(0x85, 0x296);  // bank 5 stays selected
    sys().outb(0x50, 0x295), sys().outb(0x12, 0x296);
    sys().outb(0x07, 0x2E), sys().outb(0x0B, 0x2F);  // logical device 0x0B
    sys().outb(0x30, 0x2E), sys().outb(0x01, 0x2F);
    sys().outb(0x42, 0x1101);
    sys().outl(0x8000FB04, 0xCF8), sys().outl(0x02800001, 0xCFC);
}

// The first line: the format and the board file's digest.
std::string header() {
    Sandbox fresh(kBoard);
    return fresh.board().chip_states().text();
}

TEST(ChipState, WritesAreKeptAndTakenBackByTheSameBoard) {
    std::string kept;
    {
        Sandbox first(kBoard);
        write_chips();
        kept = first.board().chip_states().text();
        EXPECT_EQ(header() + kWritten, kept);
    }
    Sandbox second(kBoard);
    bool ours = false;
    EXPECT_EQ("", second.board().chip_states().restore(kept + kOnBuses, &ours));
    EXPECT_TRUE(ours);
    sys().iopl(3);
    sys().outb(0x50, 0x295);
    EXPECT_EQ(0x12, sys().inb(0x296)) << "bank 5 selected, its 0x50 written";
    sys().outb(0x30, 0x2E);
    EXPECT_EQ(0x01, sys().inb(0x2F)) << "in logical device 0x0B";
    EXPECT_EQ(0x42, sys().inb(0x1101));
    sys().outl(0x8000FB04, 0xCF8);
    EXPECT_EQ(0x02800001u, sys().inl(0xCFC));
    EXPECT_EQ(header() + kOnBuses + kWritten, second.board().chip_states().text());
}

TEST(ChipState, ADamagedTextIsRefusedWholeAnotherBoardsIsLeftAlone) {
    const std::string good = "port:0x1100 * 0x1101 0x42\n";
    const std::string bad = "not a value this board's chips hold";
    const struct {
        std::string text;
        std::string why;
        bool ours;
    } cases[] = {
        {header() + good + "port:0x295 bank:0x03 0x50 0x12\n", "line 3: " + bad, true},
        {header() + good + "port:0x2a0 * 0x00 0x00\n", "line 3: no chip port:0x2a0 on this board",
         true},
        {header() + "port:0x1100 * 0x1102 0x00\n", "line 2: " + bad, true},
        {header() + "port:0x295 * 0x4e 0x100\n", "line 2: " + bad, true},
        {header() + "pci:00:1f.3 * 0x00 0x1\n", "line 2: " + bad, true},
        {header() + good + "port:0x295 * 0x4e\n", "line 3: " + bad, true},
        {"sensorvisor-sim board state 1 fnv1a64:0000000000000000\n" + good, "", false},
        {"[System]\n", "line 1: not a board state", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Sandbox sb(kBoard);
        bool ours = !c.ours;
        EXPECT_EQ(c.why, sb.board().chip_states().restore(c.text, &ours));
        EXPECT_EQ(c.ours, ours);
        EXPECT_EQ(header(), sb.board().chip_states().text()) << "nothing taken";
    }
}

}  // namespace
