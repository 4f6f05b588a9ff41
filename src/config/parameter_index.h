// Parameter records by name. Every reading and every limit names the
// parameter records it needs; looking each name up by walking the records
// made a report cost the square of the item count (5 000 items: 4 s). The
// index is built once for the loaded records and answers in constant time,
// with the same answers as the walk: names compare without regard to case,
// and the first or the last record of a name wins as the caller asks.
#pragma once

#include <cstdint>
#include <string_view>

#include "config/records.h"

// Indexes `parameters` (start-up does it when the context is set up). The
// records must not be renamed afterwards.
void index_parameters(const ParameterRecord* parameters, int32_t parameterCount);

// The first and the last record called `name`, or nullptr. An array that is
// not the indexed one (a test's own records) is walked.
const ParameterRecord* first_parameter_named(std::string_view name,
                                             const ParameterRecord* parameters,
                                             int32_t parameterCount);
const ParameterRecord* last_parameter_named(std::string_view name,
                                            const ParameterRecord* parameters,
                                            int32_t parameterCount);

// Forgets the index (reset_config_state).
void clear_parameter_index();
