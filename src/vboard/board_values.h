// The small readers the board-file loader is built from: JSON paths for
// messages, numbers in C notation, byte lists, register values and maps keyed
// by register number. Internal to src/vboard.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "vboard/board.h"

// Ordered, so that files are seeded and errors found in board-file order.
using Json = nlohmann::ordered_json;

// A bad value and where it is. parse_board turns it into "FILE: PATH: why".
struct BadValue {
    std::string path;
    std::string why;
};

[[noreturn]] void bad(const std::string& path, std::string why);

// The launcher's line for a bad value: "SOURCE: PATH: why", the empty path
// (the whole file) named "top level".
BoardError refusal(const std::string& source, const BadValue& bad);

// `parent.key`, or `parent["key"]` when the key is not an identifier; a
// top-level identifier stands alone.
std::string key_path(const std::string& parent, const std::string& key);
std::string index_path(const std::string& parent, size_t index);

// A value as quoted after "got": scalars as JSON, long strings cut.
std::string describe(const Json& value);

// "0x1F": upper-case hex with at least `digits` digits, as messages show numbers.
std::string hex_text(uint64_t number, int digits = 2);

// A range of accepted whole numbers and how messages name it.
struct NumberKind {
    const char* what;  // "a byte (0..0xFF)"
    uint64_t min;
    uint64_t max;
};

inline constexpr NumberKind kByte{"a byte (0..0xFF)", 0, 0xFF};
inline constexpr NumberKind kPort{"a port (0..0xFFFF)", 0, 0xFFFF};
inline constexpr NumberKind kDword{"a dword (0..0xFFFFFFFF)", 0, 0xFFFFFFFF};
inline constexpr NumberKind kAddress{"a physical address (0..0xFFFFFFFF)", 0, 0xFFFFFFFF};
inline constexpr NumberKind kI2cAddress{"a 7-bit address (0..0x7F)", 0, 0x7F};
inline constexpr NumberKind kWhole{"a whole number (0..4294967295)", 0, 0xFFFFFFFF};

// Decimal or 0x-hex (either case) digits only; a leading zero is decimal.
// Nothing for anything else, for more than 64 bits or more than 32 characters.
std::optional<uint64_t> parse_c_number(std::string_view text);

// A JSON number, or a string in C notation, within the kind's range.
uint64_t read_number(const Json& value, const std::string& path, const NumberKind& kind);
// The same for an object key; `path` names the key itself.
uint64_t read_key_number(const std::string& key, const std::string& path, const NumberKind& kind);

bool read_bool(const Json& value, const std::string& path);
std::string read_string(const Json& value, const std::string& path);

// Hex bytes separated by blanks ("42 00 0f"), at least `min_count` of them.
std::vector<uint8_t> parse_byte_list(std::string_view text, const std::string& path,
                                     size_t min_count);
std::vector<uint8_t> read_byte_list(const Json& value, const std::string& path, size_t min_count);

RegisterValue read_register_value(const Json& value, const std::string& path);
RegisterMap read_register_map(const Json& value, const std::string& path);

// Calls `each(number, value, path)` for every key of an object whose keys are
// numbers of `kind`. Two keys that name the same number are an error.
void for_each_numbered(const Json& object, const std::string& path, const NumberKind& kind,
                       const std::function<void(uint64_t, const Json&, const std::string&)>& each);

// An object with a fixed set of keys. Construction refuses a non-object and
// the first key not in `keys` ("unknown key").
class ObjectReader {
public:
    ObjectReader(const Json& value, std::string path, std::initializer_list<std::string_view> keys);

    const Json* find(std::string_view key) const;
    // The value of a key that must be there ("missing key \"bus\"").
    const Json& require(std::string_view key) const;
    std::string path(std::string_view key) const { return key_path(path_, std::string(key)); }
    const std::string& path() const { return path_; }

private:
    const Json& object_;
    std::string path_;
};

// Refuses a text that an array lists twice ("also listed as modules[0]"),
// in log n per element.
class ListedOnce {
public:
    explicit ListedOnce(std::string array_path) : array_path_(std::move(array_path)) {}
    // The next element's text and path.
    void add(const std::string& text, const std::string& path);

private:
    std::string array_path_;
    std::map<std::string, size_t> first_index_;
    size_t count_ = 0;
};

// Expects an array; calls `each(element, path)` for each element.
void for_each_element(const Json& value, const std::string& path,
                      const std::function<void(const Json&, const std::string&)>& each);
