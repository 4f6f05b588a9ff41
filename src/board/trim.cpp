#include "board/system.h"

namespace {
constexpr std::string_view kBlanks = " \f\n\r\t\v";
}

std::string trim(std::string_view text) {
    size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(kBlanks);
    return std::string(text.substr(first, last - first + 1));
}
