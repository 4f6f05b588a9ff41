// The board model: what a board file (JSON) describes, after validation.
// Every key of the board-file format has a place here, so that a board file is
// either understood completely or refused with the path of the bad value.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// "FILE: PATH: why" — the one line the launcher prints for a bad board file.
class BoardError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ClockSpec {
    std::optional<std::string> start;  // "YYYY-MM-DD HH:MM:SS", local time
    bool is_virtual = false;
    // A virtual clock's waits also take real time (a report loop keeps the
    // pace of a real machine). No effect on a real-time clock.
    bool pace = false;
};

struct LatencySpec {
    uint64_t port_ns = 0;
    uint64_t i2c_us = 0;
    uint64_t ipmi_ms = 0;
};

// What one register answers. Writes always store the written byte; the kind
// says what reads give before that.
struct RegisterValue {
    enum class Kind {
        fixed,    // values[0]
        on_read,  // values[0], values[1], ... one per read, cycling
        timed,    // values[(elapsed seconds / every_seconds) % size], with the clock
        fail,     // the read fails (an i2c NAK, a BMC error completion code)
    };
    Kind kind = Kind::fixed;
    std::vector<uint8_t> values;  // empty only for `fail`
    uint32_t every_seconds = 0;   // `timed` only
    friend bool operator==(const RegisterValue&, const RegisterValue&) = default;
};

// Registers by number. Registers a board does not name read 0x00.
using RegisterMap = std::map<uint8_t, RegisterValue>;

// A write that changes bits of the chip, as the clear bit of an intrusion
// latch or a write-one-to-clear status register does. When the program writes
// `reg` (while `bank` is selected, when given) with a 1 in one of `bits` (any
// write at all, without `bits`), the `clear` bits of each register named
// there are cleared and the `set` bits set. Bits a latch changes in `reg`
// itself are status bits: a write to `reg` never stores them.
struct Latch {
    uint16_t reg = 0;  // a register; for port storage, a port
    std::optional<uint8_t> bits;
    std::optional<uint8_t> bank;
    std::map<uint16_t, uint8_t> clear;  // register -> bits
    std::map<uint16_t, uint8_t> set;
    friend bool operator==(const Latch&, const Latch&) = default;
};

// A chip with a bank select register: `registers` are seen in every bank,
// `banks[n]` overrides them while (bank register AND bank_mask) == n. The bank
// register itself is never banked.
struct BankedRegisters {
    std::optional<uint8_t> bank_register;
    uint8_t bank_mask = 0x07;  // the bank bits of the chips this system knows
    RegisterMap registers;
    std::map<uint8_t, RegisterMap> banks;
    std::vector<Latch> latches;  // in board-file order
    friend bool operator==(const BankedRegisters&, const BankedRegisters&) = default;
};

// ---- SMBIOS / physical memory -------------------------------------------

// One structure of the SMBIOS table. Encoded as: type, length, handle (16
// bits), the string-number bytes from offset 4, then `data`, then the string
// set (see smbios_structure_bytes).
struct SmbiosStructure {
    uint8_t type = 0;
    std::optional<uint16_t> handle;                      // default: the structure's index
    std::vector<std::string> strings;                    // given explicitly
    std::optional<std::vector<uint8_t>> string_numbers;  // bytes from offset 4
    // Type-2 shorthand: become strings 1..3 and the numbers at bytes 4..6.
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> version;
    std::vector<uint8_t> data;  // formatted bytes after the string numbers
};

struct RawRecord {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
};

struct SmbiosSpec {
    std::optional<uint32_t> entry_point;  // legacy "_DMI_" entry point; none: no anchor
    std::optional<uint32_t> table_address;
    std::vector<SmbiosStructure> structures;
    std::vector<RawRecord> raw_records;
    std::map<uint32_t, uint8_t> memory;  // single bytes
};

// A run of physical memory the board defines; everything else reads 0x00.
struct MemoryChunk {
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
    friend bool operator==(const MemoryChunk&, const MemoryChunk&) = default;
};

// The bytes of one structure as it lies in the table (formatted area, then
// the string set with its two ending NULs).
std::vector<uint8_t> smbios_structure_bytes(const SmbiosStructure& structure, size_t index);
// The whole structure table, in order.
std::vector<uint8_t> smbios_table_bytes(const SmbiosSpec& smbios);
// The 15-byte legacy entry point for the table (anchor, checksum, length,
// address, count, BCD revision 0x26).
std::array<uint8_t, 15> smbios_entry_point_bytes(const SmbiosSpec& smbios);
// Everything the board puts into physical memory: entry point, table, raw
// records and single bytes. The loader has checked that no two overlap.
std::vector<MemoryChunk> smbios_memory(const SmbiosSpec& smbios);

// What `dmidecode` prints.
struct DmidecodeSpec {
    enum class Mode { automatic, text, absent };
    Mode mode = Mode::automatic;  // "auto": the structures in dmidecode's layout
    std::string text;             // Mode::text: printed as it stands
};

// ---- PCI ------------------------------------------------------------------

struct PciFunction {
    uint8_t bus = 0;
    uint8_t device = 0;                  // 0..31
    uint8_t function = 0;                // 0..7
    uint32_t id = 0;                     // dword at offset 0: device ID << 16 | vendor ID
    std::map<uint8_t, uint32_t> config;  // dword-aligned offset -> dword
};

