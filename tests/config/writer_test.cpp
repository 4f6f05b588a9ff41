#include "config/writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/fixed_text.h"
#include "config/config_state.h"
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
    void TearDown() override {
        reset_config_state();
        set_save_failure_hook(nullptr);
    }

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

    std::unique_ptr<Sandbox> box = std::make_unique<Sandbox>();  // replaced for a faulty disk
    SystemRecord system;
    std::vector<ItemRecord> items;
    std::vector<ParameterRecord> parameters;
};

// `text` with each pair's first text (which must be there) replaced by its second.
std::string edited(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& edits) {
    for (const auto& [from, to] : edits) {
        size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
    }
    return text;
}

// Mixed-case keys, a comment, blank lines, an unknown key, CR-LF lines, a
// 100-character line (two pieces), keys the file lacks (PHONENUMBER,
// MACHINENAME, ...), a second [System] after the items and a MONITOR line
// inside a parameter; the last line has no line end.
const std::string kMixedFile =
    "; Sensorvisor settings\n[System]\nBusType=3\nPolling=5\nMailBox=old@example.com\n"
    "MAILALERT=FALSE\nPager=none\nOUTLINE=line1\r\n" +
    ("x" + std::string(98, '-') + "x") +
    "\n\n[Item]\nITEM_NAME=CPU Fan\nMonitor=TRUE\nSLAVE=2d\r\n\n"
    "[Item]\nITEM_NAME=System Fan\nMONITOR=FALSE\r\n"
    "[System]\nPOLLING=7\nMAILBOX=second@example.com\n"
    "[Item]\nITEM_NAME=Chassis\n; comment = not a key\nmonitor=true\n"
    "[Parameter]\nPARAMETER=Divisor1\nMONITOR=TRUE\nBITMASK=30";

TEST_F(Writer, RewritesOnlyWhatTheModeOwns) {
    // Mode 1 owns POLLING of the first [System] and the items' MONITOR lines;
    // mode 2 the mail and outline settings. A rewritten CR-LF line loses its CR.
    const std::pair<int, std::string> kCases[] = {
        {1, edited(kMixedFile, {{"Polling=5", "Polling=30"},
                                {"Monitor=TRUE", "Monitor=FALSE"},
                                {"MONITOR=FALSE\r\n", "MONITOR=TRUE\n"},
                                {"monitor=true", "monitor=FALSE"}})},
        {2, edited(kMixedFile, {{"old@", "ops@"},
                                {"MAILALERT=FALSE", "MAILALERT=TRUE"},
                                {"OUTLINE=line1\r\n", "OUTLINE=line2\n"}})},
    };
    system.polling = 30;
    copy_text(system.mailbox, "ops@example.com");
    system.mailAlert = 1;
    system.pagerAlert = 0;
    copy_text(system.outline, "line2");
    copy_text(system.machineName, "node7");
    copy_text(system.phoneNumber, "555");
    use_items({0, 1, 255});  // 255: never set, so not monitored

    for (const auto& [mode, expected] : kCases) {
        box->write_file("/etc/Senvis.ini", kMixedFile);
        EXPECT_EQ(save(mode), "") << "mode " << mode;
        EXPECT_EQ(box->read_file("/etc/Senvis.ini"), expected) << "mode " << mode;
        EXPECT_EQ(box->read_file("/etc/Senvis.ini.old"), kMixedFile) << "mode " << mode;
    }
    EXPECT_EQ(hookCalls, 0);
}

TEST_F(Writer, NthMonitorLineCarriesItemN) {
    // The second item has no MONITOR line, so the third item's line carries the
    // second item's setting; a line past the last item stays as it is.
    box->write_file("/etc/Senvis.ini",
                    "[Item]\nITEM_NAME=A\nMONITOR=TRUE\n"
                    "[Item]\nITEM_NAME=B\n"
                    "[Item]\nITEM_NAME=C\nMONITOR=FALSE\nMONITOR=maybe\n");
    use_items({0, 1});
    EXPECT_EQ(save(1), "");
    EXPECT_EQ(box->read_file("/etc/Senvis.ini"),
              "[Item]\nITEM_NAME=A\nMONITOR=FALSE\n"
              "[Item]\nITEM_NAME=B\n"
              "[Item]\nITEM_NAME=C\nMONITOR=TRUE\nMONITOR=maybe\n");
}

