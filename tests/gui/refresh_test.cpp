// The refresh cycle and the Items page's handlers on the demo board, as the
// monitor's start-up left the window: what the hardware saw, what the pages
// show, the polling timeout, Save.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/fixed_text.h"
#include "config/writer.h"
#include "gui/chart_pages.h"
#include "gui/items_page.h"
#include "gui/main_window.h"
#include "gui/refresh_cycle.h"
#include "gui/registry.h"
#include "gui/window_fixture.h"
#include "items/acquisition.h"
#include "items/intrusion.h"
#include "sys/sys.h"

namespace {

class Refresh : public WindowTest {
protected:
    int index_of(const char* name) {
        for (int32_t i = 0; i < ctx->itemCount; ++i)
            if (std::string(ctx->items[i].name) == name) return i;
        ADD_FAILURE() << name << " is not on the board";
        return 0;
    }
    void activate_row(int row) {
        GtkTreeView* tree = GTK_TREE_VIEW(treeview1);
        GtkTreePath* path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_view_set_cursor(tree, path, nullptr, FALSE);
        gtk_tree_view_row_activated(tree, path, gtk_tree_view_get_column(tree, 1));
        gtk_tree_path_free(path);
    }
    void click(const char* name) { gtk_button_clicked(GTK_BUTTON(widget(name))); }
    void type_polling(const char* value) {
        gtk_entry_set_text(GTK_ENTRY(widget("entryPolling")), value);
    }
    // What reading these items directly makes the hardware do.
    std::vector<std::string> reading_trace(std::initializer_list<int> items) {
        sandbox->clear_trace();
        for (int i : items) {
            int64_t value = 0;
            get_item_reading(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                             ctx->parameterCount, &ctx->items[i], &value);
        }
        std::vector<std::string> lines = sandbox->trace();
        sandbox->clear_trace();
        return lines;
    }
    // Seconds until the refresh timeout fires.
    double seconds_to_refresh() {
        GSource* source = g_main_context_find_source_by_id(nullptr, timer);
        return source == nullptr
                   ? -1
                   : double(g_source_get_ready_time(source) - g_get_monotonic_time()) / 1e6;
    }
};

TEST_F(Refresh, ReadsWhatIsMonitoredAndNothingElse) {
    click("buttonUnselectAll");
    EXPECT_EQ(sandbox->trace(), std::vector<std::string>{});
    for (const ListRow& row : rows()) EXPECT_EQ(row[0], " ") << row[1];
    EXPECT_EQ(rows().size(), 20u);
    updateAll();
    EXPECT_EQ(sandbox->trace(), std::vector<std::string>{});

    int cpu1 = index_of("CPU1 Temperature");
    std::vector<std::string> expected = reading_trace({cpu1});
    ASSERT_FALSE(expected.empty());
    activate_row(cpu1);
    EXPECT_EQ(sandbox->trace(), expected);
    EXPECT_EQ(rows()[size_t(cpu1)][0], "*");
    EXPECT_TRUE(visible("labelSummaryThermal"));
    EXPECT_EQ(text("labelSummaryThermal0"), "CPU1 Temperature");
    EXPECT_FALSE(visible("labelSummaryFan"));
    EXPECT_EQ(text("labelThermal0"), "CPU1 Temperature");
    EXPECT_FALSE(visible("curveThermal1"));

    // Activating it again takes it off every page.
    activate_row(cpu1);
    EXPECT_FALSE(visible("labelSummaryThermal"));
    EXPECT_FALSE(visible("curveThermal0"));

    sandbox->clear_trace();
    click("buttonSelectAll");
    std::vector<std::string> all = sandbox->trace();
    std::vector<int> everything(size_t(ctx->itemCount));
    for (int32_t i = 0; i < ctx->itemCount; ++i) everything[size_t(i)] = i;
    sandbox->clear_trace();
    std::vector<std::string> one_by_one;
    for (int i : everything) {
        std::vector<std::string> lines = reading_trace({i});
        one_by_one.insert(one_by_one.end(), lines.begin(), lines.end());
    }
    EXPECT_EQ(all, one_by_one);
}

TEST_F(Refresh, EachCycleAddsTheNewReadingToTheHistory) {
    // The demo board's CPU1 Temperature changes every 5 seconds: 45, 46, 47, 46.
    for (int cycle = 0; cycle < 3; ++cycle) {
        sandbox->board().clock().sleep_ns(5'000'000'000);
        EXPECT_EQ(updateAll(), TRUE);
    }
    std::vector<float> expected(96, 0.0f);
    for (float v : {45.0f, 46.0f, 47.0f, 46.0f}) expected.push_back(v);
    EXPECT_EQ(std::vector<float>(vectorThermal[0], vectorThermal[0] + 100), expected);
    EXPECT_EQ(text("labelThermalReading0"), "46'C / 114'F");
    EXPECT_EQ(text("buttonSummaryThermal0"), "46'C / 114'F");
    EXPECT_EQ(rows()[size_t(index_of("CPU1 Temperature"))][4], "46/114");
}

TEST_F(Refresh, PollingEntryTakesOneTo300AndRearmsTheTimeout) {
    gtk_menu_item_activate(GTK_MENU_ITEM(widget("items1")));
    EXPECT_NEAR(seconds_to_refresh(), 5, 0.5);
    struct Case {
        const char* typed;
        uint32_t polling;  // afterwards
        const char* entry;
        const char* dialog;  // nullptr: none
    };
    const Case cases[] = {
        {"300", 300, "300", nullptr},
        {"2", 2, "2", nullptr},
        {"301", 2, "0", "Please enter an integer between 1 and 300."},
        {"5a", 2, "0", "Please enter an integer between 1 and 300."},
        {"0", 2, "0", nullptr},
        {"", 2, "", nullptr},
    };
    for (const Case& c : cases) {
        guint before = timer;
        type_polling(c.typed);
        EXPECT_EQ(ctx->system->polling, c.polling) << c.typed;
        EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(widget("entryPolling"))), std::string(c.entry));
        std::vector<std::string> dialogs = dialog_texts();
        if (c.dialog != nullptr) {
            EXPECT_EQ(dialogs, std::vector<std::string>{c.dialog}) << c.typed;
            EXPECT_EQ(timer, before);
            EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(myapp1)), widget("entryPolling"));
            dismiss_dialogs();
            EXPECT_TRUE(dialog_texts().empty());
        } else {
            EXPECT_TRUE(dialogs.empty()) << c.typed;
        }
        // A new interval counts from now.
        EXPECT_NEAR(seconds_to_refresh(), ctx->system->polling, 0.5) << c.typed;
    }
    updateAll();  // the next cycle writes the interval back
    EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(widget("entryPolling"))), std::string("2"));
}

