// The board file's JSON text, read through the library's event interface into
// a tree built here, because the library's own tree builder costs more than
// the text: an ordered object searches all its keys on every insertion
// (quadratic in the keys), and a path kept per open array or object grows
// with the depth (quadratic in the nesting; docs/reliability.md has the
// figures). Here a key is appended at once and checked for a repeat in a
// sorted set, and a JSON path is only put together for a message.
#include "vboard/board_json.h"

#include <set>

namespace {

class BoundedTreeBuilder {
public:
    explicit BoundedTreeBuilder(size_t max_depth) : max_depth_(max_depth) {}

    // The library's event interface (nlohmann::json_sax).
    bool null() { return put(Json(nullptr)); }
    bool boolean(bool value) { return put(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return put(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return put(Json(value)); }
    bool number_float(Json::number_float_t value, const Json::string_t&) {
        return put(Json(value));
    }
    bool string(Json::string_t& value) { return put(Json(std::move(value))); }
    bool binary(Json::binary_t& value) { return put(Json(std::move(value))); }
    bool start_object(size_t) { return open(Json::object()); }
    bool start_array(size_t) { return open(Json::array()); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(Json::string_t& key) {
        Frame& top = frames_.back();
        top.key = key;
        if (!top.keys.insert(std::move(key)).second) {
            problem_ = BadValue{path_of_next(), "key given twice"};
            return false;
        }
        return true;
    }
    bool parse_error(size_t, const std::string&, const nlohmann::detail::exception& error) {
        syntax_error_ = error.what();
        return false;
    }

    Json& tree() { return tree_; }
    const std::optional<BadValue>& problem() const { return problem_; }
    const std::string& syntax_error() const { return syntax_error_; }

private:
    struct Frame {
        Json* container;
        std::string key;             // objects: the key of the value to come
        std::set<std::string> keys;  // objects: every key so far
    };

    // The value goes into the innermost open array or object; strictly nested
    // input never adds to a container while a child of it is still open, so
    // the containers the frames point to stay where they are.
    Json* place(Json value) {
        if (frames_.empty()) {
            tree_ = std::move(value);
            return &tree_;
        }
        Json& parent = *frames_.back().container;
        if (parent.is_array()) {
            auto& elements = parent.get_ref<Json::array_t&>();
            elements.push_back(std::move(value));
            return &elements.back();
        }
        // The ordered object's vector, appended to directly: `key` has
        // already made sure that the key is new. The frame keeps its copy for
        // the paths of messages about what lies inside the value.
        auto& members = parent.get_ref<Json::object_t&>();
        members.emplace_back(frames_.back().key, std::move(value));
        return &members.back().second;
    }
    bool put(Json value) {
        place(std::move(value));
        return true;
    }
    bool open(Json container) {
        if (frames_.size() == max_depth_) {
            problem_ = BadValue{path_of_next(),
                                "nested deeper than " + std::to_string(max_depth_) + " levels"};
            return false;
        }
        frames_.push_back({place(std::move(container)), {}, {}});
        return true;
    }
    bool close() {
        frames_.pop_back();
        return true;
    }

    // The path of the value about to be placed in the innermost container.
    std::string path_of_next() const {
        std::string path;
        for (size_t i = 0; i < frames_.size(); ++i) {
            const Json& container = *frames_[i].container;
            if (container.is_array()) {
                // An outer array already holds the open child as its last element.
                size_t size = container.size();
                path = index_path(path, i + 1 < frames_.size() ? size - 1 : size);
            } else {
                path = key_path(path, frames_[i].key);
            }
        }
        return path;
    }

    size_t max_depth_;
    Json tree_;
    std::vector<Frame> frames_;
    std::optional<BadValue> problem_;
    std::string syntax_error_;
};

// The library's message is "[json.exception.parse_error.101] parse error at
// line L, column C: syntax error while parsing WHAT - why": keep "line L,
// column C: syntax error: why".
std::string syntax_error_text(const std::string& message) {
    size_t at = message.find("line ");
    std::string text = at == std::string::npos ? message : message.substr(at);
    const std::string noise = "syntax error while parsing ";
    size_t noise_at = text.find(noise);
    size_t dash = text.find(" - ", noise_at);
    if (noise_at != std::string::npos && dash != std::string::npos) {
        text.replace(noise_at, dash + 3 - noise_at, "syntax error: ");
    }
    return text;
}

}  // namespace

Json parse_board_json(const std::string& text, const std::string& source,
                      const BoardLimits& limits) {
    if (text.size() > limits.max_bytes) {
        throw BoardError(source + ": too large: more than " + std::to_string(limits.max_bytes) +
                         " bytes");
    }
    BoundedTreeBuilder builder(limits.max_depth);
    if (Json::sax_parse(text, &builder)) return std::move(builder.tree());
    if (const auto& problem = builder.problem()) throw refusal(source, *problem);
    throw BoardError(source + ": " + syntax_error_text(builder.syntax_error()));
}
