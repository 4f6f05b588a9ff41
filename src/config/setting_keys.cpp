#include "config/setting_keys.h"

#include <cstdlib>

#include "common/fixed_text.h"
#include "config/keywords.h"
#include "config/nocase.h"

namespace {

template <typename Record>
struct SettingKey {
    const char* key;
    void (*apply)(Record& record, const char* value);
};

// Value syntaxes. Numbers convert as strtoul does (leading blanks, a sign, a
// 0x prefix in base 16, digits up to the first other character, 0 when there
// are none) and are then taken as the field's type.
uint32_t hex_u32(const char* value) {
    return static_cast<uint32_t>(std::strtoul(value, nullptr, 16));
}
int32_t hex_i32(const char* value) {
    return static_cast<int32_t>(std::strtoul(value, nullptr, 16));
}
uint32_t dec_u32(const char* value) {
    return static_cast<uint32_t>(std::strtoul(value, nullptr, 10));
}
// Every keyword field accepts every name of the keyword table.
int32_t keyword(const char* value) {
    return str2code(value);
}

// Text values longer than the field are cut to its capacity.
constexpr SettingKey<SystemRecord> kSystemKeys[] = {
    {"BUSTYPE", [](SystemRecord& r, const char* v) { r.busType = hex_u32(v); }},
    {"DATAREG", [](SystemRecord& r, const char* v) { r.dataReg = hex_u32(v); }},
    {"INDEXREG", [](SystemRecord& r, const char* v) { r.indexReg = hex_u32(v); }},
    {"CORETEMPCHIPCODE", [](SystemRecord& r, const char* v) { r.coreTempChipCode = hex_u32(v); }},
    {"W83793GTEMPLEVELTYPE",
     [](SystemRecord& r, const char* v) { r.w83793gTempLevelType = hex_u32(v); }},
    {"ThermalGuideChipType",
     [](SystemRecord& r, const char* v) { r.thermalGuideChipType = hex_u32(v); }},
    {"POLLING", [](SystemRecord& r, const char* v) { r.polling = dec_u32(v); }},
    {"MAILALERT",
     [](SystemRecord& r, const char* v) { r.mailAlert = static_cast<uint32_t>(keyword(v)); }},
    {"PAGERALERT",
     [](SystemRecord& r, const char* v) { r.pagerAlert = static_cast<uint32_t>(keyword(v)); }},
    {"MACHINENAME", [](SystemRecord& r, const char* v) { copy_text(r.machineName, v); }},
    {"MAILBOX", [](SystemRecord& r, const char* v) { copy_text(r.mailbox, v); }},
    {"MAILSERVER", [](SystemRecord& r, const char* v) { copy_text(r.mailServer, v); }},
    {"OUTLINE", [](SystemRecord& r, const char* v) { copy_text(r.outline, v); }},
    {"PAGERID", [](SystemRecord& r, const char* v) { copy_text(r.pagerId, v); }},
    {"PHONENUMBER", [](SystemRecord& r, const char* v) { copy_text(r.phoneNumber, v); }},
    {"SERVERPORT", [](SystemRecord& r, const char* v) { copy_text(r.serverPort, v); }},
};

constexpr SettingKey<ItemRecord> kItemKeys[] = {
    {"ITEM_NAME", [](ItemRecord& r, const char* v) { copy_text(r.name, v); }},
    {"ITEM_ID", [](ItemRecord& r, const char* v) { copy_text(r.itemId, v); }},
    {"ITEM_CAT", [](ItemRecord& r, const char* v) { r.category = keyword(v); }},
    {"CHIPCODE", [](ItemRecord& r, const char* v) { r.chipCode = hex_i32(v); }},
    {"ACTIVATE", [](ItemRecord& r, const char* v) { r.activate = hex_i32(v); }},
    {"SLAVE", [](ItemRecord& r, const char* v) { r.slave = hex_i32(v); }},
    {"OFFSET", [](ItemRecord& r, const char* v) { r.offset = hex_i32(v); }},
    {"BUSTYPE", [](ItemRecord& r, const char* v) { r.busType = hex_i32(v); }},
    {"SOURCE", [](ItemRecord& r, const char* v) { r.source = hex_i32(v); }},
    {"PARAINDEX1", [](ItemRecord& r, const char* v) { copy_text(r.paraIndex1, v); }},
    {"PARAINDEX2", [](ItemRecord& r, const char* v) { copy_text(r.paraIndex2, v); }},
    {"REF_ITEM_ID", [](ItemRecord& r, const char* v) { copy_text(r.refItemId, v); }},
    {"VOL_FUNC", [](ItemRecord& r, const char* v) { r.volFunc = keyword(v); }},
    {"MONITOR", [](ItemRecord& r, const char* v) { r.monitor = keyword(v); }},
};

constexpr SettingKey<ParameterRecord> kParameterKeys[] = {
    {"PARAMETER", [](ParameterRecord& r, const char* v) { copy_text(r.name, v); }},
    {"SLAVE", [](ParameterRecord& r, const char* v) { r.slave = hex_i32(v); }},
    {"OFFSET", [](ParameterRecord& r, const char* v) { r.offset = hex_i32(v); }},
    {"BITMASK", [](ParameterRecord& r, const char* v) { r.bitMask = hex_i32(v); }},
};

template <typename Record, size_t N>
bool apply(const SettingKey<Record> (&keys)[N], Record& record, std::string_view key,
           const char* value) {
    for (const SettingKey<Record>& known : keys) {
        if (equals_nocase(known.key, key)) {
            known.apply(record, value);
            return true;
        }
    }
    return false;
}

}  // namespace

bool apply_system_setting(SystemRecord& system, std::string_view key, const char* value) {
    return apply(kSystemKeys, system, key, value);
}

bool apply_item_setting(ItemRecord& item, std::string_view key, const char* value) {
    return apply(kItemKeys, item, key, value);
}

bool apply_parameter_setting(ParameterRecord& parameter, std::string_view key, const char* value) {
    return apply(kParameterKeys, parameter, key, value);
}
