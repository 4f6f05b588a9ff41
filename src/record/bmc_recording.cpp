#include "record/bmc_recording.h"

#include <map>
#include <set>

#include "record/privacy.h"
#include "vboard/bmc.h"

namespace {

constexpr uint8_t kAppNetFn = 0x06;
constexpr uint8_t kGetDeviceId = 0x01;
constexpr uint8_t kGetSystemGuid = 0x37;
constexpr uint8_t kMasterWriteRead = 0x52;
constexpr uint8_t kOemNetFn = 0x30;
constexpr uint8_t kOemSmbusByte = 0x22;  // takes Master Write-Read's request
constexpr uint8_t kOemSmbusWord = 0x23;  // bus ID, slave × 2, 0x01, register: two bytes back
constexpr size_t kGuidLength = 16;

// Master Write-Read's request: bus ID, slave address × 2, read count, then
// the bytes to write (the register first).
constexpr size_t kReadCountByte = 2;
constexpr size_t kFirstWriteByte = 3;
constexpr uint8_t kWordBytes = 2;

constexpr const char* kDefaultImbNode = "/dev/kvbmc";
constexpr const char* kDefaultOpenIpmiNode = "/dev/ipmi0";

bool is(const BmcExchange& e, uint8_t netfn, uint8_t command) {
    return e.netfn == netfn && e.command == command;
}

std::string key_of(const BmcExchange& e) {
    return ipmi_request_key(e.netfn, e.command, e.data.data(), e.data.size());
}

struct BusChip {
    std::vector<RegisterAccess> accesses;
    bool answered = false;
    uint8_t pointer = 0;  // the register the next read starts at, as the chip keeps it
};
using Buses = std::map<uint8_t, std::map<uint8_t, BusChip>>;

// One proxied I2C transfer on the chip it addressed: writes from the
// register byte on, then reads from the pointer on.
void add_transfer(const BmcExchange& e, Buses& buses, std::set<uint8_t>& missing_buses,
                  ReplayNotes& notes) {
    const std::vector<uint8_t>& answer = *e.answer;
    bool word = is(e, kOemNetFn, kOemSmbusWord);
    if (e.data.size() < kFirstWriteByte || (word && e.data.size() != kFirstWriteByte + 1)) {
        notes.add("BMC request " + key_of(e) + " is not a transfer the replay carries out");
        return;
    }
    if (answer.front() == ipmi_cc::kInvalidField) {  // no such bus
        missing_buses.insert(e.data[0]);
        return;
    }
    if (answer.front() != ipmi_cc::kOk && answer.front() != ipmi_cc::kNak) {
        notes.add("BMC answered " + key_of(e) + " with completion code " +
                  hex_text(answer.front()) + ", which the replay does not give");
        return;
    }
    BusChip& chip = buses[e.data[0]][uint8_t(e.data[1] >> 1)];
    size_t reads = word ? kWordBytes : e.data[kReadCountByte];
    if (e.data.size() > kFirstWriteByte) chip.pointer = e.data[kFirstWriteByte];
    if (!word) {
        for (size_t i = kFirstWriteByte + 1; i < e.data.size(); ++i)
            chip.accesses.push_back({RegisterAccess::Kind::write, chip.pointer++, e.data[i]});
    }
    if (answer.front() == ipmi_cc::kNak) {
        // No acknowledge: the chip is not there, or the read of this register fails.
        if (reads > 0)
            chip.accesses.push_back({RegisterAccess::Kind::failed_read, chip.pointer, 0});
        return;
    }
    chip.answered = true;
    for (size_t i = 0; i < reads && i + 1 < answer.size(); ++i)
        chip.accesses.push_back({RegisterAccess::Kind::read, chip.pointer++, answer[i + 1]});
}

Json answers_json(const std::vector<std::vector<uint8_t>>& answers) {
    bool steady = true;
    for (const auto& answer : answers) steady = steady && answer == answers.front();
    if (steady) return byte_list(answers.front());
    Json list = Json::array();
    for (const auto& answer : answers) list.push_back(byte_list(answer));
    return list;
}

}  // namespace