// ---- Port devices -----------------------------------------------------------

// An index/data pair: write the register number to the first port, read or
// write it at `data_port`.
struct IndexDataDevice {
    uint16_t data_port = 0;
    BankedRegisters regs;
};

// Super I/O configuration space: `entry` written to the index port unlocks it
// (none: always open), `exit` locks it again. Registers 0x00-0x2F are global
// (`registers`; 0x07 selects the logical device), 0x30-0xFF belong to the
// selected logical device (`devices[ldn]`).
struct SuperIoDevice {
    uint16_t data_port = 0;
    std::vector<uint8_t> entry;  // empty: no entry key
    std::optional<uint8_t> exit;
    RegisterMap registers;
    std::map<uint8_t, RegisterMap> devices;
};

// Plain storage from the first port upwards.
struct PortBytes {
    std::vector<uint8_t> bytes;
    std::vector<Latch> latches;  // registers are ports; no banks
};

struct PortDevice {
    uint16_t port = 0;  // the first port, the key in the board file
    std::variant<IndexDataDevice, SuperIoDevice, PortBytes> device;
};

// ---- SMBus ----------------------------------------------------------------

struct I2cDevice {
    uint8_t address = 0;  // 7-bit
    BankedRegisters regs;
    bool kernel_driver = false;  // I2C_SLAVE refused with EBUSY
};

struct SmbusAdapter {
    enum class Listing { proc, sysfs, none };
    uint32_t bus = 0;  // /dev/i2c-<bus>
    std::string type = "smbus";
    std::string name;
    std::string algorithm = "Non-I2C SMBus adapter";
    Listing listing = Listing::proc;
    std::vector<I2cDevice> devices;
};

// ---- BMC --------------------------------------------------------------------

struct BmcSpec {
    enum class Interface { none, imb, openipmi };
    Interface interface = Interface::none;
    std::string device;  // default /dev/kvbmc (imb) or /dev/ipmi0 (openipmi)
    bool respond = true;
    uint8_t device_id_cc = 0x00;
    std::optional<std::array<uint8_t, 16>> guid;      // none: Get System GUID as any request
    std::map<uint8_t, std::vector<I2cDevice>> buses;  // by IPMI bus ID byte
    bool isa_proxy = false;
    // Keyed by ipmi_request_key; each answer: completion code, then data. A
    // request with several answers gets them in turn, one per request, and
    // starts again after the last (a value the BMC reads that changes).
    std::map<std::string, std::vector<std::vector<uint8_t>>> responses;
    // Keyed by ipmi_request_key without data ("30/2c").
    std::map<std::string, uint8_t> completion_codes;
};

// The normalised form of a request key: "nn/cc" then " dd" per data byte,
// lower-case hex, two digits each ("30/2c 01").
std::string ipmi_request_key(uint8_t netfn, uint8_t command, const uint8_t* data, size_t length);

// ---- Faults -------------------------------------------------------------------

// Failures of the sandbox's own storage and kernel files, for testing how the
// monitor copes with them. Paths are absolute sandbox paths; a path covers
// itself and everything under it.
struct FaultSettings {
    // Path -> bytes that can still be written under it. Once they are used up,
    // a write fails with ENOSPC, as on a full file system. The longest
    // matching path counts (one file system mounted inside another).
    std::map<std::string, uint64_t> full_disk;
    // Paths where nothing exists and nothing can be made: ENOENT for every
    // call that names them, device nodes included.
    std::vector<std::string> missing;
    // Files that open but whose reads fail with EIO (a bad sector).
    std::vector<std::string> unreadable;
};

// ---- The board --------------------------------------------------------------

struct Board {
    std::string source;   // the file it came from, for messages
    uint64_t digest = 0;  // of the text it came from: what the chips hold belongs to it
    std::string name;     // default: the file's base name without ".json"
    std::string description;
    uid_t uid = 0;
    ClockSpec clock;
    LatencySpec latency;

    SmbiosSpec smbios;
    DmidecodeSpec dmidecode;
    std::vector<PciFunction> pci;
    std::map<uint16_t, PortDevice> ports;  // by first port
    std::vector<SmbusAdapter> smbus;
    BmcSpec bmc;

    std::vector<std::string> modules;
    // Files placed in the sandbox when it is seeded, in board-file order.
    std::vector<std::pair<std::string, std::string>> files;
    FaultSettings faults;
};

// How large a board file may be. Far above any real board (the largest
// bundled one is 48 KB and nests 9 levels), low enough that a hostile file
// cannot make the loader hang or take memory without bound: every check of
// the loader is linear or n log n in the text.
struct BoardLimits {
    size_t max_bytes = size_t{16} << 20;  // 16 MiB of text
    size_t max_depth = 32;                // arrays and objects, one inside another
};

// Reads and validates a board file. Throws BoardError.
Board load_board_file(const std::string& path, const BoardLimits& limits = {});
// Validates board JSON text; `source` names it in messages. Throws BoardError.
Board parse_board(const std::string& json_text, const std::string& source,
                  const BoardLimits& limits = {});
