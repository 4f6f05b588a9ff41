// The Summary, chart and Items pages drawn from display records made in the
// test: which widgets show, their texts, the alarm icons, the histories.
#include <gtest/gtest.h>

#include <cstring>

#include "common/fixed_text.h"
#include "gui/chart_pages.h"
#include "gui/items_page.h"
#include "gui/main_window.h"
#include "gui/registry.h"
#include "gui/summary_page.h"
#include "gui/window_fixture.h"

namespace {

ItemDisplay item(const char* name, int32_t category, int64_t reading, int64_t high = 0,
                 int64_t low = 0, int32_t monitor = 1, const char* thermal = nullptr) {
    ItemDisplay d{};
    copy_text(d.name, name);
    d.category = category;
    d.reading = reading;
    d.highLimit = high;
    d.lowLimit = low;
    d.monitor = monitor;
    if (thermal != nullptr) {
        d.hasThermalText = 1;
        copy_text(d.thermalText, thermal);
    }
    return d;
}

class Pages : public WindowTest {
protected:
    void draw(std::vector<ItemDisplay>& items) {
        build_Summary(myapp1, items.data(), int32_t(items.size()));
        build_Fan(myapp1, items.data(), int32_t(items.size()));
        build_Voltage(myapp1, items.data(), int32_t(items.size()));
        build_Thermal(myapp1, items.data(), int32_t(items.size()));
    }
    // What shows of the page's frame: each group's header and alarm icon,
    // then the three separators ("H" header, "!" icon, "-" separator).
    std::string summary_frame() {
        std::string shown;
        for (const char* g : {"Fan", "Voltage", "Thermal", "Status"}) {
            shown += visible(widget_name("labelSummary%s", g)) ? "H" : ".";
            shown += visible(widget_name("imageSummary%s", g)) ? "!" : ".";
        }
        for (const char* g : {"Fan", "Voltage", "Thermal"})
            shown += visible(widget_name("hseparatorSummary%s", g)) ? "-" : ".";
        return shown;
    }
};

TEST_F(Pages, SummaryGroupsHeadersSeparatorsAndIcons) {
    struct Case {
        const char* what;
        std::vector<ItemDisplay> items;
        const char* frame;  // as summary_frame()
    };
    std::vector<Case> cases = {
        {"nothing monitored", {item("F", CAT_FAN, 3000, 0, 1500, 0)}, "..........."},
        {"statuses only", {item("S", CAT_SWITCH, 0)}, "......H...."},
        // A switch that cannot tell (2) shows "Good" but counts as abnormal.
        {"fans and statuses",
         {item("F", CAT_FAN, 3000, 0, 1500), item("S", CAT_SWITCH, 2)},
         "H.....H!-.."},
        {"all four, a low voltage",
         {item("F", CAT_FAN, 3000, 0, 1500), item("V", CAT_VOLTAGE, 900, 1300, 1000),
          item("T", CAT_TEMP, 40, 80), item("S", CAT_SWITCH, 0)},
         "H.H!H.H.---"},
        {"voltages and temperatures, a hot one",
         {item("V", CAT_VOLTAGE, 1100, 1300, 1000), item("T", CAT_TEMP, 85, 80)},
         "..H.H!...-."},
        {"a bad switch, a stopped fan",
         {item("F", CAT_FAN, 0, 0, 1500), item("S", CAT_SWITCH, 1)},
         "H!....H!-.."},
    };
    for (Case& c : cases) {
        draw(c.items);
        EXPECT_EQ(summary_frame(), c.frame) << c.what;
    }
    EXPECT_FALSE(visible("buttonSummaryFan1"));
    EXPECT_FALSE(visible("labelSummaryFan1"));
}

TEST_F(Pages, SummarySlotTexts) {
    std::vector<ItemDisplay> items = {
        item("Fan A", CAT_FAN, 3000, 0, 1500),
        item("Off", CAT_FAN, 1234, 0, 1500, 0),
        item("Fan B", CAT_FAN, 2250, 0, 1500),
        item("Zero V", CAT_VOLTAGE, 0, 1300, 1000),
        item("+12V", CAT_VOLTAGE, 12000, 13200, 10800),
        item("+3.3V", CAT_VOLTAGE, 3315, 3600, 3000),
        item("Not read", CAT_TEMP, 0, 80, 0, 1, "High"),
        item("Warm", CAT_TEMP, 40, 80),
        item("Frozen", CAT_TEMP, 0xFFFFFFFF, 80),
        item("Worded", CAT_TEMP, 50, 80, 0, 1, "Medium"),
        item("Latched", CAT_SWITCH, 1),
        item("Closed", CAT_SWITCH, 0),
        item("Unknown", CAT_SWITCH, 2),
        item("Drive", 4, 1),
    };
    draw(items);
    struct Slot {
        const char* button;
        const char* label;
        const char* reading;
        const char* name;
    };
    const Slot slots[] = {
        {"buttonSummaryFan0", "labelSummaryFan0", "3000 RPM", "Fan A"},
        {"buttonSummaryFan1", "labelSummaryFan1", "2250 RPM", "Fan B"},
        {"buttonSummaryVoltage0", "labelSummaryVoltage0", "0", "Zero V"},
        {"buttonSummaryVoltage1", "labelSummaryVoltage1", "12.00 V", "+12V"},
        {"buttonSummaryVoltage2", "labelSummaryVoltage2", "3.31 V", "+3.3V"},  // Items: 3.32
        {"buttonSummaryThermal0", "labelSummaryThermal0", "N/A", "Not read"},
        {"buttonSummaryThermal1", "labelSummaryThermal1", "40'C / 104'F", "Warm"},
        {"buttonSummaryThermal2", "labelSummaryThermal2", "-1'C / 31'F", "Frozen"},
        {"buttonSummaryThermal3", "labelSummaryThermal3", "Medium", "Worded"},
        {"buttonSummaryStatus0", "labelSummaryStatus0", "Bad", "Latched"},
        {"buttonSummaryStatus1", "labelSummaryStatus1", "Good", "Closed"},
        {"buttonSummaryStatus2", "labelSummaryStatus2", "Good", "Unknown"},
    };
    for (const Slot& s : slots) {
        EXPECT_TRUE(visible(s.button) && visible(s.label)) << s.button;
        EXPECT_EQ(text(s.button), s.reading) << s.button;
        EXPECT_EQ(text(s.label), s.name) << s.label;
    }
    for (const char* hidden : {"buttonSummaryFan2", "buttonSummaryVoltage3",
                               "buttonSummaryThermal4", "buttonSummaryStatus3"})
        EXPECT_FALSE(visible(hidden)) << hidden;
}

TEST_F(Pages, OverflowStopsThePageAndSaysSo) {
    struct Case {
        int32_t category;
        int count;
        int64_t reading;  // normal: no alarm icon shows
        const char* summary;
        const char* chart;
    };
    const Case cases[] = {
        {CAT_FAN, 17, 40, " build_Summary(): idxFan out of range. \n",
         " build_Fan(): idxMonitingFan out of range. \n"},
        {CAT_VOLTAGE, 61, 40, " build_Summary(): idxVoltage out of range. \n",
         " build_Voltage(): idxMonitingVoltage out of range. \n"},
        {CAT_TEMP, 17, 40, " build_Summary(): idxThermal out of range. \n",
         " build_Thermal(): idxMonitingThermal out of range. \n"},
        {CAT_SWITCH, 17, 0, " build_Summary(): idxStatus out of range. \n", ""},
    };
    for (const Case& c : cases) {
        std::vector<ItemDisplay> items(size_t(c.count), item("X", c.category, c.reading, 80, 10));
        OutputCapture capture;
        draw(items);
        EXPECT_EQ(capture.out(), std::string(c.summary) + c.chart);
        EXPECT_EQ(summary_frame(), "...........") << c.summary;
    }
}

TEST_F(Pages, ChartTextsSeparatorsAndAlarms) {
    std::vector<ItemDisplay> items = {
        item("+12V", CAT_VOLTAGE, 12032, 13200, 10800),
        item("VBAT", CAT_VOLTAGE, 2500, 3600, 2800),
        item("CPU1 Temperature", CAT_TEMP, 0, 85),
        item("Fan", CAT_FAN, 3375, 0, 1500),
    };
    draw(items);
    EXPECT_EQ(text("labelVoltageLimit0"), "High Limit: 13.20 V    Low Limit: 10.80 V");
    EXPECT_EQ(text("labelVoltageReading0"), "12.03 V");
    EXPECT_EQ(text("labelVoltage1"), "VBAT");
    EXPECT_EQ(text("labelThermalLimit0"), "High Limit: 85'C / 185'F");
    EXPECT_EQ(text("labelThermalReading0"), "N/A");
    EXPECT_EQ(text("labelFanLimit0"), "Low Limit: 1500 RPM");
    EXPECT_EQ(text("labelFanReading0"), "3375 RPM");
    // A separator between two charts, never below the last.
    EXPECT_TRUE(visible("hseparatorVoltage0"));
    EXPECT_FALSE(visible("hseparatorVoltage1"));
    EXPECT_FALSE(visible("hseparatorFan0"));
    EXPECT_FALSE(visible("curveVoltage2"));
    // Only the low battery's chart shows its alarm, until it is normal again.
    EXPECT_FALSE(visible("imageVoltage0"));
    EXPECT_TRUE(visible("imageVoltage1"));
    items[1].reading = 3000;
    draw(items);
    EXPECT_FALSE(visible("imageVoltage1"));
}

TEST_F(Pages, HistoriesFollowTheItemNotTheChart) {
    std::vector<ItemDisplay> items = {item("F1", CAT_FAN, 1000, 0, 500),
                                      item("F2", CAT_FAN, 2000, 0, 500, 0),
                                      item("F3", CAT_FAN, 3000, 0, 500)};
    draw(items);  // build_All cleared the histories; start-up drew the board once
    std::memset(vectorFan, 0, sizeof vectorFan);
    for (int64_t reading : {3000, 3100, 3200, 3300}) {
        items[2].reading = reading;
        draw(items);
    }
    EXPECT_EQ(text("labelFan1"), "F3");
    std::vector<float> expected(96, 0.0f);
    for (float v : {3000.0f, 3100.0f, 3200.0f, 3300.0f}) expected.push_back(v);
    EXPECT_EQ(std::vector<float>(vectorFan[2], vectorFan[2] + 100), expected);
    EXPECT_EQ(vectorFan[1][99], 0.0f);  // unmonitored: no samples

    items[1].monitor = 1;
    draw(items);
    EXPECT_EQ(text("labelFan1"), "F2");
    EXPECT_EQ(text("labelFan2"), "F3");
    EXPECT_EQ(vectorFan[2][98], 3300.0f);
    EXPECT_EQ(vectorFan[1][99], 2000.0f);
}

TEST_F(Pages, ItemsRowsByCategory) {
    std::vector<ItemDisplay> items = {
        item("Fan", CAT_FAN, 3375, 0, 1500),
        item("Stopped fan", CAT_FAN, 0, 0, 1500, 0),
        item("+3.3V", CAT_VOLTAGE, 3315, 3630, 2975),
        item("CPU", CAT_TEMP, 45, 80),
        item("Cold", CAT_TEMP, 0, 80),
        item("Worded", CAT_TEMP, 45, 80, 1, 1, "Low"),
        item("Intrusion", CAT_SWITCH, 1),
        item("Supply", CAT_SWITCH, 2),
        item("Drive", 4, 0),
    };
    build_Items(myapp1, items.data(), ctx->system, ctx->items, int32_t(items.size()),
                ctx->parameters, ctx->parameterCount);
    std::vector<ListRow> expected = {
        {"*", "Fan", "", "1500", "3375", ""},
        {" ", "Stopped fan", "", "1500", "0", "Warning!"},
        {"*", "+3.3V", "3.63", "2.97", "3.32", ""},  // Summary: 2.98, 3.31
        {"*", "CPU", "80/176", "", "45/113", ""},
        {"*", "Cold", "80/176", "", "N/A", ""},
        {"*", "Worded", "80/176", "", "Low", ""},
        {"*", "Intrusion", "", "", "Bad", "Warning!"},
        {"*", "Supply", "", "", "Good", "Warning!"},
        {"*", "Drive", "unknown", "unknown", "unknown", "Warning!"},
    };
    EXPECT_EQ(rows(), expected);
}

}  // namespace
