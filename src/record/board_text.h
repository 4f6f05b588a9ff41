// A board file's text as people write them: one key a line, indented by two
// blanks; what fits on its line whole ({"0x20": "0xBB", ...}) stays on one
// line; a long list of plain values (a value sequence) fills its lines.
#pragma once

#include <string>

#include "vboard/board_values.h"

std::string board_text(const Json& board);
