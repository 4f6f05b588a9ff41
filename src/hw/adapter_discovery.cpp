#include "hw/adapter_discovery.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "common/fixed_text.h"
#include "sys/handles.h"
#include "sys/sys.h"

// The SMBus controllers of the boards this system knows, in the order they
// are searched, and the kernel driver of each. The PCI function is part of
// the key: the ICH's SMBus is function 3 of the LPC bridge's device.
constexpr PciAdapter pci_adapters[kPciAdapterRows] = {
    {0x8086, 0x2413, 3, 0, "Intel 82801AA ICH", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x2423, 3, 0, "Intel 82801AB ICH0", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x2443, 3, 0, "Intel 82801BA ICH2", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x2483, 3, 0, "Intel 82801CA/CAM ICH3", "i2c-i801", "i2c_i801",
     "SMBus I801 adapter at"},
    {0x8086, 0x24C3, 3, 0, "Intel 82801DB ICH4", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x24D3, 3, 0, "Intel 82801EB ICH5", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x25A4, 3, 0, "Intel 6300ESB", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x266A, 3, 0, "Intel ICH6", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x269B, 3, 0, "Intel Enterprise Southbridge - ESB2", "i2c-i801", "i2c_i801",
     "SMBus I801 adapter at"},
    {0x8086, 0x27DA, 3, 0, "Intel ICH7", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x283E, 3, 0, "Intel ICH8", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x2930, 3, 0, "Intel ICH9", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x3A30, 3, 0, "Intel ICH10", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x3B30, 3, 0, "Intel PCH", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x1C22, 3, 0, "Intel Cougar Point", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x1D22, 3, 0, "Intel Patsburg", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x1E22, 3, 0, "Intel Panther Point", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x8086, 0x8C22, 3, 0, "Intel Lynx Point", "i2c-i801", "i2c_i801", "SMBus I801 adapter at"},
    {0x1166, 0x0200, 0, 0, "ServerWorks OSB4 South Bridge", "i2c-piix4", "i2c_piix4",
     "SMBus PIIX4 adapter at"},
    {0x1166, 0x0201, 0, 0, "ServerWorks CSB5 South Bridge", "i2c-piix4", "i2c_piix4",
     "SMBus PIIX4 adapter at"},
    {0x1166, 0x0203, 0, 0, "ServerWorks CSB6 South Bridge", "i2c-piix4", "i2c_piix4",
     "SMBus PIIX4 adapter at"},
    {0x1166, 0x0205, 0, 0, "Broadcom HT1000 legacy South Bridge", "i2c-piix4", "i2c_piix4",
     "SMBus PIIX4 adapter at"},
    {0x1002, 0x4385, 0, 0, "ATI Technologies Inc SB600 SMBus", "i2c-piix4", "i2c_piix4",
     "SMBus PIIX4 adapter at"},
    {0x1022, 0x746A, 2, 0, "AMD-8111 SMBus 2.0", "i2c-amd8111", "i2c_amd8111",
     "SMBus2 AMD8111 adapter at"},
    {0x10DE, 0x0052, 1, 0, "nVidia Corporation nForce4 SMBus (MCP)", "i2c-nforce2", "i2c_nforce2",
     "SMBus nForce2 adapter at"},
    {0x10DE, 0x0368, 1, 0, "nVidia Corporation MCP55 SMBus", "i2c-nforce2", "i2c_nforce2",
     "SMBus nForce2 adapter at"},
    {0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};

DriverEntry driver_list[kMaxDrivers];
int32_t counter_driver_list = 0;
char modules_list[kMaxModules][64];
int32_t counter_modules_list = 0;
I2cBusEntry i2c_bus_list[kMaxI2cBuses];
int32_t counter_i2c_bus_list = 0;
const char* dev_i2c = nullptr;

namespace {

constexpr const char* kPciDevices = "/proc/bus/pci/devices";
constexpr const char* kModules = "/proc/modules";
constexpr const char* kProcI2c = "/proc/bus/i2c";
constexpr const char* kMounts = "/proc/mounts";
constexpr const char* kI2cDevModule = "i2c-dev";
constexpr const char* kI2cDevModuleUnderscore = "i2c_dev";

// Line buffers: the longest line each file is read in (plus the terminator).
constexpr int kPciLine = 512;
constexpr int kModulesLine = 512;
constexpr int kProcI2cLine = 100;
constexpr int kMountsLine = 255;
constexpr int kSysfsNameLine = 120;

// Device-node schemes, tested in this order: the node whose presence gives
// each scheme away, and the prefix it implies.
struct NodeScheme {
    const char* probe;
    const char* prefix;
};
constexpr NodeScheme kNodeSchemes[] = {
    {"/dev/i2c-0", "/dev/i2c-"},
    {"/dev/i2c", "/dev/i2c/"},
    {"/dev/i2c0", "/dev/i2c"},
};

// The PCI device list lives only while i2cdetect runs.
std::unique_ptr<PciDeviceInfo[]> pci_list;
int32_t pci_list_capacity = 0;
int32_t counter_pci_list = 0;

void free_pci_list() {
    pci_list.reset();
    pci_list_capacity = 0;
    counter_pci_list = 0;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

bool module_loaded(const char* driver, const char* driverUnderscore) {
    for (int32_t i = 0; i < counter_modules_list; ++i)
        if (std::strcmp(modules_list[i], driver) == 0 ||
            std::strcmp(modules_list[i], driverUnderscore) == 0)
            return true;
    return false;
}

// Loads a module that /proc/modules did not list. Whether modprobe worked is
// not checked here: the adapter list shows it.
void load_module(const char* driver, const char* driverUnderscore) {
    if (module_loaded(driver, driverUnderscore)) return;
    char command[128];
    std::snprintf(command, sizeof command, "modprobe %s 2>/dev/null", driver);
    sys().system(command);
}

int32_t count_lines(FILE* file) {
    char line[kPciLine];
    int32_t count = 0;
    while (std::fgets(line, sizeof line, file)) ++count;
    return count;
}

void add_bus(bool record, const char* busNumber, const char* type, const char* name,
             const char* algorithm) {
    if (!record) {
        ++counter_i2c_bus_list;
        return;
    }
    if (counter_i2c_bus_list >= kMaxI2cBuses) return;  // further adapters are ignored
    I2cBusEntry& entry = i2c_bus_list[counter_i2c_bus_list++];
    copy_text(entry.busNumber, busNumber);
    copy_text(entry.type, type);
    copy_text(entry.adapterName, name);
    copy_text(entry.algorithmName, algorithm);
}

// 2.4 kernels list adapters as "i2c-N<TAB>type<TAB>name<TAB>algorithm". The
// character class stops the name at the tab; its padding blanks stay in it.
void read_proc_i2c(FILE* file, bool record) {
    char line[kProcI2cLine];
    while (std::fgets(line, sizeof line, file)) {
        char bus[16] = "";
        char type[16] = "";
        char name[128] = "";
        char algorithm[128] = "";
        int fields = std::sscanf(line, "i2c-%15s %15s %127[a-zA-Z0-9/() -] %127[a-zA-Z0-9/() -]\n",
                                 bus, type, name, algorithm);
        if (fields >= 3) add_bus(record, bus, type, name, algorithm);
    }
}

// Where sysfs is mounted, from /proc/mounts; empty when it is not.
std::string sysfs_mount_point() {
    File mounts(sys().fopen(kMounts, "r"));
    if (!mounts) return {};
    char line[kMountsLine];
    while (std::fgets(line, sizeof line, mounts.get())) {
        char device[kMountsLine];
        char mountPoint[kMountsLine];
        char type[kMountsLine];
        if (std::sscanf(line, "%254[^ ] %254[^ ] %254[^ ] %*s\n", device, mountPoint, type) == 3 &&
            strcasecmp(type, "sysfs") == 0)
            return mountPoint;
    }
    return {};
}

// The adapter's name file: the class device's own attribute, the adapter
// device's, or that of the i2c-N child of the adapter device.
File open_adapter_name(const std::string& adapterDir) {
    for (const char* candidate : {"/name", "/device/name"}) {
        File name(sys().fopen((adapterDir + candidate).c_str(), "r"));
        if (name) return name;
    }
    std::string deviceDir = adapterDir + "/device";
    Dir device(sys().opendir(deviceDir.c_str()));
    if (!device) return File();
    while (dirent* child = readdir(device.get())) {
        if (std::strncmp(child->d_name, "i2c-", 4) != 0) continue;
        File name(sys().fopen((deviceDir + "/" + child->d_name + "/name").c_str(), "r"));
        if (name) return name;
    }
    return File();
}

// Kernels with sysfs list each adapter as /sys/class/i2c-dev/i2c-N. The ISA
// pseudo-adapter is no SMBus and is left out.
void read_sysfs_i2c(bool record) {
    std::string mountPoint = sysfs_mount_point();
    if (mountPoint.empty()) return;
    std::string classDir = mountPoint + "/class/i2c-dev";
    Dir dir(sys().opendir(classDir.c_str()));
    if (!dir) return;
    while (dirent* entry = readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        File nameFile = open_adapter_name(classDir + "/" + entry->d_name);
        if (!nameFile) continue;
        char name[kSysfsNameLine] = "";
        if (!std::fgets(name, sizeof name, nameFile.get())) name[0] = '\0';
        name[std::strcspn(name, "\n")] = '\0';
        if (std::strncmp(name, "ISA ", 4) == 0) continue;
        int number = 0;
        if (std::sscanf(entry->d_name, "i2c-%d", &number) != 1) continue;
        char bus[16];
        std::snprintf(bus, sizeof bus, "%d", number);
        add_bus(record, bus, "unknown", name, "Algorithm unavailable");
    }
}

}  // namespace

int32_t init_conf() {
    struct stat info;
    for (const NodeScheme& scheme : kNodeSchemes) {
        if (sys().stat(scheme.probe, &info) == 0) {
            dev_i2c = scheme.prefix;
            return 0;
        }
    }
    std::fprintf(stderr, "Error: no i2c device files found. Please use mkdev.sh to create them.\n");
    return -1;
}

// /proc/bus/pci/devices: "BBDF VVVVDDDD IRQ" then the six base addresses and
// the ROM base, each in hex (later columns are not needed). The base columns
// may be 64 bits wide; the record keeps their low 32 bits.
int32_t read_proc_dev_pci() {
    File file(sys().fopen(kPciDevices, "r"));
    if (!file) {
        std::fprintf(stderr, "Error: cannot open file %s\n",
                     sys().path_in_message(kPciDevices).c_str());
        return -1;
    }
    counter_pci_list = 0;
    char line[kPciLine];
    while (counter_pci_list < pci_list_capacity && std::fgets(line, sizeof line, file.get())) {
        unsigned long v[10] = {};
        int fields = std::sscanf(line, "%lx %lx %lx %lx %lx %lx %lx %lx %lx %lx %*s\n", &v[0],
                                 &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9]);
        if (fields < 2) continue;  // not a device line
        PciDeviceInfo& device = pci_list[counter_pci_list++];
        device.irq = uint32_t(v[2]);
        for (int i = 0; i < 6; ++i) device.base[i] = uint32_t(v[3 + i]);
        device.rom = uint32_t(v[9]);
        device.bus = uint32_t(v[0] >> 8);
        device.device = uint32_t((v[0] & 0xF8) >> 3);
        device.function = uint32_t(v[0] & 0x07);
        device.vendorId = uint32_t((v[1] >> 16) & 0xFFFF);
        device.deviceId = uint32_t(v[1] & 0xFFFF);
    }
    return 0;
}

int32_t init_proc_pci() {
    if (read_proc_dev_pci() == 0) return 0;
    std::fprintf(stderr, "Error: cannot access either /proc/bus/pci/ or /proc/pci!\n");
    return -1;
}

int32_t init_modules_list() {
    File file(sys().fopen(kModules, "r"));
    if (!file) return -1;
    counter_modules_list = 0;
    char line[kModulesLine];
    while (std::fgets(line, sizeof line, file.get())) {
        char name[kModulesLine];
        if (std::sscanf(line, "%511s %*s\n", name) != 1) continue;
        if (counter_modules_list >= kMaxModules) break;  // further modules are ignored
        copy_text(modules_list[counter_modules_list++], name);
    }
    return 0;
}

int32_t adapter_pci_detection() {
    counter_driver_list = 0;
    for (int32_t d = 0; d < counter_pci_list; ++d) {
        const PciDeviceInfo& device = pci_list[d];
        for (const PciAdapter* row = pci_adapters; row->vendorId != 0 || row->deviceId != 0;
             ++row) {
            if (row->vendorId != device.vendorId || row->deviceId != device.deviceId ||
                row->function != device.function)
                continue;
            if (counter_driver_list >= kMaxDrivers) return 0;  // further drivers are ignored
            driver_list[counter_driver_list++] = {row->driver, row->driverUnderscore};
        }
    }
    return 0;
}

int32_t print_i2c_busses(int32_t record) {
    counter_i2c_bus_list = 0;
    File procI2c(sys().fopen(kProcI2c, "r"));
    if (procI2c)
        read_proc_i2c(procI2c.get(), record == 1);
    else
        read_sysfs_i2c(record == 1);
    return counter_i2c_bus_list;
}

int32_t init_i2c_bus_list() {
    return print_i2c_busses(1);
}

int32_t i2cdetect() {
    int32_t lines = 0;
    {
        File file(sys().fopen(kPciDevices, "r"));
        if (!file) {
            std::fprintf(stderr, "Error: cannot open file %s\n",
                         sys().path_in_message(kPciDevices).c_str());
            return -1;
        }
        lines = count_lines(file.get());
    }
    pci_list.reset(new (std::nothrow) PciDeviceInfo[lines > 0 ? lines : 1]);
    if (!pci_list) return -1;
    pci_list_capacity = lines;
    counter_pci_list = 0;
    // The PCI list is needed only until the drivers are known.
    struct PciListGuard {
        ~PciListGuard() { free_pci_list(); }
    } guard;

    if (init_conf() != 0) return -1;
    if (init_proc_pci() != 0) return -1;
    if (init_modules_list() != 0) return -1;
    adapter_pci_detection();
    free_pci_list();

    for (int32_t i = 0; i < counter_driver_list; ++i)
        load_module(driver_list[i].driver, driver_list[i].driverUnderscore);
    load_module(kI2cDevModule, kI2cDevModuleUnderscore);

    init_i2c_bus_list();
    return 0;
}

void reset_adapter_discovery_state() {
    counter_driver_list = 0;
    counter_modules_list = 0;
    counter_i2c_bus_list = 0;
    dev_i2c = nullptr;
    free_pci_list();
}

const char* check_pci_adapter_table(std::span<const PciAdapter> table) {
    if (table.empty()) return "no terminator row";
    for (size_t i = 0; i < table.size(); ++i) {
        const PciAdapter& row = table[i];
        bool terminator = row.vendorId == 0 && row.deviceId == 0;
        if (terminator != (i + 1 == table.size())) return "the terminator row is not the last row";
        if (terminator) break;
        if (!row.name || !row.driver || !row.driverUnderscore || !row.adapterNamePrefix)
            return "a row without its names";
        std::string underscore = row.driver;
        for (char& c : underscore)
            if (c == '-') c = '_';
        if (underscore != row.driverUnderscore)
            return "a module's two spellings differ beyond '-' and '_'";
        for (size_t j = 0; j < i; ++j)
            if (table[j].vendorId == row.vendorId && table[j].deviceId == row.deviceId &&
                table[j].function == row.function)
                return "a controller listed twice";
    }
    return nullptr;
}
