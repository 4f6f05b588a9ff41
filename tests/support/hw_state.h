// The module state of the hardware layer that every test on a board starts
// and ends with (hw, engine and report tests alike), and boards with a BMC.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "hw/adapter_discovery.h"
#include "hw/bank_select.h"
#include "hw/bmc_commands.h"
#include "hw/gpio.h"
#include "hw/ipmi_imb.h"
#include "hw/ipmi_openipmi.h"
#include "hw/port_io.h"
#include "hw/smbus.h"

// A board on a virtual clock whose BMC sits behind `interface` ("imb" or
// "openipmi"); `bmc` adds members to the bmc object (leading comma included).
inline std::string bmc_board(const std::string& interface, const std::string& bmc = "",
                             const std::string& top = "") {
    return R"({"clock": {"virtual": true}, )" + top + R"("bmc": {"interface": ")" + interface +
           "\"" + bmc + "}}";
}

// No BMC open, no adapter known, the counters and caches at their start values.
inline void reset_hw_state() {
    reset_smbus_state();
    reset_adapter_discovery_state();
    reset_port_io_state();
    reset_ipmi_imb_state();
    reset_ipmi_openipmi_state();
    reset_bmc_commands_state();
    reset_bank_select_state();
    reset_gpio_state();
}

class HwTest : public ::testing::Test {
protected:
    void SetUp() override { reset_hw_state(); }
    void TearDown() override { reset_hw_state(); }
};
