#include "record/board_text.h"

namespace {

constexpr size_t kWidth = 100;

std::string scalar_text(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string flat_text(const Json& value) {
    if (!value.is_structured()) return scalar_text(value);
    bool object = value.is_object();
    std::string text = object ? "{" : "[";
    bool first = true;
    for (const auto& item : value.items()) {
        if (!first) text += ", ";
        first = false;
        if (object) text += scalar_text(item.key()) + ": ";
        text += flat_text(item.value());
    }
    return text + (object ? "}" : "]");
}

bool all_plain(const Json& value) {
    for (const Json& item : value)
        if (item.is_structured()) return false;
    return true;
}

// `used`: the columns the line holds before the value.
void put(const Json& value, size_t indent, size_t used, std::string& out) {
    std::string flat = flat_text(value);
    if (!value.is_structured() || value.empty() || used + flat.size() <= kWidth) {
        out += flat;
        return;
    }
    const std::string inner(indent + 2, ' ');
    bool object = value.is_object();
    if (all_plain(value)) {
        // Plain values (registers, a value sequence) fill their lines.
        out += object ? "{\n" : "[\n";
        out += inner;
        size_t column = inner.size(), left = value.size();
        for (const auto& item : value.items()) {
            std::string text = (object ? scalar_text(item.key()) + ": " : "") +
                               scalar_text(item.value()) + (--left ? "," : "");
            if (column > inner.size() && column + 1 + text.size() > kWidth) {
                out += "\n" + inner;
                column = inner.size();
            } else if (column > inner.size()) {
                out += ' ';
                ++column;
            }
            out += text;
            column += text.size();
        }
        out += "\n" + std::string(indent, ' ') + (object ? "}" : "]");
        return;
    }
    out += object ? "{\n" : "[\n";
    size_t left = value.size();
    for (const auto& item : value.items()) {
        out += inner;
        std::string key = object ? scalar_text(item.key()) + ": " : "";
        out += key;
        put(item.value(), indent + 2, inner.size() + key.size(), out);
        out += --left ? ",\n" : "\n";
    }
    out += std::string(indent, ' ') + (object ? "}" : "]");
}

}  // namespace

std::string board_text(const Json& board) {
    std::string out;
    put(board, 0, 0, out);
    return out + "\n";
}
