// Which master file holds a board's section. Boards of older revisions carry
// other monitor chips than current ones under the same product name, so the
// choice goes by product name, the board record's version string and, for a
// few boards, chipset GPIO straps and bytes the BIOS leaves in its area.
#pragma once

inline constexpr const char* kAllSenvisPath = "/etc/AllSenvis.ini";
inline constexpr const char* kOldRevMBPath = "/etc/OldRevMB.ini";
inline constexpr const char* kOldRevMB2Path = "/etc/OldRevMB_2.ini";
inline constexpr const char* kOldRevMB3Path = "/etc/OldRevMB_3.ini";

// BIOS-area bytes that encode the board revision on some models.
inline constexpr unsigned kBiosRevisionByteA = 0xFFA40;
inline constexpr unsigned kBiosRevisionByteB = 0xFFA41;

// The master file for the board `product` of version `version` (both compared
// without regard to case). Probes the hardware only for the products whose
// rule asks for it, and then reads each probe or byte afresh.
const char* choose_master_file(const char* product, const char* version);
