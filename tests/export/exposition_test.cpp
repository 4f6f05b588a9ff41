// The exposition against the golden text reports: the exporter runs once on
// each board of the report cases (tests/e2e/cases/report-*, and one with a
// failing item), and every line it publishes must say what the report of
// that board says. promtool must accept the whole output.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "export/exposition.h"
#include "support/sandbox.h"
#include "support/sim_run.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCases = fs::path(SV_TESTS_DIR) / "e2e" / "cases";

// One row of a text report, cut at the columns of "%-25s %10s %10s %10s %10s".
struct ReportRow {
    std::string high, low, status;
    bool warning;
};

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

std::map<std::string, ReportRow> report_rows(const std::string& report) {
    std::map<std::string, ReportRow> rows;
    std::istringstream in(report);
    bool body = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("-----", 0) == 0) {
            if (body) break;  // the closing time line
            body = line.size() == 70;
            continue;
        }
        if (!body) continue;
        line.resize(69, ' ');
        rows[trimmed(line.substr(0, 25))] = {
            trimmed(line.substr(26, 10)), trimmed(line.substr(37, 10)),
            trimmed(line.substr(48, 10)), trimmed(line.substr(59, 10)) == "Warning!"};
    }
    return rows;
}

struct Sample {
    std::string name;
    std::map<std::string, std::string> labels;
    std::string value;
};

std::vector<Sample> samples(const std::string& exposition) {
    std::vector<Sample> out;
    std::istringstream in(exposition);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        Sample sample;
        size_t at = line.find_first_of("{ ");
        sample.name = line.substr(0, at);
        if (line[at] == '{') {
            ++at;
            while (line[at] != '}') {
                size_t eq = line.find('=', at);
                std::string key = line.substr(at, eq - at), value;
                for (at = eq + 2; line[at] != '"'; ++at) {
                    if (line[at] == '\\') ++at;
                    value += line[at] == 'n' && line[at - 1] == '\\' ? '\n' : line[at];
                }
                sample.labels[key] = value;
                at += line[at + 1] == ',' ? 2 : 1;
            }
            ++at;
        }
        sample.value = line.substr(at + 1);
        out.push_back(sample);
    }
    return out;
}

// The report's forms: volts as the single-precision quotient with "%.2f",
// a temperature as "C/F", a switch as a word.
std::string report_volts(const std::string& volts) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", double(float(std::stod(volts))));
    return text;
}

std::string celsius_of(const std::string& cell) {
    return cell.substr(0, cell.find('/'));
}

std::string switch_word(const std::string& state) {
    return state == "0" ? "Good" : state == "1" ? "Bad" : "N/A";
}

// The board a case runs, as the e2e runner finds it.
fs::path board_of(const std::string& name) {
    std::ifstream args(kCases / name / "args");
    for (std::string line; std::getline(args, line);)
        if (line == "--board" && std::getline(args, line))
            return std::string(SV_SOURCE_BOARDS_DIR) + line.substr(line.find('/'));
    return kCases / name / "board.json";
}

// The sample's value in the report's form, beside what the report shows for
// it; nullopt for a family the report has no cell for.
std::optional<std::pair<std::string, std::string>> in_report_form(const Sample& s,
                                                                  const ReportRow& row) {
    using Pair = std::pair<std::string, std::string>;
    const std::string& n = s.name;
    if (n == "sensorvisor_fan_rpm") return Pair{s.value, row.status};
    if (n == "sensorvisor_fan_min_rpm") return Pair{s.value, row.low};
    if (n == "sensorvisor_voltage_volts") return Pair{report_volts(s.value), row.status};
    if (n == "sensorvisor_voltage_max_volts") return Pair{report_volts(s.value), row.high};
    if (n == "sensorvisor_voltage_min_volts") return Pair{report_volts(s.value), row.low};
    if (n == "sensorvisor_temperature_max_celsius") return Pair{s.value, celsius_of(row.high)};
    if (n == "sensorvisor_temperature_celsius") {
        // A thermal word stands in the report instead of the degrees.
        if (row.status.find('/') == std::string::npos) return Pair{"", ""};
        return Pair{s.value, celsius_of(row.status)};
    }
    if (n == "sensorvisor_thermal_status")
        return Pair{s.value, row.status == s.labels.at("status") ? "1" : "0"};
    if (n == "sensorvisor_switch_state") {
        // A status-only switch (chip code 27) says Normal or Overheat.
        std::string word = row.status == "Normal" || row.status == "Overheat"
                               ? (s.value == "1" ? "Overheat" : "Normal")
                               : switch_word(s.value);
        return Pair{word, row.status};
    }
    if (n == "sensorvisor_item_normal") return Pair{s.value, row.warning ? "0" : "1"};
    if (n == "sensorvisor_item_read_failures_total")
        return Pair{s.value,
                    row.status == "N/A" && s.labels.at("category") != "switch" ? "1" : "0"};
    return std::nullopt;
}

