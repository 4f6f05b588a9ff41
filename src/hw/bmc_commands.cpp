#include "hw/bmc_commands.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "hw/bmc_tables.h"
#include "hw/ipmi_openipmi.h"
#include "hw/register_space.h"

int32_t bPepperconIPMI = 0;
int32_t bOBWinbondIPMI = 0;
int32_t bAOWinbondIPMI = 0;
int32_t bOBWinbondATenIPMI = 0;
int32_t bRenesasAMIIPMI = 0;
int32_t bRenesasATenIPMI = 0;
int32_t bAOWinbondATenIPMI = 0;

namespace {

using bmc::CommandLayout;
using bmc::Delivers;
using bmc::Src;

constexpr uint8_t kAppNetFn = 0x06;
constexpr uint8_t kGetSystemGuid = 0x37;
constexpr int32_t kFailed = 255;
constexpr size_t kPlatformBlockBytes = 10;
// What 30/95 reports without asking the BMC.
constexpr uint32_t kDefault30_95 = 0x5F;

// The request byte `byte` stands for, before it is cut to a byte.
uint64_t request_value(const bmc::RequestByte& byte, const uint32_t* args) {
    switch (byte.src) {
        case Src::fixed:
            return byte.fixed;
        case Src::arg0:
            return args[0];
        case Src::arg0_x2:
            return uint64_t(args[0]) * 2;
        case Src::arg0_high_nibble:
            return args[0] > 0xFF ? args[0] : (args[0] & 0xF0) >> 4;
        case Src::arg0_low_nibble:
            return args[0] > 0xFF ? args[0] : args[0] & 0x0F;
        case Src::arg1:
            return args[1];
        case Src::arg2:
            return args[2];
        case Src::arg3:
            return args[3];
    }
    return 0;
}

// Sends `row` with the function's arguments and delivers its value. A
// response too short for the bytes the row delivers is a failure like a
// non-zero completion code: the value is left as it was.
int32_t run(const CommandLayout& row, std::initializer_list<uint32_t> arguments, uint32_t* value,
            uint8_t* block = nullptr) {
    uint32_t args[4] = {};
    std::copy(arguments.begin(), arguments.end(), args);
    for (uint8_t i = 0; i < row.length; ++i) {
        // A register, bank or address that does not fit its byte is one no
        // chip behind the BMC has: nothing is sent.
        uint64_t byte = request_value(row.request[i], args);
        if (!registers_exist(static_cast<int64_t>(byte))) return -1;
        req_data[i] = uint8_t(byte);
    }
    if (ipmi_bmc_command(row.netfn, row.cmd, row.length) != 0) return kFailed;

    auto has = [](uint64_t byte) { return byte < recv_data_len; };
    switch (row.delivers) {
        case Delivers::nothing:
            return 0;
        case Delivers::byte1:
            if (!value || !has(1)) return kFailed;
            *value = recv_data[1];
            return 0;
        case Delivers::word:
            if (!value || !has(2)) return kFailed;
            *value = uint32_t(recv_data[1]) * 256 + recv_data[2];
            return 0;
        case Delivers::byte_at_arg1:
            if (!value || !has(uint64_t(args[1]) + 1)) return kFailed;
            *value = recv_data[args[1] + 1];
            return 0;
        case Delivers::bytes_1_to_10:
            if (!block || !has(kPlatformBlockBytes)) return kFailed;
            std::memcpy(block, recv_data + 1, kPlatformBlockBytes);
            return 0;
    }
    return kFailed;
}

bool guid_matches(const bmc::GuidPattern& pattern) {
    if (recv_data_len < 1 + pattern.length) return false;
    return std::memcmp(recv_data + 1, pattern.bytes, pattern.length) == 0;
}

}  // namespace

int32_t checkAnyIPMI() {
    if (ipmi_bmc_command(kAppNetFn, kGetSystemGuid, 0) != 0) return 0;
    for (int32_t* flag : bmc::kKindFlags) *flag = 0;
    for (const bmc::GuidPattern& pattern : bmc::kGuidPatterns) {
        if (guid_matches(pattern)) {
            *pattern.flag = 1;
            return 1;
        }
    }
    return 0;
}

