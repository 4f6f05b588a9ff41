// One SMBus adapter of the board and the chips on it: the wire side of
// /dev/i2c-N. It runs whole SMBus transactions against the chips' registers,
// spends the bus time and writes the "i2c" trace lines.
//
// The adapter is SMBus-only, like the chipset SMBus controllers of server
// boards (I801, PIIX4, nForce2): it does quick, byte, byte-data and word-data
// transactions and nothing else, and it cannot do plain I2C messages.
#pragma once

#include <linux/i2c.h>

#include <cstdint>
#include <vector>

#include "vboard/board.h"
#include "vboard/register_file.h"

class VirtualBoard;

class SmbusBus {
public:
    // The functionality bits I2C_FUNCS answers: exactly the transactions below.
    static constexpr unsigned long kFunctionality = I2C_FUNC_SMBUS_QUICK | I2C_FUNC_SMBUS_BYTE |
                                                    I2C_FUNC_SMBUS_BYTE_DATA |
                                                    I2C_FUNC_SMBUS_WORD_DATA;

    SmbusBus(VirtualBoard& board, const SmbusAdapter& adapter);

    uint32_t number() const { return number_; }
    // A kernel driver is bound to the chip at this address (I2C_SLAVE is refused).
    bool driver_holds(uint16_t address) const;
    // Whether this adapter can run a transaction of this kernel size code.
    static bool does(uint32_t size);

    // One transaction as the adapter driver runs it. `read_write` is
    // I2C_SMBUS_READ or I2C_SMBUS_WRITE and `size` one that does() accepts;
    // `data` may be null only where the transaction carries no data (quick,
    // send byte). Returns 0, or -ENXIO when the address or a register was not
    // acknowledged (read data then untouched).
    int transfer(uint16_t address, uint8_t read_write, uint8_t command, uint32_t size,
                 i2c_smbus_data* data);

private:
    struct Chip {
        uint8_t address;
        bool kernel_driver;
        RegisterFile regs;
        // The register pointer: set by the command byte of every transaction
        // that has one, read by "receive byte" (no auto-increment).
        uint8_t pointer = 0;
    };

    Chip* chip_at(uint16_t address);
    void spend_bytes(unsigned count);

    int quick(uint16_t address, bool read);
    int receive_byte(uint16_t address, uint8_t* out);
    int send_byte(uint16_t address, uint8_t command);
    int read_byte_data(uint16_t address, uint8_t reg, uint8_t* out);
    int write_byte_data(uint16_t address, uint8_t reg, uint8_t value);
    int read_word_data(uint16_t address, uint8_t reg, uint16_t* out);
    int write_word_data(uint16_t address, uint8_t reg, uint16_t value);

    VirtualBoard& board_;
    uint32_t number_;
    std::vector<Chip> chips_;
};
