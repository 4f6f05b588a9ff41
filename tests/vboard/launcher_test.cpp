// The launcher end to end: refusing bad board files, seeding a new root,
// reusing an existing one, and leaving nothing behind outside the root.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

TEST(Launcher, BadBoardFileIsRefusedWithOneLineNamingFilePathAndReason) {
    TempDir dir;
    const std::string board = dir.path() + "/typo.json";
    write_whole_file(board, R"({"name": "x", "clock": {"virtaul": true}})");
    SimResult result = run_sim({"--board", board, "--root", dir.path() + "/root", "--", "-t"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ("sensorvisor-sim: " + board + ": clock.virtaul: unknown key\n", result.err);
    EXPECT_FALSE(fs::exists(dir.path() + "/root")) << "no root is made for a refused board";

    SimResult no_value = run_sim({"--board"});
    EXPECT_EQ(2, no_value.status);
    EXPECT_EQ("sensorvisor-sim: --board needs a value\n", no_value.err);
}

TEST(Launcher, NewRootIsSeededAndAnExistingRootIsUsedAsItIs) {
    TempDir dir;
    const std::string board = dir.path() + "/board.json";
    const std::string root = dir.path() + "/root";
    write_whole_file(board, R"({
        "modules": ["i2c_i801", "ipmi_si"],
        "files": { "/etc/Senvis.ini": "[System]\n", "/var/note": "kept" }
    })");
    SimResult first = run_sim({"--board", board, "--root", root, "-t"});
    EXPECT_EQ(255, first.status);  // a configuration without items
    EXPECT_EQ("[System]\n", read_whole_file(root + "/etc/Senvis.ini"));
    EXPECT_EQ("kept", read_whole_file(root + "/var/note"));
    EXPECT_EQ("i2c_i801 16384 0 - Live 0x0000000000000000\n"
              "ipmi_si 16384 0 - Live 0x0000000000000000\n",
              read_whole_file(root + "/proc/modules"));

    // State persists: the root is not seeded again.
    fs::remove(root + "/var/note");
    write_whole_file(root + "/etc/Senvis.ini", "");
    run_sim({"--board", board, "--root", root, "-t"});
    EXPECT_FALSE(fs::exists(root + "/var/note"));
    EXPECT_EQ("", read_whole_file(root + "/etc/Senvis.ini"));
}

TEST(Launcher, TemporaryRootIsRemovedAndNothingIsWrittenOutsideIt) {
    TempDir tmp;  // the launcher's TMPDIR: its default root is made here
    TempDir dir;
    const std::string board = dir.path() + "/board.json";
    write_whole_file(board, R"({"files": {"/etc/Senvis.ini": ""}})");
    for (const char* args : {"-t", "-v"}) {
        SimResult result = run_sim({"--board", board, args}, {"TMPDIR=" + tmp.path()});
        EXPECT_TRUE(fs::is_empty(tmp.path())) << "left behind after " << args;
    }
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()))
        << "only the board file is in its folder";
}

TEST(Launcher, TraceFileCollectsTheRunsOperations) {
    TempDir dir;
    const std::string board = dir.path() + "/board.json";
    const std::string root = dir.path() + "/root";
    write_whole_file(board, R"({"files": {"/etc/Senvis.ini": ""}})");
    write_whole_file(dir.path() + "/trace", "earlier line\n");
    SimResult result =
        run_sim({"--board", board, "--root", root, "--trace", dir.path() + "/trace", "-t"});
    EXPECT_EQ(255, result.status);
    // Appended, never truncated.
    EXPECT_EQ(0u, read_whole_file(dir.path() + "/trace").rfind("earlier line\n", 0));
}

}  // namespace