Json recorded_bmc(const BmcSeen& bmc, bool keep_serials, ReplayNotes& notes) {
    if (bmc.interface == BmcSeen::Interface::none) return nullptr;
    bool imb = bmc.interface == BmcSeen::Interface::imb;
    Json out = {{"interface", imb ? "imb" : "openipmi"}};
    if (bmc.device != (imb ? kDefaultImbNode : kDefaultOpenIpmiNode)) out["device"] = bmc.device;

    bool any_answered = false;
    for (const BmcExchange& e : bmc.exchanges) any_answered = any_answered || e.answer.has_value();
    if (!any_answered && !bmc.exchanges.empty()) {
        out["respond"] = false;
        return out;
    }

    Buses buses;
    std::set<uint8_t> missing_buses;
    std::optional<uint8_t> device_id_cc;
    std::optional<std::vector<uint8_t>> guid;
    std::map<std::string, std::vector<std::vector<uint8_t>>> responses;
    for (const BmcExchange& e : bmc.exchanges) {
        if (!e.answer) {
            notes.add("BMC left " + key_of(e) + " unanswered; the replay answers it");
            continue;
        }
        const std::vector<uint8_t>& answer = *e.answer;
        if (is(e, kAppNetFn, kMasterWriteRead) || is(e, kOemNetFn, kOemSmbusByte) ||
            is(e, kOemNetFn, kOemSmbusWord)) {
            add_transfer(e, buses, missing_buses, notes);
        } else if (is(e, kAppNetFn, kGetDeviceId) && e.data.empty()) {
            if (!device_id_cc) device_id_cc = answer.front();
            if (answer.front() != *device_id_cc)
                notes.add("BMC answered 06/01 with completion codes " + hex_text(*device_id_cc) +
                          " and " + hex_text(answer.front()) + "; the replay gives the first");
        } else if (is(e, kAppNetFn, kGetSystemGuid) && e.data.empty() &&
                   answer.size() == 1 + kGuidLength && answer.front() == ipmi_cc::kOk &&
                   (!guid || std::equal(guid->begin(), guid->end(), answer.begin() + 1))) {
            guid.emplace(answer.begin() + 1, answer.end());
        } else {
            responses[key_of(e)].push_back(answer);
        }
    }
    // A GUID the BMC changed, or did not always give, is all answered from the table.
    if (guid && responses.count(ipmi_request_key(kAppNetFn, kGetSystemGuid, nullptr, 0))) {
        notes.add("BMC answered 06/37 in more than one way; the replay gives the GUID each time");
    }

    if (device_id_cc && *device_id_cc != ipmi_cc::kOk)
        out["device_id_cc"] = hex_text(*device_id_cc);
    if (guid) out["guid"] = byte_list(keep_serials ? *guid : scrub_bmc_guid(*guid));
    Json by_bus = Json::object();
    for (const auto& [bus, chips] : buses) {
        Json listed = Json::array();
        for (const auto& [address, chip] : chips) {
            if (!chip.answered) continue;  // nothing there acknowledged
            std::string name = "BMC bus " + hex_text(bus) + " chip " + hex_text(address);
            listed.push_back(recorded_registers({{"address", hex_text(address)}}, chip.accesses,
                                                kSmbusChipBankSelects, name, notes));
        }
        by_bus[hex_text(bus)] = std::move(listed);
    }
    for (uint8_t bus : missing_buses)
        if (by_bus.contains(hex_text(bus)))
            notes.add("BMC bus " + hex_text(bus) + " was there and not there; the replay has it");
    if (!by_bus.empty()) out["buses"] = std::move(by_bus);
    if (!responses.empty()) {
        Json table = Json::object();
        for (const auto& [key, answers] : responses) table[key] = answers_json(answers);
        out["responses"] = std::move(table);
    }
    return out;
}
