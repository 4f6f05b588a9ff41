#include <cstdio>

#include "board/system.h"
#include "common/fixed_text.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {
constexpr size_t kMaxOutput = 255;
}

int get_cmd_output(const char* command, char* dest, size_t capacity) {
    if (command == nullptr || command[0] == '\0') return -1;
    Pipe pipe(sys().popen(command, "r"));
    if (!pipe) return -1;
    char output[kMaxOutput];
    size_t length = std::fread(output, 1, kMaxOutput, pipe.get());
    if (length > 0 && output[length - 1] == '\n') --length;
    copy_text(dest, capacity, std::string_view(output, length));
    return 0;
}
