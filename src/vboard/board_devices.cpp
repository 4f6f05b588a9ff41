// The device parts of a board file: PCI functions, port devices, SMBus
// adapters with their chips, and the BMC.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "vboard/board_parts.h"

namespace {

constexpr NumberKind kBank{"a bank number (0..0xFF)", 0, 0xFF};

// Mechanism #1 of PCI configuration: address dword at 0xCF8, data at 0xCFC.
constexpr uint16_t kPciFirstPort = 0xCF8;
constexpr uint16_t kPciLastPort = 0xCFF;

// The key of `object` that names `number` (for messages about a value that
// was read already).
std::string numbered_key_path(const Json& object, const std::string& path, uint64_t number) {
    for (const auto& item : object.items()) {
        if (parse_c_number(item.key()) == number) return key_path(path, item.key());
    }
    return path;
}

// latches: [{"write": R, "bits": B, "bank": N, "clear": {R: B}, "set": {R: B}}].
// `why_not(register)` says why the chip cannot latch a register (empty: it
// can); `banked` is the chip's bank select, for `bank` (none: no banks).
std::vector<Latch> read_latches(const Json& value, const std::string& path, const NumberKind& kind,
                                const std::function<std::string(uint64_t)>& why_not,
                                const BankedRegisters* banked) {
    std::vector<Latch> latches;
    auto latched = [&](uint64_t reg, const std::string& at) {
        if (std::string why = why_not(reg); !why.empty()) bad(at, why);
        return static_cast<uint16_t>(reg);
    };
    for_each_element(value, path, [&](const Json& v, const std::string& p) {
        ObjectReader r(v, p, {"write", "bits", "bank", "clear", "set"});
        Latch latch;
        latch.reg =
            latched(read_number(r.require("write"), r.path("write"), kind), r.path("write"));
        if (const Json* bits = r.find("bits")) {
            latch.bits = static_cast<uint8_t>(read_number(*bits, r.path("bits"), kByte));
            if (*latch.bits == 0) bad(r.path("bits"), "no bit to watch: omit bits for any write");
        }
        if (const Json* bank = r.find("bank")) {
            if (!banked || !banked->bank_register) bad(r.path("bank"), "needs a bank_register");
            latch.bank = static_cast<uint8_t>(read_number(*bank, r.path("bank"), kBank));
            if ((*latch.bank & ~banked->bank_mask) != 0) {
                bad(r.path("bank"), "bank " + std::to_string(*latch.bank) +
                                        " cannot be selected through bank_mask " +
                                        hex_text(banked->bank_mask));
            }
        }
        for (auto [key, targets] : {std::pair{"clear", &latch.clear}, {"set", &latch.set}}) {
            const Json* changes = r.find(key);
            if (!changes) continue;
            for_each_numbered(*changes, r.path(key), kind,
                              [&](uint64_t reg, const Json& bits, const std::string& at) {
                                  uint8_t mask = static_cast<uint8_t>(read_number(bits, at, kByte));
                                  if (mask == 0) bad(at, "no bit to change");
                                  (*targets)[latched(reg, at)] = mask;
                              });
        }
        if (latch.clear.empty() && latch.set.empty()) bad(p, "missing key \"clear\" or \"set\"");
        for (const auto& [reg, mask] : latch.clear) {
            auto both = latch.set.find(reg);
            if (both != latch.set.end() && (both->second & mask) != 0)
                bad(r.path("set"), "sets bits that it clears (" + hex_text(both->second & mask) +
                                       " of " + hex_text(reg) + ")");
        }
        latches.push_back(std::move(latch));
    });
    return latches;
}

// bank_register, bank_mask, registers, banks and latches, shared by port
// chips and SMBus chips.
BankedRegisters read_banked(const ObjectReader& r) {
    BankedRegisters b;
    if (const Json* reg = r.find("bank_register")) {
        b.bank_register = static_cast<uint8_t>(read_number(*reg, r.path("bank_register"), kByte));
    }
    if (const Json* mask = r.find("bank_mask")) {
        if (!b.bank_register) bad(r.path("bank_mask"), "needs a bank_register");
        b.bank_mask = static_cast<uint8_t>(read_number(*mask, r.path("bank_mask"), kByte));
        if (b.bank_mask == 0) bad(r.path("bank_mask"), "a mask of 0 selects no bank");
    }
    if (const Json* regs = r.find("registers")) {
        b.registers = read_register_map(*regs, r.path("registers"));
        if (b.bank_register) {
            auto it = b.registers.find(*b.bank_register);
            if (it != b.registers.end() && it->second.kind != RegisterValue::Kind::fixed) {
                bad(numbered_key_path(*regs, r.path("registers"), *b.bank_register),
                    "the bank register holds a plain byte");
            }
        }
    }
    if (const Json* banks = r.find("banks")) {
        if (!b.bank_register) bad(r.path("banks"), "banks need a bank_register");
        for_each_numbered(
            *banks, r.path("banks"), kBank,
            [&](uint64_t bank, const Json& v, const std::string& p) {
                if ((bank & ~uint64_t{b.bank_mask}) != 0) {
                    bad(p, "bank " + std::to_string(bank) +
                               " cannot be selected through bank_mask " + hex_text(b.bank_mask));
                }
                RegisterMap& registers = b.banks[static_cast<uint8_t>(bank)];
                for_each_numbered(
                    v, p, kByte, [&](uint64_t reg, const Json& rv, const std::string& rp) {
                        if (reg == *b.bank_register) bad(rp, "the bank register is never banked");
                        registers[static_cast<uint8_t>(reg)] = read_register_value(rv, rp);
                    });
            });
    }
    if (const Json* latches = r.find("latches")) {
        b.latches = read_latches(
            *latches, r.path("latches"), kByte,
            [&](uint64_t reg) -> std::string {
                // Latching the bank select would switch banks under the write.
                if (reg == b.bank_register) return "the bank register is never latched";
                return {};
            },
            &b);
    }
    return b;
}

std::vector<I2cDevice> read_i2c_devices(const Json& value, const std::string& path, bool on_smbus) {
    std::vector<I2cDevice> devices;
    std::map<uint8_t, std::string> seen;
    for_each_element(value, path, [&](const Json& v, const std::string& p) {
        ObjectReader r(v, p,
                       {"address", "bank_register", "bank_mask", "registers", "banks", "latches",
                        "kernel_driver"});
        I2cDevice device;
        device.address =
            static_cast<uint8_t>(read_number(r.require("address"), r.path("address"), kI2cAddress));
        auto [first, fresh] = seen.emplace(device.address, p);
        if (!fresh) {
            bad(r.path("address"),
                "address " + hex_text(device.address) + " is also used by " + first->second);
        }
        device.regs = read_banked(r);
        if (const Json* driver = r.find("kernel_driver")) {
            if (!on_smbus) bad(r.path("kernel_driver"), "only chips on an smbus adapter have one");
            device.kernel_driver = read_bool(*driver, r.path("kernel_driver"));
        }
        devices.push_back(std::move(device));
    });
    return devices;
}

// ---- ports ----

IndexDataDevice read_index_data(const Json& value, const std::string& path) {
    ObjectReader r(value, path,
                   {"data", "bank_register", "bank_mask", "registers", "banks", "latches"});
    IndexDataDevice device;
    device.data_port = static_cast<uint16_t>(read_number(r.require("data"), r.path("data"), kPort));
    device.regs = read_banked(r);
    return device;
}

SuperIoDevice read_superio(const Json& value, const std::string& path) {
    constexpr uint8_t kFirstDeviceRegister = 0x30;
    ObjectReader r(value, path, {"data", "entry", "exit", "registers", "devices"});
    SuperIoDevice device;
    device.data_port = static_cast<uint16_t>(read_number(r.require("data"), r.path("data"), kPort));
    if (const Json* entry = r.find("entry")) {
        for_each_element(*entry, r.path("entry"), [&](const Json& v, const std::string& p) {
            device.entry.push_back(static_cast<uint8_t>(read_number(v, p, kByte)));
        });
        if (device.entry.empty()) bad(r.path("entry"), "omit entry for a chip that needs none");
    }
    if (const Json* exit = r.find("exit")) {
        device.exit = static_cast<uint8_t>(read_number(*exit, r.path("exit"), kByte));
    }
    if (const Json* regs = r.find("registers")) {
        device.registers = read_register_map(*regs, r.path("registers"));
        auto device_register = device.registers.lower_bound(kFirstDeviceRegister);
        if (device_register != device.registers.end()) {
            bad(numbered_key_path(*regs, r.path("registers"), device_register->first),
                "registers from 0x30 up belong to a logical device (devices)");
        }
    }
    if (const Json* devices = r.find("devices")) {
        for_each_numbered(
            *devices, r.path("devices"), kByte,
            [&](uint64_t ldn, const Json& v, const std::string& p) {
                RegisterMap registers = read_register_map(v, p);
                if (!registers.empty() && registers.begin()->first < kFirstDeviceRegister) {
                    bad(numbered_key_path(v, p, registers.begin()->first),
                        "registers below 0x30 are global (registers)");
                }
                device.devices[static_cast<uint8_t>(ldn)] = std::move(registers);
            });
    }
    return device;
}

// Which device answers each port, so that no port is claimed twice.
class PortClaims {
public:
    PortClaims() {
        for (unsigned port = kPciFirstPort; port <= kPciLastPort; ++port) {
            owner_[port] = "PCI configuration (0xCF8..0xCFF)";
        }
    }
    void claim(uint64_t first, uint64_t count, const std::string& path) {
        if (first + count - 1 > 0xFFFF) bad(path, "runs past port 0xFFFF");
        for (uint64_t port = first; port < first + count; ++port) {
            auto [it, fresh] = owner_.emplace(static_cast<uint16_t>(port), path);
            if (!fresh) {
                bad(path, "port " + hex_text(port) + " is also claimed by " + it->second);
            }
        }
    }

private:
    std::map<uint16_t, std::string> owner_;
};

}  // namespace

