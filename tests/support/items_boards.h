// What the sensor-engine tests share: the layers below start each board with
// their module state reset (no adapter list, no BMC, no port permission).
#pragma once

#include <gtest/gtest.h>

#include "hw/adapter_discovery.h"
#include "hw/bank_select.h"
#include "hw/bmc_commands.h"
#include "hw/ipmi_imb.h"
#include "hw/ipmi_openipmi.h"
#include "hw/port_io.h"
#include "hw/smbus.h"
#include "items/acquisition.h"

inline void reset_engine_state() {
    reset_smbus_state();
    reset_adapter_discovery_state();
    reset_port_io_state();
    reset_ipmi_imb_state();
    reset_ipmi_openipmi_state();
    reset_bmc_commands_state();
    reset_bank_select_state();
    reset_acquisition_state();
}

class EngineTest : public testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    void TearDown() override { reset_engine_state(); }
};
