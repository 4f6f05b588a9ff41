// The first run's switching off of items that do not answer: which items go,
// with which message, what the rewrite of /etc/Senvis.ini keeps, and the
// exits on file errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_board.h"
#include "app/item_displays.h"
#include "app/text_report.h"

namespace fs = std::filesystem;

namespace {

// Fan 1 turns, fan 2's counter does not answer, CPU2's socket is empty (0 V),
// the system sensor reads 0 degrees; CPU1 and CPU3 are fine.
const std::string kRegisters = R"(
    "0x23": "0x01", "0x24": "0x98", "0x90": "0x03", "0x91": "0x84",
    "0x25": {"fail": true}, "0x26": {"fail": true}, "0x92": "0x03", "0x93": "0x84",
    "0x10": "0x8A", "0x60": "0xA0", "0x61": "0x73",
    "0x11": "0x00", "0x62": "0xA0", "0x63": "0x73",
    "0x1C": "0x2D", "0x78": "0x50", "0x1D": "0x2A", "0x7A": "0x50",
    "0x1E": "0x00", "0x7C": "0x50", "0x1F": "0x28", "0x7E": "0x50",
    "0x47": {"fail": true})";

std::string items_before_parameters(const std::string& fan2MonitorKey) {
    return std::string(kSystemSection) +
           item_section("Front Fan 1", "FAN", "0x23", "PARAINDEX1=Divisor1\nPARAINDEX2=FAN1H\n") +
           item_section("Front Fan 2", "FAN", "0x25", "PARAINDEX1=Divisor2\nPARAINDEX2=FAN2H\n", fan2MonitorKey) +
           item_section("CPU2 Core Voltage", "VOLTAGE", "0x11",
                        "VOL_FUNC=VCCP\nPARAINDEX1=VOL2H\nPARAINDEX2=VOL2L\n") +
           item_section("CPU1 Core Voltage", "VOLTAGE", "0x10",
                        "VOL_FUNC=VCCP\nPARAINDEX1=VOL1H\nPARAINDEX2=VOL1L\n") +
           item_section("cpu2 temperature", "TEMP", "0x1D", "PARAINDEX1=TEMP2H\n") +
           item_section("CPU1 Temperature", "TEMP", "0x1C", "PARAINDEX1=TEMP1H\n") +
           item_section("System Temperature", "TEMP", "0x1E", "PARAINDEX1=TEMP3H\n") +
           item_section("CPU3 Temperature", "TEMP", "0x1F", "PARAINDEX1=TEMP4H\n") +
           item_section("Case Open", "SWITCH", "0x47", "");
}

std::string parameters() {
    return parameter_section("Divisor1", "0x90") + parameter_section("Divisor2", "0x92") +
           parameter_section("FAN1H", "0x90") + parameter_section("FAN2H", "0x92") +
           parameter_section("VOL1H", "0x60") + parameter_section("VOL1L", "0x61") +
           parameter_section("VOL2H", "0x62") + parameter_section("VOL2L", "0x63") +
           parameter_section("TEMP1H", "0x78") + parameter_section("TEMP2H", "0x7A") +
           parameter_section("TEMP3H", "0x7C") + parameter_section("TEMP4H", "0x7E");
}

// A status-only switch (chip code 27) placed after the first [Parameter]: it
// is switched off in the records, but the rewrite copies it as it stands.
const std::string kLateItem = item_section("CPU Overheat", "SWITCH", "0x00", "", "MONITOR", "0x1B");

class SwitchOff : public testing::Test {
protected:
    void SetUp() override { reset_app_state(); }
    void TearDown() override { reset_app_state(); }

    ItemDisplay* build(const std::string& ini) {
        ctx = load_configuration(sandbox, ini);
        return createItemDisps(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                               ctx->parameterCount);
    }
    int detect(ItemDisplay* disps) {
        return detect_and_hide_nonactivated_items(disps, ctx->system, ctx->items, ctx->itemCount,
                                                  ctx->parameters, ctx->parameterCount);
    }

    Sandbox sandbox{w83793g_board(kRegisters)};
    RunContext* ctx = nullptr;
};

