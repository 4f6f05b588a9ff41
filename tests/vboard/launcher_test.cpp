// The launcher end to end: its options, refusing bad board files, seeding a
// new or empty root, reusing an existing one, signals, the pace of a report
// loop, and leaving nothing behind outside the root.
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
#include "vboard/sandbox_paths.h"

namespace fs = std::filesystem;

namespace {

const std::string kBasic = std::string(SV_TESTS_DIR) + "/e2e/boards/basic.json";
const std::string kLegacy = std::string(SV_SOURCE_BOARDS_DIR) + "/legacy.json";
// A line of legacy.json's report (tests/e2e/cases/report-legacy).
const std::string kLegacyFan =
    "CPU1 Fan                                   1607       3154           ";

int count_lines(const std::string& file, const std::string& line) {
    std::istringstream in(fs::exists(file) ? read_whole_file(file) : "");
    int count = 0;
    for (std::string seen; std::getline(in, seen);) count += seen == line;
    return count;
}

// Waits (up to 20 s) until `file` holds `count` lines that read `line`.
bool wait_for_lines(const std::string& file, const std::string& line, int count) {
    for (int tries = 0; tries < 2000; ++tries) {
        if (count_lines(file, line) >= count) return true;
        usleep(10000);
    }
    return false;
}

// The launcher's own options, with getopt_long: each value also after "=",
// a word with "--" that is none of them refused in one line before anything
// is made (an exporter option without "--" before it among them), --help on
// standard output. The words from the first one without "--" are the
// program's.
TEST(Launcher, OptionsHelpAndRefusals) {
    TempDir tmp;  // TMPDIR: a run that got as far as making a root leaves it here
    const struct {
        const char* program;
        std::vector<std::string> words;
        int status;
        std::string out_has;  // a line of standard output ("" for none at all)
        std::string err;
    } cases[] = {
        {SV_SIM_PATH,
         {"--help", "--bord"},
         0,
         "  --board=FILE    the board file (default: the bundled demo board)",
         ""},
        {SV_SIM_PATH, {"--board=" + kLegacy, "-t"}, 0, kLegacyFan, ""},
        {SV_SIM_PATH, {"--bo", kLegacy, "--", "-t"}, 0, kLegacyFan, ""},
        {SV_SIM_PATH,
         {"--bord", kBasic, "-t"},
         2,
         "",
         "sensorvisor-sim: unknown option --bord (sensorvisor's own options go after --); see "
         "sensorvisor-sim --help\n"},
        {SV_SIM_PATH,
         {"--r", "x"},
         2,
         "",
         "sensorvisor-sim: --r is ambiguous: --root or --record; see sensorvisor-sim --help\n"},
        {SV_SIM_PATH,
         {"--keep-serials=yes"},
         2,
         "",
         "sensorvisor-sim: --keep-serials takes no value; see sensorvisor-sim --help\n"},
        {SV_SIM_PATH, {"--trace="}, 2, "", "sensorvisor-sim: --trace needs a value\n"},
        {SV_EXPORTER_SIM_PATH,
         {"--help"},
         0,
         "first word that is not an option below (sensorvisor-exporter-sim -- --help lists them).",
         ""},
        {SV_EXPORTER_SIM_PATH,
         {"--board", kBasic, "--check"},
         2,
         "",
         "sensorvisor-exporter-sim: unknown option --check (sensorvisor-exporter's own options "
         "go after --); see sensorvisor-exporter-sim --help\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.words));
        SimResult result = run_program(c.program, c.words, {"TMPDIR=" + tmp.path()});
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ(c.err, result.err);
        if (c.out_has.empty())
            EXPECT_EQ("", result.out);
        else
            EXPECT_NE(std::string::npos, result.out.find("\n" + c.out_has + "\n")) << result.out;
        EXPECT_TRUE(fs::is_empty(tmp.path()));
    }
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
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));

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
    std::smatch times;
    const std::string out = result.out;
    EXPECT_TRUE(
        std::regex_search(out, times,
                          std::regex("- Fri Dec  4 23:13:59 2026\n(.*\n)*.*- Fri Dec  4 "
                                     "23:14:00 2026\n(.*\n)*.*- Fri Dec  4 23:14:01 2026\n")))
        << out;
}

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

// Every key is checked before anything is written: a board whose files cannot
// all be placed leaves no root (nor the staging folder beside it), and is
// refused the same way on a root that exists. A refused root name makes nothing.
TEST(Launcher, SeedingIsAllOrNothing) {
    const std::pair<const char*, const char*> cases[] = {
        {R"("/etc": "")", R"(files["/etc"]: /etc is a directory of the sandbox)"},
        {R"("/proc/modules/x": "")",
         R"(files["/proc/modules/x"]: /proc/modules is a file of the sandbox)"},
        {R"("/etc/a": "", "/etc/a/b": "")",
         R"(files["/etc/a/b"]: /etc/a is a file (files["/etc/a"]))"},
        {R"("/etc/c/x": "", "/etc/c": "")",
         R"(files["/etc/c"]: /etc/c is a directory: files["/etc/c/x"] lies in it)"},
    };
    for (const auto& [files, why] : cases) {
        SCOPED_TRACE(files);
        TempDir dir;
        const std::string board = dir.path() + "/b.json";
        write_whole_file(board, std::string(R"({"files": {"/etc/early": "x", )") + files + "}}");
        const std::string refusal = "sensorvisor-sim: " + board + ": " + why + "\n";
        SimResult fresh = run_sim({"--board", board, "--root", dir.path() + "/new/root", "-v"});
        EXPECT_EQ(2, fresh.status);
        EXPECT_EQ(refusal, fresh.err);
        EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));

        fs::create_directory(dir.path() + "/old");
        SimResult reused = run_sim({"--board", board, "--root", dir.path() + "/old", "-v"});
        EXPECT_EQ(refusal, reused.err);
        EXPECT_TRUE(fs::is_empty(dir.path() + "/old"));
    }
    TempDir dir;
    SimResult bad_name = run_sim({"--root", dir.path() + "/a b/root", "-v"});
    EXPECT_EQ("sensorvisor-sim: root " + dir.path() +
                  "/a b/root: choose a path without blanks or shell characters\n",
              bad_name.err);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// A reused root whose /etc/Senvis.ini is an absolute link, as a chroot sees
// it: the first run's configuration goes where the link leads inside the
// root (or replaces the link), never outside (it wrote 7 KB outside before).
TEST(Launcher, LinksInAReusedRootLeadNowhereOutsideIt) {
    TempDir dir, outside;
    const std::string board = std::string(SV_SOURCE_BOARDS_DIR) + "/firstrun-current.json";
    const std::string root = dir.path() + "/root";
    SimResult seeding = run_sim({"--board", board, "--root", root, "-v"});
    ASSERT_EQ(0, seeding.status) << seeding.err;
    fs::create_symlink(outside.path() + "/Senvis.ini", root + "/etc/Senvis.ini");
    fs::create_directories(root + outside.path());

    SimResult first = run_sim({"--board", board, "--root", root, "-t"});
    EXPECT_EQ(0, first.status) << first.err;
    EXPECT_TRUE(fs::is_empty(outside.path()));
    const std::string seen = SandboxPaths(root).resolve("/etc/Senvis.ini").value();
    EXPECT_EQ(0u, read_whole_file(seen).find("[SYSTEM]\n")) << seen;
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
    EXPECT_EQ(2, std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
    const std::string traced = read_whole_file(trace);
    EXPECT_EQ(0u, traced.rfind("earlier line\n", 0));
    EXPECT_GT(traced.size(), 13u);
}

}  // namespace
