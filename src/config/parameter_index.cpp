#include "config/parameter_index.h"

#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>

#include "config/nocase.h"

namespace {

struct Named {
    int32_t first;
    int32_t last;
};

struct Index {
    const ParameterRecord* parameters = nullptr;
    int32_t count = -1;
    std::unordered_map<std::string, Named> byName;
};
Index theIndex;

// A record's name is at most its field less the terminator; a longer name
// can name no record.
constexpr size_t kLongestName = sizeof ParameterRecord{}.name - 1;

bool key_of(std::string_view name, std::string& key) {
    if (name.size() > kLongestName) return false;
    key.assign(name);
    for (char& c : key) c = ascii_upper(c);
    return true;
}

std::string_view name_of(const ParameterRecord& parameter) {
    return std::string_view(parameter.name, strnlen(parameter.name, kLongestName));
}

// The first and last position of `name` by walking the records.
std::optional<Named> walk(std::string_view name, const ParameterRecord* parameters,
                          int32_t count) {
    std::optional<Named> named;
    for (int32_t i = 0; i < count; ++i) {
        if (!equals_nocase(name_of(parameters[i]), name)) continue;
        if (!named) named = Named{i, i};
        named->last = i;
    }
    return named;
}

std::optional<Named> find(std::string_view name, const ParameterRecord* parameters,
                          int32_t count) {
    if (parameters == nullptr) return std::nullopt;
    if (parameters != theIndex.parameters || count != theIndex.count)
        return walk(name, parameters, count);
    std::string key;
    if (!key_of(name, key)) return std::nullopt;
    auto found = theIndex.byName.find(key);
    if (found == theIndex.byName.end()) return std::nullopt;
    return found->second;
}

}  // namespace

void index_parameters(const ParameterRecord* parameters, int32_t parameterCount) {
    theIndex = Index{parameters, parameterCount, {}};
    std::string key;
    for (int32_t i = 0; parameters != nullptr && i < parameterCount; ++i) {
        key_of(name_of(parameters[i]), key);
        auto [entry, added] = theIndex.byName.try_emplace(key, Named{i, i});
        if (!added) entry->second.last = i;
    }
}

const ParameterRecord* first_parameter_named(std::string_view name,
                                             const ParameterRecord* parameters,
                                             int32_t parameterCount) {
    std::optional<Named> named = find(name, parameters, parameterCount);
    return named ? &parameters[named->first] : nullptr;
}

const ParameterRecord* last_parameter_named(std::string_view name,
                                            const ParameterRecord* parameters,
                                            int32_t parameterCount) {
    std::optional<Named> named = find(name, parameters, parameterCount);
    return named ? &parameters[named->last] : nullptr;
}

void clear_parameter_index() { theIndex = Index{}; }
