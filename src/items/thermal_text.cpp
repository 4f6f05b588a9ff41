// Thermal status text of CPU temperature items: which items get a word and
// which word, from the limit registers the BIOS programs into each family of
// monitor chips.
#include "items/thermal_text.h"

#include <strings.h>

#include <cstring>
#include <string_view>

#include "common/fixed_text.h"
#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/isa_access.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "sys/sys.h"

namespace {

constexpr std::string_view kLow = "Low";
constexpr std::string_view kMedium = "Medium";
constexpr std::string_view kHigh = "High";
constexpr std::string_view kOverheat = "Overheat";

// thermalGuideChipType: thresholds from the chip's registers, or fixed ones.
constexpr uint32_t kGuideChip = 0;
constexpr uint32_t kGuideFixed = 1;

void put_text(char* text, std::string_view word) {
    copy_text(text, kThermalTextCapacity, word);
}

// ---- names ----

struct CpuName {
    const char* pattern;
    int32_t cpu;
};

// First match wins, so the numbered names come before the bare ones.
constexpr CpuName kCpuNames[] = {
    {"CPU1", 1}, {"PECI Agent1", 1}, {"CPU2", 2}, {"PECI Agent2", 2}, {"CPU3", 3},
    {"PECI Agent3", 3}, {"CPU4", 4}, {"PECI Agent4", 4}, {"CPU", 1}, {"PECI Agent", 1},
};

// Names are compared without regard to case throughout the monitor.
bool contains_nocase(const char* haystack, const char* needle) {
    const size_t n = std::strlen(needle);
    for (const char* p = haystack; *p != '\0'; ++p)
        if (strncasecmp(p, needle, n) == 0) return true;
    return false;
}

bool cpu_one_or_two(int32_t cpu) {
    return cpu == 1 || cpu == 2;
}

// ---- thresholds (t is the raw byte, comparisons unsigned) ----

std::string_view fixed_rule(uint32_t t) {
    return t <= 45 ? kLow : t <= 60 ? kMedium : kHigh;
}

std::string_view default_rule(uint32_t t) {
    return t <= 70 ? kLow : t <= 85 ? kMedium : kHigh;
}

// The chip's temperature limit is 100 − ref; "Medium" starts 10 below it. The
// differences wrap as unsigned 32-bit values, so a ref above 90 gives "Low"
// for every reading.
std::string_view relative_rule(uint32_t t, uint32_t ref) {
    const uint32_t limit = 100u - ref;
    return t <= limit - 10u ? kLow : t <= limit ? kMedium : kHigh;
}

// The BIOS programs a limit pair five degrees apart when it has set the
// chip's thermal limits up; otherwise the chip keeps its power-on values.
bool limit_pair_present(uint32_t a, uint32_t b) {
    return a - 5u == b;
}

// Readings of a family that uses thermalGuideChipType: what was read, and
// whether the limit pair and the ref register were read at all.
struct GuidedReading {
    uint32_t t = 0;
    bool pair = false;
    uint32_t ref = 0;
};

// Writes the word of the guide rules; another guide value writes nothing.
void put_guided_text(uint32_t guide, const GuidedReading& r, char* text) {
    if (guide == kGuideFixed)
        put_text(text, fixed_rule(r.t));
    else if (guide == kGuideChip)
        put_text(text, r.pair ? relative_rule(r.t, r.ref) : default_rule(r.t));
}

// NCT6776F PECI-derived temperature: v ≤ 60 Low, to 85 Medium, to 94 High.
std::string_view nct6776f_rule(uint32_t v) {
    return v <= 60 ? kLow : v <= 85 ? kMedium : v <= 94 ? kHigh : kOverheat;
}

std::string_view nct7904d_rule(uint32_t t) {
    return t <= 60 ? kLow : t <= 85 ? kMedium : kHigh;
}

// ---- access helpers ----

int32_t smbus_read(const ItemRecord* item, int32_t reg, uint32_t* value) {
    return smbus_byte_data_read(item->chipCode, item->busType, SMB_BASE_IO_ADDR, item->slave, reg,
                                value);
}

int32_t smbus_write(const ItemRecord* item, int32_t reg, uint32_t value) {
    return smbus_byte_data_write(item->busType, SMB_BASE_IO_ADDR, item->slave, reg, value);
}

int32_t isa_read(const SystemRecord* system, uint32_t bank, uint32_t reg, uint32_t* value) {
    return isa_byte_data_read(system->indexReg, system->dataReg, bank, reg, value);
}

// W83793G and W83795ADG keep their bank in bits 0-2 of register 0x00.
constexpr int32_t kSmbusBankRegister = 0x00;
constexpr uint32_t kSmbusBankKeep = 0xF8;

// Winbond/Nuvoton Super I/O configuration space.
constexpr uint16_t kSioIndex = 0x2E;
constexpr uint16_t kSioData = 0x2F;
constexpr uint8_t kSioEntryKey = 0x87;
constexpr uint8_t kSioExitKey = 0xAA;
constexpr uint8_t kSioLogicalDevice = 0x07;
constexpr uint8_t kSioDevicePeci = 0x0C;  // W83627DHG logical device 0x0C: PECI/SST

// NCT6776F PECI reading: hi bits 6-0 and lo bits 7-6 joined, moved by a fixed
// offset and kept to a byte (the sum wraps like the chip's 8-bit result).
uint32_t nct6776f_value(uint32_t hi, uint32_t lo, int32_t offset) {
    return ((hi & 0x7F) * 4 + (lo >> 6) + static_cast<uint32_t>(offset)) & 0xFF;
}

}  // namespace

