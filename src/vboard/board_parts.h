// Readers of the board file's parts, each given the part's JSON value and its
// path. They throw BadValue. Internal to src/vboard.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "vboard/board.h"
#include "vboard/board_values.h"

SmbiosSpec read_smbios(const Json& value, const std::string& path);

std::vector<PciFunction> read_pci(const Json& value, const std::string& path);
std::map<uint16_t, PortDevice> read_ports(const Json& value, const std::string& path);
std::vector<SmbusAdapter> read_smbus(const Json& value, const std::string& path);
BmcSpec read_bmc(const Json& value, const std::string& path);
FaultSettings read_faults(const Json& value, const std::string& path);

// An absolute sandbox path without empty, "." or ".." parts, not ending in "/".
bool is_sandbox_path(const std::string& file);
// Why Linux would refuse a sandbox path as too long (more than 4095 bytes, or
// a part of more than 255); empty when it would not.
std::string path_too_long(const std::string& file);