TEST_F(SwitchOff, SilentItemsAreSwitchedOffAndTheFileRewritten) {
    const std::string original = items_before_parameters("Monitor") + parameters() + kLateItem;
    ItemDisplay* disps = build(original);
    ASSERT_EQ(ctx->itemCount, 10);

    std::string out;
    {
        OutputCapture capture;
        EXPECT_EQ(detect(disps), 0);
        out = capture.out();
    }
    EXPECT_EQ(out,
              ">> Disable monitoring of non-available item: Front Fan 2\n"
              ">> Disable monitoring of non-activated item: CPU2 Core Voltage\n"
              ">> Disable monitoring of non-activated item: cpu2 temperature\n"
              ">> Disable monitoring of non-activated item: System Temperature\n"
              ">> Disable monitoring of non-supported item: CPU Overheat\n"
              "\n");

    struct Expected {
        const char* name;
        int32_t monitor;
    };
    const Expected expected[] = {
        {"Front Fan 1", 1},        {"Front Fan 2", 0},       {"CPU2 Core Voltage", 0},
        {"CPU1 Core Voltage", 1},  {"cpu2 temperature", 0},  {"CPU1 Temperature", 1},
        {"System Temperature", 0}, {"CPU3 Temperature", 1},  {"Case Open", 1},
        {"CPU Overheat", 0},
    };
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_STREQ(disps[i].name, expected[i].name);
        EXPECT_EQ(disps[i].monitor, expected[i].monitor);
        EXPECT_EQ(ctx->items[i].monitor, expected[i].monitor);
    }

    // MONITOR lines of the items before the first [Parameter] carry the new
    // state, the key spelt as in the file; the late item is copied as it is.
    std::string rewritten = original;
    auto turn_off = [&](const std::string& name, const std::string& key) {
        size_t at = rewritten.find("ITEM_NAME=" + name + "\n");
        at = rewritten.find(key + "=TRUE\n", at);
        rewritten.replace(at, key.size() + 6, key + "=FALSE\n");
    };
    turn_off("Front Fan 2", "Monitor");
    turn_off("CPU2 Core Voltage", "MONITOR");
    turn_off("cpu2 temperature", "MONITOR");
    turn_off("System Temperature", "MONITOR");
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini"), rewritten);
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini.old"), original);

    // What is switched off is no longer read: a report after the pass reads
    // the CPU1 rail but neither the empty socket's rail nor the fan 2 counter.
    sandbox.clear_trace();
    {
        OutputCapture quiet;
        text_build_Items(disps, ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                         ctx->parameterCount);
    }
    auto read_of = [&](const char* reg) {
        for (const std::string& line : sandbox.trace())
            if (line.find(std::string("read ") + reg + " ") != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(read_of("0x10"));
    EXPECT_FALSE(read_of("0x11"));
    EXPECT_FALSE(read_of("0x25"));
    EXPECT_FALSE(read_of("0x1e"));
}

TEST_F(SwitchOff, FileStaysUntouchedWhenEveryItemAnswers) {
    const std::string original =
        std::string(kSystemSection) +
        item_section("Front Fan 1", "FAN", "0x23", "PARAINDEX1=Divisor1\nPARAINDEX2=FAN1H\n") +
        item_section("CPU1 Core Voltage", "VOLTAGE", "0x10",
                     "VOL_FUNC=VCCP\nPARAINDEX1=VOL1H\nPARAINDEX2=VOL1L\n") +
        item_section("CPU1 Temperature", "TEMP", "0x1C", "PARAINDEX1=TEMP1H\n") + parameters();
    ItemDisplay* disps = build(original);
    OutputCapture capture;
    EXPECT_EQ(detect(disps), 0);
    EXPECT_EQ(capture.out(), "");
    EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini"), original);
    EXPECT_FALSE(sandbox.exists("/etc/Senvis.ini.old"));
}

// Each file error ends the process with status 2, names the file and leaves
// the configuration as it was. The death tests fork, so the child's file
// changes are seen here and undone.
TEST_F(SwitchOff, FileErrorsEndTheRunWithStatusTwo) {
    const std::string original = items_before_parameters("MONITOR") + parameters();
    ItemDisplay* disps = build(original);
    std::fflush(stdout);
    struct Case {
        const char* obstacle;  // a directory that stands in the way
        const char* message;
    };
    const Case cases[] = {
        {"/etc/Senvis.ini.old/keep", "^Error: cannot open /etc/Senvis.ini.old\n$"},
        {"/etc/Senvis.ini.new/keep", "^Error: cannot open /etc/Senvis.ini\n$"},
    };
    // A full disk: fault-full-disk-during-first-run-rewrite.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.obstacle);
        fs::create_directories(sandbox.path(c.obstacle));
        EXPECT_EXIT(detect(disps), testing::ExitedWithCode(2), c.message);
        EXPECT_EQ(sandbox.read_file("/etc/Senvis.ini"), original);
        fs::remove_all(fs::path(sandbox.path(c.obstacle)).parent_path());
    }
    EXPECT_FALSE(sandbox.exists("/etc/Senvis.ini.old"));
}

}  // namespace