int32_t getCpuNumberOfItem(const ItemRecord* item) {
    for (const CpuName& n : kCpuNames)
        if (contains_nocase(item->name, n.pattern)) return n.cpu;
    return 0;
}

// ---- support tests ----

int32_t supportThermalText(const SystemRecord* system, const ItemRecord* item) {
    if (system->coreTempChipCode == 0 && system->thermalGuideChipType == 0) return 0;
    if (item->category != CAT_TEMP) return 0;
    switch (item->chipCode) {
        case 17: return supportThermalText_W83793G(system, item);
        case 19:
        case 22:
        case 24: return supportThermalText_W83627DHG(system, item);
        case 23:
        case 29: return supportThermalText_W83795ADG(system, item);
        case 25: return supportThermalText_IT8720F(system, item);
        case 28:
        case 33: return supportThermalText_NCT6776F(system, item);
        case 30:
        case 32: return supportThermalText_NCT7904D(system, item);
        default: return 0;
    }
}

int32_t supportThermalText_W83793G(const SystemRecord* system, const ItemRecord* item) {
    if (item->offset < 0x1C || item->offset > 0x1F) return 0;
    const uint32_t level = system->w83793gTempLevelType;
    if (level > 1) return 0;
    const int32_t cpu = getCpuNumberOfItem(item);
    if (!cpu_one_or_two(cpu)) return 0;

    uint32_t saved = 0;
    smbus_read(item, kSmbusBankRegister, &saved);
    smbus_write(item, kSmbusBankRegister, saved & kSmbusBankKeep);  // bank 0

    int32_t supported = 0;
    uint32_t tcase = 0;  // bank 0, 0xD1/0xD2: the CPU's Tcase maximum, 100 when set up
    if (smbus_read(item, cpu == 1 ? 0xD1 : 0xD2, &tcase) == 0 && tcase == 100) {
        smbus_write(item, kSmbusBankRegister, (saved & kSmbusBankKeep) | 2);  // bank 2
        // Bank 2 limit sets: level type 1 at 0x30-0x32 (CPU 2: 0x40-0x42),
        // level type 0 four registers higher.
        const int32_t base = (cpu == 1 ? 0x30 : 0x40) + (level == 0 ? 4 : 0);
        uint32_t x = 0, y = 0, z = 0;
        smbus_read(item, base + 2, &x);
        smbus_read(item, base + 1, &y);
        smbus_read(item, base, &z);
        supported = (x - 5u == y && y - z == 5u) ? 1 : 0;
    }
    smbus_write(item, kSmbusBankRegister, saved);
    return supported;
}

int32_t supportThermalText_W83627DHG(const SystemRecord* system, const ItemRecord* item) {
    if (item->offset != 0x50) return 0;
    Sys& os = sys();
    os.ioperm(kSioIndex, 1, 1);
    os.ioperm(kSioData, 1, 1);
    const int32_t cpu = getCpuNumberOfItem(item);
    if (!cpu_one_or_two(cpu)) return 0;

    // The BIOS marks a CPU whose limits it has programmed with 100 in
    // logical device 0x0C, registers 0xE1 (CPU 1) and 0xE2 (CPU 2).
    os.outb(kSioEntryKey, kSioIndex);
    os.outb(kSioEntryKey, kSioIndex);
    os.outb(kSioLogicalDevice, kSioIndex);
    os.outb(kSioDevicePeci, kSioData);
    os.outb(cpu == 1 ? 0xE1 : 0xE2, kSioIndex);
    const uint8_t mark = os.inb(kSioData);
    os.outb(kSioExitKey, kSioIndex);
    if (mark != 100) return 0;

    uint32_t ref = 0xFF;
    if (isa_read(system, 4, 0x5F, &ref) != 0) return 0;
    return ref != 0xFF ? 1 : 0;
}

