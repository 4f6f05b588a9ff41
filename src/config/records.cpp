#include "config/records.h"

#include "common/fixed_text.h"

void initSystemSection(SystemRecord* system) { *system = SystemRecord{}; }

void initItemRecord(ItemRecord* item) {
    *item = ItemRecord{};
    item->category = kUnsetField;
    item->volFunc = kUnsetField;
    item->busType = kUnsetField;
    item->chipCode = kUnsetField;
    item->slave = kUnsetField;
    item->offset = kUnsetField;
    item->activate = kUnsetField;
    item->monitor = kUnsetField;
    item->source = kUnsetField;
}

void initParameterRecord(ParameterRecord* parameter) {
    *parameter = ParameterRecord{};
    parameter->slave = kUnsetField;
    parameter->offset = kUnsetField;
    parameter->bitMask = kUnsetField;
}

int get_item_name(const ItemRecord* item, char* dest, size_t capacity) {
    copy_text(dest, capacity, item->name);
    return 0;
}

int32_t get_item_cat(const ItemRecord* item) { return item->category; }
int32_t get_item_monitor(const ItemRecord* item) { return item->monitor; }
int32_t get_item_chipcode(const ItemRecord* item) { return item->chipCode; }
