// The window as the monitor's own start-up builds it, in process, on the
// demo board (virtual clock): the GUI branch up to the main loop. Helpers
// read what a user would see, by widget name.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/app_board.h"
#include "support/sandbox.h"

using ListRow = std::array<std::string, 6>;

class WindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The board the window runs on; by default the demo board with a
    // virtual clock starting at a fixed time.
    virtual std::string board_json();

    GtkWidget* widget(const char* name);
    bool visible(const char* name);
    std::string text(const char* name);  // a label's text or a button's label
    std::vector<ListRow> rows();
    // The texts of the information dialogs on screen.
    std::vector<std::string> dialog_texts();
    // Presses OK on each of them.
    void dismiss_dialogs();
    // Runs the main loop until `quit` has ended it or `seconds` have passed;
    // false on the timeout.
    bool run_main_loop(GSourceFunc action, gpointer data, int seconds = 10);

    std::unique_ptr<Sandbox> sandbox;
    RunContext* ctx = nullptr;
};
