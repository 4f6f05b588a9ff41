// The first run's switching off of items that do not answer. The master files
// list every item a board model may carry; a board that lacks a fan header,
// a CPU socket's voltage or a status line shows it as a failed or zero
// reading, and monitoring it would only raise alarms.
#include <cstdio>
#include <string>

#include "app/item_displays.h"
#include "config/ini_lines.h"
#include "config/nocase.h"
#include "config/paths.h"
#include "config/rewrite.h"
#include "items/acquisition.h"
#include "sys/sys.h"

namespace {

constexpr int32_t kStatusOnlyChip = 27;
constexpr int kRewriteFailed = 2;

// A CPU temperature belongs to a socket only when the socket's core voltage is
// monitored: an empty socket reads a voltage of 0 (switched off before it)
// while its temperature diode may still float to a plausible value.
struct CpuPair {
    const char* temperature;
    const char* coreVoltage;
};
constexpr CpuPair kCpuPairs[] = {
    {"CPU Temperature", "CPU Core Voltage"},   {"CPU1 Temperature", "CPU1 Core Voltage"},
    {"CPU2 Temperature", "CPU2 Core Voltage"}, {"CPU3 Temperature", "CPU3 Core Voltage"},
    {"CPU4 Temperature", "CPU4 Core Voltage"},
};

void switch_off(ItemDisplay* disp, ItemRecord* item, const char* message, int* count) {
    std::printf(message, disp->name);
    disp->monitor = 0;
    item->monitor = 0;
    ++*count;
}

// True when the temperature's socket has a core voltage item that is not
// monitored at this moment.
bool socket_voltage_off(const ItemDisplay* disp, const ItemDisplay* disps, int32_t count) {
    for (const CpuPair& pair : kCpuPairs) {
        if (!equals_nocase(disp->name, pair.temperature)) continue;
        for (int32_t i = 0; i < count; ++i)
            if (equals_nocase(disps[i].name, pair.coreVoltage)) return disps[i].monitor != 1;
        return false;
    }
    return false;
}

// The rewrite's own section rules: inside the items "[Item]" moves the index
// on, and once a "[Parameter]" is reached the rest of the file is copied as
// it stands (an [Item] after it keeps its MONITOR line).
class MonitorEditor {
public:
    MonitorEditor(const ItemDisplay* disps, int32_t count) : disps_(disps), count_(count) {}

    bool operator()(const IniLine& line, std::string& replacement) {
        switch (section_) {
            case IniSection::Parameter:
                return false;
            case IniSection::None:
            case IniSection::System:
                if (line.text[0] == '[') enter(line);
                return false;
            case IniSection::Item:
                if (is_header(line, "[System]") || is_header(line, "[Item]") ||
                    is_header(line, "[Parameter]")) {
                    enter(line);
                    return false;
                }
                return replace_monitor(line, replacement);
        }
        return false;
    }

private:
    void enter(const IniLine& line) { enter_ini_section(line, section_, itemIndex_); }

    bool replace_monitor(const IniLine& line, std::string& replacement) {
        auto setting = split_setting(line);
        if (!setting || !equals_nocase(setting->key, "MONITOR")) return false;
        // More [Item] sections in the file than records: those stay as they are.
        if (itemIndex_ < 0 || itemIndex_ >= count_) return false;
        replacement = setting_text(setting->key, disps_[itemIndex_].monitor == 1 ? "TRUE" : "FALSE");
        return true;
    }

    const ItemDisplay* disps_;
    int32_t count_;
    IniSection section_ = IniSection::None;
    int32_t itemIndex_ = -1;
};

// Ends the process (Sys::exit does not return); the file on disk is the old
// one or the new one.
void fail(const char* format, const char* path) {
    std::fprintf(stderr, format, path);
    sys().exit(kRewriteFailed);
}

void rewrite_monitor_lines(const ItemDisplay* disps, int32_t count) {
    std::printf("\n");
    RewriteSource source = read_rewrite_source();
    if (!source.read) return fail("Error: cannot open %s\n", source.path);
    std::string content;
    copy_ini_lines(source.content, content, MonitorEditor(disps, count));
    switch (replace_senvis_ini(source, content)) {
        case RewriteResult::Done:
            return;
        case RewriteResult::SourceNotOpened:
        case RewriteResult::BackupNotCreated:
            return fail("Error: cannot open %s\n", kSenvisIniOldPath);
        case RewriteResult::BackupNotWritten:
            return fail("Error: cannot close %s\n", kSenvisIniOldPath);
        case RewriteResult::NewNotCreated:
            return fail("Error: cannot open %s\n", kSenvisIniPath);
        case RewriteResult::NewNotWritten:
            // A full disk shows when the new file is written out.
            return fail("Error: cannot close %s\n", kSenvisIniPath);
    }
}

}  // namespace

int detect_and_hide_nonactivated_items(ItemDisplay* disps, SystemRecord* system, ItemRecord* items,
                                       int32_t itemCount, ParameterRecord* parameters,
                                       int32_t parameterCount) {
    int switchedOff = 0;
    for (int32_t i = 0; i < itemCount; ++i) {
        ItemDisplay* disp = &disps[i];
        ItemRecord* item = &items[i];
        if (disp->monitor != 1) continue;

        bool failed = true;
        if (disp->chipCode != kStatusOnlyChip) {
            int64_t value = 0;
            if (get_item_reading(system, items, itemCount, parameters, parameterCount, item,
                                 &value) == 0) {
                disp->reading = value;
                failed = false;
            }
        }

        switch (disp->category) {
            case CAT_FAN:
            case CAT_VOLTAGE:
            case CAT_TEMP:
                if (failed) {
                    switch_off(disp, item, ">> Disable monitoring of non-available item: %s\n",
                               &switchedOff);
                } else if ((!isNormalReading(disp) && disp->reading == 0) ||
                           (disp->category == CAT_TEMP &&
                            (disp->reading == 0 || socket_voltage_off(disp, disps, itemCount)))) {
                    // Read as zero, or a temperature whose socket has no voltage.
                    switch_off(disp, item, ">> Disable monitoring of non-activated item: %s\n",
                               &switchedOff);
                }
                break;
            case CAT_SWITCH:
                if (disp->chipCode == kStatusOnlyChip)
                    switch_off(disp, item, ">> Disable monitoring of non-supported item: %s\n",
                               &switchedOff);
                break;
            default:
                break;
        }
    }
    if (switchedOff > 0) rewrite_monitor_lines(disps, itemCount);
    return 0;
}
