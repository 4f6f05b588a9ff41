// The BMC's register proxies: I2C Master Write-Read on its private buses, the
// OEM SMBus proxies that take the same request, and the OEM Super I/O proxy
// that reaches the board's banked monitor chip on the LPC bus.
#include "vboard/bmc.h"
#include "vboard/port_devices.h"
#include "vboard/virtual_board.h"

namespace {

// The most bytes one Master Write-Read returns here (the BMC's I2C buffer).
constexpr size_t kMaxReadCount = 32;

// Master Write-Read request (IPMI 2.0, 22.11), also taken by 30/22 and 30/23.
constexpr size_t kBusIdByte = 0;  // [7:4] channel, [3:1] bus, [0] 1 = private bus
constexpr size_t kSlaveByte = 1;  // [7:1] 7-bit slave address; [0] is the R/W bit
constexpr size_t kReadCountByte = 2;
constexpr size_t kFirstWriteByte = 3;  // then the bytes to write: register, values

// OEM Super I/O proxy 30/2C: operation, bank, register [, value].
enum IsaOperation : uint8_t { kIsaWrite = 0, kIsaByteRead = 1, kIsaWordRead = 2 };

}  // namespace

// Writes first (the register number, then values stored from that register
// upwards), then reads from the register pointer upwards, as an SMBus chip
// with an auto-incrementing pointer answers. A slave that is not on the bus
// does not acknowledge its address: completion code 0x83, the code Master
// Write-Read gives for a NAK on write. A read that fails (a `fail` register)
// gives the same.
IpmiResponse Bmc::master_write_read(const std::vector<uint8_t>& data) {
    if (data.size() < kFirstWriteByte) return {ipmi_cc::kBadLength};
    auto bus = buses_.find(data[kBusIdByte]);
    if (bus == buses_.end()) return {ipmi_cc::kInvalidField};  // no such bus
    size_t read_count = data[kReadCountByte];
    if (read_count > kMaxReadCount) return {ipmi_cc::kTooManyBytes};
    auto chip = bus->second.find(uint8_t(data[kSlaveByte] >> 1));
    if (chip == bus->second.end()) return {ipmi_cc::kNak};

    BusChip& target = chip->second;
    if (data.size() > kFirstWriteByte) {
        target.pointer = data[kFirstWriteByte];
        for (size_t i = kFirstWriteByte + 1; i < data.size(); ++i)
            target.registers.write(target.pointer++, data[i]);
    }
    IpmiResponse response{ipmi_cc::kOk};
    for (size_t i = 0; i < read_count; ++i) {
        std::optional<uint8_t> value = target.registers.read(target.pointer++);
        if (!value) return {ipmi_cc::kNak};
        response.push_back(*value);
    }
    return response;
}

// 30/23: bus ID, slave × 2, 0x01, register; answers the register (high byte)
// and the next one (low byte).
IpmiResponse Bmc::smbus_word_read(const std::vector<uint8_t>& data) {
    if (data.size() != kFirstWriteByte + 1) return {ipmi_cc::kBadLength};
    if (data[kReadCountByte] != 0x01) return {ipmi_cc::kInvalidField};
    return master_write_read({data[kBusIdByte], data[kSlaveByte], 2, data[kFirstWriteByte]});
}

// The banked index/data chip the BMC's firmware reaches over LPC. Port devices
// are attached before the BMC; the banked chip with the lowest index port
// comes first among them.
IndexDataChip* Bmc::isa_chip() {
    IndexDataChip* chip = board_.find_port_device<IndexDataChip>();
    return chip && chip->has_bank_register() ? chip : nullptr;
}

// 30/2C: 00 bank reg value (write), 01 bank reg (byte), 02 bank reg (word:
// the register high, the next one low). The chip's firmware-side access puts
// its bank select register back afterwards. A read that fails answers 0xFF:
// an LPC chip cannot NAK, the BMC can only report that it got nothing.
IpmiResponse Bmc::isa_access(const std::vector<uint8_t>& data) {
    IndexDataChip* chip = isa_chip();
    if (!chip) return {ipmi_cc::kUnspecified};
    if (data.empty()) return {ipmi_cc::kBadLength};
    uint8_t operation = data[0];
    size_t expected = operation == kIsaWrite ? 4 : 3;
    if (operation > kIsaWordRead) return {ipmi_cc::kInvalidField};
    if (data.size() != expected) return {ipmi_cc::kBadLength};
    uint8_t bank = data[1];
    uint8_t reg = data[2];
    if (operation == kIsaWrite) {
        chip->write_in_bank(bank, reg, data[3]);
        return {ipmi_cc::kOk};
    }
    IpmiResponse response{ipmi_cc::kOk};
    for (int i = 0; i < (operation == kIsaWordRead ? 2 : 1); ++i) {
        std::optional<uint8_t> value = chip->read_in_bank(bank, uint8_t(reg + i));
        if (!value) return {ipmi_cc::kUnspecified};
        response.push_back(*value);
    }
    return response;
}
