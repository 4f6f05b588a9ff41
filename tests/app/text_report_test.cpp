// The text report: the cells of each category, the warning cell, the number
// forms, unmonitored items, and the -i loop on a virtual clock.
#include <gtest/gtest.h>

#include <string>

#include "app/app_board.h"
#include "app/item_displays.h"
#include "app/text_report.h"

namespace {

const std::string kHeader =
    "Monitored Item            High Limit  Low Limit     Status \n"
    "----------------------------------------------------------------------\n";

// Fan 1 turns; fan 2's counter does not answer; the CPU rail is fine; the
// temperature reads 0xFF (-1 degrees); the case-open latch is set.
const std::string kRegisters = R"(
    "0x23": "0x01", "0x24": "0x98", "0x90": "0x03", "0x91": "0x84",
    "0x25": {"fail": true}, "0x26": {"fail": true}, "0x92": "0x03", "0x93": "0x84",
    "0x10": "0x8A", "0x60": "0xA0", "0x61": "0x73",
    "0x1C": "0xFF", "0x78": "0x50", "0x79": "0x4B",
    "0x46": "0x10", "0x4A": "0x07")";

const std::string kConfiguration =
    std::string(kSystemSection) +
    item_section("Front Fan 1", "FAN", "0x23", "PARAINDEX1=Divisor1\nPARAINDEX2=FAN1H\n") +
    item_section("Front Fan 2", "FAN", "0x25", "PARAINDEX1=Divisor2\nPARAINDEX2=FAN2H\n") +
    item_section("CPU1 Core Voltage", "VOLTAGE", "0x10",
                 "VOL_FUNC=VCCP\nPARAINDEX1=VOL1H\nPARAINDEX2=VOL1L\n") +
    item_section("CPU1 Temperature", "TEMP", "0x1C", "PARAINDEX1=TEMP1H\nPARAINDEX2=TEMP1L\n") +
    item_section("CPU Overheat", "SWITCH", "0x00", "", "MONITOR", "0x1B") +
    item_section("Case Open", "SWITCH", "0x46", "ACTIVATE=1\nPARAINDEX1=SWITCH1A\n") +
    item_section("Drive Bay", "DRIVE", "0x4A", "") +
    parameter_section("Divisor1", "0x90") + parameter_section("Divisor2", "0x92") +
    parameter_section("FAN1H", "0x90") + parameter_section("FAN2H", "0x92") +
    parameter_section("VOL1H", "0x60") + parameter_section("VOL1L", "0x61") +
    parameter_section("TEMP1H", "0x78") + parameter_section("TEMP1L", "0x79") +
    parameter_section("SWITCH1A", "0x46", "0x10");

class TextReport : public testing::Test {
protected:
    void SetUp() override {
        reset_app_state();
        ctx = load_configuration(sandbox, kConfiguration);
        disps = createItemDisps(ctx->system, ctx->items, ctx->itemCount, ctx->parameters,
                                ctx->parameterCount);
    }
    void TearDown() override { reset_app_state(); }

    std::string report(int32_t interval = 0, int32_t rounds = 0) {
        OutputCapture capture;
        run_text_reports(disps, *ctx, interval, rounds);
        return capture.out();
    }

    Sandbox sandbox{w83793g_board(kRegisters)};
    RunContext* ctx = nullptr;
    ItemDisplay* disps = nullptr;
};

TEST_F(TextReport, CellsPerCategory) {
    ASSERT_EQ(ctx->itemCount, 7);
    disps[1].reading = 2500;  // fan 2's last good reading
    // A low limit whose single-precision quotient rounds the other way:
    // 0.045 as a double is 0.04499..., as a float 0.0450000018.
    disps[2].lowLimit = 45;

    EXPECT_EQ(report(),
              kHeader +
                  // 0x0198 = 408 counts: 1350000 / 408 = 3308; limit 0x0384 = 900: 1500.
                  "Front Fan 1                                1500       3308           \n"
                  "Front Fan 2                                1500        N/A   Warning!\n"
                  // 138 x 8 mV = 1104 mV; 160 x 8 = 1280.
                  "CPU1 Core Voltage               1.28       0.05       1.10           \n"
                  // 80 C = 176 F; -1 C: 9 x -1 / 5 truncates to -1, + 32 = 31.
                  "CPU1 Temperature              80/176                 -1/31           \n"
                  "CPU Overheat                                        Normal           \n"
                  "Case Open                                              Bad   Warning!\n"
                  "Drive Bay                    unknown    unknown    unknown   Warning!\n"
                  "--------------------------------------------- Fri Dec  4 23:13:59 2026\n");
    EXPECT_EQ(disps[1].reading, 2500);  // the failed reading kept the previous one
    EXPECT_EQ(static_cast<int32_t>(disps[3].reading), -1);
}

TEST_F(TextReport, UnmonitoredItemsAreNeitherReadNorPrinted) {
    for (int32_t i = 0; i < ctx->itemCount; ++i) disps[i].monitor = i == 0 ? 255 : 0;
    sandbox.clear_trace();
    EXPECT_EQ(report(),
              kHeader + "--------------------------------------------- Fri Dec  4 23:13:59 2026\n");
    for (const std::string& line : sandbox.trace())
        EXPECT_EQ(line.rfind("i2c", 0), std::string::npos) << line;
}

TEST_F(TextReport, IntervalRepeatsAfterSleeping) {
    for (int32_t i = 1; i < ctx->itemCount; ++i) disps[i].monitor = 0;
    sandbox.clear_trace();
    const std::string fan = "Front Fan 1                                1500       3308           \n";
    EXPECT_EQ(report(5, 2),
              kHeader + fan + "--------------------------------------------- Fri Dec  4 23:13:59 2026\n" +
                  kHeader + fan +
                  "--------------------------------------------- Fri Dec  4 23:14:04 2026\n");
    // The fan is read, the program sleeps 5 s through the board, the fan is
    // read again; no sleep after the last report.
    std::vector<std::string> seen;
    for (const std::string& line : sandbox.trace())
        if (line.rfind("sleep", 0) == 0 || line.find("read 0x24") != std::string::npos)
            seen.push_back(line.rfind("sleep", 0) == 0 ? line : "fan");
    EXPECT_EQ(seen, (std::vector<std::string>{"fan", "sleep 5", "fan"}));
}

}  // namespace
