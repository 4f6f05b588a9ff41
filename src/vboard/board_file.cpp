// The board file: JSON text to a validated Board. Every refusal is one line,
// "FILE: PATH: why", or "FILE: line L, column C: why" for bad JSON.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "vboard/board_json.h"
#include "vboard/board_parts.h"
#include "vboard/chip_state.h"
#include "vboard/host_fd.h"

namespace {

// ---- small parts ----

ClockSpec read_clock(const Json& value, const std::string& path) {
    ObjectReader r(value, path, {"start", "virtual", "pace"});
    ClockSpec clock;
    if (const Json* start = r.find("start")) {
        std::string text = read_string(*start, r.path("start"));
        // "YYYY-MM-DD HH:MM:SS": a real calendar date and time of day.
        const char* shape = "dddd-dd-dd dd:dd:dd";
        bool ok = text.size() == std::strlen(shape);
        for (size_t i = 0; ok && i < text.size(); ++i) {
            ok = shape[i] == 'd' ? (text[i] >= '0' && text[i] <= '9') : text[i] == shape[i];
        }
        if (ok) {
            auto number = [&](size_t at, size_t n) { return std::stoi(text.substr(at, n)); };
            int year = number(0, 4), month = number(5, 2), day = number(8, 2);
            bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
            constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
            ok = year >= 1970 && month >= 1 && month <= 12 && day >= 1 &&
                 day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0) && number(11, 2) < 24 &&
                 number(14, 2) < 60 && number(17, 2) < 60;
        }
        if (!ok) {
            bad(r.path("start"),
                "expected a local time \"YYYY-MM-DD HH:MM:SS\" from 1970 on, got " +
                    describe(*start));
        }
        clock.start = text;
    }
    if (const Json* is_virtual = r.find("virtual")) {
        clock.is_virtual = read_bool(*is_virtual, r.path("virtual"));
    }
    if (const Json* pace = r.find("pace")) clock.pace = read_bool(*pace, r.path("pace"));
    return clock;
}

LatencySpec read_latency(const Json& value, const std::string& path) {
    ObjectReader r(value, path, {"port_ns", "i2c_us", "ipmi_ms"});
    LatencySpec latency;
    if (const Json* v = r.find("port_ns"))
        latency.port_ns = read_number(*v, r.path("port_ns"), kWhole);
    if (const Json* v = r.find("i2c_us"))
        latency.i2c_us = read_number(*v, r.path("i2c_us"), kWhole);
    if (const Json* v = r.find("ipmi_ms"))
        latency.ipmi_ms = read_number(*v, r.path("ipmi_ms"), kWhole);
    return latency;
}

DmidecodeSpec read_dmidecode(const Json& value, const std::string& path) {
    if (!value.is_string()) {
        bad(path, "expected \"auto\", \"absent\" or the text to print, got " + describe(value));
    }
    DmidecodeSpec dmidecode;
    const auto& text = value.get_ref<const std::string&>();
    if (text == "auto") {
        dmidecode.mode = DmidecodeSpec::Mode::automatic;
    } else if (text == "absent") {
        dmidecode.mode = DmidecodeSpec::Mode::absent;
    } else {
        dmidecode.mode = DmidecodeSpec::Mode::text;
        dmidecode.text = text;
    }
    return dmidecode;
}

std::vector<std::string> read_modules(const Json& value, const std::string& path) {
    std::vector<std::string> modules;
    ListedOnce listed(path);
    for_each_element(value, path, [&](const Json& v, const std::string& p) {
        std::string name = read_string(v, p);
        // One word: the first word of a /proc/modules line.
        if (name.empty() || name.find_first_of(" \t\r\n") != std::string::npos) {
            bad(p, "expected a module name (one word), got " + describe(v));
        }
        listed.add(name, p);
        modules.push_back(std::move(name));
    });
    return modules;
}

std::vector<std::pair<std::string, std::string>> read_files(const Json& value,
                                                            const std::string& path) {
    if (!value.is_object()) bad(path, "expected an object, got " + describe(value));
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& item : value.items()) {
        std::string at = key_path(path, item.key());
        if (!is_sandbox_path(item.key())) {
            bad(at, "expected an absolute path without empty, \".\" or \"..\" parts, got " +
                        Json(item.key()).dump());
        }
        if (std::string why = path_too_long(item.key()); !why.empty()) bad(at, why);
        files.emplace_back(item.key(), read_string(item.value(), at));
    }
    return files;
}

// The file name without directories and ".json".
std::string base_name(const std::string& source) {
    std::string name = source.substr(source.find_last_of('/') + 1);
    const std::string suffix = ".json";
    if (name.size() > suffix.size() && name.ends_with(suffix))
        name.resize(name.size() - suffix.size());
    return name;
}

