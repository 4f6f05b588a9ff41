// A small board for the display-record tests: a W83793G (chip code 17) at
// 0x2F on SMBus adapter 0, the items of a configuration written into the
// sandbox and loaded the way start-up loads them.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "config/config_state.h"
#include "config/loader.h"
#include "config/run_context.h"
#include "items/acquisition.h"
#include "support/hw_state.h"
#include "support/sandbox.h"

inline void reset_app_state() {
    reset_hw_state();
    reset_acquisition_state();
    reset_config_state();
}

inline std::string w83793g_board(const std::string& registers) {
    return R"({"clock": {"start": "2026-12-04 23:13:59", "virtual": true},
      "smbus": [{"bus": 0, "name": "SMBus I801 adapter at 1100",
                 "devices": [{"address": "0x2F", "registers": {"0x5E": "0x05", )" +
           registers + "}}]}]}";
}

// One [Item] of the chip; `extra` holds the category-specific lines.
inline std::string item_section(const std::string& name, const std::string& category,
                                const std::string& offset, const std::string& extra,
                                const std::string& monitorKey = "MONITOR",
                                const std::string& chip = "0x11") {
    return "[Item]\nITEM_NAME=" + name + "\nITEM_CAT=" + category + "\nCHIPCODE=" + chip +
           "\nBUSTYPE=1\nSLAVE=0x2F\nOFFSET=" + offset + "\n" + extra + monitorKey + "=TRUE\n\n";
}

inline std::string parameter_section(const std::string& name, const std::string& offset,
                                     const std::string& mask = "0xFF") {
    return "[Parameter]\nPARAMETER=" + name + "\nSLAVE=0x2F\nOFFSET=" + offset +
           "\nBITMASK=" + mask + "\n\n";
}

inline constexpr const char* kSystemSection = "[System]\nBUSTYPE=1\nPOLLING=5\n\n";

// Writes the configuration, loads it and makes the adapter known.
inline RunContext* load_configuration(Sandbox& sandbox, const std::string& ini) {
    sandbox.write_file("/etc/Senvis.ini", ini);
    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    int32_t count = loadSenvisINI_and_getItemCount(&system, &items, &parameters);
    EXPECT_GT(count, 0);
    SMB_BASE_IO_ADDR = 0x1100;
    IntelDevice = 0;
    init_i2c_bus_list();
    return setup_run_context(system, items, count, parameters);
}
