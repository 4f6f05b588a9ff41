#include "export/exposition.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <vector>

namespace {

// Every family, in the order of the exposition. Readings are absent while an
// item cannot be read; limits are what start-up read (0 where that failed, as
// the monitor judges them).
enum FamilyId {
    kFanRpm,
    kFanMinRpm,
    kVoltageVolts,
    kVoltageMaxVolts,
    kVoltageMinVolts,
    kTemperatureCelsius,
    kTemperatureMaxCelsius,
    kThermalStatus,
    kSwitchState,
    kItemNormal,
    kItemReadFailures,
    kBoardInfo,
    kReadingDuration,
    kReadingTimestamp,
    kReadingInterval,
    kFamilyCount
};

struct Family {
    const char* name;
    const char* type;
    const char* help;
};

constexpr std::array<Family, kFamilyCount> kFamilies{{
    {"sensorvisor_fan_rpm", "gauge", "Fan speed in revolutions per minute."},
    {"sensorvisor_fan_min_rpm", "gauge", "Low limit of the fan speed."},
    {"sensorvisor_voltage_volts", "gauge", "Voltage."},
    {"sensorvisor_voltage_max_volts", "gauge", "High limit of the voltage."},
    {"sensorvisor_voltage_min_volts", "gauge", "Low limit of the voltage."},
    {"sensorvisor_temperature_celsius", "gauge", "Temperature in degrees Celsius."},
    {"sensorvisor_temperature_max_celsius", "gauge", "High limit of the temperature."},
    {"sensorvisor_thermal_status", "gauge",
     "Thermal status word the monitor chip gives for a processor temperature: 1 for the current "
     "one."},
    {"sensorvisor_switch_state", "gauge",
     "Switch state: 0 normal, 1 asserted, 2 not asserted while its reference item reads 0."},
    {"sensorvisor_item_normal", "gauge",
     "1 when the item was read and is within its limits, as the monitor judges it, else 0."},
    {"sensorvisor_item_read_failures_total", "counter",
     "Readings of the item that failed since the exporter started."},
    {"sensorvisor_board_info", "gauge", "The board's maker, product and version from SMBIOS."},
    {"sensorvisor_last_reading_duration_seconds", "gauge",
     "How long the last full reading of every item took."},
    {"sensorvisor_last_reading_timestamp_seconds", "gauge",
     "When the last full reading ended, in seconds since the epoch."},
    {"sensorvisor_reading_interval_seconds", "gauge", "Seconds between two full readings."},
}};

constexpr std::array<const char*, 4> kThermalWords{"Low", "Medium", "High", "Overheat"};

const char* category_label(int32_t category) {
    switch (category) {
        case CAT_FAN:
            return "fan";
        case CAT_VOLTAGE:
            return "voltage";
        case CAT_TEMP:
            return "temperature";
        case CAT_SWITCH:
            return "switch";
        default:
            return "other";
    }
}

// Values are 32-bit numbers in the low half of the 64-bit fields, as the
// monitor's rule and report read them.
std::string integer(int64_t value) {
    return std::to_string(static_cast<int32_t>(value));
}

// Millivolts as volts, exactly: three decimals of a whole number of mV.
std::string volts(int64_t millivolts) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<int32_t>(millivolts) / 1000.0);
    return text;
}

std::string seconds(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

class Exposition {
public:
    void add(FamilyId family, const std::string& labels, const std::string& value) {
        std::string& lines = lines_[family];
        lines += kFamilies[family].name;
        if (!labels.empty()) lines += "{" + labels + "}";
        lines += " " + value + "\n";
    }

    std::string text() const {
        std::string out;
        for (size_t i = 0; i < kFamilies.size(); ++i) {
            if (lines_[i].empty()) continue;
            out += std::string("# HELP ") + kFamilies[i].name + " " + kFamilies[i].help + "\n";
            out += std::string("# TYPE ") + kFamilies[i].name + " " + kFamilies[i].type + "\n";
            out += lines_[i];
        }
        return out;
    }

private:
    std::array<std::string, kFamilyCount> lines_;
};

std::string label(const char* name, std::string_view value) {
    return std::string(name) + "=\"" + escape_label_value(value) + "\"";
}

void add_item(Exposition* out, const ExportedItem& exported) {
    const ItemDisplay& d = *exported.display;
    const std::string item = label("item", exported.item->name);
    switch (d.category) {
        case CAT_FAN:
            if (exported.read_ok) out->add(kFanRpm, item, integer(d.reading));
            out->add(kFanMinRpm, item, integer(d.lowLimit));
            break;
        case CAT_VOLTAGE:
            if (exported.read_ok) out->add(kVoltageVolts, item, volts(d.reading));
            out->add(kVoltageMaxVolts, item, volts(d.highLimit));
            out->add(kVoltageMinVolts, item, volts(d.lowLimit));
            break;
        case CAT_TEMP:
            if (exported.read_ok) out->add(kTemperatureCelsius, item, integer(d.reading));
            out->add(kTemperatureMaxCelsius, item, integer(d.highLimit));
            if (d.hasThermalText != 0)
                for (const char* word : kThermalWords)
                    out->add(kThermalStatus, item + "," + label("status", word),
                             std::string_view(d.thermalText) == word ? "1" : "0");
            break;
        case CAT_SWITCH:
            if (exported.read_ok) out->add(kSwitchState, item, integer(d.reading));
            break;
        default:
            break;
    }
    const std::string both = item + "," + label("category", category_label(d.category));
    out->add(kItemNormal, both, exported.normal ? "1" : "0");
    out->add(kItemReadFailures, both, std::to_string(exported.failures));
}

}  // namespace

std::string escape_label_value(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string render_exposition(const ItemReadings& readings, unsigned interval_seconds) {
    Exposition out;
    for (const ExportedItem& exported : readings.items()) add_item(&out, exported);
    const BoardIdentity& board = readings.board();
    out.add(kBoardInfo,
            label("manufacturer", board.manufacturer) + "," + label("product", board.product) +
                "," + label("version", board.version),
            "1");
    out.add(kReadingDuration, "", seconds(readings.last_duration_seconds()));
    out.add(kReadingTimestamp, "", seconds(readings.last_finished_unix_seconds()));
    out.add(kReadingInterval, "", std::to_string(interval_seconds));
    return out.text();
}
