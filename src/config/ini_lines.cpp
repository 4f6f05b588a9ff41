#include "config/ini_lines.h"

#include <algorithm>
#include <cstring>

#include "config/nocase.h"

namespace {

bool no_more_lines(IniLine& line) {
    line.text[0] = '\0';
    line.length = 0;
    line.hadLineEnd = false;
    return false;
}

// The piece is in line.text; a NUL byte inside it ends it, as for fgets.
bool finish_piece(IniLine& line, LineEnds rule) {
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

}  // namespace

bool read_ini_line(FILE* file, IniLine& line, LineEnds rule) {
    if (std::fgets(line.text, sizeof line.text, file) == nullptr) return no_more_lines(line);
    return finish_piece(line, rule);
}

bool IniLines::next(IniLine& line, LineEnds rule) {
    if (rest_.empty()) return no_more_lines(line);
    // As fgets with an 80-byte buffer: up to 79 characters, or through the
    // first line feed.
    size_t take = std::min(rest_.size(), sizeof line.text - 1);
    size_t feed = rest_.substr(0, take).find('\n');
    if (feed != std::string_view::npos) take = feed + 1;
    std::memcpy(line.text, rest_.data(), take);
    line.text[take] = '\0';
    rest_.remove_prefix(take);
    return finish_piece(line, rule);
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

void append_ini_line(std::string& out, std::string_view text, bool lineEnd) {
    out.append(text);
    if (lineEnd) out.push_back('\n');
}
