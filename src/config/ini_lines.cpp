#include "config/ini_lines.h"

#include <cstring>

#include "config/nocase.h"

bool read_ini_line(FILE* file, IniLine& line, LineEnds rule) {
    if (std::fgets(line.text, sizeof line.text, file) == nullptr) {
        line.text[0] = '\0';
        line.length = 0;
        line.hadLineEnd = false;
        return false;
    }
    size_t length = std::strlen(line.text);
    bool removed = false;
    auto strip = [&](char end) {
        if (length > 0 && line.text[length - 1] == end) {
            line.text[--length] = '\0';
            return true;
        }
        return false;
    };
    switch (rule) {
        case LineEnds::StripLF:
            removed = strip('\n');
            break;
        case LineEnds::StripLFOrCR:
            removed = strip('\n') || strip('\r');
            break;
        case LineEnds::StripLFThenCR:
            removed = strip('\n');
            removed = strip('\r') || removed;
            break;
    }
    line.length = length;
    line.hadLineEnd = removed;
    return true;
}

bool is_header(const IniLine& line, std::string_view header) {
    return equals_nocase(line.view(), header);
}

std::optional<Setting> split_setting(const IniLine& line) {
    std::string_view text = line.view();
    size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Setting{text.substr(0, equals), line.text + equals + 1};
}

void write_ini_line(FILE* out, std::string_view text, bool lineEnd) {
    std::fwrite(text.data(), 1, text.size(), out);
    if (lineEnd) std::fputc('\n', out);
}
