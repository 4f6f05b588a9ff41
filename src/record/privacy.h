// What a recording holds back of the machine's identity unless the user keeps
// it (--keep-serials): the serial numbers, asset tags and the system UUID of
// the SMBIOS structures, in physical memory and in dmidecode's text, and the
// bytes of the BMC's system GUID that do not tell the BMC's kind.
//
// Placeholders keep every length and every byte the monitor decides by, so
// the replay takes the paths the run took: a string becomes as many 'X', the
// UUID and the unused GUID bytes become zeros, and the strings the monitor
// reads (the base board's manufacturer, product and version) are never
// touched, even where a serial number shares their text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Physical memory as recorded (by address) and dmidecode's text, if the run
// used it: the structure tables that the entry points in the recorded BIOS
// area announce, and dmidecode's "Serial Number", "Asset Tag" and "UUID"
// lines and dumped strings, have their private fields replaced; every other
// copy of a replaced string, in memory or in the text, goes too.
void hide_smbios_identity(std::map<uint64_t, uint8_t>& memory,
                          std::optional<std::string>& dmidecode);

// A Get System GUID answer's 16 bytes with those past the pattern that names
// the BMC's kind zeroed (all of them when no pattern matches).
std::vector<uint8_t> scrub_bmc_guid(std::vector<uint8_t> guid);
