// The exporter as a user meets it: the check's one line and status, bad
// input refused with one line and nothing half-written, and the HTTP side,
// which must never reach the hardware on a request.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/http_get.h"
#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

const std::string kCases = std::string(SV_TESTS_DIR) + "/e2e/cases/";
const std::string kDemo = std::string(SV_SOURCE_BOARDS_DIR) + "/demo.json";
const std::string kNak = kCases + "fault-smbus-nak-shows-not-available/board.json";
const std::string kBasic = std::string(SV_TESTS_DIR) + "/e2e/boards/basic.json";

SimResult exporter(const std::string& board, const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--board", board, "--"};
    all.insert(all.end(), args.begin(), args.end());
    return run_program(SV_EXPORTER_SIM_PATH, all);
}

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Check, OneLineOnStandardOutputAndThePluginStatus) {
    TempDir dir;
    write_whole_file(dir.path() + "/unknown.json", "{}");
    struct Case {
        std::string board;
        int status;
        std::string line;  // the whole of standard output, or its start ending in "| "
    };
    const std::vector<Case> cases = {
        {kNak, 1,
         "SENSORVISOR WARNING - not read: VBAT | '+2.5V'=2.460;2.246:2.490;2.246:2.490 "
         "'VBAT'=U;1.750:3.296;1.750:3.296\n"},
        // The engine's own "Error: Parameter is not found." lines go to stderr.
        {kBasic, 2,
         "SENSORVISOR CRITICAL - not normal: CPU Fan, Chassis Intrusion | 'CPU Fan'=0;0:;0: "
         "'Chassis Intrusion'=1;0;0\n"},
        {kDemo, 2, "SENSORVISOR CRITICAL - not normal: Chassis Intrusion | "},
        {std::string(SV_SOURCE_BOARDS_DIR) + "/bmc-imb.json", 0,
         "SENSORVISOR OK - 20 items normal | 'CPU1 Fan'=3375;1004:;1004: "},
        {dir.path() + "/unknown.json", 3,
         "SENSORVISOR UNKNOWN - start-up failed (its message is on standard error)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.board);
        SimResult result = exporter(c.board, {"--check"});
        EXPECT_EQ(c.status, result.status) << result.err;
        if (c.line.back() == '\n') {
            EXPECT_EQ(c.line, result.out);
        } else {
            EXPECT_EQ(c.line, result.out.substr(0, c.line.size()));
        }
        EXPECT_EQ(1, std::count(result.out.begin(), result.out.end(), '\n'));
    }
}

TEST(BadInput, OneClearLineAStatusAndNothingHalfWritten) {
    TempDir dir;
    const std::string d = dir.path();
    write_whole_file(d + "/plain-file", "x");
    fs::create_directory(d + "/a-directory");
    write_whole_file(d + "/unknown.json", "{}");

    int taken = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(0, bind(taken, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_EQ(0, listen(taken, 1));
    getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string busy = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    struct Case {
        std::string board;
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::vector<Case> cases = {
        {kDemo,
         {"--listen", busy},
         1,
         "sensorvisor-exporter: cannot listen on " + busy + ": Address already in use\n"},
        {kDemo,
         {"--textfile", d + "/missing/x.prom"},
         1,
         "sensorvisor-exporter: cannot write " + d +
             "/missing/x.prom: No such file or directory\n"},
        {kDemo,
         {"--textfile", d + "/plain-file/x.prom", "--once"},
         1,
         "sensorvisor-exporter: cannot write " + d + "/plain-file/x.prom: Not a directory\n"},
        // Found only at the rename, after the readings: the temporary file goes,
        // and a first write that fails ends even a run that would go on.
        {kDemo,
         {"--textfile", d + "/a-directory"},
         1,
         "sensorvisor-exporter: cannot write " + d + "/a-directory: Is a directory\n"},
        {d + "/unknown.json",
         {"--textfile", d + "/x.prom", "--once"},
         255,
         "Warn: This is not Kelvorante's motherboard!\n"},
        {kDemo,
         {"--interval", "0"},
         2,
         "sensorvisor-exporter: --interval needs a number of seconds from 1 to 86400, not \"0\"\n"},
        {kDemo, {"--once"}, 2, "sensorvisor-exporter: --once goes with --textfile\n"},
        {kDemo,
         {"--check", "--listen", busy},
         2,
         "sensorvisor-exporter: choose one of --listen, --textfile and --check\n"},
    };
    const std::vector<std::string> before = listing(d);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
        SimResult result = exporter(c.board, c.args);
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ(c.err, result.err);
        EXPECT_EQ(before, listing(d));
    }
    close(taken);
}

int trace_lines(const std::string& path) {
    std::string text = read_whole_file(path);
    return int(std::count(text.begin(), text.end(), '\n'));
}

// Scrapes are answered from the last reading: a flood of them adds no line
// to the board's trace. Only GET / and GET /metrics are answered.
TEST(Http, ScrapesNeverReachTheHardware) {
    TempDir dir;
    const std::string trace = dir.path() + "/trace";
    const int port = free_loopback_port();
    ChildProcess running(SV_EXPORTER_SIM_PATH,
                              {"--board", kDemo, "--trace", trace, "--", "--listen",
                               "127.0.0.1:" + std::to_string(port), "--interval", "3600"});
    HttpReply first;
    for (int tries = 0; tries < 100 && first.status != 200; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        first = http_get(port, "/metrics");
    }
    ASSERT_EQ(200, first.status) << running.stop().err;
    EXPECT_NE(std::string::npos, first.headers.find("text/plain; version=0.0.4"));
    EXPECT_NE(std::string::npos, first.body.find("sensorvisor_fan_rpm{item=\"CPU1 Fan\"} 3375\n"));

    const int lines = trace_lines(trace);
    EXPECT_GT(lines, 100) << "the readings are traced";
    for (int i = 0; i < 100; ++i) ASSERT_EQ(first.body, http_get(port, "/metrics").body);
    EXPECT_EQ(lines, trace_lines(trace));

    EXPECT_EQ(200, http_get(port, "/").status);
    EXPECT_EQ(404, http_get(port, "/metrics/x").status);
    EXPECT_EQ(405, http_request(port, "POST", "/metrics").status);
    EXPECT_EQ(405, http_request(port, "DELETE", "/").status);
    EXPECT_EQ(0, running.stop().status) << "SIGTERM ends it normally";
}

// The file is rewritten every interval, whole, and nothing else is left in
// its directory.
TEST(Textfile, RewrittenEveryIntervalWithoutLeftovers) {
    TempDir dir;
    const std::string file = dir.path() + "/sensorvisor.prom";
    ChildProcess running(SV_EXPORTER_SIM_PATH,
                              {"--board", kDemo, "--", "--textfile", file, "--interval", "1"});
    auto stamp = [&] {
        std::string text = fs::exists(file) ? read_whole_file(file) : "";
        size_t at = text.find("\nsensorvisor_last_reading_timestamp_seconds ");
        return at == std::string::npos ? "" : text.substr(at, text.find('\n', at + 1) - at);
    };
    std::string earlier;
    for (int tries = 0; tries < 50 && earlier.empty(); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        earlier = stamp();
    }
    ASSERT_NE("", earlier) << running.stop().err;
    std::string later = earlier;
    for (int tries = 0; tries < 50 && later == earlier; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        later = stamp();
    }
    EXPECT_NE(earlier, later) << "not rewritten within 5 s at an interval of 1 s";
    EXPECT_EQ(0, running.stop().status);
    EXPECT_EQ(std::vector<std::string>{file}, listing(dir.path()));
}

}  // namespace