TEST_F(Refresh, RowActivationTogglesTheFirstItemOfThatName) {
    int second = index_of("CPU2 Fan");
    copy_text(ctx->items[second].name, "CPU1 Fan");
    copy_text(allItemDisps[second].name, "CPU1 Fan");
    updateAll();
    activate_row(second);
    EXPECT_EQ(ctx->items[index_of("CPU1 Fan")].monitor, 0);
    EXPECT_EQ(allItemDisps[index_of("CPU1 Fan")].monitor, 0);
    EXPECT_EQ(ctx->items[second].monitor, 1);
}

TEST_F(Refresh, SaveWritesTheIntervalAndTheMonitorFlags) {
    const std::string before = sandbox->read_file("/etc/Senvis.ini");
    // A configuration kept private stays private, in both files.
    std::filesystem::permissions(sandbox->path("/etc/Senvis.ini"), std::filesystem::perms(0600));
    type_polling("7");
    activate_row(index_of("CPU2 Fan"));
    click("buttonItemsSave");

    std::string expected = before;
    expected.replace(expected.find("POLLING=5"), 9, "POLLING=7");
    size_t second = expected.find("MONITOR=TRUE", expected.find("ITEM_NAME=CPU2 Fan"));
    expected.replace(second, 12, "MONITOR=FALSE");
    EXPECT_EQ(sandbox->read_file("/etc/Senvis.ini"), expected);
    EXPECT_EQ(sandbox->read_file("/etc/Senvis.ini.old"), before);
    for (const char* saved : {"/etc/Senvis.ini", "/etc/Senvis.ini.old"})
        EXPECT_EQ(std::filesystem::status(sandbox->path(saved)).permissions(),
                  std::filesystem::perms(0600)) << saved;
    EXPECT_EQ(dialog_texts(), std::vector<std::string>{"Configuration has been saved."});
}

TEST_F(Refresh, AFailedSaveEndsTheMainLoopAndStillSaysSaved) {
    std::remove(sandbox->path("/etc/Senvis.ini").c_str());
    OutputCapture capture;
    EXPECT_TRUE(run_main_loop(
        [](gpointer) {
            gtk_button_clicked(GTK_BUTTON(lookup_widget(myapp1, "buttonItemsSave")));
            return gboolean(FALSE);
        },
        nullptr));
    EXPECT_EQ(capture.out(), "on_buttonSaveItems_clicked(): fopen() error!\n");
    EXPECT_EQ(dialog_texts(), std::vector<std::string>{"Configuration has been saved."});
}

TEST_F(Refresh, StatusButtonResetsItsIntrusionItem) {
    // The demo board's latch is set.
    EXPECT_EQ(text("buttonSummaryStatus0"), "Bad");
    EXPECT_TRUE(visible("imageSummaryStatus"));
    OutputCapture capture;
    click("buttonSummaryStatus0");
    std::vector<std::string> clicked = sandbox->trace();
    EXPECT_FALSE(gtk_widget_get_sensitive(widget("buttonSummaryStatus0")));

    // The hardware saw what resetting that item directly does, once the case
    // is open again (the click's pulse let the latch go: bank 0, 0x42 bit 4).
    sys().outb(0x42, 0x295);
    sys().outb(0x10, 0x296);
    sandbox->clear_trace();
    reset_Intrusion(ctx->system, ctx->items, ctx->itemCount, ctx->parameters, ctx->parameterCount,
                    &ctx->items[index_of("Chassis Intrusion")]);
    EXPECT_EQ(clicked, sandbox->trace());
    EXPECT_FALSE(clicked.empty());
    EXPECT_EQ(capture.out(), "Done.\nDone.\n");

    updateAll();
    EXPECT_TRUE(gtk_widget_get_sensitive(widget("buttonSummaryStatus0")));
    EXPECT_EQ(text("buttonSummaryStatus0"), "Good");
}

// On the OpenIPMI board the BMC's 30/93 gives CPU1's PECI temperature and
// its thermal word, each request the next answer: 46 (Low) for start-up's
// reading and word, 80 (Medium) for the refresh's.
class ThermalWord : public WindowTest {
    std::string board_json() override {
        auto board = nlohmann::json::parse(
            read_whole_file(std::string(SV_SOURCE_BOARDS_DIR) + "/bmc-openipmi.json"));
        board["bmc"]["responses"]["30/93 00"] = {"00 2e", "00 2e", "00 50", "00 50"};
        return board.dump();
    }
};

TEST_F(ThermalWord, FollowsTheBmcAtEachRefresh) {
    EXPECT_EQ(text("buttonSummaryThermal0"), "Low");
    updateAll();
    EXPECT_EQ(text("buttonSummaryThermal0"), "Medium");
}

}  // namespace
