// The window's tests run on an X display: DISPLAY's, or a private Xvfb. Only
// listing the tests (ctest's discovery at build time) needs none.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>

#include "support/x_display.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<XDisplay> display;
    if (!GTEST_FLAG_GET(list_tests)) {
        display = std::make_unique<XDisplay>();
        if (!gtk_init_check(&argc, &argv)) {
            std::fprintf(stderr, "cannot open X display %s\n", display->name().c_str());
            return 1;
        }
    }
    return RUN_ALL_TESTS();
}
