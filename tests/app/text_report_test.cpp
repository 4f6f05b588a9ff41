// The -i loop of the text report on a virtual clock, and what a failed reading
// leaves behind between reports. The cells of each category are pinned by the
// end-to-end case app-report-cells.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_board.h"
#include "app/item_displays.h"
#include "app/text_report.h"

namespace {

// Fan 1 turns; fan 2's counter does not answer.
const std::string kRegisters = R"(
    "0x23": "0x01", "0x24": "0x98", "0x90": "0x03", "0x91": "0x84",
    "0x25": {"fail": true}, "0x26": {"fail": true}, "0x92": "0x03", "0x93": "0x84")";

TEST(TextReport, IntervalRepeatsAfterSleepingAndAFailedReadingKeepsTheLastGoodOne) {
    reset_app_state();
    Sandbox sandbox{w83793g_board(kRegisters)};
    RunContext* ctx = load_configuration(
        sandbox, std::string(kSystemSection) +
                     item_section("Front Fan 1", "FAN", "0x23", "PARAINDEX1=D1\nPARAINDEX2=F1\n") +
                     item_section("Front Fan 2", "FAN", "0x25", "PARAINDEX1=D2\nPARAINDEX2=F2\n") +
                     parameter_section("D1", "0x90") + parameter_section("D2", "0x92") +
                     parameter_section("F1", "0x90") + parameter_section("F2", "0x92"));
    ItemDisplay* disps = createItemDisps(ctx->system, ctx->items, ctx->itemCount,
                                         ctx->parameters, ctx->parameterCount);
    disps[1].reading = 2500;  // fan 2's last good reading: within limits, yet flagged
    sandbox.clear_trace();
    OutputCapture capture;
    run_text_reports(disps, *ctx, 5, 2);
    const std::string report =
        "Monitored Item            High Limit  Low Limit     Status \n"
        "----------------------------------------------------------------------\n"
        "Front Fan 1                                1500       3308           \n"
        "Front Fan 2                                1500        N/A   Warning!\n";
    EXPECT_EQ(capture.out(),
              report + "--------------------------------------------- Fri Dec  4 23:13:59 2026\n" +
                  report + "--------------------------------------------- Fri Dec  4 23:14:04 2026\n");
    EXPECT_EQ(disps[1].reading, 2500);
    // Fan 1 is read, the program sleeps 5 s through the board, fan 1 is read
    // again; no sleep after the last report.
    std::vector<std::string> seen;
    for (const std::string& line : sandbox.trace())
        if (line.rfind("sleep", 0) == 0 || line.find("read 0x24") != std::string::npos)
            seen.push_back(line.rfind("sleep", 0) == 0 ? line : "fan");
    EXPECT_EQ(seen, (std::vector<std::string>{"fan", "sleep 5", "fan"}));
    reset_app_state();
}

}  // namespace