// Nothing can be made at /etc/Senvis.ini: the rewrite starts from the backup,
// which keeps its content.
TEST_F(Writer, NewFileThatCannotBeCreatedLeavesTheBackupAlone) {
    box.reset();
    box = std::make_unique<Sandbox>(R"({"faults": {"missing": ["/etc/Senvis.ini"]}})");
    const std::string original = "[System]\nPOLLING=5\n[Item]\nMONITOR=TRUE\n";
    box->write_file("/etc/Senvis.ini.old", original);
    use_items({0});
    EXPECT_EQ(save(1), "on_buttonSaveItems_clicked(): fopen(SENSORVISOR_INI) error!\n");
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(box->read_file("/etc/Senvis.ini.old"), original);
}

TEST_F(Writer, BackupFailuresAndAMissingFile) {
    use_items({1});
    system.polling = 9;
    // Nothing to read: reported, nothing created.
    EXPECT_EQ(save(2), "on_buttonSaveItems_clicked(): fopen() error!\n");
    EXPECT_FALSE(box->exists("/etc/Senvis.ini"));
    // A directory where the backup should go makes the rename fail.
    box->write_file("/etc/Senvis.ini", "[System]\nPOLLING=5\n");
    box->write_file("/etc/Senvis.ini.old/keep", "");
    EXPECT_EQ(save(1), "on_buttonSaveItems_clicked(): fopen() error!\n");
    EXPECT_EQ(box->read_file("/etc/Senvis.ini"), "[System]\nPOLLING=5\n");
    EXPECT_EQ(hookCalls, 2);
    // A missing file is restored from the backup.
    fs::remove_all(box->path("/etc/Senvis.ini.old"));
    fs::rename(box->path("/etc/Senvis.ini"), box->path("/etc/Senvis.ini.old"));
    EXPECT_EQ(save(1), "");
    EXPECT_EQ(hookCalls, 2);
    EXPECT_EQ(box->read_file("/etc/Senvis.ini"), "[System]\nPOLLING=9\n");
}

// A save onto a file system that fills up: whatever the new file could take,
// the configuration as it was survives in the backup byte for byte. Only the
// LF of a CR-LF line is taken off and written back, so the CR stays.
TEST_F(Writer, FullDiskKeepsThePreviousConfigurationInTheBackup) {
    const std::string before =
        "; notes\r\n[System]\nPolling=5\n[Item]\nMONITOR=TRUE\n[Item]\nMONITOR=TRUE\n";
    const std::string after =
        "; notes\r\n[System]\nPolling=9\n[Item]\nMONITOR=TRUE\n[Item]\nMONITOR=FALSE\n";
    const std::string kFclose = "on_buttonSaveItems_clicked(): fclose() error!\n";
    for (size_t room : {size_t(0), after.size() - 1, after.size()}) {
        SCOPED_TRACE(room);
        box.reset();
        box = std::make_unique<Sandbox>(R"({"faults": {"full_disk": {"/etc": )" +
                                        std::to_string(room) + "}}}");
        box->write_file("/etc/Senvis.ini", before);
        system.polling = 9;
        use_items({1, 0});
        hookCalls = 0;
        const bool fits = room == after.size();
        EXPECT_EQ(save(1), fits ? "" : kFclose);
        EXPECT_EQ(hookCalls, fits ? 0 : 1);
        EXPECT_EQ(box->read_file("/etc/Senvis.ini.old"), before);
        EXPECT_EQ(box->read_file("/etc/Senvis.ini"), after.substr(0, room));
    }
}

}  // namespace
