#include "config/writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/fixed_text.h"
#include "config/config_state.h"
#include "config/obstructing_sys.h"
#include "config/run_context.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;

int hookCalls = 0;
void count_hook() {
    ++hookCalls;
}

class Writer : public ::testing::Test {
protected:
    void SetUp() override {
        hookCalls = 0;
        set_save_failure_hook(count_hook);
        initSystemSection(&system);
    }
    void TearDown() override { reset_config_state(); }

    // Items with the given monitor values, installed as the run-time context.
    void use_items(const std::vector<int32_t>& monitors) {
        items.resize(monitors.size());
        for (size_t i = 0; i < monitors.size(); ++i) {
            initItemRecord(&items[i]);
            items[i].monitor = monitors[i];
        }
        parameters.resize(2 * items.size());
        setup_run_context(&system, items.data(), static_cast<int32_t>(items.size()),
                          parameters.data());
    }

    std::string save(int mode) {
        OutputCapture capture;
        save_INI_File(mode);
        return capture.out();
    }

    Sandbox sandbox;
    SystemRecord system;
    std::vector<ItemRecord> items;
    std::vector<ParameterRecord> parameters;
};

const std::string kLongComment = "x" + std::string(98, '-') + "x";  // 100 characters: two pieces

// Mixed-case keys, a comment, blank lines, an unknown key, CR-LF lines, keys
// the file lacks (PHONENUMBER, MACHINENAME, ...), a second [System] after the
// items and a MONITOR line inside a parameter; the last line has no line end.
const std::string kMixedFile =
    "; Sensorvisor settings\n"
    "[System]\n"
    "BusType=3\n"
    "Polling=5\n"
    "MailBox=old@example.com\n"
    "MAILALERT=FALSE\n"
    "Pager=none\n"
    "OUTLINE=line1\r\n" +
    kLongComment +
    "\n"
    "\n"
    "[Item]\n"
    "ITEM_NAME=CPU Fan\n"
    "Monitor=TRUE\n"
    "SLAVE=2d\r\n"
    "\n"
    "[Item]\n"
    "ITEM_NAME=System Fan\n"
    "MONITOR=FALSE\r\n"
    "[System]\n"
    "POLLING=7\n"
    "MAILBOX=second@example.com\n"
    "[Item]\n"
    "ITEM_NAME=Chassis\n"
    "; comment = not a key\n"
    "monitor=true\n"
    "[Parameter]\n"
    "PARAMETER=Divisor1\n"
    "MONITOR=TRUE\n"
    "BITMASK=30";

TEST_F(Writer, RewritesOnlyWhatTheModeOwns) {
    struct Case {
        int mode;
        std::string expected;
    };
    const Case kCases[] = {
        {1,
         "; Sensorvisor settings\n"
         "[System]\n"
         "BusType=3\n"
         "Polling=30\n"
         "MailBox=old@example.com\n"
         "MAILALERT=FALSE\n"
         "Pager=none\n"
         "OUTLINE=line1\r\n" +
             kLongComment +
             "\n"
             "\n"
             "[Item]\n"
             "ITEM_NAME=CPU Fan\n"
             "Monitor=FALSE\n"
             "SLAVE=2d\r\n"
             "\n"
             "[Item]\n"
             "ITEM_NAME=System Fan\n"
             "MONITOR=TRUE\n"
             "[System]\n"
             "POLLING=7\n"
             "MAILBOX=second@example.com\n"
             "[Item]\n"
             "ITEM_NAME=Chassis\n"
             "; comment = not a key\n"
             "monitor=FALSE\n"
             "[Parameter]\n"
             "PARAMETER=Divisor1\n"
             "MONITOR=TRUE\n"
             "BITMASK=30"},
        {2,
         "; Sensorvisor settings\n"
         "[System]\n"
         "BusType=3\n"
         "Polling=5\n"
         "MailBox=ops@example.com\n"
         "MAILALERT=TRUE\n"
         "Pager=none\n"
         "OUTLINE=line2\n" +
             kLongComment +
             "\n"
             "\n"
             "[Item]\n"
             "ITEM_NAME=CPU Fan\n"
             "Monitor=TRUE\n"
             "SLAVE=2d\r\n"
             "\n"
             "[Item]\n"
             "ITEM_NAME=System Fan\n"
             "MONITOR=FALSE\r\n"
             "[System]\n"
             "POLLING=7\n"
             "MAILBOX=second@example.com\n"
             "[Item]\n"
             "ITEM_NAME=Chassis\n"
             "; comment = not a key\n"
             "monitor=true\n"
             "[Parameter]\n"
             "PARAMETER=Divisor1\n"
             "MONITOR=TRUE\n"
             "BITMASK=30"},
    };
    system.polling = 30;
    copy_text(system.mailbox, "ops@example.com");
    system.mailAlert = 1;
    system.pagerAlert = 0;
    copy_text(system.outline, "line2");
    copy_text(system.machineName, "node7");
    copy_text(system.phoneNumber, "555");
    use_items({0, 1, 255});  // 255: never set, so not monitored

    for (const Case& c : kCases) {
        sandbox.write_file("/etc/Senvis.ini", kMixedFile);
        EXPECT_EQ(save(c.mode), "") << "mode " << c.mode;
        EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini"), c.expected) << "mode " << c.mode;
        EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini.old"), kMixedFile) << "mode " << c.mode;
    }
    EXPECT_EQ(hookCalls, 0);
}

