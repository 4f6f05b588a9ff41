// The window driven by the cases of tests/gui/window-cases: the pages drawn
// from display records (which widgets show, their texts, the alarm icons, the
// histories) and the alert check on boards whose readings change with the
// virtual clock. A case says what to do and what must show afterwards, one a
// line ("\n" in a text stands for a line feed):
//   board NAME          first line: the board of tests/gui/boards/NAME.json
//                       (without it, the demo board on a virtual clock)
//   item NAME|CATEGORY|READING[|HIGH|LOW|MONITOR|THERMAL WORD]
//                       a record (limits 0, monitored, no word by default)
//   items N RECORD      N such records
//   draw                the pages drawn from the records listed since the last
//   frame F             the Summary page's frame, as summary_frame() shows it
//   text WIDGET TEXT    a label's or button's text
//   shown|hidden WIDGET
//   at SECONDS          a refresh that many seconds after start-up
//   type ENTRY TEXT     text typed into an entry
//   check BUTTON on|off
//   monitor N 0|1       item N switched off or on
//   hide-alert-window
//   click BUTTON        a button of the main window clicked
//   alert-click BUTTON  a button of the alert window clicked
//   raise TEXT          a new alert message, shown as the alert check shows one
//   entry ENTRY TEXT    an entry's text
//   checked BUTTON on|off
//   dialog [TEXT]       the information dialog on screen (none), then dismissed
//   focus WIDGET        the widget that has the main window's focus
//   file PATH NAME      a file of the sandbox, the same as NAME beside the cases
//   stdout TEXT         what the last draw or refresh printed
//   alert LABEL TEXT    a label's text in the alert window
//   alert-window shown|hidden
//   mail TEXT           what `mail` received (nothing: none)
//   absent PATH         a path that must not exist in the sandbox
//   chmod|mode PATH OCTAL  a file's mode set, or what it must be
//   row CELLS           the next row of the Items page, cells between "|"
//   history fan|voltage|thermal N [VALUES]
//                       the history of chart N ends in VALUES, 0 before them
//                       (the first draw of a case clears the histories)
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "alert/alert_list.h"
#include "alert/alert_window.h"
#include "common/fixed_text.h"
#include "gui/chart_pages.h"
#include "gui/items_page.h"
#include "gui/main_window.h"
#include "gui/refresh_cycle.h"
#include "gui/registry.h"
#include "gui/summary_page.h"
#include "gui/window_fixture.h"
#include "support/data_cases.h"

