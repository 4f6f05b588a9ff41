// The run-time context: the loaded records and their counts, shared by the
// whole program through the global myspSenvis. Most operations take the five
// values as separate arguments, in this order.
#pragma once

#include <cstdint>

#include "config/records.h"

struct RunContext {
    SystemRecord* system;
    ItemRecord* items;
    int32_t itemCount;
    ParameterRecord* parameters;
    int32_t parameterCount;  // always twice itemCount
};

// Set by start-up after a successful load; read by the configuration writer
// and the window's handlers.
extern RunContext* myspSenvis;

// Fills the process's one context (parameter count = 2 x item count), points
// myspSenvis at it and returns it. The context is never freed.
RunContext* setup_run_context(SystemRecord* system, ItemRecord* items, int32_t itemCount,
                              ParameterRecord* parameters);

// Forgets the context (reset_config_state).
void clear_run_context();
