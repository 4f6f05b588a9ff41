#include "vboard/chip_state.h"

#include <cctype>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace {

constexpr const char* kHeader = "sensorvisor-sim board state 1 fnv1a64:";

std::string hex(uint64_t number, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llx", digits, static_cast<unsigned long long>(number));
    return text;
}

// "0x" and one to eight hex digits, the whole word.
std::optional<uint32_t> hex_word(const std::string& word) {
    if (word.size() < 3 || word.size() > 10 || word.compare(0, 2, "0x") != 0) return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 2; i < word.size(); ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(word[i]))) return std::nullopt;
        value = value * 16 + uint32_t(std::stoul(word.substr(i, 1), nullptr, 16));
    }
    return value;
}

struct Line {
    std::string chip;
    HeldValue value;
};

}  // namespace

uint64_t fnv1a64(const std::string& text) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char c : text) hash = (hash ^ c) * 0x100000001B3ull;
    return hash;
}

std::string place_name(int number, const char* kind) {
    return number < 0 ? "*" : std::string(kind) + ":" + hex(uint64_t(number), 2);
}

std::optional<int> place_number(const std::string& place, const char* kind) {
    if (place == "*") return -1;
    const std::string prefix = std::string(kind) + ":";
    if (place.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    std::optional<uint32_t> number = hex_word(place.substr(prefix.size()));
    if (!number || *number > 0xFF) return std::nullopt;
    return int(*number);
}

void ChipStates::add(const std::string& chip, ChipStateAccess access) {
    chips_[chip] = std::move(access);
}

std::string ChipStates::text() const {
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(digest_));
    std::string text = kHeader + std::string(digest) + "\n";
    for (const auto& [chip, access] : chips_) {
        std::vector<HeldValue> held;
        access.save(held);
        for (const HeldValue& value : held) {
            text += chip + " " + value.place + " " + hex(value.reg, 2) + " " + hex(value.value, 2) +
                    "\n";
        }
    }
    return text;
}

std::string ChipStates::restore(const std::string& text, bool* of_this_board) {
    *of_this_board = false;
    std::istringstream in(text);
    std::string header;
    std::getline(in, header);
    if (header.compare(0, std::string(kHeader).size(), kHeader) != 0)
        return "line 1: not a board state";
    char digest[17];
    std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(digest_));
    if (header.substr(std::string(kHeader).size()) != digest) return "";
    *of_this_board = true;

    std::vector<Line> lines;
    int number = 1;
    for (std::string text_line; std::getline(in, text_line);) {
        ++number;
        std::istringstream words(text_line);
        std::string chip, place, reg, value, extra;
        words >> chip >> place >> reg >> value;
        std::optional<uint32_t> r = hex_word(reg), v = hex_word(value);
        const bool known = chips_.count(chip) != 0;
        if (!(words >> extra) && r && v && known) {
            Line line{chip, {place, *r, *v}};
            if (chips_.at(chip).restore(line.value, false)) {
                lines.push_back(std::move(line));
                continue;
            }
        }
        return "line " + std::to_string(number) + ": " +
               (known || chip.empty() ? "not a value this board's chips hold"
                                      : "no chip " + chip + " on this board");
    }
    for (const Line& line : lines) chips_.at(line.chip).restore(line.value, true);
    return "";
}
