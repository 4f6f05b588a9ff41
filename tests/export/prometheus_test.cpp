// End to end with a real Prometheus server: it scrapes the exporter running
// on the demo board and evaluates the alert rules; a query through its HTTP
// API must give the readings of the board's golden text report, and the
// latched chassis intrusion must be on its way to an alert. Bounded: it gives
// up after 60 s and says what it was waiting for.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "support/http_get.h"
#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrometheus = "/usr/bin/prometheus";

std::string url_encoded(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.' || c == '-') {
            out += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

// The first result of an instant query, or null.
nlohmann::json first_result(int port, const std::string& query) {
    HttpReply reply = http_get(port, "/api/v1/query?query=" + url_encoded(query));
    if (reply.status != 200) return nullptr;
    auto answer = nlohmann::json::parse(reply.body, nullptr, false);
    if (answer.is_discarded() || answer["data"]["result"].empty()) return nullptr;
    return answer["data"]["result"][0];
}

TEST(Prometheus, ScrapesTheExporterAndSeesTheReportsReadings) {
    if (!fs::exists(kPrometheus))
        GTEST_SKIP() << "prometheus is missing (Debian package prometheus)";
    TempDir dir;
    const int exporter_port = free_loopback_port();
    const int server_port = free_loopback_port();
    ASSERT_NE(exporter_port, server_port);
    write_whole_file(dir.path() + "/prometheus.yml",
                     "global: {scrape_interval: 1s, evaluation_interval: 1s}\n"
                     "rule_files: ['" SV_CONTRIB_DIR
                     "/prometheus/sensorvisor-rules.yml']\n"
                     "scrape_configs:\n"
                     "  - job_name: sensorvisor\n"
                     "    static_configs: [{targets: ['127.0.0.1:" +
                         std::to_string(exporter_port) + "']}]\n");

    ChildProcess exporter(
        SV_EXPORTER_SIM_PATH,
        {"--board", std::string(SV_SOURCE_BOARDS_DIR) + "/demo.json", "--", "--listen",
         "127.0.0.1:" + std::to_string(exporter_port), "--interval", "3600"});
    ChildProcess server(
        kPrometheus,
        {"--config.file=" + dir.path() + "/prometheus.yml",
         "--storage.tsdb.path=" + dir.path() + "/data",
         "--web.listen-address=127.0.0.1:" + std::to_string(server_port), "--log.level=warn"});

    // The demo's values change with its clock: one reading (the long
    // interval) is the one the report shows. From its golden report: "+12V  13.18  10.75  12.03", "CPU1 Fan  1500  3375",
    // "CPU1 Temperature  80/176  45/113", "Chassis Intrusion  Bad  Warning!".
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"sensorvisor_voltage_volts{item=\"+12V\"}", "12.032"},
        {"sensorvisor_fan_rpm{item=\"CPU1 Fan\"}", "3375"},
        {"sensorvisor_fan_min_rpm{item=\"CPU1 Fan\"}", "1500"},
        {"sensorvisor_temperature_celsius{item=\"CPU1 Temperature\"}", "45"},
        {"sensorvisor_switch_state{item=\"Chassis Intrusion\"}", "1"},
        {"sensorvisor_item_normal{item=\"Chassis Intrusion\"}", "0"},
        {"ALERTS{alertname=\"SensorvisorItemNotNormal\",item=\"Chassis Intrusion\"}", "1"},
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (const auto& [query, value] : expected) {
        nlohmann::json result;
        while (result.is_null() && std::chrono::steady_clock::now() < deadline &&
               server.running() && exporter.running()) {
            result = first_result(server_port, query);
            if (result.is_null()) std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        ASSERT_FALSE(result.is_null())
            << "gave up waiting for " << query << " through Prometheus on port " << server_port
            << (server.running() ? "" : " (the server ended)")
            << (exporter.running() ? "" : " (the exporter ended)")
            << "\nserver: " << server.stop().err << "\nexporter: " << exporter.stop().err;
        EXPECT_EQ(value, result["value"][1].get<std::string>()) << query;
    }
    EXPECT_EQ(
        "pending",
        first_result(server_port, "ALERTS{item=\"Chassis Intrusion\"}")["metric"]["alertstate"]);
    EXPECT_TRUE(first_result(server_port, "ALERTS{item=\"CPU1 Fan\"}").is_null());
    EXPECT_EQ(0, exporter.stop().status);
}

}  // namespace