// With isa_proxy the BMC's Super I/O commands reach the lowest banked
// index/data chip; there has to be one.
void check_isa_proxy(const Board& board) {
    if (!board.bmc.isa_proxy) return;
    for (const auto& [port, device] : board.ports) {
        const auto* chip = std::get_if<IndexDataDevice>(&device.device);
        if (chip && chip->regs.bank_register) return;
    }
    bad("bmc.isa_proxy", "needs a ports index_data chip with a bank_register");
}

Board read_board(const Json& root, const std::string& source) {
    ObjectReader r(root, "",
                   {"name", "description", "uid", "clock", "latency", "smbios", "dmidecode", "pci",
                    "ports", "smbus", "bmc", "modules", "files", "faults"});
    Board board;
    board.source = source;
    board.name = base_name(source);
    if (const Json* v = r.find("name")) board.name = read_string(*v, "name");
    if (const Json* v = r.find("description")) board.description = read_string(*v, "description");
    if (const Json* v = r.find("uid")) {
        constexpr NumberKind kUid{"a user ID (0..4294967294)", 0, 0xFFFFFFFE};
        board.uid = static_cast<uid_t>(read_number(*v, "uid", kUid));
    }
    if (const Json* v = r.find("clock")) board.clock = read_clock(*v, "clock");
    if (const Json* v = r.find("latency")) board.latency = read_latency(*v, "latency");
    if (const Json* v = r.find("smbios")) board.smbios = read_smbios(*v, "smbios");
    if (const Json* v = r.find("dmidecode")) board.dmidecode = read_dmidecode(*v, "dmidecode");
    if (const Json* v = r.find("pci")) board.pci = read_pci(*v, "pci");
    if (const Json* v = r.find("ports")) board.ports = read_ports(*v, "ports");
    if (const Json* v = r.find("smbus")) board.smbus = read_smbus(*v, "smbus");
    if (const Json* v = r.find("bmc")) board.bmc = read_bmc(*v, "bmc");
    if (const Json* v = r.find("modules")) board.modules = read_modules(*v, "modules");
    if (const Json* v = r.find("files")) board.files = read_files(*v, "files");
    if (const Json* v = r.find("faults")) board.faults = read_faults(*v, "faults");
    check_isa_proxy(board);
    return board;
}

}  // namespace

// A path inside the sandbox: absolute, and no part that could leave it.
bool is_sandbox_path(const std::string& file) {
    if (file.size() < 2 || file[0] != '/' || file.back() == '/') return false;
    std::istringstream parts(file.substr(1));
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty() || part == "." || part == "..") return false;
    }
    return file.find('\0') == std::string::npos;
}

std::string path_too_long(const std::string& file) {
    // PATH_MAX counts the terminating NUL; NAME_MAX is a part without it.
    constexpr size_t kLongestPath = 4095, kLongestName = 255;
    if (file.size() > kLongestPath) {
        return "a path of " + std::to_string(file.size()) + " bytes, longer than Linux takes (" +
               std::to_string(kLongestPath) + ")";
    }
    size_t start = 0;
    while (start < file.size()) {
        size_t end = std::min(file.find('/', start + 1), file.size());
        if (end - start - 1 > kLongestName) {
            return "a part of " + std::to_string(end - start - 1) +
                   " bytes, longer than a file name Linux takes (" + std::to_string(kLongestName) +
                   ")";
        }
        start = end;
    }
    return {};
}

Board parse_board(const std::string& json_text, const std::string& source,
                  const BoardLimits& limits) {
    Json root = parse_board_json(json_text, source, limits);
    try {
        Board board = read_board(root, source);
        board.digest = fnv1a64(json_text);
        return board;
    } catch (const BadValue& e) {
        throw refusal(source, e);
    }
}

// Read through a descriptor, at most one byte past the limit: a FIFO or
// /dev/zero given as the board must not make the launcher wait or read on.
Board load_board_file(const std::string& path, const BoardLimits& limits) {
    HostFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file) throw BoardError(path + ": cannot open: " + std::strerror(errno));
    std::string text;
    char buffer[1 << 16];
    while (text.size() <= limits.max_bytes) {
        size_t wanted = std::min(sizeof buffer, limits.max_bytes + 1 - text.size());
        ssize_t got = ::read(file.get(), buffer, wanted);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw BoardError(path + ": cannot read: " + std::strerror(errno));
        if (got == 0) break;
        text.append(buffer, size_t(got));
    }
    return parse_board(text, path, limits);
}
