// The exporter running: the HTTP side, which must never reach the hardware on
// a request, and the text file rewritten every interval. What one run prints
// and writes is in the cases of tests/export/cases.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/http_get.h"
#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

const std::string kDemo = std::string(SV_SOURCE_BOARDS_DIR) + "/demo.json";

std::vector<std::string> listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.push_back(entry.path().string());
    std::sort(names.begin(), names.end());
    return names;
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
