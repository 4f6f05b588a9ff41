#include "config/keywords.h"

#include <cstdio>

#include "config/nocase.h"

namespace {

constexpr bool names_unique_without_case() {
    for (size_t i = 0; i < kNamedKeywordCount; ++i) {
        for (size_t j = i + 1; j < kNamedKeywordCount; ++j) {
            if (equals_nocase(MAPVar[i].name, MAPVar[j].name)) return false;
        }
    }
    return true;
}

// First match wins, so a duplicate would silently hide a later entry.
static_assert(names_unique_without_case(), "keyword names must differ without regard to case");
static_assert(MAPVar.back().name[0] == '\0' && MAPVar.back().code == -1, "end marker");

}  // namespace

int32_t str2code(const char* value) {
    for (const KeywordEntry& entry : MAPVar) {
        if (entry.name[0] == '\0') break;
        if (equals_nocase(entry.name, value)) return entry.code;
    }
    std::fprintf(stderr, "%s: Failure! %s\n", "str2code", value);
    return -1;
}