std::map<uint16_t, PortDevice> read_ports(const Json& value, const std::string& path) {
    std::map<uint16_t, PortDevice> ports;
    PortClaims claims;
    for_each_numbered(value, path, kPort, [&](uint64_t port, const Json& v, const std::string& p) {
        ObjectReader r(v, p, {"index_data", "superio", "bytes", "latches"});
        // Latches go with storage: the chips keep theirs in their own object.
        const Json* latches = r.find("latches");
        if (latches && !r.find("bytes"))
            bad(r.path("latches"), "go with bytes here; an index_data chip holds its own");
        if (v.size() != (latches ? 2 : 1)) {
            bad(p, "expected exactly one of index_data, superio, bytes");
        }
        PortDevice device;
        device.port = static_cast<uint16_t>(port);
        if (const Json* index_data = r.find("index_data")) {
            IndexDataDevice chip = read_index_data(*index_data, r.path("index_data"));
            claims.claim(port, 1, p);
            claims.claim(chip.data_port, 1, key_path(r.path("index_data"), "data"));
            device.device = std::move(chip);
        } else if (const Json* superio = r.find("superio")) {
            SuperIoDevice chip = read_superio(*superio, r.path("superio"));
            claims.claim(port, 1, p);
            claims.claim(chip.data_port, 1, key_path(r.path("superio"), "data"));
            device.device = std::move(chip);
        } else {
            PortBytes storage{read_byte_list(r.require("bytes"), r.path("bytes"), 1), {}};
            claims.claim(port, storage.bytes.size(), p);
            if (latches) {
                const uint64_t end = port + storage.bytes.size();
                storage.latches = read_latches(
                    *latches, r.path("latches"), kPort,
                    [&](uint64_t latched) -> std::string {
                        if (latched >= port && latched < end) return {};
                        return "port " + hex_text(latched) + " is not in this storage (" +
                               hex_text(port) + ".." + hex_text(end - 1) + ")";
                    },
                    nullptr);
            }
            device.device = std::move(storage);
        }
        ports[device.port] = std::move(device);
    });
    return ports;
}

