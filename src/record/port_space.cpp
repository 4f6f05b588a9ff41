#include "record/port_space.h"

#include <map>
#include <optional>
#include <set>

namespace {

// PCI configuration mechanism #1.
constexpr uint16_t kPciAddressPort = 0xCF8;
constexpr uint16_t kPciDataPort = 0xCFC;
constexpr uint16_t kPciLastPort = 0xCFF;
constexpr uint32_t kPciEnable = 0x80000000u;
constexpr uint32_t kPciAddressBits = kPciEnable | 0x00FFFFFCu;  // what CONFIG_ADDRESS keeps
constexpr uint32_t kMasterAbort = 0xFFFFFFFFu;                  // no function answers

// Super I/O configuration registers with a fixed meaning on every chip.
constexpr uint8_t kConfigControl = 0x02;  // bit 1: back to "wait for key"
constexpr uint8_t kWaitForKey = 0x02;
constexpr uint8_t kLogicalDeviceSelect = 0x07;
constexpr uint8_t kFirstDeviceRegister = 0x30;

// What a port nobody drives reads.
constexpr uint8_t kFloating = 0xFF;

using Kind = PortAccess::Kind;

bool is_pci(uint32_t port) {
    return port >= kPciAddressPort && port <= kPciLastPort;
}
bool is_read(const PortAccess& a) {
    return a.kind == Kind::inb || a.kind == Kind::inl;
}
unsigned width_of(const PortAccess& a) {
    return a.kind == Kind::inl || a.kind == Kind::outl ? 4 : 1;
}

std::string access_text(const PortAccess& a) {
    static constexpr const char* kNames[] = {"inb", "outb", "inl", "outl"};
    return std::string(kNames[int(a.kind)]) + " " + hex_text(a.port);
}

// ---- PCI ---------------------------------------------------------------------

Json recorded_pci(const std::vector<PortAccess>& log, ReplayNotes& notes) {
    struct Dword {
        std::optional<uint32_t> first;    // read before any write
        std::optional<uint32_t> written;  // what the replay stores (not at offset 0: the IDs)
    };
    std::map<uint32_t, std::map<uint8_t, Dword>> functions;  // bus << 8 | devfn
    uint32_t address = 0;
    auto mismatch = [&](uint32_t at, uint32_t got, uint32_t replay) {
        notes.add("PCI configuration dword " + hex_text(at, 8) + " read " + hex_text(got, 8) +
                  " where the replay gives " + hex_text(replay, 8));
    };
    for (const PortAccess& a : log) {
        if (!is_pci(a.port)) continue;
        if (a.port == kPciAddressPort && a.kind == Kind::outl) {
            address = a.value & kPciAddressBits;
        } else if (a.port == kPciDataPort && a.kind == Kind::inl) {
            if (!(address & kPciEnable)) {
                if (a.value != kMasterAbort) mismatch(address, a.value, kMasterAbort);
                continue;
            }
            uint8_t offset = uint8_t(address & 0xFC);
            Dword& dword = functions[address >> 8 & 0xFFFF][offset];
            std::optional<uint32_t> replay =
                offset != 0 && dword.written ? dword.written : dword.first;
            if (!replay) {
                dword.first = a.value;
            } else if (a.value != *replay) {
                mismatch(address, a.value, *replay);
            }
        } else if (a.port == kPciDataPort && a.kind == Kind::outl) {
            if (address & kPciEnable)
                functions[address >> 8 & 0xFFFF][uint8_t(address & 0xFC)].written = a.value;
        } else {
            notes.add(access_text(a) + " (PCI configuration) is not recorded");
        }
    }

    Json pci = Json::array();
    for (const auto& [key, dwords] : functions) {
        uint32_t bus = key >> 8, device = key >> 3 & 0x1F, function = key & 0x07;
        auto id = dwords.find(0);
        if (id == dwords.end() || !id->second.first || *id->second.first == kMasterAbort) {
            // Not there: the replay answers every dword with all ones.
            for (const auto& [offset, dword] : dwords)
                if (dword.first && *dword.first != kMasterAbort)
                    mismatch(kPciEnable | key << 8 | offset, *dword.first, kMasterAbort);
            continue;
        }
        Json entry = {{"bus", bus},
                      {"device", device},
                      {"function", function},
                      {"id", hex_text(*id->second.first, 8)}};
        Json config = Json::object();
        for (const auto& [offset, dword] : dwords)
            if (offset != 0 && dword.first) config[hex_text(offset)] = hex_text(*dword.first, 8);
        if (!config.empty()) entry["config"] = std::move(config);
        pci.push_back(std::move(entry));
    }
    return pci;
}

// ---- index/data pairs -------------------------------------------------------------

// Index port -> data port.
std::map<uint16_t, uint16_t> find_pairs(const std::vector<PortAccess>& log) {
    std::map<uint16_t, uint16_t> pairs;
    std::set<uint16_t> taken;
    for (size_t i = 0; i + 1 < log.size(); ++i) {
        const PortAccess& index = log[i];
        const PortAccess& next = log[i + 1];
        uint32_t data = uint32_t(index.port) + 1;
        if (index.kind != Kind::outb || is_pci(index.port) || is_pci(data) || next.port != data ||
            width_of(next) != 1)
            continue;
        if (taken.count(index.port) || taken.count(uint16_t(data))) continue;
        pairs[index.port] = uint16_t(data);
        taken.insert(index.port);
        taken.insert(uint16_t(data));
    }
    return pairs;
}

Json index_data_chip(const std::vector<PortAccess>& accesses, uint16_t index_port,
                     uint16_t data_port, ReplayNotes& notes) {
    const std::string chip = "port " + hex_text(index_port);
    std::vector<RegisterAccess> registers;
    uint8_t index = 0;
    for (const PortAccess& a : accesses) {
        if (width_of(a) != 1) {
            notes.add(access_text(a) + " on an index/data pair is not recorded");
        } else if (a.port == index_port && a.kind == Kind::outb) {
            index = uint8_t(a.value);
        } else if (a.port == index_port) {
            // The chip's address port reads back the selected register.
            if (a.value != index)
                notes.add(chip + " read " + hex_text(a.value) + " where the replay gives " +
                          hex_text(index));
        } else {
            registers.push_back(
                {a.kind == Kind::inb ? RegisterAccess::Kind::read : RegisterAccess::Kind::write,
                 index, uint8_t(a.value)});
        }
    }
    Json device = recorded_registers({{"data", hex_text(data_port)}}, registers,
                                     kPortChipBankSelects, chip, notes);
    return {{"index_data", device}};
}

// The entry and exit keys of a Super I/O configuration space.
struct SuperIoKeys {
    std::vector<uint8_t> entry;  // empty: always open
    std::optional<uint8_t> exit;
};

// Index-port writes that select no register (the next access through the
// pair is another index write, or there is none) are keys: the first run of
// them is the entry key, the first other one after it the exit key.
SuperIoKeys guess_keys(const std::vector<PortAccess>& accesses, uint16_t index_port) {
    auto is_key = [&](size_t i) {
        const PortAccess& a = accesses[i];
        if (a.port != index_port || a.kind != Kind::outb) return false;
        return i + 1 == accesses.size() ||
               (accesses[i + 1].port == index_port && accesses[i + 1].kind == Kind::outb);
    };
    SuperIoKeys keys;
    size_t i = 0;
    while (i < accesses.size() && !is_key(i)) ++i;
    while (i < accesses.size() && is_key(i)) keys.entry.push_back(uint8_t(accesses[i++].value));
    for (; i < accesses.size() && !keys.entry.empty(); ++i) {
        if (is_key(i) && accesses[i].value != keys.entry.front()) {
            keys.exit = uint8_t(accesses[i].value);
            break;
        }
    }
    return keys;
}

// The configuration space that answers `accesses` as the machine did, with
// these keys; nullopt when the keys cannot be right (a read while the replay
// would be locked gave something a locked chip does not).
std::optional<Json> superio_space(const std::vector<PortAccess>& accesses, uint16_t index_port,
                                  uint16_t data_port, const SuperIoKeys& keys, ReplayNotes& notes) {
    const std::string chip = "Super I/O at " + hex_text(index_port);
    ReplayNotes found;
    bool unlocked = keys.entry.empty();
    std::vector<uint8_t> recent;
    uint8_t index = 0;
    uint8_t device = 0;
    std::optional<uint8_t> first_device;  // register 0x07 as first read
    bool device_chosen = false;
    std::vector<RegisterAccess> global;
    std::map<uint8_t, std::vector<RegisterAccess>> devices;
    for (const PortAccess& a : accesses) {
        if (width_of(a) != 1) {
            found.add(access_text(a) + " on a Super I/O configuration space is not recorded");
            continue;
        }
        bool on_index = a.port == index_port;
        uint8_t value = uint8_t(a.value);
        if (!unlocked) {
            if (is_read(a) && value != kFloating) return std::nullopt;
            if (on_index && !is_read(a)) {
                recent.push_back(value);
                if (recent.size() > keys.entry.size()) recent.erase(recent.begin());
                if (recent == keys.entry) {
                    unlocked = true;
                    recent.clear();
                }
            }
            continue;
        }
        if (on_index) {
            if (is_read(a)) {
                if (value != index)
                    found.add(chip + " index read " + hex_text(value) + " where the replay gives " +
                              hex_text(index));
            } else if (keys.exit && value == *keys.exit) {
                unlocked = keys.entry.empty();
            } else {
                index = value;
            }
            continue;
        }
        auto kind = is_read(a) ? RegisterAccess::Kind::read : RegisterAccess::Kind::write;
        if (index == kLogicalDeviceSelect) {
            if (kind == RegisterAccess::Kind::write) {
                device = value;
                device_chosen = true;
            } else if (!device_chosen && !first_device) {
                first_device = device = value;
            } else if (value != device) {
                found.add(chip + " register 0x07 read " + hex_text(value) +
                          " where the replay gives " + hex_text(device));
            }
        } else if (index < kFirstDeviceRegister) {
            global.push_back({kind, index, value});
            if (kind == RegisterAccess::Kind::write && index == kConfigControl &&
                (value & kWaitForKey) && !keys.entry.empty() && !keys.exit)
                unlocked = false;
        } else {
            devices[device].push_back({kind, index, value});
        }
    }

    Json space = {{"data", hex_text(data_port)}};
    if (!keys.entry.empty()) {
        Json entry = Json::array();
        for (uint8_t key : keys.entry) entry.push_back(hex_text(key));
        space["entry"] = std::move(entry);
        if (keys.exit) space["exit"] = hex_text(*keys.exit);
    }
    Json registers = recorded_registers(Json::object(), global, {}, chip, found)["registers"];
    if (first_device) registers[hex_text(kLogicalDeviceSelect)] = hex_text(*first_device);
    space["registers"] = std::move(registers);
    Json by_device = Json::object();
    for (const auto& [ldn, log] : devices) {
        Json regs = recorded_registers(Json::object(), log, {}, chip + " device " + hex_text(ldn),
                                       found)["registers"];
        if (!regs.empty()) by_device[hex_text(ldn)] = std::move(regs);
    }
    if (!by_device.empty()) space["devices"] = std::move(by_device);
    for (const std::string& line : found.lines()) notes.add(line);
    return Json{{"superio", space}};
}

Json pair_device(const std::vector<PortAccess>& accesses, uint16_t index_port, uint16_t data_port,
                 ReplayNotes& notes) {
    // Selecting a logical device is what only a configuration space does.
    uint8_t index = 0;
    bool selects_devices = false;
    for (const PortAccess& a : accesses) {
        if (a.port == index_port && a.kind == Kind::outb) index = uint8_t(a.value);
        if (a.port == data_port && a.kind == Kind::outb && index == kLogicalDeviceSelect)
            selects_devices = true;
    }
    if (!selects_devices) return index_data_chip(accesses, index_port, data_port, notes);
    if (auto space =
            superio_space(accesses, index_port, data_port, guess_keys(accesses, index_port), notes))
        return *space;
    return *superio_space(accesses, index_port, data_port, {}, notes);  // an open chip never fails
}

// ---- plain storage ------------------------------------------------------------

void add_plain_ports(const std::vector<PortAccess>& log, const std::set<uint16_t>& claimed,
                     std::map<uint16_t, Json>& ports, ReplayNotes& notes) {
    struct Byte {
        std::optional<uint8_t> first;
        std::optional<uint8_t> written;
        bool drives = false;  // read something but the floating 0xFF
    };
    std::map<uint16_t, Byte> bytes;
    std::set<uint16_t> dword_ports;
    auto each_byte = [&](const PortAccess& a, auto&& act) {
        for (unsigned i = 0; i < width_of(a); ++i) {
            uint32_t port = uint32_t(a.port) + i;
            if (port > 0xFFFF || claimed.count(uint16_t(port))) continue;
            act(uint16_t(port), uint8_t(a.value >> (8 * i)));
        }
    };
    for (const PortAccess& a : log) {
        if (is_pci(a.port) || claimed.count(a.port)) continue;
        if (width_of(a) == 4) dword_ports.insert(a.port);
        if (is_read(a))
            each_byte(
                a, [&](uint16_t port, uint8_t value) { bytes[port].drives |= value != kFloating; });
    }
    // A dword access takes four ports of one device.
    std::set<uint16_t> kept;
    for (const auto& [port, byte] : bytes)
        if (byte.drives) kept.insert(port);
    for (uint16_t first : dword_ports) {
        bool any = false;
        for (unsigned i = 0; i < 4; ++i) any = any || kept.count(uint16_t(first + i));
        for (unsigned i = 0; any && i < 4; ++i)
            if (uint32_t(first) + i <= 0xFFFF && !claimed.count(uint16_t(first + i)) &&
                !is_pci(first + i))
                kept.insert(uint16_t(first + i));
    }
    // The kept ports as the replay's storage: the first byte read, then what
    // the run wrote.
    for (const PortAccess& a : log) {
        if (is_pci(a.port) || claimed.count(a.port)) continue;
        each_byte(a, [&](uint16_t port, uint8_t value) {
            if (!kept.count(port)) return;
            Byte& byte = bytes[port];
            if (!is_read(a)) {
                byte.written = value;
                return;
            }
            std::optional<uint8_t> replay = byte.written ? byte.written : byte.first;
            if (!replay) {
                byte.first = value;
            } else if (value != *replay) {
                notes.add("port " + hex_text(port) + " read " + hex_text(value) +
                          " where the replay gives " + hex_text(*replay));
            }
        });
    }
    for (auto at = kept.begin(); at != kept.end();) {
        uint16_t first = *at;
        std::vector<uint8_t> run;
        uint32_t next = first;
        for (; at != kept.end() && *at == next; ++at, ++next)
            run.push_back(bytes[*at].first.value_or(kFloating));
        ports[first] = {{"bytes", byte_list(run)}};
    }
}

}  // namespace

RecordedPortSpace recorded_port_space(const std::vector<PortAccess>& log, ReplayNotes& notes) {
    RecordedPortSpace out;
    out.pci = recorded_pci(log, notes);
    std::map<uint16_t, uint16_t> pairs = find_pairs(log);
    std::set<uint16_t> claimed;
    std::map<uint16_t, std::vector<PortAccess>> by_pair;
    std::map<uint16_t, uint16_t> pair_of;
    for (const auto& [index, data] : pairs) {
        claimed.insert(index);
        claimed.insert(data);
        pair_of[index] = pair_of[data] = index;
    }
    for (const PortAccess& a : log) {
        auto pair = pair_of.find(a.port);
        if (pair != pair_of.end()) by_pair[pair->second].push_back(a);
    }
    std::map<uint16_t, Json> devices;
    for (const auto& [index, data] : pairs)
        devices[index] = pair_device(by_pair[index], index, data, notes);
    add_plain_ports(log, claimed, devices, notes);
    for (auto& [port, device] : devices) out.ports[hex_text(port)] = std::move(device);
    return out;
}
