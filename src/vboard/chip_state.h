// What the chips of a board hold beyond its board file: every register the
// program wrote or a latch changed, bank selects included. A real board's
// chips keep it while the machine is on; the launcher keeps it in the root
// between runs (its text is the file <root>/.board-state), and a new root
// starts from the board file.
//
// The text: a first line naming the format and the board file's digest, then
// one line per held value, "CHIP PLACE REGISTER VALUE" (sorted by chip):
//
//   sensorvisor-sim board state 1 fnv1a64:0123456789abcdef
//   port:0x295 * 0x46 0x00           a register every bank shows
//   port:0x295 bank:0x05 0x50 0x12   a bank's own register
//   port:0x2e device:0x0b 0x30 0x01  a Super I/O logical device's register
//   port:0x1100 * 0x1100 0x42        port storage: the register is the port
//   pci:00:1f.3 * 0x04 0x2800001     a PCI configuration dword
//   i2c:0:0x2f * 0x00 0x80           a chip on SMBus adapter 0
//   bmc:0x05:0x2d bank:0x01 0x10 0x55  a chip on the BMC's bus 0x05
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One held value of a chip: where in the chip ("*" for the chip as a whole
// or what every bank shows, "bank:N", "device:N"), the register and its value.
struct HeldValue {
    std::string place = "*";
    uint32_t reg = 0;
    uint32_t value = 0;
};

// "bank:0x05" for bank 5's own registers ("device:0x0b" with kind
// "device"), "*" for number -1.
std::string place_name(int number, const char* kind = "bank");
// The number of a place place_name made: -1 for "*", nothing for another.
std::optional<int> place_number(const std::string& place, const char* kind = "bank");

// How the board reaches one chip's state.
struct ChipStateAccess {
    // Appends what the chip holds now.
    std::function<void(std::vector<HeldValue>&)> save;
    // Whether the chip has that place and register and the value fits; with
    // `apply`, the chip takes the value as its own.
    std::function<bool(const HeldValue&, bool apply)> restore;
};

class ChipStates {
public:
    // `digest` identifies the board file's text: a state belongs to one.
    explicit ChipStates(uint64_t digest) : digest_(digest) {}

    void add(const std::string& chip, ChipStateAccess access);

    // The text of what every chip holds.
    std::string text() const;
    // Takes back a text that text() made for the same board file: all of it,
    // or (with the reason returned) nothing. A text of another board file is
    // no error: its chips were other chips; `of_this_board` says which.
    std::string restore(const std::string& text, bool* of_this_board);

private:
    uint64_t digest_;
    std::map<std::string, ChipStateAccess> chips_;
};

// FNV-1a, 64 bits: the digest of a board file's text.
uint64_t fnv1a64(const std::string& text);
