// --check: one line in the monitoring-plugins format, for Nagios, Icinga and
// their kin (run over SSH or NRPE):
//
//   SENSORVISOR CRITICAL - not normal: Chassis Intrusion | 'CPU1 Fan'=3375;1500:;1500: ...
//
// The status follows those plugins' conventions, from the monitor's own
// judgement of each item:
//   0 OK        every monitored item read and normal;
//   1 WARNING   every item that was read is normal, but some could not be read;
//   2 CRITICAL  at least one item is not normal;
//   3 UNKNOWN   no item could be read at all, none is monitored, or the
//               exporter could not start.
// Performance data holds every reading (U when it failed) with its limits as
// the warning and critical range, in volts, degrees Celsius and RPM.
#pragma once

#include <string>

#include "export/item_readings.h"

inline constexpr int kPluginOk = 0;
inline constexpr int kPluginWarning = 1;
inline constexpr int kPluginCritical = 2;
inline constexpr int kPluginUnknown = 3;

struct PluginResult {
    int status;
    std::string line;  // with its line feed
};

PluginResult check_items(const ItemReadings& readings);

// The line for a check that could not run at all.
PluginResult unknown_result(const std::string& why);