namespace {

const std::string kWindowCases = std::string(SV_TESTS_DIR) + "/gui/window-cases";

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
    auto number = [](const std::string& s, int64_t otherwise) {
        return s.empty() ? otherwise : std::stoll(s);
    };
    ItemDisplay d{};
    copy_text(d.name, f[0].c_str());
    d.category = int32_t(std::find(std::begin(kCategories), std::end(kCategories), f[1]) -
                         std::begin(kCategories));
    d.reading = number(f[2], 0);
    d.highLimit = number(f[3], 0);
    d.lowLimit = number(f[4], 0);
    d.monitor = int32_t(number(f[5], 1));
    d.hasThermalText = !f[6].empty();
    copy_text(d.thermalText, f[6].c_str());
    return d;
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

class WindowCase : public Pages, public testing::WithParamInterface<std::string> {
protected:
    std::string board_json() override {
        std::ifstream file(kWindowCases + "/" + GetParam() + ".case");
        std::string first;
        std::getline(file, first);
        if (!first.starts_with("board ")) return Pages::board_json();
        return read_whole_file(std::string(SV_TESTS_DIR) + "/gui/boards/" + first.substr(6) +
                               ".json");
    }
    GtkWidget* alert_widget(const std::string& name) {
        return lookup_widget(mywindowAlertMessage, name.c_str());
    }
};

TEST_P(WindowCase, ShowsWhatItLists) {
    std::ifstream file(kWindowCases + "/" + GetParam() + ".case");
    std::vector<ItemDisplay> items;
    std::vector<ListRow> rows_expected;
    std::string printed;
    auto check_rows = [&] {
        if (!rows_expected.empty()) {
            EXPECT_EQ(rows(), rows_expected);
        }
        rows_expected.clear();
    };
    bool drawn = false;
    int number = 0;
    for (std::string line; std::getline(file, line);) {
        SCOPED_TRACE("line " + std::to_string(++number) + ": " + line);
        const size_t space = line.find(' ');
        const std::string word = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        const std::string name = rest.substr(0, rest.find(' '));
        const std::string value = std::regex_replace(
            rest.substr(std::min(rest.size(), name.size() + 1)), std::regex(R"(\\n)"), "\n");
        if (word == "item") {
            items.push_back(record(rest));
        } else if (word == "items") {
            items.insert(items.end(), size_t(std::stoi(name)), record(value));
        } else if (word == "draw") {
            if (!drawn) {
                std::memset(vectorFan, 0, sizeof vectorFan);
                std::memset(vectorVoltage, 0, sizeof vectorVoltage);
                std::memset(vectorThermal, 0, sizeof vectorThermal);
                drawn = true;
            }
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
        } else if (word == "at") {
            VirtualClock& clock = sandbox->board().clock();
            clock.sleep_ns(std::stoll(rest) * 1'000'000'000 - clock.elapsed_ns());
            OutputCapture capture;
            updateAll();
            printed = capture.out();
        } else if (word == "type") {
            gtk_entry_set_text(GTK_ENTRY(widget(name.c_str())), value.c_str());
        } else if (word == "check") {
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget(name.c_str())), value == "on");
        } else if (word == "monitor") {
            const int i = std::stoi(name);
            ctx->items[i].monitor = allItemDisps[i].monitor = std::stoi(value);
        } else if (word == "hide-alert-window") {
            gtk_widget_hide(mywindowAlertMessage);
        } else if (word == "click") {
            gtk_button_clicked(GTK_BUTTON(widget(rest.c_str())));
        } else if (word == "alert-click") {
            gtk_button_clicked(GTK_BUTTON(alert_widget(rest)));
        } else if (word == "raise") {
            AlertMsgNode* node = new_alert_msg_node();
            node->message = strdup(rest.c_str());
            append_alert_msg_node(alert_msg_head, node);
            current_alert_msg_node = node;
            show_alert_message(mywindowAlertMessage, node);
        } else if (word == "entry") {
            EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(widget(name.c_str()))), value);
        } else if (word == "checked") {
            EXPECT_EQ(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget(name.c_str()))),
                      value == "on");
        } else if (word == "dialog") {
            EXPECT_EQ(dialog_texts(), rest.empty() ? std::vector<std::string>{}
                                                   : std::vector<std::string>{rest});
            dismiss_dialogs();
        } else if (word == "focus") {
            EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(myapp1)), widget(rest.c_str()));
        } else if (word == "file") {
            EXPECT_EQ(sandbox->read_file(name), read_whole_file(kWindowCases + "/" + value));
        } else if (word == "stdout") {
            EXPECT_EQ(printed, std::regex_replace(rest, std::regex(R"(\\n)"), "\n"));
        } else if (word == "alert") {
            EXPECT_EQ(gtk_label_get_text(GTK_LABEL(alert_widget(name))), value);
        } else if (word == "alert-window") {
            EXPECT_EQ(gtk_widget_get_visible(mywindowAlertMessage), rest == "shown");
        } else if (word == "mail") {
            EXPECT_EQ(sandbox->exists("/var/mail/sent") ? sandbox->read_file("/var/mail/sent") : "",
                      std::regex_replace(rest, std::regex(R"(\\n)"), "\n"));
        } else if (word == "absent") {
            EXPECT_FALSE(sandbox->exists(rest));
        } else if (word == "chmod" || word == "mode") {  // PATH OCTAL: set, or must be
            auto mode = std::filesystem::perms(std::stoi(value, nullptr, 8));
            if (word == "chmod") std::filesystem::permissions(sandbox->path(name), mode);
            else EXPECT_EQ(std::filesystem::status(sandbox->path(name)).permissions(), mode) << name;
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
            ASSERT_TRUE(word.empty() || word == "#" || (word == "board" && number == 1))
                << "unknown word";
        }
    }
    check_rows();
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowCase, testing::ValuesIn(data_cases(kWindowCases, ".case")),
                         data_case_test_name);

}  // namespace
