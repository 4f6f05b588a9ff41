// What the exporter publishes: the monitored items, each with the outcome of
// its last reading, and how long the last full reading took. Only the thread
// that built this object may call read_all(): the engine is single-threaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/startup.h"
#include "config/records.h"
#include "items/item_display.h"

struct ExportedItem {
    ItemRecord* item;       // its name as configured (display names are cut)
    ItemDisplay* display;   // reading, limits and thermal word
    bool read_ok = false;   // the last reading succeeded
    bool normal = false;    // read_ok, and judged normal by the monitor's rule
    uint64_t failures = 0;  // failed readings since the exporter started
};

class ItemReadings {
public:
    // The monitored items of the display records, in file order. Prometheus
    // needs one series per name, so of items that share a name only the first
    // is kept; `warnings` gets one line for each one left out.
    ItemReadings(const MonitorStart& start, ItemDisplay* displays,
                 std::vector<std::string>* warnings);

    // One full reading of every item: the reading (with the engine's retries)
    // and the thermal word; limits stay as start-up read them, as in the
    // monitor's own refresh.
    void read_all();

    const std::vector<ExportedItem>& items() const { return items_; }
    const BoardIdentity& board() const { return board_; }
    double last_duration_seconds() const { return duration_; }
    double last_finished_unix_seconds() const { return finished_; }

private:
    RunContext* context_;
    BoardIdentity board_;
    std::vector<ExportedItem> items_;
    double duration_ = 0;
    double finished_ = 0;
};
