#include "vboard/bmc.h"

#include <cstdio>
#include <memory>
#include <string>

#include "vboard/bmc_interfaces.h"
#include "vboard/devices.h"
#include "vboard/virtual_board.h"

namespace {

// Get Device ID data (IPMI 2.0, 20.1): device ID 0x20, device revision 1 with
// SDRs, firmware 1.00 (device available), IPMI version 2.0, the usual
// additional-device-support bits (sensor, SDR, SEL, FRU, IPMB event
// receiver/generator, chassis), manufacturer ID 0 (unspecified), product 1.
constexpr uint8_t kDeviceIdData[] = {0x20, 0x81, 0x01, 0x00, 0x02, 0xBF,
                                     0x00, 0x00, 0x00, 0x01, 0x00};

}  // namespace

std::string ipmi_trace_line(const char* interface, uint8_t netfn, uint8_t command,
                            const std::vector<uint8_t>& data,
                            const std::optional<IpmiResponse>& response) {
    std::string line = std::string("ipmi ") + interface + " " +
                       ipmi_request_key(netfn, command, data.data(), data.size()) + " ->";
    if (!response) return line + " timeout";
    char byte[4];
    for (uint8_t value : *response) {
        std::snprintf(byte, sizeof byte, " %02x", value);
        line += byte;
    }
    return line;
}

// Built-in commands, searched in this order. Master Write-Read (App 0x52) and
// the OEM SMBus byte proxy 30/22 take the same request; 30/23 reads a word.
constexpr Bmc::BuiltinCommand Bmc::kBuiltins[] = {
    {0x06, 0x01, Needs::nothing, &Bmc::get_device_id},
    {0x06, 0x37, Needs::guid, &Bmc::get_system_guid},
    {0x06, 0x52, Needs::nothing, &Bmc::master_write_read},
    {0x30, 0x22, Needs::nothing, &Bmc::master_write_read},
    {0x30, 0x23, Needs::nothing, &Bmc::smbus_word_read},
    {0x30, 0x2C, Needs::isa_proxy, &Bmc::isa_access},
};

Bmc::Bmc(VirtualBoard& board) : board_(board), spec_(board.board().bmc) {
    for (const auto& [bus, chips] : spec_.buses) {
        auto& on_bus = buses_[bus];
        for (const I2cDevice& chip : chips)
            on_bus.emplace(chip.address, BusChip{RegisterFile(chip.regs, board.clock()), 0});
    }
    char name[32];
    for (auto& [bus, chips] : buses_) {
        for (auto& [address, chip] : chips) {
            std::snprintf(name, sizeof name, "bmc:0x%02x:0x%02x", bus, address);
            board.chip_states().add(name, chip.registers.state_access());
        }
    }
}

int64_t Bmc::latency_ns() const {
    return int64_t(board_.board().latency.ipmi_ms) * 1000000;
}

std::optional<IpmiResponse> Bmc::request(const char* interface, uint8_t netfn, uint8_t command,
                                         const std::vector<uint8_t>& data) {
    std::optional<IpmiResponse> response;
    if (spec_.respond) response = answer(netfn, command, data);
    if (board_.trace().on())
        board_.trace().line(ipmi_trace_line(interface, netfn, command, data, response));
    return response;
}

bool Bmc::available(Needs needs) const {
    switch (needs) {
        case Needs::nothing:
            return true;
        case Needs::guid:
            return spec_.guid.has_value();
        case Needs::isa_proxy:
            return spec_.isa_proxy;
    }
    return false;
}

// A completion code the board forces on a command: an error code answers
// alone and the command is not carried out (no register is touched); 0x00
// turns whatever the command gave into success.
IpmiResponse Bmc::answer(uint8_t netfn, uint8_t command, const std::vector<uint8_t>& data) {
    auto forced = spec_.completion_codes.find(ipmi_request_key(netfn, command, nullptr, 0));
    if (forced != spec_.completion_codes.end() && forced->second != ipmi_cc::kOk)
        return {forced->second};

    IpmiResponse response;
    bool handled = false;
    for (const BuiltinCommand& entry : kBuiltins) {
        if (entry.netfn == netfn && entry.command == command && available(entry.needs)) {
            response = (this->*entry.handler)(data);
            handled = true;
            break;
        }
    }
    if (!handled) response = from_table(netfn, command, data);
    if (forced != spec_.completion_codes.end()) response.front() = ipmi_cc::kOk;
    return response;
}

// The `responses` table: the request with its data first, then the command
// alone. A key with several answers gives the next one each time.
IpmiResponse Bmc::from_table(uint8_t netfn, uint8_t command, const std::vector<uint8_t>& data) {
    auto found = spec_.responses.find(ipmi_request_key(netfn, command, data.data(), data.size()));
    if (found == spec_.responses.end())
        found = spec_.responses.find(ipmi_request_key(netfn, command, nullptr, 0));
    if (found == spec_.responses.end()) return {ipmi_cc::kInvalidCommand};
    const auto& answers = found->second;
    return answers[answered_[found->first]++ % answers.size()];
}

// Both take no request data.
IpmiResponse Bmc::get_device_id(const std::vector<uint8_t>& data) {
    if (!data.empty()) return {ipmi_cc::kBadLength};
    if (spec_.device_id_cc != ipmi_cc::kOk) return {spec_.device_id_cc};
    IpmiResponse response{ipmi_cc::kOk};
    response.insert(response.end(), std::begin(kDeviceIdData), std::end(kDeviceIdData));
    return response;
}

IpmiResponse Bmc::get_system_guid(const std::vector<uint8_t>& data) {
    if (!data.empty()) return {ipmi_cc::kBadLength};
    IpmiResponse response{ipmi_cc::kOk};
    response.insert(response.end(), spec_.guid->begin(), spec_.guid->end());
    return response;
}

// The BMC's node at the path the board names: the IMB driver's device or the
// OpenIPMI device. Other OpenIPMI names stay absent, so code that tries the
// names in turn finds the configured one.
void attach_bmc(VirtualBoard& board) {
    const BmcSpec& model = board.board().bmc;
    if (model.interface == BmcSpec::Interface::none) return;
    auto bmc = std::make_shared<Bmc>(board);
    if (model.interface == BmcSpec::Interface::imb) {
        board.add_device_node(model.device,
                              [bmc, &board](int) { return open_imb_device(bmc, board); });
    } else {
        board.add_device_node(model.device, [bmc, &board, path = model.device](int) {
            return open_openipmi_device(bmc, board, path);
        });
    }
}
