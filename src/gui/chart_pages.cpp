#include "gui/chart_pages.h"

#include <cstdio>
#include <cstring>

#include "config/records.h"
#include "gui/registry.h"
#include "gui/value_text.h"
#include "gui/widget_text.h"
#include "items/acquisition.h"

float vectorFan[kFanCharts][kHistoryLength];
float vectorVoltage[kVoltageCharts][kHistoryLength];
float vectorThermal[kThermalCharts][kHistoryLength];

namespace {

struct Kind {
    const char* word;  // in the widget names
    int32_t category;
    int charts;
    float (*histories)[kHistoryLength];
    void (*limit_text)(char (&text)[64], const ItemDisplay& disp);
    void (*reading_text)(char (&text)[64], const ItemDisplay& disp);
    const char* overflow;
};

void fan_limit(char (&text)[64], const ItemDisplay& d) {
    std::snprintf(text, sizeof text, "Low Limit: %d RPM", low32(d.lowLimit));
}
void fan_reading(char (&text)[64], const ItemDisplay& d) {
    std::snprintf(text, sizeof text, "%d RPM", low32(d.reading));
}
void voltage_limit(char (&text)[64], const ItemDisplay& d) {
    std::snprintf(text, sizeof text, "High Limit: %.2f V    Low Limit: %.2f V", volts(d.highLimit),
                  volts(d.lowLimit));
}
void voltage_reading(char (&text)[64], const ItemDisplay& d) {
    std::snprintf(text, sizeof text, "%.2f V", volts(d.reading));
}
void thermal_limit(char (&text)[64], const ItemDisplay& d) {
    std::snprintf(text, sizeof text, "High Limit: %d'C / %d'F", low32(d.highLimit),
                  fahrenheit(d.highLimit));
}
void thermal_reading(char (&text)[64], const ItemDisplay& d) {
    if (low32(d.reading) == 0)
        std::snprintf(text, sizeof text, "N/A");
    else if (d.hasThermalText != 0)
        std::snprintf(text, sizeof text, "%s", d.thermalText);
    else
        std::snprintf(text, sizeof text, "%d'C / %d'F", low32(d.reading), fahrenheit(d.reading));
}

const Kind kKinds[] = {
    {"Fan", CAT_FAN, kFanCharts, vectorFan, fan_limit, fan_reading,
     " build_Fan(): idxMonitingFan out of range. \n"},
    {"Voltage", CAT_VOLTAGE, kVoltageCharts, vectorVoltage, voltage_limit, voltage_reading,
     " build_Voltage(): idxMonitingVoltage out of range. \n"},
    {"Thermal", CAT_TEMP, kThermalCharts, vectorThermal, thermal_limit, thermal_reading,
     " build_Thermal(): idxMonitingThermal out of range. \n"},
};

// The six widgets of chart i.
enum ChartPart { kName, kReading, kCurve, kAlarm, kLimit, kSeparator, kPartCount };
constexpr const char* kChartParts[] = {"label%s%d", "label%sReading%d", "curve%s%d",
                                       "image%s%d", "label%sLimit%d",   "hseparator%s%d"};

GtkWidget* part(GtkWidget* window, const char* format, const Kind& kind, int index) {
    return lookup_widget(window, widget_name(format, kind.word, index));
}

GtkWidget* text_label(int width, int height) {
    GtkWidget* label = gtk_label_new("");
    gtk_widget_set_size_request(label, width, height);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_LEFT);
    gtk_misc_set_alignment(GTK_MISC(label), 0.0f, 0.5f);
    return label;
}

void attach(GtkWidget* app1, GtkWidget* table, GtkWidget* widget, const char* format,
            const Kind& kind, int i, guint columns[2], guint row, guint xpad, guint ypad) {
    register_widget(app1, widget, widget_name(format, kind.word, i));
    gtk_table_attach(GTK_TABLE(table), widget, columns[0], columns[1], row, row + 1, GTK_FILL,
                     GTK_FILL, xpad, ypad);
}

