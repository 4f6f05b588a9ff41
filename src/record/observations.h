// What a run saw of the machine, as the recording layer collects it: the
// plain record the board file is made from once the run has ended.
//
// Everything is kept as the run met it (the order of port accesses, each
// register access of each chip, each BMC request and its answer); deciding
// what the board file says is left to the end, when the whole run is known.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "record/register_log.h"

struct PortAccess {
    enum class Kind : uint8_t { inb, outb, inl, outl };
    Kind kind;
    uint16_t port;
    uint32_t value;  // read or written
};

// A chip on an i2c-dev adapter, by the accesses the run made to it.
struct I2cChipSeen {
    std::vector<RegisterAccess> accesses;
    bool answered = false;      // a transfer worked: the chip is there
    bool driver_holds = false;  // I2C_SLAVE was refused with EBUSY
    bool write_refused = false;
};

struct BmcExchange {
    uint8_t netfn;
    uint8_t command;
    std::vector<uint8_t> data;
    std::optional<std::vector<uint8_t>> answer;  // completion code, then data; none: never answered
};

struct BmcSeen {
    enum class Interface { none, imb, openipmi };
    Interface interface = Interface::none;  // the one the last request went through
    std::string device;                     // its node
    bool two_interfaces = false;            // requests went through both
    std::vector<BmcExchange> exchanges;
};

// A path as the run first found it.
struct PathSeen {
    enum class State {
        missing,     // ENOENT
        file,        // a regular file whose content is kept
        unreadable,  // a regular file that opened but could not be read (EIO)
        other,       // there, but nothing to keep: a directory, a device node, a binary file
    };
    State state = State::missing;
    std::string content;
    bool found_later = false;  // missing first, there at a later look
    bool listed = false;       // opened as a directory
};

struct Observations {
    std::optional<uid_t> uid;
    time_t started = 0;

    std::vector<PortAccess> ports;
    std::map<uint64_t, uint8_t> memory;  // physical memory read or mapped, by address

    std::set<uint32_t> i2c_buses;  // /dev/i2c-N opened
    std::map<uint32_t, std::map<uint8_t, I2cChipSeen>> i2c_chips;

    BmcSeen bmc;

    std::map<std::string, PathSeen> paths;
    std::set<std::string> written;  // written, created, renamed or removed by the run

    // The output of `dmidecode`, when the run used it; nullopt with
    // `dmidecode_used`: there was no dmidecode.
    bool dmidecode_used = false;
    std::optional<std::string> dmidecode;
};
