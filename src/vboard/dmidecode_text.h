// What the board's `dmidecode` prints with `"dmidecode": "auto"`: its SMBIOS
// structures in the text layout of dmidecode 3.4 reading them from sysfs.
//
// The structures are decoded from their bytes as they lie in the table, the
// way dmidecode decodes them. BIOS (type 0), System (type 1) and Base Board
// (type 2) Information show their fields, one "\tName: value" line each; a
// field is shown when its bytes lie within the structure's formatted area.
// End Of Table (127) and Inactive (126) show their name only; every other
// type shows its name and a "\tHeader and Data:" hex dump and its strings.
#pragma once

#include <string>

#include "vboard/board.h"

std::string dmidecode_text(const SmbiosSpec& smbios);
