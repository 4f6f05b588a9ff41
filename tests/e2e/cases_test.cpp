// End-to-end cases: each folder under tests/e2e/cases runs sensorvisor-sim
// once in a fresh temporary root and compares what it printed, its exit
// status and the files it left with the expected files beside it.
//
//   args           launcher and monitor words, one per line; @E2E@ is tests/e2e,
//                  @BOARDS@ the bundled boards, @CASE@ the case folder. Without
//                  a --board line the case's board.json is used.
//   stdout stderr  expected output (a missing file means: nothing). A line
//                  "@CTIME@" inside a line stands for a ctime() timestamp,
//                  "@ROOT@" for the root's host path, "@CASE@" and "@BOARDS@" as in args.
//   status         expected exit status (default 0)
//   expected-root/ files that must be in the root afterwards, byte for byte
//   absent         paths (one per line) that must not exist afterwards
//   trace          excerpts of what the hardware must have seen: blocks of
//                  consecutive trace lines, separated by "..." lines, found in
//                  this order
//   second-run/    optional: the same files for a second run on the same root
//                  (its board is the case's board.json unless its args name one)
//   links          "PATH -> TARGET" lines: PATH in the root is replaced by a
//                  symbolic link to TARGET before the run (a root that holds
//                  anything is not seeded, so this belongs in second-run/)
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

const fs::path kE2eDir = fs::path(SV_TESTS_DIR) / "e2e";

std::vector<std::string> case_names() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kE2eDir / "cases"))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string read_or(const fs::path& path, const std::string& fallback) {
    return fs::exists(path) ? read_whole_file(path.string()) : fallback;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Blocks of lines separated by "..." lines.
std::vector<std::vector<std::string>> excerpts_of(const std::string& text) {
    std::vector<std::vector<std::string>> excerpts(1);
    for (const std::string& line : lines_of(text)) {
        if (line == "...") {
            excerpts.emplace_back();
        } else {
            excerpts.back().push_back(line);
        }
    }
    std::erase_if(excerpts, [](const auto& excerpt) { return excerpt.empty(); });
    return excerpts;
}

void replace_all(std::string* text, const std::string& from, const std::string& to) {
    for (size_t at = text->find(from); at != std::string::npos; at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

// Exact comparison, except that "@CTIME@" matches a ctime() text without its
// newline ("Sat Dec  5 14:47:19 2026").
bool output_matches(const std::string& expected, const std::string& actual) {
    if (expected.find("@CTIME@") == std::string::npos) return expected == actual;
    std::string pattern;
    for (char c : expected) {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
        pattern += c;
    }
    replace_all(&pattern, "@CTIME@", "[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4}");
    return std::regex_match(actual, std::regex(pattern));
}

// One run of the simulator on `root`, checked against the files in `step_dir`.
void run_and_check(const fs::path& case_dir, const fs::path& step_dir, const std::string& root) {
    std::vector<std::string> args = {"--root", root};
    bool has_board = false;
    for (std::string line : lines_of(read_or(step_dir / "args", ""))) {
        replace_all(&line, "@E2E@", kE2eDir.string());
        replace_all(&line, "@BOARDS@", SV_SOURCE_BOARDS_DIR);
        replace_all(&line, "@CASE@", case_dir.string());
        if (line == "--board") has_board = true;
        args.push_back(line);
    }
    if (!has_board) args.insert(args.begin(), {"--board", (case_dir / "board.json").string()});
    for (const std::string& line : lines_of(read_or(step_dir / "links", ""))) {
        const size_t arrow = line.find(" -> ");
        const fs::path at = fs::path(root) / fs::path(line.substr(0, arrow)).relative_path();
        fs::remove(at);
        fs::create_symlink(line.substr(arrow + 4), at);
    }
    TempDir trace_dir;
    const std::string trace_file = trace_dir.path() + "/trace";
    args.insert(args.begin(), {"--trace", trace_file});

    SimResult result = run_sim(args);

    EXPECT_EQ(std::stoi(read_or(step_dir / "status", "0")), result.status);
    std::string expected_out = read_or(step_dir / "stdout", "");
    std::string expected_err = read_or(step_dir / "stderr", "");
    for (std::string* expected : {&expected_out, &expected_err}) {
        replace_all(expected, "@ROOT@", fs::weakly_canonical(root).string());
        replace_all(expected, "@CASE@", case_dir.string());
        replace_all(expected, "@BOARDS@", SV_SOURCE_BOARDS_DIR);
    }
    EXPECT_TRUE(output_matches(expected_out, result.out))
        << "stdout differs.\n--- expected\n" << expected_out << "--- actual\n" << result.out;
    EXPECT_TRUE(output_matches(expected_err, result.err))
        << "stderr differs.\n--- expected\n" << expected_err << "--- actual\n" << result.err;

    const fs::path expected_root = step_dir / "expected-root";
    if (fs::exists(expected_root)) {
        for (const auto& entry : fs::recursive_directory_iterator(expected_root)) {
            if (!entry.is_regular_file()) continue;
            fs::path relative = fs::relative(entry.path(), expected_root);
            fs::path actual = fs::path(root) / relative;
            ASSERT_TRUE(fs::exists(actual)) << relative << " was not left in the root";
            EXPECT_EQ(read_whole_file(entry.path().string()), read_whole_file(actual.string()))
                << relative << " differs";
        }
    }
    const std::vector<std::string> seen = lines_of(read_or(trace_file, ""));
    auto at = seen.begin();
    for (const std::vector<std::string>& excerpt : excerpts_of(read_or(step_dir / "trace", ""))) {
        at = std::search(at, seen.end(), excerpt.begin(), excerpt.end());
        EXPECT_NE(at, seen.end()) << "the hardware did not see, after the excerpts before it:\n"
                                  << testing::PrintToString(excerpt);
        if (at == seen.end()) break;
        at += static_cast<std::ptrdiff_t>(excerpt.size());
    }
    for (const std::string& path : lines_of(read_or(step_dir / "absent", "")))
        EXPECT_FALSE(fs::exists(fs::path(root) / fs::path(path).relative_path()))
            << path << " should not exist";
}

class EndToEnd : public testing::TestWithParam<std::string> {};

TEST_P(EndToEnd, OutputStatusAndFilesAsExpected) {
    const fs::path case_dir = kE2eDir / "cases" / GetParam();
    TempDir scratch;
    const std::string root = scratch.path() + "/root";
    run_and_check(case_dir, case_dir, root);
    if (fs::is_directory(case_dir / "second-run")) {
        SCOPED_TRACE("second run");
        run_and_check(case_dir, case_dir / "second-run", root);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, testing::ValuesIn(case_names()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
