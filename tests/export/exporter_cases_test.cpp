// Exporter cases: each folder under tests/export/cases runs
// sensorvisor-exporter-sim once and compares its status, what it printed and
// the text file it left with the files beside it.
//
//   args       the board, then the exporter's words, one per line. @BOARDS@ is
//              the bundled boards, @E2E@ tests/e2e, @CASE@ the case's folder;
//              @DIR@ a fresh folder that
//              holds a plain file "plain-file" and an empty folder
//              "a-directory"; @BUSY@ a loopback address already listened on.
//   status stdout stderr   as in the end-to-end cases (missing: 0, nothing)
//   textfile   the whole of @DIR@/x.prom afterwards, where "@NUMBER@" stands
//              for a number that differs from run to run (a timestamp, a
//              duration); promtool must accept it. Without it, @DIR@ must be
//              left as it was: bad input writes nothing, not even half.
//              @DIR@ and @BUSY@ stand for the same in the expected files.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "export/exposition.h"
#include "support/data_cases.h"
#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCases = fs::path(SV_TESTS_DIR) / "export" / "cases";

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.push_back(fs::relative(entry.path(), dir).string());
    std::sort(names.begin(), names.end());
    return names;
}

struct BusyPort {  // a loopback socket that listens, so that its port is taken
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    std::string address;
    BusyPort() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        EXPECT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a));
        EXPECT_EQ(0, listen(fd, 1));
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
        address = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    }
    ~BusyPort() { close(fd); }
};

// Line by line; "@NUMBER@" at the end of an expected line stands for a number.
bool matches_with_numbers(const std::string& expected, const std::string& actual) {
    std::istringstream want(expected), got(actual);
    std::string w, g;
    while (std::getline(want, w)) {
        if (!std::getline(got, g)) return false;
        const size_t at = w.find("@NUMBER@");
        if (at == std::string::npos ? w != g
                                    : g.compare(0, at, w, 0, at) != 0 || g.size() == at ||
                                          g.find_first_not_of("0123456789.e+-", at) !=
                                              std::string::npos)
            return false;
    }
    return !std::getline(got, g) && expected.ends_with('\n') == actual.ends_with('\n');
}

class ExporterCase : public testing::TestWithParam<std::string> {};

TEST_P(ExporterCase, StatusOutputAndTextFileAsExpected) {
    const fs::path dir = kCases / GetParam();
    TempDir scratch;
    write_whole_file(scratch.path() + "/plain-file", "x");
    fs::create_directory(scratch.path() + "/a-directory");
    const std::vector<std::string> before = listing(scratch.path());
    BusyPort busy;

    std::vector<std::string> args;
    std::istringstream lines(read_whole_file((dir / "args").string()));
    for (std::string line; std::getline(lines, line);) {
        for (const auto& [from, to] :
             {std::pair<std::string, std::string>{"@BOARDS@", SV_SOURCE_BOARDS_DIR},
              {"@E2E@", std::string(SV_TESTS_DIR) + "/e2e"},
              {"@CASE@", dir.string()},
              {"@DIR@", scratch.path()},
              {"@BUSY@", busy.address}})
            for (size_t at; (at = line.find(from)) != std::string::npos;)
                line.replace(at, from.size(), to);
        args.push_back(line);
    }
    args.insert(args.begin(), "--board");
    args.insert(args.begin() + 2, "--");
    SimResult run = run_program(SV_EXPORTER_SIM_PATH, args, {}, 20);

    auto expected = [&](const char* name) {
        std::string text = std::regex_replace(read_or_empty(dir / name), std::regex("@DIR@"),
                                              scratch.path());
        return std::regex_replace(text, std::regex("@BUSY@"), busy.address);
    };
    EXPECT_EQ(fs::exists(dir / "status") ? std::stoi(read_or_empty(dir / "status")) : 0,
              run.status);
    EXPECT_EQ(expected("stdout"), run.out);
    EXPECT_EQ(expected("stderr"), run.err);
    if (!fs::exists(dir / "textfile")) {
        EXPECT_EQ(before, listing(scratch.path()));
        return;
    }
    const std::string file = scratch.path() + "/x.prom";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_TRUE(matches_with_numbers(expected("textfile"), read_whole_file(file)))
        << "--- expected\n" << expected("textfile") << "--- actual\n" << read_whole_file(file);
    if (!fs::exists("/usr/bin/promtool"))
        GTEST_SKIP() << "promtool is missing (package prometheus)";
    SimResult lint = run_program("/bin/sh", {"-c", "promtool check metrics < " + file});
    EXPECT_EQ(0, lint.status) << lint.out << lint.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, ExporterCase, testing::ValuesIn(data_cases(kCases)),
                         data_case_test_name);

TEST(Exposition, LabelValuesEscapeBackslashQuoteAndLineFeed) {
    EXPECT_EQ(R"(Fan \"A\" \\ 2\n)", escape_label_value("Fan \"A\" \\ 2\n"));
}

}  // namespace
