// The Fan, Voltage and Thermal pages: per monitored item its name, an alarm
// icon, a chart of its last 100 readings, its limits and its reading. Charts
// are packed from index 0 over the monitored items; each item keeps its own
// history slot (its rank among all items of its kind), so switching other
// items on or off never mixes histories.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

#include "items/item_display.h"

enum ChartKind { kChartFan, kChartVoltage, kChartThermal };

inline constexpr int kHistoryLength = 100;
inline constexpr int kFanCharts = 16;
inline constexpr int kVoltageCharts = 60;
inline constexpr int kThermalCharts = 16;

// The histories: entry 0 the oldest, entry 99 the newest; raw readings (RPM,
// millivolts, degrees Celsius) in single precision.
extern float vectorFan[kFanCharts][kHistoryLength];
extern float vectorVoltage[kVoltageCharts][kHistoryLength];
extern float vectorThermal[kThermalCharts][kHistoryLength];

// The page's table (tableFan, tableVoltage, tableThermal), registered on `app1`.
GtkWidget* create_chart_table(GtkWidget* app1, ChartKind kind);

// Moves the history one place toward the oldest and stores `value` newest.
void vector_append(float* history, float value);

void build_Fan(GtkWidget* mainWindow, ItemDisplay* displays, int32_t count);
void build_Voltage(GtkWidget* mainWindow, ItemDisplay* displays, int32_t count);
void build_Thermal(GtkWidget* mainWindow, ItemDisplay* displays, int32_t count);

// Every history back to zeros (start-up).
void clear_chart_histories();
