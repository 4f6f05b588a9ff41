// Recording a run into a board file (sensorvisor-sim --record), in front of
// virtual boards exactly as it runs in front of the real machine: the
// recording replays into the same report and the same trace, records itself
// again into the same file, keeps nothing private unless asked, and leaves
// nothing half-written behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "support/sandbox.h"
#include "support/sim_run.h"
#include "vboard/board.h"

namespace fs = std::filesystem;

namespace {

const std::string kSource = std::string(SV_TESTS_DIR) + "/record/recorder-source.json";

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The report's time line is the one thing a replay may show differently.
std::vector<std::string> without_time_lines(const std::string& text) {
    static const std::regex kCtime(
        "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}");
    std::vector<std::string> lines = lines_of(text);
    std::erase_if(lines, [](const std::string& line) { return std::regex_search(line, kCtime); });
    return lines;
}

std::string read_or_empty(const std::string& path) {
    return fs::exists(path) ? read_whole_file(path) : "";
}

std::vector<std::string> round_trip_boards() {
    std::vector<std::string> boards;
    for (const auto& entry : fs::directory_iterator(SV_SOURCE_BOARDS_DIR))
        if (entry.path().extension() == ".json") boards.push_back(entry.path().string());
    std::sort(boards.begin(), boards.end());
    boards.push_back(kSource);
    return boards;
}

// The run of `-t` on `board` in a new root under `dir`, its trace beside it.
struct SimRun {
    SimResult result;
    std::vector<std::string> trace;
    std::string root;
};
SimRun run_t(const std::string& board, const std::string& dir, const std::string& name,
             std::vector<std::string> launcher_words = {}) {
    SimRun run;
    run.root = dir + "/" + name + ".root";
    std::string trace = dir + "/" + name + ".trace";
    std::vector<std::string> args = {"--board", board, "--root", run.root, "--trace", trace};
    args.insert(args.end(), launcher_words.begin(), launcher_words.end());
    args.insert(args.end(), {"--", "-t"});
    run.result = run_sim(args);
    run.trace = lines_of(read_or_empty(trace));
    return run;
}

class RoundTrip : public testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(Boards, RoundTrip, testing::ValuesIn(round_trip_boards()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = fs::path(info.param).stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST_P(RoundTrip, ReplaysTheReportAndTraceAndRecordsTheSameFileAgain) {
    TempDir dir;
    const std::string recording = dir.path() + "/recorded.json";
    SimRun original = run_t(GetParam(), dir.path(), "original");
    SimRun recorded = run_t(GetParam(), dir.path(), "recorded", {"--record", recording});
    ASSERT_NO_THROW(load_board_file(recording)) << recorded.result.err;
    SimRun replayed = run_t(recording, dir.path(), "replayed");

    // The recording layer changes nothing the run sees, except that it shows
    // the BMC's GUID as it records it.
    auto guid_line = [](const std::string& line) {
        return line.find(" 06/37 -> ") != std::string::npos;
    };
    std::vector<std::string> shown = original.trace, traced = recorded.trace;
    std::erase_if(shown, guid_line);
    std::erase_if(traced, guid_line);
    EXPECT_EQ(shown, traced);
    EXPECT_EQ(without_time_lines(original.result.out), without_time_lines(recorded.result.out));

    EXPECT_EQ(recorded.result.status, replayed.result.status);
    EXPECT_EQ(without_time_lines(recorded.result.out), without_time_lines(replayed.result.out));
    EXPECT_EQ(recorded.result.err, replayed.result.err);
    EXPECT_EQ(recorded.trace, replayed.trace);
    // A configuration the first run generated is generated again, the same.
    for (const char* file : {"/etc/Senvis.ini", "/etc/Senvis.ini.old"}) {
        EXPECT_EQ(read_or_empty(recorded.root + file), read_or_empty(replayed.root + file)) << file;
    }

    const std::string again = dir.path() + "/again.json";
    run_t(recording, dir.path(), "again", {"--record", again});
    EXPECT_EQ(read_whole_file(recording), read_or_empty(again));
}

// ---- privacy ---------------------------------------------------------------------

// The source board's serial numbers and asset tags (system, base board,
// chassis, memory), its system UUID as it lies in memory and as dmidecode
// prints it, and the GUID bytes after the "5001QK" that names the BMC's kind.
const char* const kPrivateTexts[] = {"SYS-SERIAL-4711",  "BOARD-SERIAL-0815", "BOARD-ASSET-0042",
                                     "CHASSIS-SERIAL-7", "CHASSIS-ASSET-9",   "DIMM-SERIAL-31337",
                                     "DIMM-ASSET-1"};
const char* const kUuidInDmidecode = "092AA26B-963C-F82F";
const std::string kUuidInMemory = "\x6b\xa2\x2a\x09\x3c\x96\x2f\xf8";
const char* const kUnusedGuidBytes = "11 22 33 44 55 66 77 88 99 aa";

// Everything a recording holds: its text, and its memory as the replay has it.
std::string everything_in(const std::string& recording) {
    std::string all = read_whole_file(recording);
    Board board = load_board_file(recording);
    for (const MemoryChunk& chunk : smbios_memory(board.smbios))
        all.append(chunk.bytes.begin(), chunk.bytes.end());
    return all + board.dmidecode.text;
}

TEST(RecordingPrivacy, PlaceholdersUnlessSerialsAreKept) {
    TempDir dir;
    // Without its entry point the board is identified through dmidecode,
    // whose text then goes into the recording; the scan of the BIOS area
    // still reads the table's bytes.
    nlohmann::json source = nlohmann::json::parse(read_whole_file(kSource));
    const std::string through_dmidecode = dir.path() + "/through-dmidecode.json";
    source["smbios"].erase("entry_point");
    write_whole_file(through_dmidecode, source.dump());

    struct Case {
        std::string board;
        bool keep;
        bool dmidecode;  // the recording holds dmidecode's text
    };
    const Case cases[] = {{kSource, false, false},
                          {kSource, true, false},
                          {through_dmidecode, false, true},
                          {through_dmidecode, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(fs::path(c.board).stem().string() + (c.keep ? " --keep-serials" : ""));
        const std::string recording = dir.path() + "/recording.json";
        std::vector<std::string> words = {"--record", recording};
        if (c.keep) words.push_back("--keep-serials");
        SimRun recorded = run_t(c.board, dir.path(), "private", words);
        fs::remove_all(recorded.root);
        ASSERT_EQ(0, recorded.result.status) << recorded.result.err;
        std::string all = everything_in(recording);
        std::string upper = all;
        for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
        for (const char* text : kPrivateTexts)
            EXPECT_EQ(c.keep, upper.find(text) != std::string::npos) << text;
        EXPECT_EQ(c.keep, all.find(kUuidInMemory) != std::string::npos);
        EXPECT_EQ(c.keep && c.dmidecode, upper.find(kUuidInDmidecode) != std::string::npos);
        EXPECT_EQ(c.keep, all.find(kUnusedGuidBytes) != std::string::npos);
        // What tells the BMC's kind stays, so the replay takes the same paths.
        EXPECT_NE(std::string::npos, all.find("\"guid\": \"35 30 30 31 51 4b "));
    }
}

// ---- what must not be left half-done ------------------------------------------------

// Recording the machine itself (no --board) takes no --root; the other
// refusals are the e2e cases rec-*-refused.
TEST(RecordingRefused, TheMachineItselfHasNoRoot) {
    TempDir dir;
    SimResult result = run_sim({"--record", dir.path() + "/b.json", "--root", dir.path(), "--", "-t"});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("sensorvisor-sim: --root goes with --board\n", result.err);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// Waits until the trace holds a line that begins with `start` (the run has
// got there).
bool wait_for_line(const std::string& trace, const std::string& start) {
    for (int tries = 0; tries < 200; ++tries) {
        for (const std::string& seen : lines_of(read_or_empty(trace)))
            if (seen.starts_with(start)) return true;
        usleep(25000);
    }
    return false;
}

// Interrupted while it pauses between reports, the run ends there and the
// recording holds it whole; interrupted in the middle of its work (waiting
// for a silent BMC), it goes on to its next pause, and a second interrupt
// abandons the recording.
TEST(RecordingInterrupted, AtAPauseTheRunIsRecordedASecondTimeNothingIs) {
    TempDir dir;
    nlohmann::json board = nlohmann::json::parse(read_whole_file(kSource));
    board["clock"] = {{"virtual", false}};  // real waits, long enough to interrupt
    const std::string repeating = dir.path() + "/repeating.json", silent = dir.path() + "/silent.json";
    write_whole_file(repeating, board.dump());
    board["bmc"]["respond"] = false;
    write_whole_file(silent, board.dump());
    const std::string file = dir.path() + "/interrupted.json";
    const struct {
        std::string board;
        std::vector<std::string> monitor;
        std::string wait_for;  // the signals go after that trace line
        std::vector<int> signals;
        std::string err;
    } cases[] = {
        {repeating, {"-t", "-i", "1"}, "sleep 1", {SIGINT}, "interrupted: the run until now is recorded in " + file},
        {silent, {"-t"}, "open /dev/ipmi0 -> ", {SIGINT, SIGTERM},
         "interrupted: the recording stops at the run's next pause (interrupt again to abandon "
         "it)\nsensorvisor-sim: interrupted again: " + file + " is not written"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wait_for);
        const std::string trace = c.board + ".trace";
        std::vector<std::string> args = {"--board", c.board, "--root",   c.board + ".root",
                                         "--trace", trace,   "--record", file, "--"};
        args.insert(args.end(), c.monitor.begin(), c.monitor.end());
        ChildProcess run(SV_SIM_PATH, args, {}, 60);
        ASSERT_TRUE(wait_for_line(trace, c.wait_for));
        for (int signo : c.signals) kill(run.pid(), signo);
        SimResult result = run.finish();
        EXPECT_EQ(128 + c.signals.back(), result.status);
        EXPECT_EQ("sensorvisor-sim: " + c.err + "\n", result.err);
        EXPECT_EQ(c.signals.size() == 1, fs::exists(file));  // a second signal abandons it
        if (fs::exists(file)) {
            EXPECT_NO_THROW(load_board_file(file));
        }
        EXPECT_FALSE(fs::exists(file + ".new"));
        fs::remove(file);
    }
}

}  // namespace
