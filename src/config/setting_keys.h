// The keys of each section and how their values become record fields. The
// tables (in the source file) list a section's keys with the syntax of the
// value and the field it sets.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/records.h"

// Sets the field named by `key` (compared without regard to case, untrimmed)
// from `value`; returns false for an unknown key, which is then ignored.
bool apply_system_setting(SystemRecord& system, std::string_view key, const char* value);
bool apply_item_setting(ItemRecord& item, std::string_view key, const char* value);
bool apply_parameter_setting(ParameterRecord& parameter, std::string_view key, const char* value);
