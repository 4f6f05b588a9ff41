// The forced search: when the table's base board record names another maker,
// the BIOS area is searched for a base board record whose strings carry the
// maker's name. The area is taken as a run of NUL-terminated strings; a
// structure starts right after the two NULs that end the one before it.
#include <fcntl.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "board/dmi_record.h"
#include "board/mem_error.h"
#include "board/system.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {

constexpr uint64_t kPageSize = 4096;
constexpr size_t kWindowSize = 8192;
// The spellings of the maker's name firmware has been seen to use, in the
// order they are tried.
constexpr const char* kMakerSpellings[] = {"Kelvorante", "KELVORANTE", "kelvorante"};

// The start of the structure that holds position `match`: the nearest
// position at or before it preceded by two NULs. The step back stays in the
// window: reaching its beginning, the first byte counts as a start (or the
// second, after a NUL), since a record may well sit on the 8 KiB boundary a
// window begins on.
size_t structure_start(const uint8_t* window, size_t match) {
    size_t at = match;
    while (at >= 2 && !(window[at - 1] == 0 && window[at - 2] == 0)) --at;
    return at == 1 && window[0] != 0 ? 0 : at;
}

// The record copy starting at `at`. Bytes past the window's end are zeros, so
// a string cut there ends in the copy.
DmiRecordCopy copy_record(const uint8_t* window, size_t at) {
    DmiRecordCopy copy{};
    std::memcpy(copy.data(), window + at, std::min(copy.size(), kWindowSize - at));
    return copy;
}

std::optional<DmiRecordCopy> scan_window(const uint8_t* window, size_t from,
                                         std::string_view text) {
    for (size_t at = from; at < kWindowSize;) {
        const void* nul = std::memchr(window + at, 0, kWindowSize - at);
        if (nul == nullptr) break;  // the string runs on past the window
        size_t end = static_cast<const uint8_t*>(nul) - window;
        std::string_view string(reinterpret_cast<const char*>(window + at), end - at);
        size_t hit = string.find(text);
        if (!string.empty() && hit != std::string_view::npos) {
            size_t start = structure_start(window, at + hit);
            if (window[start] == kBaseBoardType) return copy_record(window, start);
        }
        at = end + 1;
    }
    return std::nullopt;
}

}  // namespace

std::optional<DmiRecordCopy> search_string_in_dmi_type_2(const char* text, uint32_t first,
                                                         uint32_t last) {
    Fd mem(sys().open("/dev/mem", O_RDWR));
    if (!mem.valid()) fatal_mem_error(__LINE__, "system");
    const uint64_t start = first & ~(kPageSize - 1);
    for (uint64_t window = start; window < last; window += kWindowSize) {
        Mapping mapping(sys().mmap(nullptr, kWindowSize, PROT_READ, MAP_SHARED, mem.get(),
                                   static_cast<off_t>(window)),
                        kWindowSize);
        if (!mapping.valid()) {
            std::fprintf(stderr, "\tCan't map address %08lX\n", static_cast<unsigned long>(window));
            return std::nullopt;
        }
        std::optional<DmiRecordCopy> found = scan_window(static_cast<const uint8_t*>(mapping.get()),
                                                         window == start ? first - start : 0, text);
        if (mapping.unmap() != 0) {
            std::fputs("Error: munmap\n", stderr);
            return std::nullopt;
        }
        if (found) return found;
    }
    return std::nullopt;
}

int get_mb_info_by_force(char* manufacturer, char* product, char* version) {
    for (const char* name : kMakerSpellings) {
        std::optional<DmiRecordCopy> record =
            search_string_in_dmi_type_2(name, kBiosAreaFirst, kBiosAreaLast);
        if (!record) continue;
        store_base_board_strings(record->data(), record->size(), manufacturer, product, version);
        return 1;
    }
    return 0;
}
