#include "export/plugin_check.h"

#include <array>
#include <cstdio>
#include <vector>

namespace {

constexpr std::array<const char*, 4> kStatusWords{"OK", "WARNING", "CRITICAL", "UNKNOWN"};

// A performance-data label: quoted, with a quote inside doubled. "|" and "="
// would end the label for a parser, so they are replaced.
std::string perf_label(const char* name) {
    std::string out = "'";
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c == '\'')
            out += "''";
        else if (*c == '|' || *c == '=')
            out += '_';
        else
            out += *c;
    }
    return out + "'";
}

// The item list of the text part must not contain the perfdata separator.
std::string plain_name(const char* name) {
    std::string out = name;
    for (char& c : out)
        if (c == '|') c = '/';
    return out;
}

std::string number(int64_t value, bool millivolts) {
    char text[32];
    if (millivolts)
        std::snprintf(text, sizeof text, "%.3f", static_cast<int32_t>(value) / 1000.0);
    else
        std::snprintf(text, sizeof text, "%d", static_cast<int32_t>(value));
    return text;
}

// Value and range of one item: a fan has a low limit ("1500:"), a
// temperature a high one ("~:80"), a voltage both ("0.920:1.280"), a switch
// is normal at 0 ("0"). Other categories have no range.
std::string perf_data(const ExportedItem& exported) {
    const ItemDisplay& d = *exported.display;
    const bool mv = d.category == CAT_VOLTAGE;
    std::string range;
    switch (d.category) {
        case CAT_FAN:
            range = number(d.lowLimit, false) + ":";
            break;
        case CAT_VOLTAGE:
            range = number(d.lowLimit, true) + ":" + number(d.highLimit, true);
            break;
        case CAT_TEMP:
            range = "~:" + number(d.highLimit, false);
            break;
        case CAT_SWITCH:
            range = "0";
            break;
        default:
            break;
    }
    std::string value = exported.read_ok ? number(d.reading, mv) : "U";
    return perf_label(exported.item->name) + "=" + value + ";" + range + ";" + range;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        if (!out.empty()) out += ", ";
        out += name;
    }
    return out;
}

}  // namespace

PluginResult check_items(const ItemReadings& readings) {
    std::vector<std::string> abnormal, unread;
    std::string perf;
    for (const ExportedItem& exported : readings.items()) {
        if (!exported.read_ok)
            unread.push_back(plain_name(exported.item->name));
        else if (!exported.normal)
            abnormal.push_back(plain_name(exported.item->name));
        if (!perf.empty()) perf += ' ';
        perf += perf_data(exported);
    }
    const size_t count = readings.items().size();

    int status = kPluginOk;
    std::string text;
    if (count == 0) {
        status = kPluginUnknown;
        text = "no monitored item";
    } else if (unread.size() == count) {
        status = kPluginUnknown;
        text = "no item could be read";
    } else {
        if (!abnormal.empty()) text = "not normal: " + joined(abnormal);
        if (!unread.empty()) {
            if (!text.empty()) text += "; ";
            text += "not read: " + joined(unread);
        }
        status = !abnormal.empty() ? kPluginCritical : !unread.empty() ? kPluginWarning : kPluginOk;
        if (status == kPluginOk)
            text = std::to_string(count) + (count == 1 ? " item normal" : " items normal");
    }
    std::string line = std::string("SENSORVISOR ") + kStatusWords[status] + " - " + text;
    if (!perf.empty()) line += " | " + perf;
    return {status, line + "\n"};
}

PluginResult unknown_result(const std::string& why) {
    return {kPluginUnknown, "SENSORVISOR UNKNOWN - " + why + "\n"};
}
