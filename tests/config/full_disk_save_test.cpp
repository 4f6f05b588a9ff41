// A save from the window onto a file system that fills up: whatever the new
// file could take, the configuration as it was before the save survives in
// the backup byte for byte, and the failure is reported.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/config_state.h"
#include "config/run_context.h"
#include "config/writer.h"
#include "support/sandbox.h"

namespace {

int failures = 0;
void count_failure() {
    ++failures;
}

const std::string kBefore =
    "; hand-written notes\r\n"
    "[System]\n"
    "Polling=5\n"
    "[Item]\n"
    "ITEM_NAME=CPU Fan\n"
    "MONITOR=TRUE\n"
    "[Item]\n"
    "ITEM_NAME=Rear Fan\n"
    "MONITOR=TRUE\n";
// After a mode-1 save with polling 9 and the rear fan off (only the LF of a
// CR-LF line end is taken off and written back, so the CR stays).
const std::string kAfter =
    "; hand-written notes\r\n"
    "[System]\n"
    "Polling=9\n"
    "[Item]\n"
    "ITEM_NAME=CPU Fan\n"
    "MONITOR=TRUE\n"
    "[Item]\n"
    "ITEM_NAME=Rear Fan\n"
    "MONITOR=FALSE\n";

TEST(FullDiskSave, PreviousConfigurationSurvivesInTheBackup) {
    struct Case {
        uint64_t freeBytes;
        std::string message;
        std::string newFile;  // what /etc/Senvis.ini holds afterwards
    };
    const Case cases[] = {
        {0, "on_buttonSaveItems_clicked(): fclose() error!\n", ""},
        {10, "on_buttonSaveItems_clicked(): fclose() error!\n", kAfter.substr(0, 10)},
        {kAfter.size() - 1, "on_buttonSaveItems_clicked(): fclose() error!\n",
         kAfter.substr(0, kAfter.size() - 1)},
        {kAfter.size(), "", kAfter},  // exactly enough room
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.freeBytes);
        Sandbox sandbox(R"({"faults": {"full_disk": {"/etc": )" + std::to_string(c.freeBytes) +
                        "}}}");
        sandbox.write_file("/etc/Senvis.ini", kBefore);

        SystemRecord system;
        initSystemSection(&system);
        system.polling = 9;
        std::vector<ItemRecord> items(2);
        for (ItemRecord& item : items) initItemRecord(&item);
        items[0].monitor = 1;
        items[1].monitor = 0;
        std::vector<ParameterRecord> parameters(4);
        setup_run_context(&system, items.data(), 2, parameters.data());
        failures = 0;
        set_save_failure_hook(count_failure);

        std::string printed;
        {
            OutputCapture capture;
            save_INI_File(1);
            printed = capture.out();
        }
        reset_config_state();
        set_save_failure_hook(nullptr);

        EXPECT_EQ(c.message, printed);
        EXPECT_EQ(c.message.empty() ? 0 : 1, failures);
        EXPECT_EQ(kBefore, sandbox.read_file("/etc/Senvis.ini.old"));
        EXPECT_EQ(c.newFile, sandbox.read_file("/etc/Senvis.ini"));
    }
}

}  // namespace
