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

// Seeding a new root and reusing an existing one: every e2e case's expected-root,
// and the second-run of fault-full-disk-during-first-run-rewrite.

// The trace file is appended to, never truncated.
TEST(Launcher, TemporaryRootIsRemovedAndOnlyTheTraceIsWrittenOutsideIt) {
    TempDir tmp;  // the launcher's TMPDIR: its default root is made here
    TempDir dir;
    const std::string board = dir.path() + "/board.json", trace = dir.path() + "/trace";
    write_whole_file(board, R"({"files": {"/etc/Senvis.ini": ""}})");
    write_whole_file(trace, "earlier line\n");
    for (const char* args : {"-t", "-v"}) {
        run_sim({"--board", board, "--trace", trace, args}, {"TMPDIR=" + tmp.path()});
        EXPECT_TRUE(fs::is_empty(tmp.path())) << "left behind after " << args;
    }
    EXPECT_EQ(2, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
    const std::string traced = read_whole_file(trace);
    EXPECT_EQ(0u, traced.rfind("earlier line\n", 0));
    EXPECT_GT(traced.size(), 13u);
}

}  // namespace
