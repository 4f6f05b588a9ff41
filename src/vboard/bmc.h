// The board's BMC: the IPMI commands it answers, whichever system interface
// (the IMB driver or the OpenIPMI device) carries them to it.
//
// Built in: Get Device ID, Get System GUID, I2C Master Write-Read on the BMC's
// private buses and the OEM SMBus proxies 30/22 (byte) and 30/23 (word), and
// with `isa_proxy` the OEM Super I/O proxy 30/2C. Everything else is answered
// from the board's `responses` table.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "vboard/board.h"
#include "vboard/register_file.h"

class IndexDataChip;
class VirtualBoard;

// One answer of the BMC: the completion code, then the response data.
using IpmiResponse = std::vector<uint8_t>;

// IPMI completion codes the BMC gives.
namespace ipmi_cc {
inline constexpr uint8_t kOk = 0x00;
inline constexpr uint8_t kNak = 0x83;  // I2C: the slave did not acknowledge
inline constexpr uint8_t kInvalidCommand = 0xC1;
inline constexpr uint8_t kTimeout = 0xC3;
inline constexpr uint8_t kBadLength = 0xC7;     // request data length invalid
inline constexpr uint8_t kTooManyBytes = 0xCA;  // cannot return that many bytes
inline constexpr uint8_t kInvalidField = 0xCC;  // invalid data field in the request
inline constexpr uint8_t kUnspecified = 0xFF;
}  // namespace ipmi_cc

// "ipmi imb 06/52 05 5a 01 2b -> 00 37": the trace line of one request and its
// answer through `interface`, or "... -> timeout" for a request never answered.
std::string ipmi_trace_line(const char* interface, uint8_t netfn, uint8_t command,
                            const std::vector<uint8_t>& data,
                            const std::optional<IpmiResponse>& response);

class Bmc {
public:
    explicit Bmc(VirtualBoard& board);

    // Carries out one request that arrived through `interface` ("imb",
    // "openipmi") and writes its trace line. nullopt: the BMC accepted the
    // request and will never answer it (a board with `respond: false`).
    std::optional<IpmiResponse> request(const char* interface, uint8_t netfn, uint8_t command,
                                        const std::vector<uint8_t>& data);

    // The time the BMC takes for one request (the board's ipmi_ms).
    int64_t latency_ns() const;

private:
    // A chip on one of the BMC's private buses, with the register pointer the
    // last write left (a read without a write starts there).
    struct BusChip {
        RegisterFile registers;
        uint8_t pointer = 0;
    };
    using Handler = IpmiResponse (Bmc::*)(const std::vector<uint8_t>&);
    // What the board must have for a built-in command to be answered by it
    // rather than from the `responses` table.
    enum class Needs { nothing, guid, isa_proxy };
    struct BuiltinCommand {
        uint8_t netfn;
        uint8_t command;
        Needs needs;
        Handler handler;
    };
    static const BuiltinCommand kBuiltins[];

    IpmiResponse answer(uint8_t netfn, uint8_t command, const std::vector<uint8_t>& data);
    IpmiResponse from_table(uint8_t netfn, uint8_t command, const std::vector<uint8_t>& data);
    bool available(Needs needs) const;

    IpmiResponse get_device_id(const std::vector<uint8_t>& data);
    IpmiResponse get_system_guid(const std::vector<uint8_t>& data);
    // bmc_proxies.cpp
    IpmiResponse master_write_read(const std::vector<uint8_t>& data);
    IpmiResponse smbus_word_read(const std::vector<uint8_t>& data);
    IpmiResponse isa_access(const std::vector<uint8_t>& data);
    IndexDataChip* isa_chip();

    VirtualBoard& board_;
    const BmcSpec& spec_;
    // By IPMI bus ID byte, then 7-bit slave address.
    std::map<uint8_t, std::map<uint8_t, BusChip>> buses_;
    // How many requests each `responses` key has answered.
    std::map<std::string, size_t> answered_;
};
