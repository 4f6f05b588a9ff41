// The window opens on every bundled board (the first-run boards generate
// their configuration on the way) without a GTK or GLib complaint, and its
// Items page lists every configured item.
#include <gtest/gtest.h>

#include "gui/main_window.h"
#include "gui/registry.h"
#include "gui/shell/app_bar.h"
#include "gui/window_fixture.h"
#include "support/data_cases.h"

namespace {

std::vector<std::string> complaints;

void keep_complaint(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if ((level & (G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) != 0)
        complaints.push_back(std::string(domain != nullptr ? domain : "") + ": " + message);
}

std::vector<std::string> bundled_boards() {
    std::vector<std::string> names = data_cases(SV_SOURCE_BOARDS_DIR, ".json");
    std::erase(names, "firstrun-other-maker");  // refused before any window
    return names;
}

class EveryBoard : public WindowTest, public testing::WithParamInterface<std::string> {
protected:
    std::string board_json() override {
        complaints.clear();
        g_log_set_default_handler(keep_complaint, nullptr);
        return read_whole_file(std::string(SV_SOURCE_BOARDS_DIR) + "/" + GetParam() + ".json");
    }
    void TearDown() override {
        WindowTest::TearDown();
        g_log_set_default_handler(g_log_default_handler, nullptr);
    }
};

TEST_P(EveryBoard, OpensAndListsEveryItem) {
    ASSERT_NE(myapp1, nullptr);
    EXPECT_TRUE(gtk_widget_get_visible(myapp1));
    EXPECT_STREQ(shell_appbar_status(widget("appbar1")), "Ready");
    std::vector<ListRow> listed = rows();
    ASSERT_EQ(listed.size(), size_t(ctx->itemCount));
    int monitored = 0;
    for (int32_t i = 0; i < ctx->itemCount; ++i) {
        EXPECT_EQ(listed[size_t(i)][1], std::string(ctx->items[i].name).substr(0, 39));
        monitored += ctx->items[i].monitor == 1;
    }
    EXPECT_GT(monitored, 0);
    EXPECT_EQ(complaints, std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Bundled, EveryBoard, testing::ValuesIn(bundled_boards()),
                         data_case_test_name);

}  // namespace
