#include "config/writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/fixed_text.h"
#include "config/config_state.h"
#include "config/run_context.h"
#include "support/sandbox.h"
#include "vboard/board.h"
#include "vboard/virtual_board.h"

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

std::string writer_case(const char* name) {
    return read_whole_file(std::string(SV_TESTS_DIR) + "/config/writer-cases/" + name + ".ini");
}

// What each mode owns of mixed.ini (its README says what the file holds).
TEST_F(Writer, RewritesOnlyWhatTheModeOwns) {
    const std::string mixed = writer_case("mixed");
    const std::pair<int, std::string> kCases[] = {
        {1, writer_case("mixed-saved-by-the-items-page")},
        {2, writer_case("mixed-saved-by-the-alert-page")},
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
        box->write_file("/etc/Senvis.ini", mixed);
        EXPECT_EQ(save(mode), "") << "mode " << mode;
        EXPECT_EQ(box->read_file("/etc/Senvis.ini"), expected) << "mode " << mode;
        EXPECT_EQ(box->read_file("/etc/Senvis.ini.old"), mixed) << "mode " << mode;
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

// Whatever byte a full disk stops a save of the demo board's configuration
// at, /etc/Senvis.ini is afterwards the old content or the new one, whole; a
// backup that was made holds the old content; no temporary file is left; and
// only a save that put the new content in place reports success.
TEST_F(Writer, FullDiskAtAnyByteLeavesTheOldFileOrTheNew) {
    std::string before;
    for (const auto& [path, content] : load_board_file(SV_SOURCE_BOARDS_DIR "/demo.json").files)
        if (path == "/etc/Senvis.ini") before = content;
    Board board;  // files only: a disk that fills up
    ASSERT_NE(before.find("MONITOR=TRUE"), std::string::npos);
    system.polling = 9;
    use_items(std::vector<int32_t>(before.size() / 200, 0));  // more than the file has items

    auto save_with_room = [&](uint64_t room) {
        board.faults.full_disk["/etc"] = room;
        VirtualBoard disk(board, box->root());
        ScopedSys installed(disk);
        box->write_file("/etc/Senvis.ini", before);
        fs::remove(box->path("/etc/Senvis.ini.old"));
        hookCalls = 0;
        return save(1);
    };
    save_with_room(UINT64_MAX);
    const std::string after = box->read_file("/etc/Senvis.ini");
    ASSERT_NE(after, before);

    const std::string kFclose = "on_buttonSaveItems_clicked(): fclose() error!\n";
    const uint64_t needed = before.size() + after.size();  // the new file and the backup
    for (uint64_t room = 0; room <= needed; ++room) {
        SCOPED_TRACE(room);
        std::string printed = save_with_room(room);
        const std::string now = box->read_file("/etc/Senvis.ini");
        const bool saved = now == after;
        ASSERT_TRUE(saved || now == before);
        ASSERT_EQ(saved, room == needed);
        ASSERT_EQ(printed, saved ? "" : kFclose);
        ASSERT_EQ(hookCalls, saved ? 0 : 1);
        if (box->exists("/etc/Senvis.ini.old")) {
            ASSERT_EQ(box->read_file("/etc/Senvis.ini.old"), before);
        }
        ASSERT_FALSE(box->exists("/etc/Senvis.ini.new") || box->exists("/etc/Senvis.ini.old.new"));
    }
}

}  // namespace
