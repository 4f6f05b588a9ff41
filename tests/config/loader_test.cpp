// The loader on the configurations of tests/config/loader-cases: each
// NAME.ini is loaded as /etc/Senvis.ini (no NAME.ini: there is no file), and
// NAME.expected holds what the load printed and the records it gave, dumped
// as print_conf shows them plus the system fields print_conf leaves out.
#include "config/loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "config/config_state.h"
#include "support/data_cases.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCases = fs::path(SV_TESTS_DIR) / "config" / "loader-cases";

struct Loaded {
    int32_t count = 0;
    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    std::string out, err;
};

Loaded load(Sandbox& sandbox, const std::optional<std::string>& text) {
    if (text) sandbox.write_file("/etc/Senvis.ini", *text);
    Loaded l;
    OutputCapture capture;
    l.count = loadSenvisINI_and_getItemCount(&l.system, &l.items, &l.parameters);
    l.out = capture.out();
    l.err = capture.err();
    return l;
}

std::string dump(const Loaded& l) {
    std::string text = "count " + std::to_string(l.count) + "\nstdout:\n" + l.out +
                       "stderr:\n" + l.err;
    if (l.count < 0) return text;
    OutputCapture capture;
    print_conf(l.system, l.items, l.count, l.parameters, 2 * l.count);
    const SystemRecord& s = *l.system;
    char more[300];
    std::snprintf(more, sizeof more,
                  "MACHINENAME=%s\nMAILBOX=%s\nMAILSERVER=%s\nCORETEMPCHIPCODE=%d\n"
                  "THERMALGUIDECHIPTYPE=%d\nW83793GTEMPLEVELTYPE=%d\n",
                  s.machineName, s.mailbox, s.mailServer, int(s.coreTempChipCode),
                  int(s.thermalGuideChipType), int(s.w83793gTempLevelType));
    return text + capture.out() + more;
}

class LoaderCase : public testing::TestWithParam<std::string> {
protected:
    void TearDown() override { reset_config_state(); }
};

TEST_P(LoaderCase, PrintsAndLoadsAsExpected) {
    const fs::path ini = kCases / (GetParam() + ".ini");
    Sandbox sandbox;
    std::optional<std::string> text;
    if (fs::exists(ini)) text = read_whole_file(ini.string());
    EXPECT_EQ(read_whole_file((kCases / (GetParam() + ".expected")).string()),
              dump(load(sandbox, text)));
}

INSTANTIATE_TEST_SUITE_P(Cases, LoaderCase, testing::ValuesIn(data_cases(kCases, ".expected")),
                         data_case_test_name);

}  // namespace
