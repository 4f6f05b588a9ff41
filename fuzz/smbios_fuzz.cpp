// Board identification over any BIOS area: the input is the 64 KiB from
// 0xF0000 (shorter inputs leave the rest 0x00), with or without a "_DMI_"
// entry point, whose table may lie anywhere in the 4 GiB (outside the area it
// reads as zeros). Each input gets a virtual board of its own whose physical
// memory holds the image.
//
// The buffers start out holding text, which keeps the scan from falling back
// to the `dmidecode` command (a shell per input); the fallback's parsing is
// the command's output, cut by get_cmd_output. Whatever the image, the three
// buffers must end within their size and hold trimmed text.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "board/system.h"
#include "fuzz/fuzz_board.h"
#include "vboard/board.h"
#include "vboard/virtual_board.h"

namespace {

constexpr size_t kAreaSize = kBiosAreaLast - kBiosAreaFirst + 1;

bool is_blank(char c) {
    return c == ' ' || c == '\f' || c == '\n' || c == '\r' || c == '\t' || c == '\v';
}

void check_buffer(const char (&buffer)[kBoardTextSize]) {
    FUZZ_CHECK(terminated(buffer));
    size_t length = std::strlen(buffer);
    if (length == 0) return;
    FUZZ_CHECK(!is_blank(buffer[0]) && !is_blank(buffer[length - 1]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Board base = parse_board("{}", "smbios-fuzz");
    const std::string& root = fuzz_board().paths().root();

    Board board = base;
    if (size > 0)
        board.smbios.raw_records.push_back(
            {kBiosAreaFirst, std::vector<uint8_t>(data, data + std::min(size, kAreaSize))});
    VirtualBoard memory(std::move(board), root);
    ScopedSys installed(memory);

    char manufacturer[kBoardTextSize] = "-";
    char product[kBoardTextSize] = "-";
    char version[kBoardTextSize] = "-";
    int result = get_mb_info(manufacturer, product, version);
    FUZZ_CHECK(result == 0 || result == -1);
    check_buffer(manufacturer);
    check_buffer(product);
    check_buffer(version);
    return 0;
}
