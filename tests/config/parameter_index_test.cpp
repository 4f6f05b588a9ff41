// The index answers as a walk over the records does: names without regard to
// case, the first or the last record of a name, an empty name like any other.
#include "config/parameter_index.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/fixed_text.h"

namespace {

TEST(ParameterIndex, AnswersAsTheWalkDoes) {
    std::vector<ParameterRecord> records(5);
    const char* names[] = {"Divisor1", "FAN1H", "divisor1", "", "fan1h"};
    for (size_t i = 0; i < records.size(); ++i) copy_text(records[i].name, names[i]);
    std::vector<ParameterRecord> unindexed = records;  // walked
    struct Case {
        const char* name;
        int first, last;  // -1: none
    };
    const Case cases[] = {{"DIVISOR1", 0, 2}, {"Fan1H", 1, 4}, {"", 3, 3},
                          {"VOL1H", -1, -1}, {"FAN1H-TOO-LONG", -1, -1}};
    index_parameters(records.data(), 5);
    for (const std::vector<ParameterRecord>* array : {&records, &unindexed}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const ParameterRecord* first = first_parameter_named(c.name, array->data(), 5);
            const ParameterRecord* last = last_parameter_named(c.name, array->data(), 5);
            EXPECT_EQ(first ? first - array->data() : -1, c.first);
            EXPECT_EQ(last ? last - array->data() : -1, c.last);
        }
    }
    // Only the first three records: the count is part of what was indexed.
    EXPECT_EQ(last_parameter_named("fan1h", records.data(), 3), &records[1]);
    clear_parameter_index();
}

}  // namespace
