#include "vboard/i2c_listing.h"

#include "vboard/virtual_board.h"

namespace {

constexpr const char* kRootMount = "/dev/sda1 / ext4 rw,relatime 0 0\n";
constexpr const char* kProcMount = "proc /proc proc rw,nosuid,nodev,noexec,relatime 0 0\n";
constexpr const char* kSysfsMount = "sysfs /sys sysfs rw,nosuid,nodev,noexec,relatime 0 0\n";
constexpr const char* kI2cDevClass = "/sys/class/i2c-dev/i2c-";

bool any_listed(const std::vector<SmbusAdapter>& adapters, SmbusAdapter::Listing listing) {
    for (const SmbusAdapter& adapter : adapters)
        if (adapter.listing == listing) return true;
    return false;
}

// As printf's "%-Ns": blanks up to `width` columns, longer text whole.
std::string padded(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

// The 2.4 kernel's i2c-core printed "i2c-N", a tab, the adapter kind padded
// to 10 columns ("smbus     "), then name and algorithm each after a tab and
// padded with blanks to 32 columns. Readers take the blanks into the name.
std::string proc_bus_i2c_text(const std::vector<SmbusAdapter>& adapters) {
    std::string text;
    for (const SmbusAdapter& adapter : adapters) {
        if (adapter.listing != SmbusAdapter::Listing::proc) continue;
        text += "i2c-" + std::to_string(adapter.bus) + "\t" + padded(adapter.type, 10) + "\t" +
                padded(adapter.name, 32) + "\t" + padded(adapter.algorithm, 32) + "\n";
    }
    return text;
}

std::string proc_mounts_text(const std::vector<SmbusAdapter>& adapters) {
    std::string text = std::string(kRootMount) + kProcMount;
    if (any_listed(adapters, SmbusAdapter::Listing::sysfs)) text += kSysfsMount;
    return text;
}

// sysfs shows the adapter's name twice: as the i2c-dev class device's own
// attribute and as the attribute of the adapter device it links to.
void add_i2c_listings(VirtualBoard& board) {
    const std::vector<SmbusAdapter>& adapters = board.board().smbus;
    std::string proc = proc_bus_i2c_text(adapters);
    if (!proc.empty()) board.add_seed_file("/proc/bus/i2c", proc);
    board.add_seed_file("/proc/mounts", proc_mounts_text(adapters));
    for (const SmbusAdapter& adapter : adapters) {
        if (adapter.listing != SmbusAdapter::Listing::sysfs) continue;
        std::string dir = kI2cDevClass + std::to_string(adapter.bus);
        board.add_seed_file(dir + "/name", adapter.name + "\n");
        board.add_seed_file(dir + "/device/name", adapter.name + "\n");
    }
}