int32_t IpmiByteRead2_06_52_05(uint32_t slave, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead2_06_52_05");
    return run(row, {slave, reg}, value);
}

int32_t IpmiByteWrite2_06_52_05(uint32_t slave, uint32_t reg, uint32_t value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteWrite2_06_52_05");
    return run(row, {slave, reg, value}, nullptr);
}

int32_t IpmiByteRead_OBWinbond_id3_06_52_07(uint32_t slave, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_OBWinbond_id3_06_52_07");
    return run(row, {slave, reg}, value);
}

int32_t IpmiByteWrite_OBWinbond_id3_06_52_07(uint32_t slave, uint32_t reg, uint32_t value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteWrite_OBWinbond_id3_06_52_07");
    return run(row, {slave, reg, value}, nullptr);
}

int32_t IpmiByteRead_Peppercon_oem_30_22_05(uint32_t slave, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_Peppercon_oem_30_22_05");
    return run(row, {slave, reg}, value);
}

int32_t IpmiByteWrite_Peppercon_oem_30_22_05(uint32_t slave, uint32_t reg, uint32_t value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteWrite_Peppercon_oem_30_22_05");
    return run(row, {slave, reg, value}, nullptr);
}

int32_t IpmiWordRead_oem_30_23(uint32_t slave, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiWordRead_oem_30_23");
    return run(row, {slave, reg}, value);
}

int32_t IpmiByteRead2_oem_30_0F(uint32_t slave, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead2_oem_30_0F");
    return run(row, {slave, reg}, value);
}

// Slave 0xFF stands for the BMC's own graphics-processor sensor; any other
// slave is sent as it stands (7-bit, not doubled).
int32_t IpmiByteRead2_oem_30_70(uint32_t slave, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& own =
        bmc::layout("IpmiByteRead2_oem_30_70", "own sensor");
    static constexpr const CommandLayout& chip = bmc::layout("IpmiByteRead2_oem_30_70", "chip");
    return run(slave == 0xFF ? own : chip, {slave, reg}, value);
}

int32_t IpmiByteRead_ISA_30_2C(uint32_t bank, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_ISA_30_2C");
    return run(row, {bank, reg}, value);
}

int32_t IpmiWordRead_ISA_30_2C(uint32_t bank, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiWordRead_ISA_30_2C");
    return run(row, {bank, reg}, value);
}

int32_t IpmiByteWrite_ISA_30_2C(uint32_t bank, uint32_t reg, uint32_t value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteWrite_ISA_30_2C");
    return run(row, {bank, reg, value}, nullptr);
}

int32_t IpmiByteRead_oem_30_92(uint32_t slave, uint32_t index, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_oem_30_92");
    return run(row, {slave, index}, value);
}

int32_t IpmiByteRead_oem_30_92_PWSFailure(uint32_t slave, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_oem_30_92_PWSFailure");
    return run(row, {slave, reg}, value);
}

int32_t IpmiByteRead_oem_30_93(uint32_t index, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_oem_30_93");
    return run(row, {index}, value);
}

int32_t IpmiByteRead_oem_30_90(uint32_t slave, uint32_t sel, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_oem_30_90");
    return run(row, {slave, sel, reg}, value);
}

int32_t IpmiWordRead_oem_30_90(uint32_t slave, uint32_t sel, uint32_t reg, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiWordRead_oem_30_90");
    return run(row, {slave, sel, reg}, value);
}

int32_t IpmiByteWrite_oem_30_91(uint32_t slave, uint32_t sel, uint32_t reg, uint32_t value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteWrite_oem_30_91");
    return run(row, {slave, sel, reg, value}, nullptr);
}

int32_t IpmiByteRead_oem_30_95(uint32_t x, uint32_t* value) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_oem_30_95");
    if (x == 0) {
        *value = kDefault30_95;
        return 0;
    }
    return run(row, {x}, value);
}

int32_t IpmiByteRead_oem_30_21(uint8_t* buffer) {
    static constexpr const CommandLayout& row = bmc::layout("IpmiByteRead_oem_30_21");
    return run(row, {}, nullptr, buffer);
}

void reset_bmc_commands_state() {
    for (int32_t* flag : bmc::kKindFlags) *flag = 0;
}