// ---- PCI ----

std::vector<PciFunction> read_pci(const Json& value, const std::string& path) {
    constexpr NumberKind kBus{"a bus number (0..255)", 0, 255};
    constexpr NumberKind kDevice{"a device number (0..31)", 0, 31};
    constexpr NumberKind kFunction{"a function number (0..7)", 0, 7};
    std::vector<PciFunction> functions;
    std::map<uint32_t, std::string> seen;  // bus/device/function -> path
    for_each_element(value, path, [&](const Json& v, const std::string& p) {
        ObjectReader r(v, p, {"bus", "device", "function", "id", "config"});
        PciFunction f;
        f.bus = static_cast<uint8_t>(read_number(r.require("bus"), r.path("bus"), kBus));
        f.device =
            static_cast<uint8_t>(read_number(r.require("device"), r.path("device"), kDevice));
        f.function =
            static_cast<uint8_t>(read_number(r.require("function"), r.path("function"), kFunction));
        f.id = static_cast<uint32_t>(read_number(r.require("id"), r.path("id"), kDword));
        auto [first, fresh] = seen.emplace(f.bus << 8 | f.device << 3 | f.function, p);
        if (!fresh) {
            bad(p, "bus " + std::to_string(f.bus) + " device " + std::to_string(f.device) +
                       " function " + std::to_string(f.function) + " is also " + first->second);
        }
        if (const Json* config = r.find("config")) {
            for_each_numbered(*config, r.path("config"), kByte,
                              [&](uint64_t offset, const Json& dword, const std::string& at) {
                                  if (offset % 4 != 0)
                                      bad(at, "expected a dword-aligned offset (0x04..0xFC)");
                                  if (offset == 0) bad(at, "offset 0x00 holds the id");
                                  f.config[static_cast<uint8_t>(offset)] =
                                      static_cast<uint32_t>(read_number(dword, at, kDword));
                              });
        }
        functions.push_back(std::move(f));
    });
    return functions;
}

