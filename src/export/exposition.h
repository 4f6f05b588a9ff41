// The Prometheus text exposition (format 0.0.4) of the exporter's readings.
// Units are the base units Prometheus asks for: volts and degrees Celsius,
// and revolutions per minute for fans, as node_exporter's hwmon collector
// has them. Item names are label values exactly as configured.
#pragma once

#include <string>
#include <string_view>

#include "export/item_readings.h"

// The content type of the exposition, for HTTP.
inline constexpr const char* kExpositionContentType = "text/plain; version=0.0.4; charset=utf-8";

// `interval_seconds` is published too, so that an alert can tell readings
// that have stopped from a slow interval.
std::string render_exposition(const ItemReadings& readings, unsigned interval_seconds);

// A label value with backslash, double quote and line feed escaped.
std::string escape_label_value(std::string_view value);