int32_t supportThermalText_W83795ADG(const SystemRecord*, const ItemRecord* item) {
    return item->offset >= 0x26 && item->offset <= 0x2D ? 1 : 0;
}

int32_t supportThermalText_IT8720F(const SystemRecord*, const ItemRecord* item) {
    return item->offset == 0x2B ? 1 : 0;
}

int32_t supportThermalText_NCT6776F(const SystemRecord*, const ItemRecord* item) {
    return item->offset >= 0x17 && item->offset <= 0x1E && item->slave == 7 ? 1 : 0;
}

int32_t supportThermalText_NCT7904D(const SystemRecord*, const ItemRecord* item) {
    const int32_t o = item->offset;
    return o >= 0xA0 && o <= 0xAE && (o & 1) == 0 ? 1 : 0;
}

// ---- texts ----

int32_t getThermalText(const SystemRecord* system, const ItemRecord* item, char* text) {
    if (item->category != CAT_TEMP) return -1;
    switch (item->chipCode) {
        case 17: return getThermalText_W83793G(system, item, text);
        case 19:
        case 22:
        case 24: return getThermalText_W83627DHG(system, item, text);
        case 23:
        case 29: return getThermalText_W83795ADG(system, item, text);
        case 25: return getThermalText_IT8720F(system, item, text);
        case 28: return getThermalText_NCT6776F(system, item, text);
        case 33: return getThermalText_ME_NCT6776F(system, item, text);
        case 30: return getThermalText_NCT7904D(system, item, text);
        case 32: return getThermalText_ME_NCT7904D(system, item, text);
        default: return -1;
    }
}

int32_t getThermalText_W83793G(const SystemRecord* system, const ItemRecord* item, char* text) {
    const uint32_t level = system->w83793gTempLevelType;
    const int32_t cpu = getCpuNumberOfItem(item);
    if (level > 1 || !cpu_one_or_two(cpu)) return -1;

    uint32_t saved = 0;
    smbus_read(item, kSmbusBankRegister, &saved);
    smbus_write(item, kSmbusBankRegister, (saved & kSmbusBankKeep) | 2);  // bank 2
    const int32_t shift = level == 0 ? 4 : 0;  // level type 0 uses the set 4 registers up
    uint32_t high = 0, low = 0, t = 0;
    smbus_read(item, (cpu == 1 ? 0x32 : 0x42) + shift, &high);
    smbus_read(item, (cpu == 1 ? 0x30 : 0x40) + shift, &low);
    smbus_write(item, kSmbusBankRegister, saved & kSmbusBankKeep);  // bank 0
    smbus_read(item, cpu == 1 ? 0x1C : 0x1D, &t);
    const int32_t status = smbus_write(item, kSmbusBankRegister, saved);

    if (system->thermalGuideChipType == kGuideFixed)
        put_text(text, fixed_rule(t));
    else if (system->thermalGuideChipType == kGuideChip)
        put_text(text, t <= low ? kLow : t <= high ? kMedium : kHigh);
    return status;
}

int32_t getThermalText_W83627DHG(const SystemRecord* system, const ItemRecord* item, char* text) {
    const int32_t cpu = getCpuNumberOfItem(item);
    if (!cpu_one_or_two(cpu)) return -1;
    const uint32_t guide = system->thermalGuideChipType;
    GuidedReading r;
    if (guide == kGuideChip) {
        uint32_t a = 0, b = 0;
        isa_read(system, 1, 0x55, &a);
        isa_read(system, 1, 0x53, &b);
        r.pair = limit_pair_present(a, b);
        if (r.pair) isa_read(system, 4, 0x5F, &r.ref);
    }
    // The CPU's PECI temperature sits at 0x50 of the bank named after the CPU.
    const int32_t status = isa_read(system, static_cast<uint32_t>(cpu), 0x50, &r.t);
    put_guided_text(guide, r, text);
    return status;
}

