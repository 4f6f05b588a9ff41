// Boards with a BMC and the state reset shared by the IPMI tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/ipmi_openipmi.h"

// A board on a virtual clock whose BMC sits behind `interface` ("imb" or
// "openipmi"); `bmc` adds members to the bmc object (leading comma included).
inline std::string bmc_board(const std::string& interface, const std::string& bmc = "",
                             const std::string& top = "") {
    return R"({"clock": {"virtual": true}, )" + top + R"("bmc": {"interface": ")" + interface +
           "\"" + bmc + "}}";
}

// Every test starts with no BMC open and the counters at their start values.
class BmcTest : public ::testing::Test {
protected:
    void SetUp() override { reset_all(); }
    void TearDown() override { reset_all(); }
    static void reset_all() {
        reset_ipmi_imb_state();
        reset_ipmi_openipmi_state();
        reset_bmc_commands_state();
    }
};
