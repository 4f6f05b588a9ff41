// Which BMC command carries an SMBus access over the OpenIPMI device. The BMC
// kind (from its GUID), the item's bus-type bits, the chip code and whether
// the slave sits on the BMC's private bus choose the row; the first row that
// applies decides, and no row means the item has no BMC path (-1).
//
// Also the two fixed rules of the i2c-dev transport: chips whose values only
// a BMC supplies, and the register that needs a pause before it is read.
#pragma once

#include <cstdint>
#include <span>

#include "hw/bmc_commands.h"

namespace smbus_routes {

// The item's bus-type bits a row serves.
enum class BusMatch : uint8_t {
    smbus,    // bit 0 (0x01) set: a chip on the SMBus, through the BMC's I2C master
    bmcOnly,  // bit 0 clear, bit 3 (0x08) set: a chip whose values the BMC supplies
    either,   // bit 0 or bit 3 set
};

inline constexpr int32_t kBusSmbus = 0x01;
inline constexpr int32_t kBusBmc = 0x08;

inline bool bus_matches(BusMatch match, int32_t busType) {
    switch (match) {
        case BusMatch::smbus:
            return (busType & kBusSmbus) != 0;
        case BusMatch::bmcOnly:
            return (busType & kBusSmbus) == 0 && (busType & kBusBmc) != 0;
        case BusMatch::either:
            return (busType & (kBusSmbus | kBusBmc)) != 0;
    }
    return false;
}

// BMC kinds as bits, so that a row can name several.
inline constexpr uint32_t kAnyKind = 0;
inline constexpr uint32_t kPeppercon = 1u << 0;
inline constexpr uint32_t kOBWinbond = 1u << 1;
inline constexpr uint32_t kAOWinbond = 1u << 2;
inline constexpr uint32_t kOBWinbondATen = 1u << 3;

inline constexpr int32_t kAnyChip = -1;

struct Condition {
    BusMatch bus;
    uint32_t kinds;     // kAnyKind, or the kinds of which one must be detected
    bool privateSlave;  // the slave must be in a private-bus range
    int32_t chipCode;   // kAnyChip, or the one chip code
};

using ByteReader = int32_t (*)(uint32_t slave, uint32_t reg, uint32_t* value);
using ByteWriter = int32_t (*)(uint32_t slave, uint32_t reg, uint32_t value);

struct ReadRoute {
    Condition when;
    ByteReader read;
};
struct WriteRoute {
    Condition when;
    ByteWriter write;
};
// Exactly one of the two: `halves` reads reg and reg + 1 one command each,
// `word` delivers high × 256 + low in one command.
struct WordRoute {
    Condition when;
    ByteReader halves;
    ByteReader word;
};

inline constexpr ReadRoute kByteReadRoutes[] = {
    {{BusMatch::smbus, kPeppercon, true, kAnyChip}, IpmiByteRead_Peppercon_oem_30_22_05},
    {{BusMatch::smbus, kOBWinbond | kOBWinbondATen, true, kAnyChip},
     IpmiByteRead_OBWinbond_id3_06_52_07},
    {{BusMatch::smbus, kAnyKind, false, kAnyChip}, IpmiByteRead2_06_52_05},
    {{BusMatch::bmcOnly, kAnyKind, false, 29}, IpmiByteRead_oem_30_92},
    {{BusMatch::bmcOnly, kAnyKind, false, 31}, IpmiByteRead_oem_30_92_PWSFailure},
    {{BusMatch::bmcOnly, kAnyKind, false, kAnyChip}, IpmiByteRead2_oem_30_0F},
};

// Writes of bit-3 items travel as I2C master writes too, never as OEM commands.
inline constexpr WriteRoute kByteWriteRoutes[] = {
    {{BusMatch::either, kPeppercon, true, kAnyChip}, IpmiByteWrite_Peppercon_oem_30_22_05},
    {{BusMatch::either, kOBWinbond | kOBWinbondATen, true, kAnyChip},
     IpmiByteWrite_OBWinbond_id3_06_52_07},
    {{BusMatch::either, kAnyKind, false, kAnyChip}, IpmiByteWrite2_06_52_05},
};

// The single OEM word command is known to the Peppercon and both plain
// Winbond kinds; OBWinbond-ATen reads the halves instead.
inline constexpr WordRoute kWordReadRoutes[] = {
    {{BusMatch::smbus, kPeppercon, true, kAnyChip}, IpmiByteRead_Peppercon_oem_30_22_05, nullptr},
    {{BusMatch::smbus, kOBWinbond | kOBWinbondATen, true, kAnyChip},
     IpmiByteRead_OBWinbond_id3_06_52_07,
     nullptr},
    {{BusMatch::smbus, kAnyKind, false, kAnyChip}, IpmiByteRead2_06_52_05, nullptr},
    {{BusMatch::bmcOnly, kPeppercon | kOBWinbond | kAOWinbond, false, kAnyChip},
     nullptr,
     IpmiWordRead_oem_30_23},
    {{BusMatch::bmcOnly, kAnyKind, false, kAnyChip}, IpmiByteRead2_06_52_05, nullptr},
};

// Over i2c-dev, chips whose values only a BMC supplies are not on the bus:
// they read as a constant without any transfer.
struct FixedReading {
    int32_t chipCode;
    uint32_t value;
};
inline constexpr FixedReading kI2cFixedReadings[] = {{29, 0}, {31, 1}};

// A bus-type-8 chip read over i2c-dev needs a pause before register 0x44.
inline constexpr int32_t kPausedBusType = 0x08;
inline constexpr int32_t kPausedRegister = 0x44;
inline constexpr uint32_t kPauseMicroseconds = 550000;

// The detected kind flags as bits.
uint32_t detected_kinds();

// Self-check of a route table: nullptr when sound, else what is wrong (a row
// without a command, a row that an earlier catch-all row makes unreachable).
const char* check_routes(std::span<const ReadRoute> routes);
const char* check_routes(std::span<const WriteRoute> routes);
const char* check_routes(std::span<const WordRoute> routes);

}  // namespace smbus_routes
