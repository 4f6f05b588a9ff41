// The Summary, chart and Items pages drawn from display records: which
// widgets show, their texts, the alarm icons, the histories. The cases in
// tests/gui/page-cases list the records of each draw and what must show
// afterwards, one a line:
//   item NAME|CATEGORY|READING[|HIGH|LOW|MONITOR|THERMAL WORD]
//                       a record (limits 0, monitored, no word by default)
//   items N RECORD      N such records
//   draw                the pages drawn from the records listed since the last
//   frame F             the Summary page's frame, as summary_frame() shows it
//   text WIDGET TEXT    a label's or button's text
//   shown|hidden WIDGET
//   stdout TEXT         what the draw printed ("\n" for a line feed)
//   row CELLS           the next row of the Items page, cells between "|"
//   history fan|voltage|thermal N [VALUES]
//                       the history of chart N ends in VALUES, 0 before them
//                       (the histories are cleared when a case starts)
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <regex>

#include "common/fixed_text.h"
#include "gui/chart_pages.h"
#include "gui/items_page.h"
#include "gui/main_window.h"
#include "gui/registry.h"
#include "gui/summary_page.h"
#include "gui/window_fixture.h"
#include "support/data_cases.h"

namespace {

const std::string kPageCases = std::string(SV_TESTS_DIR) + "/gui/page-cases";

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

std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t bar; (bar = text.find('|', start)) != std::string::npos; start = bar + 1)
        out.push_back(text.substr(start, bar - start));
    out.push_back(text.substr(start));
    return out;
}

ItemDisplay record(const std::string& text) {
    const char* const kCategories[] = {"FAN", "VOLTAGE", "TEMP", "SWITCH", "DRIVE"};
    std::vector<std::string> f = fields(text);
    f.resize(7);
    int32_t category = int32_t(std::find(std::begin(kCategories), std::end(kCategories), f[1]) -
                               std::begin(kCategories));
    auto number = [](const std::string& s, int64_t otherwise) {
        return s.empty() ? otherwise : std::stoll(s);
    };
    return item(f[0].c_str(), category, number(f[2], 0), number(f[3], 0), number(f[4], 0),
                int32_t(number(f[5], 1)), f[6].empty() ? nullptr : f[6].c_str());
}

class Pages : public WindowTest {
protected:
    void draw(std::vector<ItemDisplay>& items) {
        const int32_t n = int32_t(items.size());
        build_Summary(myapp1, items.data(), n);
        build_Fan(myapp1, items.data(), n);
        build_Voltage(myapp1, items.data(), n);
        build_Thermal(myapp1, items.data(), n);
        build_Items(myapp1, items.data(), ctx->system, ctx->items, n, ctx->parameters,
                    ctx->parameterCount);
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

class PageCase : public Pages, public testing::WithParamInterface<std::string> {};

TEST_P(PageCase, ShowsWhatItLists) {
    std::ifstream file(kPageCases + "/" + GetParam() + ".page");
    std::vector<ItemDisplay> items;
    std::vector<ListRow> rows_expected;
    std::string printed;
    auto check_rows = [&] {
        if (!rows_expected.empty()) {
            EXPECT_EQ(rows(), rows_expected);
        }
        rows_expected.clear();
    };
    std::memset(vectorFan, 0, sizeof vectorFan);
    std::memset(vectorVoltage, 0, sizeof vectorVoltage);
    std::memset(vectorThermal, 0, sizeof vectorThermal);
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        SCOPED_TRACE("line " + std::to_string(++number) + ": " + line);
        const size_t space = line.find(' ');
        const std::string word = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        const std::string name = rest.substr(0, rest.find(' '));
        const std::string value = rest.substr(std::min(rest.size(), name.size() + 1));
        if (word == "item") {
            items.push_back(record(rest));
        } else if (word == "items") {
            items.insert(items.end(), size_t(std::stoi(name)), record(value));
        } else if (word == "draw") {
            check_rows();
            OutputCapture capture;
            draw(items);
            printed = capture.out();
            items.clear();
        } else if (word == "frame") {
            EXPECT_EQ(summary_frame(), rest);
        } else if (word == "text") {
            EXPECT_TRUE(visible(name.c_str()));
            EXPECT_EQ(text(name.c_str()), value);
        } else if (word == "shown" || word == "hidden") {
            EXPECT_EQ(visible(rest.c_str()), word == "shown");
        } else if (word == "stdout") {
            EXPECT_EQ(printed, std::regex_replace(rest, std::regex(R"(\\n)"), "\n"));
        } else if (word == "row") {
            std::vector<std::string> cells = fields(rest);
            ASSERT_EQ(cells.size(), 6u);
            rows_expected.push_back({cells[0], cells[1], cells[2], cells[3], cells[4], cells[5]});
        } else if (word == "history") {
            float(*histories)[kHistoryLength] = name == "fan"       ? vectorFan
                                                : name == "voltage" ? vectorVoltage
                                                                    : vectorThermal;
            std::istringstream words(value);
            size_t chart = 0;
            words >> chart;
            std::vector<float> expected(kHistoryLength, 0.0f);
            std::vector<float> last{std::istream_iterator<float>(words), {}};
            std::copy(last.begin(), last.end(), expected.end() - std::ptrdiff_t(last.size()));
            EXPECT_EQ(std::vector<float>(histories[chart], histories[chart] + kHistoryLength),
                      expected);
        } else {
            ASSERT_TRUE(word.empty() || word == "#") << "unknown word";
        }
    }
    check_rows();
}

INSTANTIATE_TEST_SUITE_P(Cases, PageCase, testing::ValuesIn(data_cases(kPageCases, ".page")),
                         data_case_test_name);

}  // namespace