TEST_F(Writer, NthMonitorLineCarriesItemN) {
    // The second item has no MONITOR line, so the third item's line carries the
    // second item's setting; a line past the last item stays as it is.
    sandbox.write_file("/etc/Senvis.ini",
                       "[Item]\nITEM_NAME=A\nMONITOR=TRUE\n"
                       "[Item]\nITEM_NAME=B\n"
                       "[Item]\nITEM_NAME=C\nMONITOR=FALSE\nMONITOR=maybe\n");
    use_items({0, 1});
    EXPECT_EQ(save(1), "");
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini"),
              "[Item]\nITEM_NAME=A\nMONITOR=FALSE\n"
              "[Item]\nITEM_NAME=B\n"
              "[Item]\nITEM_NAME=C\nMONITOR=TRUE\nMONITOR=maybe\n");
}

TEST_F(Writer, NewFileThatCannotBeCreatedLeavesTheOldContentInTheBackup) {
    const std::string original = "[System]\nPOLLING=5\n[Item]\nMONITOR=TRUE\n";
    sandbox.write_file("/etc/Senvis.ini", original);
    use_items({0});
    // Right after the rename something takes the file's place: a directory.
    ObstructingSys obstructed(sandbox.board(),
                              [&] { fs::create_directory(sandbox.path("/etc/Senvis.ini")); });
    ScopedSys installed(obstructed);

    EXPECT_EQ(save(1), "on_buttonSaveItems_clicked(): fopen(SENSORVISOR_INI) error!\n");
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini.old"), original);
    EXPECT_TRUE(fs::is_directory(sandbox.path("/etc/Senvis.ini")));
}

TEST_F(Writer, FailedCloseOfTheNewFileIsReported) {
    sandbox.write_file("/etc/Senvis.ini", "[System]\nPOLLING=5\n");
    use_items({1});
    // The new file lands on a full device: the buffered write fails at close.
    ObstructingSys obstructed(
        sandbox.board(), [&] { fs::create_symlink("/dev/full", sandbox.path("/etc/Senvis.ini")); });
    ScopedSys installed(obstructed);

    EXPECT_EQ(save(1), "on_buttonSaveItems_clicked(): fclose() error!\n");
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini.old"), "[System]\nPOLLING=5\n");
}

TEST_F(Writer, NothingToReadIsReportedAndNothingIsCreated) {
    use_items({1});
    EXPECT_EQ(save(2), "on_buttonSaveItems_clicked(): fopen() error!\n");
    EXPECT_EQ(hookCalls, 1);
    EXPECT_FALSE(sandbox.exists("/etc/Senvis.ini"));
}

TEST_F(Writer, FailedMoveToTheBackupLeavesTheFileAlone) {
    // A directory where the backup should go makes the rename fail.
    sandbox.write_file("/etc/Senvis.ini", "[System]\nPOLLING=5\n");
    sandbox.write_file("/etc/Senvis.ini.old/keep", "");
    system.polling = 9;
    use_items({1});
    EXPECT_EQ(save(1), "on_buttonSaveItems_clicked(): fopen() error!\n");
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini"), "[System]\nPOLLING=5\n");
}

TEST_F(Writer, MissingFileIsRestoredFromTheBackup) {
    sandbox.write_file("/etc/Senvis.ini.old", "[System]\nPOLLING=5\n");
    system.polling = 9;
    use_items({1});
    EXPECT_EQ(save(1), "");
    EXPECT_EQ(hookCalls, 0);
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini"), "[System]\nPOLLING=9\n");
}

}  // namespace