// Each part of every chart ends up shown or hidden; a part already in that
// state is not touched, since hiding and showing again some 500 widgets a
// cycle would make GTK lay the page out twice for nothing.
void build_page(GtkWidget* window, ItemDisplay* displays, int32_t count, const Kind& kind) {
    bool shown[kVoltageCharts][kPartCount] = {};
    auto apply = [&] {
        for (int i = 0; i < kind.charts; ++i)
            for (int p = 0; p < kPartCount; ++p)
                gtk_widget_set_visible(part(window, kChartParts[p], kind, i), shown[i][p]);
    };

    int chart = 0;
    int history = 0;
    for (int32_t i = 0; i < count; ++i) {
        const ItemDisplay& disp = displays[i];
        if (disp.category != kind.category) continue;
        if (disp.monitor == 1) {
            if (chart >= kind.charts) {
                std::printf("%s", kind.overflow);
                apply();
                return;
            }
            if (chart > 0) shown[chart - 1][kSeparator] = true;
            char text[64];
            kind.limit_text(text, disp);
            set_label_text(part(window, "label%sLimit%d", kind, chart), text);
            set_label_text(part(window, "label%s%d", kind, chart), disp.name);
            kind.reading_text(text, disp);
            set_label_text(part(window, "label%sReading%d", kind, chart), text);
            shown[chart][kLimit] = shown[chart][kName] = shown[chart][kReading] = true;

            // An item past the last history slot (more items of the kind than
            // slots) keeps no history: its chart stays flat at zero.
            float none[kHistoryLength] = {};
            float* samples = history < kind.charts ? kind.histories[history] : none;
            if (samples != none) vector_append(samples, static_cast<float>(low32(disp.reading)));
            gtk_curve_set_vector(GTK_CURVE(part(window, "curve%s%d", kind, chart)), kHistoryLength,
                                 samples);
            shown[chart][kCurve] = true;
            shown[chart][kAlarm] = !isNormalReading(&disp);
            ++chart;
        }
        ++history;
    }
    apply();
}

}  // namespace

GtkWidget* create_chart_table(GtkWidget* app1, ChartKind which) {
    const Kind& kind = kKinds[which];
    GtkWidget* table = gtk_table_new(4 * kind.charts, 2, FALSE);
    register_widget(app1, table, widget_name("table%s", kind.word));
    guint left[2] = {0, 1}, right[2] = {1, 2}, both[2] = {0, 2};
    for (int i = 0; i < kind.charts; ++i) {
        guint row = 4 * i;
        GtkWidget* name = text_label(500, 32);
        attach(app1, table, name, "label%s%d", kind, i, left, row, 8, 0);

        GtkWidget* alarm = gtk_image_new_from_stock("gtk-dialog-error", GTK_ICON_SIZE_DND);
        gtk_widget_set_size_request(alarm, 100, 32);
        attach(app1, table, alarm, "image%s%d", kind, i, right, row, 0, 0);

        GtkWidget* curve = gtk_curve_new();
        // The range sets a size request of its own; the chart's comes after.
        gtk_curve_set_range(GTK_CURVE(curve), 0, 600, 0, 100);
        gtk_widget_set_size_request(curve, 600, 100);
        gtk_widget_set_sensitive(curve, FALSE);
        attach(app1, table, curve, "curve%s%d", kind, i, both, row + 1, 8, 2);

        attach(app1, table, text_label(500, 16), "label%sLimit%d", kind, i, left, row + 2, 8, 0);
        attach(app1, table, text_label(100, 16), "label%sReading%d", kind, i, right, row + 2, 0, 0);
        attach(app1, table, gtk_hseparator_new(), "hseparator%s%d", kind, i, both, row + 3, 0, 8);
    }
    return table;
}

void vector_append(float* history, float value) {
    std::memmove(history, history + 1, (kHistoryLength - 1) * sizeof *history);
    history[kHistoryLength - 1] = value;
}

void build_Fan(GtkWidget* w, ItemDisplay* d, int32_t n) {
    build_page(w, d, n, kKinds[kChartFan]);
}
void build_Voltage(GtkWidget* w, ItemDisplay* d, int32_t n) {
    build_page(w, d, n, kKinds[kChartVoltage]);
}
void build_Thermal(GtkWidget* w, ItemDisplay* d, int32_t n) {
    build_page(w, d, n, kKinds[kChartThermal]);
}

void clear_chart_histories() {
    std::memset(vectorFan, 0, sizeof vectorFan);
    std::memset(vectorVoltage, 0, sizeof vectorVoltage);
    std::memset(vectorThermal, 0, sizeof vectorThermal);
}
