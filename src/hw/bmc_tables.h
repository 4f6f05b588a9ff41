// The BMC command layouts and the system GUID patterns, as data.
//
// One row per command function: its NetFn and command, the request data
// bytes and which response bytes it delivers. Names carry NetFn and command
// (and, for the I2C commands, the bus ID byte they send first), so a row can
// be checked against its name.
#pragma once

#include <cstdint>
#include <string_view>

#include "hw/bmc_commands.h"

namespace bmc {

// Where one request data byte comes from: a fixed byte, or an argument of
// the function (in its argument order), as it stands, doubled to the 8-bit
// address form (low 8 bits), or one of its nibbles.
enum class Src : uint8_t {
    fixed,
    arg0,
    arg0_x2,
    arg0_high_nibble,
    arg0_low_nibble,
    arg1,
    arg2,
    arg3
};

struct RequestByte {
    Src src;
    uint8_t fixed;
};

// Which bytes of the response (byte 0 is the completion code) make the value.
enum class Delivers : uint8_t {
    nothing,        // writes
    byte1,          // byte 1
    word,           // byte 1 × 256 + byte 2
    byte_at_arg1,   // byte (argument 1) + 1
    bytes_1_to_10,  // bytes 1 to 10 into the caller's block
};

inline constexpr uint8_t kMaxRequestBytes = 5;

struct CommandLayout {
    std::string_view function;  // the function that sends it
    std::string_view variant;   // which of its requests, when it has more than one
    uint8_t args;               // arguments it takes, the value pointer not counted
    uint8_t netfn;
    uint8_t cmd;
    uint8_t length;  // request data bytes
    RequestByte request[kMaxRequestBytes];
    Delivers delivers;
};

constexpr RequestByte B(uint8_t byte) {
    return {Src::fixed, byte};
}
inline constexpr RequestByte A0{Src::arg0, 0};
inline constexpr RequestByte A0x2{Src::arg0_x2, 0};
inline constexpr RequestByte A0hi{Src::arg0_high_nibble, 0};
inline constexpr RequestByte A0lo{Src::arg0_low_nibble, 0};
inline constexpr RequestByte A1{Src::arg1, 0};
inline constexpr RequestByte A2{Src::arg2, 0};
inline constexpr RequestByte A3{Src::arg3, 0};

// Bus ID bytes of Master Write-Read: private bus 2 and 3 of channel 0.
inline constexpr uint8_t kBus2 = 0x05;
inline constexpr uint8_t kBus3 = 0x07;

// clang-format off
inline constexpr CommandLayout kCommands[] = {
    // I2C Master Write-Read: bus ID, slave × 2, bytes to read, register [, value].
    {"IpmiByteRead2_06_52_05",               "", 2, 0x06, 0x52, 4, {B(kBus2), A0x2, B(1), A1},     Delivers::byte1},
    {"IpmiByteWrite2_06_52_05",              "", 3, 0x06, 0x52, 5, {B(kBus2), A0x2, B(0), A1, A2}, Delivers::nothing},
    {"IpmiByteRead_OBWinbond_id3_06_52_07",  "", 2, 0x06, 0x52, 4, {B(kBus3), A0x2, B(1), A1},     Delivers::byte1},
    {"IpmiByteWrite_OBWinbond_id3_06_52_07", "", 3, 0x06, 0x52, 5, {B(kBus3), A0x2, B(0), A1, A2}, Delivers::nothing},
    // Peppercon's OEM proxies take the same bytes.
    {"IpmiByteRead_Peppercon_oem_30_22_05",  "", 2, 0x30, 0x22, 4, {B(kBus2), A0x2, B(1), A1},     Delivers::byte1},
    {"IpmiByteWrite_Peppercon_oem_30_22_05", "", 3, 0x30, 0x22, 5, {B(kBus2), A0x2, B(0), A1, A2}, Delivers::nothing},
    {"IpmiWordRead_oem_30_23",               "", 2, 0x30, 0x23, 4, {B(kBus2), A0x2, B(1), A1},     Delivers::word},
    // Values the BMC monitors itself.
    {"IpmiByteRead2_oem_30_0F",              "", 2, 0x30, 0x0F, 0, {},                             Delivers::byte1},
    {"IpmiByteRead2_oem_30_70", "own sensor",    2, 0x30, 0x70, 2, {B(0x05), A1},                  Delivers::byte1},
    {"IpmiByteRead2_oem_30_70", "chip",          2, 0x30, 0x70, 3, {B(0x50), A0, A1},              Delivers::byte1},
    // Super I/O proxy: operation (0 write, 1 byte read, 2 word read), bank, register [, value].
    {"IpmiByteRead_ISA_30_2C",               "", 2, 0x30, 0x2C, 3, {B(1), A0, A1},                 Delivers::byte1},
    {"IpmiWordRead_ISA_30_2C",               "", 2, 0x30, 0x2C, 3, {B(2), A0, A1},                 Delivers::word},
    {"IpmiByteWrite_ISA_30_2C",              "", 3, 0x30, 0x2C, 4, {B(0), A0, A1, A2},             Delivers::nothing},
    {"IpmiByteRead_oem_30_92",               "", 2, 0x30, 0x92, 2, {A0hi, A0lo},                   Delivers::byte_at_arg1},
    {"IpmiByteRead_oem_30_92_PWSFailure",    "", 2, 0x30, 0x92, 0, {},                             Delivers::byte1},
    {"IpmiByteRead_oem_30_93",               "", 1, 0x30, 0x93, 1, {A0},                           Delivers::byte1},
    // Chips the BMC owns: slave × 2, selector, register, then 1 byte / 2 word or the value.
    {"IpmiByteRead_oem_30_90",               "", 3, 0x30, 0x90, 4, {A0x2, A1, A2, B(1)},           Delivers::byte1},
    {"IpmiWordRead_oem_30_90",               "", 3, 0x30, 0x90, 4, {A0x2, A1, A2, B(2)},           Delivers::word},
    {"IpmiByteWrite_oem_30_91",              "", 4, 0x30, 0x91, 4, {A0x2, A1, A2, A3},             Delivers::nothing},
    {"IpmiByteRead_oem_30_95",               "", 1, 0x30, 0x95, 0, {},                             Delivers::byte1},
    {"IpmiByteRead_oem_30_21",               "", 0, 0x30, 0x21, 0, {},                             Delivers::bytes_1_to_10},
};
// clang-format on

// The row of `function` (and `variant`); not finding it stops compilation
// where the lookup is a constant expression.
constexpr const CommandLayout& layout(std::string_view function, std::string_view variant = {}) {
    for (const CommandLayout& row : kCommands)
        if (row.function == function && row.variant == variant) return row;
    throw "no BMC command layout for this function";
}

// System GUID patterns (Get System GUID data bytes 1 onwards), searched in
// this order; the first match sets its flag. No pattern sets
// bAOWinbondATenIPMI.
struct GuidPattern {
    std::string_view kind;  // the flag's name
    int32_t* flag;
    uint8_t length;
    uint8_t bytes[8];
};

// clang-format off
inline constexpr GuidPattern kGuidPatterns[] = {
    {"bPepperconIPMI",     &bPepperconIPMI,     8, {0x02, 0x00, 0x00, 0xFF, 0xFE, 0x00, 0x00, 0x00}},
    {"bPepperconIPMI",     &bPepperconIPMI,     6, {'0', '0', '0', '1', 'Q', 'K'}},
    {"bOBWinbondIPMI",     &bOBWinbondIPMI,     6, {'5', '0', '0', '1', 'Q', 'K'}},
    {"bAOWinbondIPMI",     &bAOWinbondIPMI,     6, {'4', '0', '0', '1', 'Q', 'K'}},
    {"bOBWinbondATenIPMI", &bOBWinbondATenIPMI, 6, {'7', '0', '0', '1', 'Q', 'K'}},
    {"bRenesasAMIIPMI",    &bRenesasAMIIPMI,    6, {'9', '0', '0', '1', 'Q', 'K'}},
    {"bRenesasATenIPMI",   &bRenesasATenIPMI,   6, {'a', '0', '0', '1', 'Q', 'K'}},
    {"bRenesasATenIPMI",   &bRenesasATenIPMI,   6, {'b', '0', '0', '1', 'Q', 'K'}},
};
// clang-format on

// Every kind flag, which detection clears before it matches.
inline constexpr int32_t* kKindFlags[] = {
    &bPepperconIPMI,  &bOBWinbondIPMI,   &bAOWinbondIPMI,     &bOBWinbondATenIPMI,
    &bRenesasAMIIPMI, &bRenesasATenIPMI, &bAOWinbondATenIPMI,
};

}  // namespace bmc