// ---- SMBus ----

namespace {

// Adapter texts end up as tab-separated columns of /proc/bus/i2c.
std::string read_column(const ObjectReader& r, std::string_view key, bool blanks_allowed) {
    std::string at = r.path(key);
    std::string text = read_string(*r.find(key), at);
    for (char c : text) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '\0') {
            bad(at, "cannot hold a tab, a line break or a NUL");
        }
        if (c == ' ' && !blanks_allowed) bad(at, "cannot hold a blank");
    }
    if (text.empty()) bad(at, "cannot be empty");
    return text;
}

}  // namespace

std::vector<SmbusAdapter> read_smbus(const Json& value, const std::string& path) {
    constexpr NumberKind kAdapter{"an adapter number (0..255)", 0, 255};
    std::vector<SmbusAdapter> adapters;
    std::map<uint32_t, std::string> seen;
    for_each_element(value, path, [&](const Json& v, const std::string& p) {
        ObjectReader r(v, p, {"bus", "type", "name", "algorithm", "listing", "devices"});
        SmbusAdapter adapter;
        adapter.bus = static_cast<uint32_t>(read_number(r.require("bus"), r.path("bus"), kAdapter));
        auto [first, fresh] = seen.emplace(adapter.bus, p);
        if (!fresh)
            bad(r.path("bus"),
                "adapter " + std::to_string(adapter.bus) + " is also " + first->second);
        r.require("name");
        adapter.name = read_column(r, "name", true);
        if (r.find("type")) adapter.type = read_column(r, "type", false);
        if (r.find("algorithm")) adapter.algorithm = read_column(r, "algorithm", true);
        if (const Json* listing = r.find("listing")) {
            std::string text = listing->is_string() ? listing->get<std::string>() : "";
            if (text == "proc") {
                adapter.listing = SmbusAdapter::Listing::proc;
            } else if (text == "sysfs") {
                adapter.listing = SmbusAdapter::Listing::sysfs;
            } else if (text == "none") {
                adapter.listing = SmbusAdapter::Listing::none;
            } else {
                bad(r.path("listing"),
                    "expected \"proc\", \"sysfs\" or \"none\", got " + describe(*listing));
            }
        }
        if (const Json* devices = r.find("devices")) {
            adapter.devices = read_i2c_devices(*devices, r.path("devices"), true);
        }
        adapters.push_back(std::move(adapter));
    });
    return adapters;
}

// ---- BMC ----

namespace {

// "NN/CC" or "NN/CC data...": NetFn and command, then request data bytes.
struct RequestKey {
    uint8_t netfn = 0;
    uint8_t command = 0;
    std::vector<uint8_t> data;
};

[[noreturn]] void bad_request_key(const std::string& key, const std::string& path) {
    bad(path, "expected \"NN/CC\" or \"NN/CC data...\" in hex, got " + Json(key).dump());
}

RequestKey parse_request_key(const std::string& key, const std::string& path) {
    size_t end = key.find_first_of(" \t\r\n");
    std::string_view head = std::string_view(key).substr(0, end);
    size_t slash = head.find('/');
    if (slash == std::string_view::npos) bad_request_key(key, path);
    // NetFn and command: one or two hex digits each.
    auto field = [&](std::string_view text) {
        auto number = parse_c_number("0x" + std::string(text));
        if (text.size() > 2 || !number) bad_request_key(key, path);
        return static_cast<uint8_t>(*number);
    };
    RequestKey request;
    request.netfn = field(head.substr(0, slash));
    request.command = field(head.substr(slash + 1));
    if (request.netfn > 0x3F) bad(path, "expected a NetFn (00..3F), got " + Json(key).dump());
    if (end != std::string::npos) request.data = parse_byte_list(key.substr(end), path, 0);
    return request;
}

std::string normalised_key(const RequestKey& request) {
    return ipmi_request_key(request.netfn, request.command, request.data.data(),
                            request.data.size());
}

}  // namespace

