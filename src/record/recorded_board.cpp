#include "record/recorded_board.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>

#include "app/command_line.h"
#include "record/bmc_recording.h"
#include "record/board_text.h"
#include "record/port_space.h"
#include "record/privacy.h"
#include "vboard/board_parts.h"

namespace {

// Runs of recorded memory are cut where this many zeros lie in a row: memory
// the board does not set reads 0x00 anyway.
constexpr size_t kZerosLeftOut = 16;
constexpr size_t kRecordBytes = 256;  // bytes per raw record, for a file one can read

constexpr const char* kProcModules = "/proc/modules";
constexpr const char* kProcI2c = "/proc/bus/i2c";
constexpr const char* kI2cDevClass = "/class/i2c-dev/i2c-";  // under the sysfs mount
constexpr const char* kDeviceNodes = "/dev/";

std::string local_time(time_t when) {
    struct tm parts {};
    localtime_r(&when, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

Json raw_records(const std::map<uint64_t, uint8_t>& memory) {
    Json records = Json::array();
    auto flush = [&](uint64_t address, std::vector<uint8_t>& bytes) {
        while (!bytes.empty() && bytes.back() == 0) bytes.pop_back();
        for (size_t at = 0; at < bytes.size(); at += kRecordBytes) {
            std::vector<uint8_t> part(
                bytes.begin() + long(at),
                bytes.begin() + long(std::min(bytes.size(), at + kRecordBytes)));
            records.push_back({{"address", hex_text(address + at, 5)}, {"bytes", byte_list(part)}});
        }
        bytes.clear();
    };
    std::vector<uint8_t> run;
    uint64_t start = 0, next = 0;
    size_t zeros = 0;
    for (const auto& [address, byte] : memory) {
        if (address != next || zeros >= kZerosLeftOut) {
            flush(start, run);
            zeros = 0;
        }
        if (run.empty()) {
            if (byte == 0) {
                next = address + 1;
                continue;
            }
            start = address;
        }
        run.push_back(byte);
        zeros = byte == 0 ? zeros + 1 : 0;
        next = address + 1;
    }
    flush(start, run);
    return records;
}

std::string first_line(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string trimmed(std::string text) {
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    return text;
}

// "i2c-0\tsmbus     \tSMBus I801 adapter at 1100   \tNon-I2C SMBus adapter"
struct ListedAdapter {
    std::string type, name, algorithm;
    std::string listing;  // "proc" or "sysfs"
};

std::map<uint32_t, ListedAdapter> listed_adapters(const Observations& seen) {
    std::map<uint32_t, ListedAdapter> adapters;
    auto proc = seen.paths.find(kProcI2c);
    if (proc != seen.paths.end() && proc->second.state == PathSeen::State::file) {
        std::string text = proc->second.content;
        for (size_t at = 0; at < text.size();) {
            size_t end = std::min(text.find('\n', at), text.size());
            std::vector<std::string> columns;
            std::string line = text.substr(at, end - at);
            for (size_t from = 0; from <= line.size();) {
                size_t tab = std::min(line.find('\t', from), line.size());
                columns.push_back(trimmed(line.substr(from, tab - from)));
                from = tab + 1;
            }
            at = end + 1;
            if (columns.size() < 3 || !columns[0].starts_with("i2c-")) continue;
            std::string number = columns[0].substr(4);
            if (number.empty() || number.size() > 3 ||
                number.find_first_not_of("0123456789") != std::string::npos)
                continue;
            adapters[uint32_t(std::stoul(number))] = {
                columns[1].empty() || columns[1].find(' ') != std::string::npos ? "smbus"
                                                                                : columns[1],
                columns[2], columns.size() > 3 ? columns[3] : "", "proc"};
        }
        return adapters;
    }
    // sysfs: <mount>/class/i2c-dev/i2c-N/name (or .../device/name)
    for (const auto& [path, found] : seen.paths) {
        size_t at = path.find(kI2cDevClass);
        if (at == std::string::npos || found.state != PathSeen::State::file ||
            !path.ends_with("/name"))
            continue;
        size_t digits = at + std::strlen(kI2cDevClass);
        size_t end = path.find('/', digits);
        std::string number = path.substr(digits, end - digits);
        if (number.empty() || number.size() > 3 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            continue;
        ListedAdapter& adapter = adapters[uint32_t(std::stoul(number))];
        if (adapter.name.empty())
            adapter = {"unknown", trimmed(first_line(found.content)), "", "sysfs"};
    }
    return adapters;
}

// A name as the board file takes it: one line, no tabs.
std::string one_line(std::string text, const std::string& fallback) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text.empty() ? fallback : text;
}

Json recorded_smbus(const Observations& seen, std::set<uint32_t> buses, ReplayNotes& notes) {
    std::map<uint32_t, ListedAdapter> listed = listed_adapters(seen);
    for (const auto& [bus, adapter] : listed) buses.insert(bus);
    for (const auto& [bus, chips] : seen.i2c_chips) buses.insert(bus);
    Json adapters = Json::array();
    for (uint32_t bus : buses) {
        std::string fallback = "i2c-" + std::to_string(bus);
        auto found = listed.find(bus);
        ListedAdapter adapter =
            found == listed.end() ? ListedAdapter{"smbus", "", "", "none"} : found->second;
        Json entry = {
            {"bus", bus}, {"type", adapter.type}, {"name", one_line(adapter.name, fallback)}};
        if (!adapter.algorithm.empty()) entry["algorithm"] = one_line(adapter.algorithm, fallback);
        entry["listing"] = adapter.listing;
        Json devices = Json::array();
        auto chips = seen.i2c_chips.find(bus);
        if (chips != seen.i2c_chips.end()) {
            for (const auto& [address, chip] : chips->second) {
                std::string name = "i2c " + std::to_string(bus) + " chip " + hex_text(address);
                if (!chip.answered && !chip.driver_holds) continue;  // nothing acknowledged
                if (chip.answered && chip.write_refused)
                    notes.add(name + " refused a write, which the replay takes");
                Json device = recorded_registers({{"address", hex_text(address)}}, chip.accesses,
                                                 kSmbusChipBankSelects, name, notes);
                if (chip.driver_holds) device["kernel_driver"] = true;
                devices.push_back(std::move(device));
            }
        }
        if (!devices.empty()) entry["devices"] = std::move(devices);
        adapters.push_back(std::move(entry));
    }
    return adapters;
}

bool is_device_node(const std::string& path) {
    return path == "/dev/mem" || path == "/dev/kvbmc" || path.starts_with("/dev/ipmi") ||
           path.starts_with("/dev/i2c-");
}

}  // namespace

std::string recorded_board_file(Observations seen, const RecordingFacts& facts,
                                ReplayNotes& notes) {
    std::string started = local_time(seen.started);
    Json board = Json::object();
    board["description"] =
        "Recorded by " + facts.recorder + " " + kProgramVersion + " --record on " + started +
        " from the run of \"" + facts.command_line + "\"" +
        (facts.keep_serials ? ", serial numbers kept."
                            : "; serial numbers, asset tags, UUIDs and the BMC's GUID replaced "
                              "by placeholders.");
    if (seen.uid && *seen.uid != 0) board["uid"] = *seen.uid;
    board["clock"] = {{"start", started}, {"virtual", true}};

    if (!facts.keep_serials) hide_smbios_identity(seen.memory, seen.dmidecode);
    Json records = raw_records(seen.memory);
    if (!records.empty()) board["smbios"] = {{"raw_records", records}};
    board["dmidecode"] = seen.dmidecode ? *seen.dmidecode : "absent";

    RecordedPortSpace ports = recorded_port_space(seen.ports, notes);
    if (!ports.pci.empty()) board["pci"] = std::move(ports.pci);
    if (!ports.ports.empty()) board["ports"] = std::move(ports.ports);

    // Device nodes the run found there must be there again; an adapter's node
    // comes with the adapter.
    std::set<uint32_t> buses = seen.i2c_buses;
    Json files = Json::object();
    Json missing = Json::array(), unreadable = Json::array();
    Json modules = Json::array();
    for (const auto& [path, found] : seen.paths) {
        // A path the board file cannot name (a relative one, "//" or "..")
        // is left out: the replay's loader would refuse the whole file.
        if (!is_sandbox_path(path) || !path_too_long(path).empty()) continue;
        bool gone = found.state == PathSeen::State::missing && !found.found_later;
        if (gone && !seen.written.count(path)) missing.push_back(path);
        if (found.state == PathSeen::State::unreadable) {
            unreadable.push_back(path);
            files[path] = "";
        }
        if (found.state == PathSeen::State::file && path == kProcModules) {
            std::set<std::string> listed;
            for (size_t at = 0; at < found.content.size();) {
                size_t end = std::min(found.content.find('\n', at), found.content.size());
                std::string name = found.content.substr(at, end - at);
                name = name.substr(0, name.find_first_of(" \t"));
                if (!name.empty() && listed.insert(name).second) modules.push_back(name);
                at = end + 1;
            }
        } else if (found.state == PathSeen::State::file) {
            files[path] = found.content;
        } else if (found.state == PathSeen::State::other && !found.listed &&
                   path.starts_with(kDeviceNodes)) {
            uint32_t bus = 0;
            if (std::sscanf(path.c_str(), "/dev/i2c-%u", &bus) == 1 &&
                path == "/dev/i2c-" + std::to_string(bus))
                buses.insert(bus);
            else if (!is_device_node(path))
                files[path] = "";  // what the run checked is there
        }
    }

    Json smbus = recorded_smbus(seen, buses, notes);
    if (!smbus.empty()) board["smbus"] = std::move(smbus);
    if (seen.bmc.two_interfaces)
        notes.add(
            "the BMC answered through both the IMB driver and the OpenIPMI device; the "
            "replay has only the one used last");
    Json bmc = recorded_bmc(seen.bmc, facts.keep_serials, notes);
    if (!bmc.is_null()) board["bmc"] = std::move(bmc);
    if (!modules.empty()) board["modules"] = std::move(modules);
    if (!files.empty()) board["files"] = std::move(files);
    Json faults = Json::object();
    if (!missing.empty()) faults["missing"] = std::move(missing);
    if (!unreadable.empty()) faults["unreadable"] = std::move(unreadable);
    if (!faults.empty()) board["faults"] = std::move(faults);
    return board_text(board);
}
