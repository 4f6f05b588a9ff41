// Board-file text to a JSON tree, within the board limits. Internal to
// src/vboard.
#pragma once

#include <string>

#include "vboard/board_values.h"

// The tree of `text`; `source` names the file in messages. Throws BoardError:
//   "FILE: too large: more than N bytes"         text beyond limits.max_bytes
//   "FILE: PATH: nested deeper than N levels"     arrays and objects too deep
//   "FILE: PATH: key given twice"                 a repeated key in one object
//   "FILE: line L, column C: syntax error: why"   text that is not JSON
// Linear in the text (n log n in the keys of one object).
Json parse_board_json(const std::string& text, const std::string& source,
                      const BoardLimits& limits);