class ExpositionAgainstReport : public testing::TestWithParam<std::string> {};

TEST_P(ExpositionAgainstReport, EveryLineSaysWhatTheReportSays) {
    TempDir dir;
    const std::string file = dir.path() + "/board.prom";
    SimResult run =
        run_program(SV_EXPORTER_SIM_PATH, {"--board", board_of(GetParam()).string(), "--",
                                           "--textfile", file, "--once", "--interval", "7"});
    ASSERT_EQ(0, run.status) << run.err;
    const std::string exposition = read_whole_file(file);
    std::map<std::string, ReportRow> rows =
        report_rows(read_whole_file((kCases / GetParam() / "stdout").string()));
    ASSERT_FALSE(rows.empty());

    std::map<std::string, int> normal_lines;
    for (const Sample& s : samples(exposition)) {
        if (!s.labels.count("item")) {
            if (s.name == "sensorvisor_reading_interval_seconds") {
                EXPECT_EQ("7", s.value);
            } else if (s.name != "sensorvisor_board_info") {
                EXPECT_GE(std::stod(s.value), 0.0) << s.name;
            }
            continue;
        }
        const std::string& item = s.labels.at("item");
        SCOPED_TRACE(s.name + " " + item);
        ASSERT_TRUE(rows.count(item)) << "not in the report";
        auto compared = in_report_form(s, rows.at(item));
        ASSERT_TRUE(compared.has_value()) << "unexpected metric";
        EXPECT_EQ(compared->second, compared->first);
        if (s.name == "sensorvisor_item_normal") ++normal_lines[item];
    }
    EXPECT_EQ(rows.size(), normal_lines.size()) << "every reported item, once each";
    // A reading that failed is left out rather than published as 0.
    for (const auto& [name, row] : rows) {
        if (row.status == "N/A" && row.high != "") {
            EXPECT_EQ(std::string::npos,
                      exposition.find("sensorvisor_voltage_volts{item=\"" + name + "\"} "));
        }
    }

    nlohmann::json board = nlohmann::json::parse(read_whole_file(board_of(GetParam()).string()));
    auto text = [](const nlohmann::json& value) {
        return value.is_string() ? value.get<std::string>() : value.dump();
    };
    for (const auto& structure : board["smbios"]["structures"]) {
        if (structure["type"] != 2 || !structure.contains("manufacturer")) continue;
        EXPECT_NE(std::string::npos,
                  exposition.find("sensorvisor_board_info{manufacturer=\"" +
                                  text(structure["manufacturer"]) + "\",product=\"" +
                                  text(structure["product"]) + "\",version=\"" +
                                  text(structure["version"]) + "\"} 1\n"));
    }

    if (!fs::exists("/usr/bin/promtool"))
        GTEST_SKIP() << "promtool is missing (package prometheus)";
    SimResult lint = run_program("/bin/sh", {"-c", "promtool check metrics < " + file});
    EXPECT_EQ(0, lint.status) << lint.out << lint.err;
}

INSTANTIATE_TEST_SUITE_P(Boards, ExpositionAgainstReport,
                         testing::Values("report-demo", "report-bmc-openipmi", "report-bmc-imb",
                                         "report-legacy", "report-smbus-mix", "report-bmc-gpu",
                                         "fault-smbus-nak-shows-not-available",
                                         "gap-unread-temperature-is-not-normal"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(Exposition, LabelValuesEscapeBackslashQuoteAndLineFeed) {
    EXPECT_EQ(R"(Fan \"A\" \\ 2\n)", escape_label_value("Fan \"A\" \\ 2\n"));
}

}  // namespace