int32_t getThermalText_W83795ADG(const SystemRecord* system, const ItemRecord* item, char* text) {
    const uint32_t guide = system->thermalGuideChipType;
    uint32_t saved = 0;
    smbus_read(item, kSmbusBankRegister, &saved);
    smbus_write(item, kSmbusBankRegister, saved & kSmbusBankKeep);  // bank 0
    GuidedReading r;
    if (guide == kGuideChip) {
        uint32_t a = 0, b = 0;
        smbus_read(item, 0xB2, &a);
        smbus_read(item, 0xB3, &b);
        r.pair = limit_pair_present(a, b);
        if (r.pair) smbus_read(item, 0xDF, &r.ref);
    }
    smbus_read(item, item->offset, &r.t);
    const int32_t status = smbus_write(item, kSmbusBankRegister, saved);
    put_guided_text(guide, r, text);
    return status;
}

int32_t getThermalText_IT8720F(const SystemRecord* system, const ItemRecord* item, char* text) {
    const uint32_t guide = system->thermalGuideChipType;
    const uint32_t bank = static_cast<uint32_t>(item->slave);
    GuidedReading r;
    if (guide == kGuideChip) {
        uint32_t a = 0, b = 0;
        isa_read(system, bank, 0x44, &a);
        isa_read(system, bank, 0x45, &b);
        r.pair = limit_pair_present(a, b);
        if (r.pair) isa_read(system, bank, 0x97, &r.ref);
    }
    const int32_t status = isa_read(system, bank, static_cast<uint32_t>(item->offset), &r.t);
    put_guided_text(guide, r, text);
    return status;
}

int32_t getThermalText_NCT6776F(const SystemRecord* system, const ItemRecord* item, char* text) {
    const uint32_t bank = static_cast<uint32_t>(item->slave);
    const uint32_t reg = static_cast<uint32_t>(item->offset);
    uint32_t hi = 0, lo = 0;
    if (isa_read(system, bank, reg, &hi) != 0 || isa_read(system, bank, reg + 1, &lo) != 0)
        return -1;
    if (hi <= 127) return -1;  // bit 7 clear: no valid PECI reading
    put_text(text, nct6776f_rule(nct6776f_value(hi, lo, -412)));
    return 0;
}

int32_t getThermalText_ME_NCT6776F(const SystemRecord* system, const ItemRecord* item,
                                   char* text) {
    uint32_t v = 0;
    if (isa_access_goes_through_bmc()) {
        // The BMC keeps the PECI agents' readings itself; agent = (offset − 0x17) / 2.
        const uint32_t agent = (static_cast<uint32_t>(item->offset) - 0x17u) >> 1;
        if (IpmiByteRead_oem_30_93(agent, &v) != 0) v = 0;
    } else {
        const uint32_t bank = static_cast<uint32_t>(item->slave);
        const uint32_t reg = static_cast<uint32_t>(item->offset);
        uint32_t hi = 0, lo = 0;
        if (isa_read(system, bank, reg, &hi) != 0 || isa_read(system, bank, reg + 1, &lo) != 0)
            return -1;
        // Valid reading (bit 7 set) or not, both offsets agree modulo 256
        // (−412 + 512 = 100); no reading is refused here, unlike chip code 28.
        v = nct6776f_value(hi, lo, (hi & 0x80) != 0 ? -412 : 100);
    }
    put_text(text, nct6776f_rule(v));
    return 0;
}

int32_t getThermalText_NCT7904D(const SystemRecord*, const ItemRecord* item, char* text) {
    smbus_write(item, 0xFF, 0);  // bank 0; left selected
    uint32_t t = 0;
    const int32_t status = smbus_read(item, item->offset, &t);
    if (status != 0) return status;
    put_text(text, nct7904d_rule(t));
    return 0;
}

int32_t getThermalText_ME_NCT7904D(const SystemRecord*, const ItemRecord* item, char* text) {
    smbus_write(item, 0xFF, 0);  // bank 0; left selected
    uint32_t t = 0;
    if (hDevice != 0) {
        // Agent index from the register pair: 0xA0/0xA1 agent 0, 0xA2 agent 1, ...
        const uint32_t agent = (static_cast<uint32_t>(item->offset) & 0x0F) >> 1;
        if (IpmiByteRead_oem_30_93(agent, &t) != 0) t = 0;
        if (t == 0xFF) t = 0;  // the BMC's "no reading"
    } else {
        const int32_t status = smbus_read(item, item->offset, &t);
        if (status != 0) return status;
    }
    put_text(text, nct7904d_rule(t));
    return 0;
}