// Built on every BMC request (table look-ups): digits by hand, not snprintf.
std::string ipmi_request_key(uint8_t netfn, uint8_t command, const uint8_t* data, size_t length) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string key;
    key.reserve(5 + 3 * length);
    auto put = [&](uint8_t byte) {
        key += kDigits[byte >> 4];
        key += kDigits[byte & 0x0F];
    };
    put(netfn);
    key += '/';
    put(command);
    for (size_t i = 0; i < length; ++i) {
        key += ' ';
        put(data[i]);
    }
    return key;
}

BmcSpec read_bmc(const Json& value, const std::string& path) {
    ObjectReader r(value, path,
                   {"interface", "device", "respond", "device_id_cc", "guid", "buses", "isa_proxy",
                    "responses", "completion_codes"});
    BmcSpec bmc;
    const Json& interface = r.require("interface");
    std::string kind = interface.is_string() ? interface.get<std::string>() : "";
    if (kind == "imb") {
        bmc.interface = BmcSpec::Interface::imb;
        bmc.device = "/dev/kvbmc";
    } else if (kind == "openipmi") {
        bmc.interface = BmcSpec::Interface::openipmi;
        bmc.device = "/dev/ipmi0";
    } else if (kind == "none") {
        bmc.interface = BmcSpec::Interface::none;
    } else {
        bad(r.path("interface"),
            "expected \"imb\", \"openipmi\" or \"none\", got " + describe(interface));
    }
    if (const Json* device = r.find("device")) {
        bmc.device = read_string(*device, r.path("device"));
        if (bmc.device.rfind("/dev/", 0) != 0 || bmc.device.size() == 5 ||
            bmc.device.find("/..") != std::string::npos) {
            bad(r.path("device"), "expected a device path under /dev/, got " + describe(*device));
        }
    }
    if (const Json* respond = r.find("respond"))
        bmc.respond = read_bool(*respond, r.path("respond"));
    if (const Json* cc = r.find("device_id_cc")) {
        bmc.device_id_cc = static_cast<uint8_t>(read_number(*cc, r.path("device_id_cc"), kByte));
    }
    if (const Json* guid = r.find("guid")) {
        auto bytes = read_byte_list(*guid, r.path("guid"), 0);
        if (bytes.size() != 16) {
            bad(r.path("guid"), "expected 16 hex bytes, got " + std::to_string(bytes.size()));
        }
        bmc.guid.emplace();
        std::copy(bytes.begin(), bytes.end(), bmc.guid->begin());
    }
    if (const Json* buses = r.find("buses")) {
        for_each_numbered(*buses, r.path("buses"), kByte,
                          [&](uint64_t bus, const Json& v, const std::string& p) {
                              bmc.buses[static_cast<uint8_t>(bus)] = read_i2c_devices(v, p, false);
                          });
    }
    if (const Json* proxy = r.find("isa_proxy"))
        bmc.isa_proxy = read_bool(*proxy, r.path("isa_proxy"));

    // Request keys in any notation name the same request once normalised.
    std::map<std::string, std::string> seen;
    auto remember = [&](const std::string& normal, const std::string& key, const std::string& at) {
        auto [first, fresh] = seen.emplace(normal, key);
        if (!fresh) bad(at, "names the same request as " + Json(first->second).dump());
    };
    if (const Json* responses = r.find("responses")) {
        if (!responses->is_object()) {
            bad(r.path("responses"), "expected an object, got " + describe(*responses));
        }
        for (const auto& item : responses->items()) {
            std::string at = key_path(r.path("responses"), item.key());
            std::string normal = normalised_key(parse_request_key(item.key(), at));
            remember(normal, item.key(), at);
            auto& answers = bmc.responses[normal];
            if (!item.value().is_array()) {
                answers.push_back(read_byte_list(item.value(), at, 1));
                continue;
            }
            if (item.value().empty()) bad(at, "expected at least one answer, got []");
            for_each_element(item.value(), at, [&](const Json& v, const std::string& p) {
                answers.push_back(read_byte_list(v, p, 1));
            });
        }
    }
    seen.clear();
    if (const Json* codes = r.find("completion_codes")) {
        if (!codes->is_object()) {
            bad(r.path("completion_codes"), "expected an object, got " + describe(*codes));
        }
        for (const auto& item : codes->items()) {
            std::string at = key_path(r.path("completion_codes"), item.key());
            RequestKey request = parse_request_key(item.key(), at);
            if (!request.data.empty()) {
                bad(at, "expected \"NN/CC\" without data, got " + Json(item.key()).dump());
            }
            std::string normal = normalised_key(request);
            remember(normal, item.key(), at);
            bmc.completion_codes[normal] =
                static_cast<uint8_t>(read_number(item.value(), at, kByte));
        }
    }
    return bmc;
}
