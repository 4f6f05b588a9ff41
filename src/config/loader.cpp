#include "config/loader.h"

#include <cstdio>

#include "config/ini_lines.h"
#include "config/paths.h"
#include "config/setting_keys.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {

constexpr const char* kSystemHeader = "[System]";
constexpr const char* kItemHeader = "[Item]";
constexpr const char* kParameterHeader = "[Parameter]";

// Owned here, handed out through the loader's out-pointers.
SystemRecord* loadedSystem = nullptr;
ItemRecord* loadedItems = nullptr;
ParameterRecord* loadedParameters = nullptr;

// [Item] and [Parameter] share one scheme: a header line starts the next
// record (if there is room for it) with its start values; while a record is
// open each setting line with a known key sets a field; the first line without
// "=" closes the record and, if it is the header itself, opens the next one.
template <typename Record, typename Init, typename Apply>
void read_records(FILE* file, const char* header, Record* records, int32_t capacity, Init init,
                  Apply apply) {
    std::rewind(file);
    IniLine line;
    int32_t index = -1;
    bool open = false;
    while (read_ini_line(file, line, LineEnds::StripLF)) {
        if (open) {
            if (auto setting = split_setting(line)) {
                apply(records[index], setting->key, setting->value);
                continue;
            }
            open = false;
        }
        if (is_header(line, header)) {
            ++index;
            if (index < capacity) {
                init(&records[index]);
                open = true;
            }
        }
    }
}

}  // namespace

int32_t get_item_count(FILE* file) {
    std::rewind(file);
    IniLine line;
    int32_t count = 0;
    while (read_ini_line(file, line, LineEnds::StripLF)) {
        if (is_header(line, kItemHeader)) ++count;
    }
    return count;
}

int32_t readSystemSection(FILE* file, SystemRecord* system) {
    std::rewind(file);
    IniLine line;
    bool inside = false;
    while (read_ini_line(file, line, LineEnds::StripLF)) {
        if (!inside) {
            inside = is_header(line, kSystemHeader);
            continue;
        }
        // Any bracketed line ends the section; "[System]" opens it again.
        if (line.text[0] == '[') {
            inside = is_header(line, kSystemHeader);
            continue;
        }
        if (auto setting = split_setting(line)) {
            apply_system_setting(*system, setting->key, setting->value);
        }
    }
    return 0;
}

int32_t readItemSection(FILE* file, ItemRecord* items, int32_t itemCount) {
    read_records(file, kItemHeader, items, itemCount, initItemRecord, apply_item_setting);
    return 0;
}

int32_t readParameterSection(FILE* file, ParameterRecord* parameters, int32_t capacity) {
    read_records(file, kParameterHeader, parameters, capacity, initParameterRecord,
                 apply_parameter_setting);
    return 0;
}

int32_t loadSenvisINI_and_getItemCount(SystemRecord** system, ItemRecord** items,
                                       ParameterRecord** parameters) {
    File file(sys().fopen(kSenvisIniPath, "r"));
    if (!file) {
        std::printf("Error: the ini file is not found!\n");
        return -1;
    }
    release_loaded_records();

    loadedSystem = new SystemRecord;
    initSystemSection(loadedSystem);
    readSystemSection(file.get(), loadedSystem);

    int32_t itemCount = get_item_count(file.get());
    // Items not reached by a header (none, since the count comes from the same
    // lines) would still hold start values; parameters that no section fills
    // stay empty: no name, all fields 0.
    loadedItems = new ItemRecord[itemCount];
    for (int32_t i = 0; i < itemCount; ++i) initItemRecord(&loadedItems[i]);
    loadedParameters = new ParameterRecord[2 * static_cast<size_t>(itemCount)]();

    readItemSection(file.get(), loadedItems, itemCount);
    readParameterSection(file.get(), loadedParameters, 2 * itemCount);

    if (file.close() != 0) std::printf("Error: fclose().\n");

    *system = loadedSystem;
    *items = loadedItems;
    *parameters = loadedParameters;
    return itemCount;
}

void release_loaded_records() {
    delete loadedSystem;
    delete[] loadedItems;
    delete[] loadedParameters;
    loadedSystem = nullptr;
    loadedItems = nullptr;
    loadedParameters = nullptr;
}
