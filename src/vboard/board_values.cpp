// Numbers, byte lists and register values of the board file, and the JSON
// paths that name them in messages.
#include "vboard/board_values.h"

#include <cstdio>

namespace {

bool is_identifier(const std::string& key) {
    if (key.empty()) return false;
    for (size_t i = 0; i < key.size(); ++i) {
        char c = key[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string expected(const NumberKind& kind, const std::string& got) {
    return std::string("expected ") + kind.what + ", got " + got;
}

uint64_t in_range(uint64_t number, const std::string& path, const NumberKind& kind,
                  const std::string& got) {
    if (number < kind.min || number > kind.max) bad(path, expected(kind, got));
    return number;
}

}  // namespace

void bad(const std::string& path, std::string why) {
    throw BadValue{path, std::move(why)};
}

BoardError refusal(const std::string& source, const BadValue& bad) {
    return BoardError(source + ": " + (bad.path.empty() ? "top level" : bad.path) + ": " + bad.why);
}

void ListedOnce::add(const std::string& text, const std::string& path) {
    auto [first, fresh] = first_index_.emplace(text, count_++);
    if (!fresh) bad(path, "also listed as " + index_path(array_path_, first->second));
}

std::string key_path(const std::string& parent, const std::string& key) {
    if (is_identifier(key)) return parent.empty() ? key : parent + "." + key;
    // The key as a JSON string, so quotes and control characters stay readable.
    return parent + "[" + Json(key).dump() + "]";
}

std::string index_path(const std::string& parent, size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

std::string describe(const Json& value) {
    constexpr size_t kLongest = 40;
    switch (value.type()) {
        case Json::value_t::object:
            return "an object";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::string: {
            const auto& text = value.get_ref<const std::string&>();
            if (text.size() <= kLongest) return value.dump();
            // Cut at a character boundary: never inside a UTF-8 sequence.
            size_t length = kLongest;
            while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
                --length;
            }
            std::string cut = Json(text.substr(0, length)).dump();
            cut.insert(cut.size() - 1, "...");
            return cut;
        }
        default:
            return value.dump();
    }
}

std::string hex_text(uint64_t number, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(number));
    return text;
}

std::optional<uint64_t> parse_c_number(std::string_view text) {
    // Leading zeros are allowed, but not without end: a number key becomes
    // part of the path of every value under it, and paths are copied for
    // each of those values.
    constexpr size_t kLongest = 32;
    if (text.size() > kLongest) return std::nullopt;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    uint64_t number = 0;
    for (char c : text) {
        int digit = hex_digit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base) return std::nullopt;
        if (number > (UINT64_MAX - static_cast<unsigned>(digit)) / base) return std::nullopt;
        number = number * base + static_cast<unsigned>(digit);
    }
    return number;
}

uint64_t read_number(const Json& value, const std::string& path, const NumberKind& kind) {
    if (value.is_number_unsigned()) {
        return in_range(value.get<uint64_t>(), path, kind, describe(value));
    }
    if (value.is_string()) {
        auto number = parse_c_number(value.get_ref<const std::string&>());
        if (!number) bad(path, expected(kind, describe(value)));
        return in_range(*number, path, kind, describe(value));
    }
    // Negative and fractional numbers, and everything that is no number.
    bad(path, expected(kind, describe(value)));
}

uint64_t read_key_number(const std::string& key, const std::string& path, const NumberKind& kind) {
    std::string got = Json(key).dump();
    auto number = parse_c_number(key);
    if (!number) bad(path, expected(kind, got));
    return in_range(*number, path, kind, got);
}

bool read_bool(const Json& value, const std::string& path) {
    if (!value.is_boolean()) bad(path, "expected true or false, got " + describe(value));
    return value.get<bool>();
}

std::string read_string(const Json& value, const std::string& path) {
    if (!value.is_string()) bad(path, "expected a string, got " + describe(value));
    return value.get<std::string>();
}

std::vector<uint8_t> parse_byte_list(std::string_view text, const std::string& path,
                                     size_t min_count) {
    std::vector<uint8_t> bytes;
    size_t at = 0;
    while (true) {
        while (at < text.size() && is_blank(text[at])) ++at;
        if (at == text.size()) break;
        size_t end = at;
        while (end < text.size() && !is_blank(text[end])) ++end;
        std::string_view token = text.substr(at, end - at);
        int high = hex_digit(token[0]);
        int low = token.size() == 2 ? hex_digit(token[1]) : 0;
        if (token.size() > 2 || high < 0 || low < 0) {
            bad(path, "expected hex bytes separated by blanks, got " +
                          Json(std::string(token)).dump() + " (byte " +
                          std::to_string(bytes.size() + 1) + ")");
        }
        bytes.push_back(static_cast<uint8_t>(token.size() == 2 ? high * 16 + low : high));
        at = end;
    }
    if (bytes.size() < min_count) {
        bad(path, "expected at least " + std::to_string(min_count) + " hex byte" +
                      (min_count == 1 ? "" : "s") + ", got " + std::to_string(bytes.size()));
    }
    return bytes;
}

std::vector<uint8_t> read_byte_list(const Json& value, const std::string& path, size_t min_count) {
    if (!value.is_string()) {
        bad(path, "expected hex bytes separated by blanks, got " + describe(value));
    }
    return parse_byte_list(value.get_ref<const std::string&>(), path, min_count);
}

RegisterValue read_register_value(const Json& value, const std::string& path) {
    RegisterValue result;
    if (!value.is_object()) {
        if (value.is_array() || value.is_boolean() || value.is_null()) {
            bad(path, "expected a byte (0..0xFF) or a register object, got " + describe(value));
        }
        result.values.push_back(static_cast<uint8_t>(read_number(value, path, kByte)));
        return result;
    }

    ObjectReader reader(value, path, {"values", "advance", "every", "fail"});
    if (const Json* fail = reader.find("fail")) {
        if (!read_bool(*fail, reader.path("fail"))) {
            bad(reader.path("fail"), "expected true (omit \"fail\" for a register that answers)");
        }
        if (value.size() > 1) bad(path, "\"fail\" takes no other keys");
        result.kind = RegisterValue::Kind::fail;
        return result;
    }

    const Json& values = reader.require("values");
    for_each_element(values, reader.path("values"), [&](const Json& v, const std::string& p) {
        result.values.push_back(static_cast<uint8_t>(read_number(v, p, kByte)));
    });
    if (result.values.empty()) bad(reader.path("values"), "expected at least one value");

    const Json* advance = reader.find("advance");
    const Json* every = reader.find("every");
    if ((advance != nullptr) == (every != nullptr)) {
        bad(path, "expected either \"advance\": \"read\" or \"every\": SECONDS");
    }
    if (advance) {
        if (!advance->is_string() || advance->get_ref<const std::string&>() != "read") {
            bad(reader.path("advance"), "expected \"read\", got " + describe(*advance));
        }
        result.kind = RegisterValue::Kind::on_read;
    } else {
        constexpr NumberKind kSeconds{"a whole number of seconds (1..86400)", 1, 86400};
        result.every_seconds =
            static_cast<uint32_t>(read_number(*every, reader.path("every"), kSeconds));
        result.kind = RegisterValue::Kind::timed;
    }
    return result;
}

RegisterMap read_register_map(const Json& value, const std::string& path) {
    RegisterMap registers;
    for_each_numbered(value, path, kByte, [&](uint64_t reg, const Json& v, const std::string& p) {
        registers[static_cast<uint8_t>(reg)] = read_register_value(v, p);
    });
    return registers;
}

void for_each_numbered(const Json& object, const std::string& path, const NumberKind& kind,
                       const std::function<void(uint64_t, const Json&, const std::string&)>& each) {
    if (!object.is_object()) bad(path, "expected an object, got " + describe(object));
    std::map<uint64_t, std::string> seen;  // number -> the key that named it first
    for (const auto& [key, value] : object.items()) {
        std::string key_at = key_path(path, key);
        uint64_t number = read_key_number(key, key_at, kind);
        auto [first, fresh] = seen.emplace(number, key);
        if (!fresh) bad(key_at, "names the same number as " + Json(first->second).dump());
        each(number, value, key_at);
    }
}

ObjectReader::ObjectReader(const Json& value, std::string path,
                           std::initializer_list<std::string_view> keys)
    : object_(value), path_(std::move(path)) {
    if (!value.is_object()) bad(path_, "expected an object, got " + describe(value));
    for (const auto& item : value.items()) {
        bool known = false;
        for (std::string_view key : keys) known = known || item.key() == key;
        if (!known) bad(key_path(path_, item.key()), "unknown key");
    }
}

const Json* ObjectReader::find(std::string_view key) const {
    auto it = object_.find(std::string(key));
    return it == object_.end() ? nullptr : &*it;
}

const Json& ObjectReader::require(std::string_view key) const {
    const Json* value = find(key);
    if (!value) bad(path_, "missing key \"" + std::string(key) + "\"");
    return *value;
}

void for_each_element(const Json& value, const std::string& path,
                      const std::function<void(const Json&, const std::string&)>& each) {
    if (!value.is_array()) bad(path, "expected an array, got " + describe(value));
    for (size_t i = 0; i < value.size(); ++i) each(value[i], index_path(path, i));
}
