// The configuration records: one SystemRecord for [System], one ItemRecord per
// [Item] and one ParameterRecord per [Parameter]. Text fields are fixed-size
// and NUL-terminated; the array sizes are the capacity plus the terminator.
#pragma once

#include <cstddef>
#include <cstdint>

// Item categories (ITEM_CAT).
enum ItemCategory : int32_t {
    CAT_FAN = 0,
    CAT_VOLTAGE = 1,
    CAT_TEMP = 2,
    CAT_SWITCH = 3,
    CAT_DRIVE = 4,
    CAT_MEMORY = 5,
    CAT_DIVISOR = 6,
};

// Voltage functions (VOL_FUNC): which rail a VOLTAGE item measures.
enum VoltageFunction : int32_t {
    VF_P12V = 0,
    VF_P5V = 1,
    VF_P33V = 2,
    VF_P25V = 3,
    VF_VCCP = 4,
    VF_N5V = 5,
    VF_N12V = 6,
    VF_VBAT = 7,
    VF_P5VSB = 8,
};

// Bus-type bits (BUSTYPE), for the system record and for each item.
enum BusTypeBits : uint32_t {
    BUS_SMBUS = 0x1,      // SMBus through the host controller
    BUS_ISA = 0x2,        // LPC port I/O through the index and data registers
    BUS_SMBUS_OTHER = 0x8,  // the SMBus layer's other paths (BMC OEM commands, GPU)
};

// Start value of an integer item or parameter field the file does not set.
inline constexpr int32_t kUnsetField = 255;

struct ItemRecord {
    char name[80];
    int32_t category;
    int32_t volFunc;
    char itemId[80];
    int32_t busType;
    int32_t chipCode;
    int32_t slave;
    int32_t offset;
    int32_t activate;
    int32_t monitor;
    int32_t source;
    char paraIndex1[80];
    char paraIndex2[80];
    char refItemId[80];
};

struct SystemRecord {
    uint32_t busType;
    uint32_t dataReg;
    uint32_t indexReg;
    char machineName[40];
    uint32_t mailAlert;
    char mailbox[100];
    char mailServer[40];
    char outline[40];
    uint32_t pagerAlert;
    char pagerId[40];
    char phoneNumber[40];
    uint32_t polling;
    uint32_t coreTempChipCode;
    char serverPort[84];
    uint32_t w83793gTempLevelType;
    uint32_t thermalGuideChipType;
};

struct ParameterRecord {
    char name[12];
    int32_t slave;
    int32_t offset;
    int32_t bitMask;
};

// Every integer field 0, every text empty.
void initSystemSection(SystemRecord* system);
// Start values of a new [Item]: integers 255, texts empty.
void initItemRecord(ItemRecord* item);
// Start values of a new [Parameter]: integers 255, name empty.
void initParameterRecord(ParameterRecord* parameter);

int get_item_name(const ItemRecord* item, char* dest, size_t capacity);
int32_t get_item_cat(const ItemRecord* item);
int32_t get_item_monitor(const ItemRecord* item);
int32_t get_item_chipcode(const ItemRecord* item);
