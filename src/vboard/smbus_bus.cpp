#include "vboard/smbus_bus.h"

#include <cerrno>
#include <cstdio>
#include <optional>

#include "vboard/virtual_board.h"

// Bus time: every byte on the wire costs the board's i2c_us. A transaction
// that reads after a command byte sends the address twice (repeated start).
// When nobody answers the address, only the address byte went out; when the
// chip refuses a register, the address and one more byte did.
namespace {

constexpr unsigned kAddressOnly = 1;
constexpr unsigned kRefused = 2;
constexpr unsigned kQuick = 1;          // address
constexpr unsigned kByte = 2;           // address, command or data
constexpr unsigned kWriteByteData = 3;  // address, command, data
constexpr unsigned kReadByteData = 4;   // address, command, address, data
constexpr unsigned kWriteWordData = 4;  // address, command, low, high
constexpr unsigned kReadWordData = 5;   // address, command, address, low, high

}  // namespace

SmbusBus::SmbusBus(VirtualBoard& board, const SmbusAdapter& adapter)
    : board_(board), number_(adapter.bus) {
    for (const I2cDevice& device : adapter.devices)
        chips_.push_back(
            {device.address, device.kernel_driver, RegisterFile(device.regs, board.clock())});
    char name[32];
    for (Chip& chip : chips_) {  // all made: the registers stay where they are
        std::snprintf(name, sizeof name, "i2c:%u:0x%02x", number_, chip.address);
        board.chip_states().add(name, chip.regs.state_access());
    }
}

bool SmbusBus::driver_holds(uint16_t address) const {
    for (const Chip& chip : chips_)
        if (chip.address == address) return chip.kernel_driver;
    return false;
}

bool SmbusBus::does(uint32_t size) {
    return size == I2C_SMBUS_QUICK || size == I2C_SMBUS_BYTE || size == I2C_SMBUS_BYTE_DATA ||
           size == I2C_SMBUS_WORD_DATA;
}

SmbusBus::Chip* SmbusBus::chip_at(uint16_t address) {
    for (Chip& chip : chips_)
        if (chip.address == address) return &chip;
    return nullptr;
}

void SmbusBus::spend_bytes(unsigned count) {
    board_.spend_ns(int64_t(count) * int64_t(board_.board().latency.i2c_us) * 1000);
}

int SmbusBus::transfer(uint16_t address, uint8_t read_write, uint8_t command, uint32_t size,
                       i2c_smbus_data* data) {
    bool read = read_write == I2C_SMBUS_READ;
    switch (size) {
        case I2C_SMBUS_QUICK:
            return quick(address, read);
        case I2C_SMBUS_BYTE:
            return read ? receive_byte(address, &data->byte) : send_byte(address, command);
        case I2C_SMBUS_BYTE_DATA:
            return read ? read_byte_data(address, command, &data->byte)
                        : write_byte_data(address, command, data->byte);
        case I2C_SMBUS_WORD_DATA:
            return read ? read_word_data(address, command, &data->word)
                        : write_word_data(address, command, data->word);
        default:
            return -EOPNOTSUPP;  // i2c-dev checks does() first
    }
}

// The R/W bit alone: a chip that is there acknowledges its address.
int SmbusBus::quick(uint16_t address, bool read) {
    bool present = chip_at(address) != nullptr;
    spend_bytes(kQuick);
    board_.trace().linef("i2c %u 0x%02x quick %s -> %s", number_, address, read ? "read" : "write",
                         present ? "0" : "nak");
    return present ? 0 : -ENXIO;
}

int SmbusBus::receive_byte(uint16_t address, uint8_t* out) {
    Chip* chip = chip_at(address);
    std::optional<uint8_t> value = chip ? chip->regs.read(chip->pointer) : std::nullopt;
    spend_bytes(!chip ? kAddressOnly : value ? kByte : kRefused);
    if (!value) {
        board_.trace().linef("i2c %u 0x%02x receive -> nak", number_, address);
        return -ENXIO;
    }
    board_.trace().linef("i2c %u 0x%02x receive -> 0x%02x", number_, address, *value);
    *out = *value;
    return 0;
}

int SmbusBus::send_byte(uint16_t address, uint8_t command) {
    Chip* chip = chip_at(address);
    if (chip) chip->pointer = command;
    spend_bytes(chip ? kByte : kAddressOnly);
    board_.trace().linef("i2c %u 0x%02x send 0x%02x -> %s", number_, address, command,
                         chip ? "0" : "nak");
    return chip ? 0 : -ENXIO;
}

int SmbusBus::read_byte_data(uint16_t address, uint8_t reg, uint8_t* out) {
    Chip* chip = chip_at(address);
    std::optional<uint8_t> value;
    if (chip) {
        chip->pointer = reg;
        value = chip->regs.read(reg);
    }
    spend_bytes(!chip ? kAddressOnly : value ? kReadByteData : kRefused);
    if (!value) {
        board_.trace().linef("i2c %u 0x%02x read 0x%02x -> nak", number_, address, reg);
        return -ENXIO;
    }
    board_.trace().linef("i2c %u 0x%02x read 0x%02x -> 0x%02x", number_, address, reg, *value);
    *out = *value;
    return 0;
}

// Writes are stored even where reads fail: the board's `fail` is about
// reading. Only an absent chip refuses a write.
int SmbusBus::write_byte_data(uint16_t address, uint8_t reg, uint8_t value) {
    Chip* chip = chip_at(address);
    if (chip) {
        chip->pointer = reg;
        chip->regs.write(reg, value);
    }
    spend_bytes(chip ? kWriteByteData : kAddressOnly);
    board_.trace().linef("i2c %u 0x%02x write 0x%02x 0x%02x -> %s", number_, address, reg, value,
                         chip ? "0" : "nak");
    return chip ? 0 : -ENXIO;
}

// SMBus words travel low byte first: register `reg` is the low byte and
// `reg` + 1 the high byte.
int SmbusBus::read_word_data(uint16_t address, uint8_t reg, uint16_t* out) {
    Chip* chip = chip_at(address);
    std::optional<uint8_t> low, high;
    if (chip) {
        chip->pointer = reg;
        low = chip->regs.read(reg);
        if (low) high = chip->regs.read(uint8_t(reg + 1));
    }
    spend_bytes(!chip ? kAddressOnly : high ? kReadWordData : kRefused);
    if (!high) {
        board_.trace().linef("i2c %u 0x%02x read-word 0x%02x -> nak", number_, address, reg);
        return -ENXIO;
    }
    uint16_t word = uint16_t(*high << 8 | *low);
    board_.trace().linef("i2c %u 0x%02x read-word 0x%02x -> 0x%04x", number_, address, reg, word);
    *out = word;
    return 0;
}

int SmbusBus::write_word_data(uint16_t address, uint8_t reg, uint16_t value) {
    Chip* chip = chip_at(address);
    if (chip) {
        chip->pointer = reg;
        chip->regs.write(reg, uint8_t(value & 0xFF));
        chip->regs.write(uint8_t(reg + 1), uint8_t(value >> 8));
    }
    spend_bytes(chip ? kWriteWordData : kAddressOnly);
    board_.trace().linef("i2c %u 0x%02x write-word 0x%02x 0x%04x -> %s", number_, address, reg,
                         value, chip ? "0" : "nak");
    return chip ? 0 : -ENXIO;
}
