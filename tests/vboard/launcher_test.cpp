// The launcher where a single run to its end cannot show it: roots made by
// hand or left by an earlier run, signals, the pace of a report loop, and
// what is left behind outside the root. Its options and its refusals of bad
// board files are the e2e cases vb-launcher-* and vb-board-refused-*; links a
// reused root holds: vb-reused-root-absolute-link-stays-inside.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

const std::string kBasic = std::string(SV_TESTS_DIR) + "/e2e/boards/basic.json";
const std::string kLegacy = std::string(SV_SOURCE_BOARDS_DIR) + "/legacy.json";

size_t entries_in(const std::string& dir) {
    return size_t(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

// Waits (up to 20 s) until `file` holds `count` lines that read `line`.
bool wait_for_lines(const std::string& file, const std::string& line, int count) {
    for (int tries = 0; tries < 2000; usleep(10000), ++tries) {
        std::istringstream in(fs::exists(file) ? read_whole_file(file) : "");
        int seen = 0;
        for (std::string text; std::getline(in, text);) seen += text == line;
        if (seen >= count) return true;
    }
    return false;
}

// A directory made for the launcher by hand is seeded as a new root, keeping
// its mode; one that holds anything is used as it stands.
TEST(Launcher, AnEmptyRootIsSeeded) {
    TempDir dir;
    const std::string root = dir.path() + "/root";
    fs::create_directory(root);
    ::chmod(root.c_str(), 0750);
    SimResult seeded = run_sim({"--board", kBasic, "--root", root, "-t"});
    EXPECT_EQ(0, seeded.status) << seeded.err;
    EXPECT_TRUE(fs::exists(root + "/etc/AllSenvis.ini"));
    EXPECT_EQ(fs::perms(0750), fs::status(root).permissions() & fs::perms::mask);
    EXPECT_EQ(1u, entries_in(dir.path()));

    const std::string kept = dir.path() + "/kept";
    fs::create_directory(kept);
    write_whole_file(kept + "/note", "");
    SimResult used = run_sim({"--board", kBasic, "--root", kept, "-t"});
    EXPECT_EQ(255, used.status) << "no configuration there";
    EXPECT_FALSE(fs::exists(kept + "/etc"));
}

// An interrupt or a termination request in the pause between two reports:
// the temporary root goes, and the launcher ends by that signal.
TEST(Launcher, SignalsRemoveTheTemporaryRootAndEndTheRunByThemselves) {
    for (int signo : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signo));
        TempDir tmp, dir;
        const std::string trace = dir.path() + "/trace";
        ChildProcess run(SV_SIM_PATH, {"--board", kLegacy, "--trace", trace, "--", "-t", "-i", "5"},
                         {"TMPDIR=" + tmp.path()}, 60);
        ASSERT_TRUE(wait_for_lines(trace, "sleep 5", 1));
        EXPECT_FALSE(fs::is_empty(tmp.path()));
        kill(run.pid(), signo);
        SimResult result = run.finish();
        EXPECT_EQ(128 + signo, result.status);
        EXPECT_EQ("", result.err);
        EXPECT_TRUE(fs::is_empty(tmp.path()));
    }
}

// A bundled board with a virtual clock paces -t -i 1 as a real machine does:
// a report a second, while the clock it shows steps a second a report from
// the board's start time.
TEST(Launcher, AReportLoopOnABundledVirtualBoardKeepsItsPace) {
    TempDir dir;
    const std::string trace = dir.path() + "/trace";
    ChildProcess run(SV_SIM_PATH, {"--board", kLegacy, "--trace", trace, "--", "-t", "-i", "1"}, {},
                     60);
    ASSERT_TRUE(wait_for_lines(trace, "sleep 1", 1));
    const auto first = std::chrono::steady_clock::now();
    ASSERT_TRUE(wait_for_lines(trace, "sleep 1", 3));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - first).count();
    kill(run.pid(), SIGINT);
    SimResult result = run.finish();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 3.5);
    EXPECT_TRUE(std::regex_search(result.out,
                                  std::regex("- Fri Dec  4 23:13:59 2026\n(.*\n)*.*- Fri Dec  4 "
                                             "23:14:00 2026\n(.*\n)*.*- Fri Dec  4 23:14:01 2026\n")))
        << result.out;
}

// Every key is checked before anything is written: a board whose files cannot
// all be placed (the messages: vb-board-refused-file-*) leaves no root, nor
// the staging folder beside it, and is refused the same way on a root that
// exists. A refused root name makes nothing.
TEST(Launcher, SeedingIsAllOrNothing) {
    TempDir dir;
    const std::string board = dir.path() + "/b.json";
    write_whole_file(board, R"({"files": {"/etc/early": "x", "/etc/a": "", "/etc/a/b": ""}})");
    const std::string refusal =
        "sensorvisor-sim: " + board + R"(: files["/etc/a/b"]: /etc/a is a file (files["/etc/a"]))" + "\n";
    SimResult fresh = run_sim({"--board", board, "--root", dir.path() + "/new/root", "-v"});
    EXPECT_EQ(2, fresh.status);
    EXPECT_EQ(refusal, fresh.err);
    EXPECT_EQ(1u, entries_in(dir.path()));

    fs::create_directory(dir.path() + "/old");
    SimResult reused = run_sim({"--board", board, "--root", dir.path() + "/old", "-v"});
    EXPECT_EQ(refusal, reused.err);
    EXPECT_TRUE(fs::is_empty(dir.path() + "/old"));

    SimResult bad_name = run_sim({"--root", dir.path() + "/a b/root", "-v"});
    EXPECT_EQ("sensorvisor-sim: root " + dir.path() +
                  "/a b/root: choose a path without blanks or shell characters\n",
              bad_name.err);
    EXPECT_EQ(2u, entries_in(dir.path()));
}

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
    EXPECT_EQ(2u, entries_in(dir.path()));
    const std::string traced = read_whole_file(trace);
    EXPECT_EQ(0u, traced.rfind("earlier line\n", 0));
    EXPECT_GT(traced.size(), 13u);
}

}  // namespace
