// What the sensor-engine tests share: the layers below start each board with
// their module state reset (no adapter list, no BMC, no port permission), and
// the engine's own acquisition state with them.
#pragma once

#include <gtest/gtest.h>

#include "items/acquisition.h"
#include "support/hw_state.h"

inline void reset_engine_state() {
    reset_hw_state();
    reset_acquisition_state();
}

class EngineTest : public testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    void TearDown() override { reset_engine_state(); }
};
