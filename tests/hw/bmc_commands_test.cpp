// The BMC command functions that neither the SMBus route accesses nor the
// e2e cases hw-bmc-*-oem-requests-and-answers reach (request bytes on the
// wire, the bytes each one delivers, 255 on an error answer), and the BMC
// kind detection from the system GUID.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "support/hw_state.h"
#include "support/sandbox.h"

namespace {

using ::testing::ElementsAre;

using BmcCommands = HwTest;

const std::map<std::string, int32_t*> kFlagsByName = {
    {"bPepperconIPMI", &bPepperconIPMI},         {"bOBWinbondIPMI", &bOBWinbondIPMI},
    {"bAOWinbondIPMI", &bAOWinbondIPMI},         {"bOBWinbondATenIPMI", &bOBWinbondATenIPMI},
    {"bRenesasAMIIPMI", &bRenesasAMIIPMI},       {"bRenesasATenIPMI", &bRenesasATenIPMI},
    {"bAOWinbondATenIPMI", &bAOWinbondATenIPMI},
};

// A BMC that answers everything the commands below ask: a banked Super I/O
// chip and OEM answers.
const std::string kBoard = bmc_board("openipmi", R"(,
    "isa_proxy": true,
    "responses": {"30/92 03 0a": "00 10 11 12 13", "30/90 5a 00 23 01": "00",
                  "30/91 5a 00 d4 80": "00"})",
                                     R"("ports": {"0x295": {"index_data": {"data": "0x296",
        "bank_register": "0x4E", "bank_mask": "0x07", "registers": {"0x4E": "0x80"},
        "banks": {"1": {"0x52": {"fail": true}}}}}}, )");

constexpr uint32_t kUntouched = 0xAAAA;

struct CommandCase {
    std::function<int32_t(uint32_t*)> call;
    const char* trace;  // after "ipmi openipmi "; empty: nothing sent
    int32_t result;
    uint32_t value;
};

// clang-format off
const CommandCase kCommandCases[] = {
    {[](uint32_t*) { return IpmiByteWrite_ISA_30_2C(4, 0x5F, 0x06); }, "30/2c 00 04 5f 06 -> 00", 0, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_92(0x3A, 2, v); }, "30/92 03 0a -> 00 10 11 12 13", 0, 0x12},
    {[](uint32_t*) { return IpmiByteWrite_oem_30_91(0x2D, 0, 0xD4, 0x80); }, "30/91 5a 00 d4 80 -> 00", 0, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_95(0, v); }, "", 0, 95},
    // Error answers, and answers without the bytes the command delivers:
    // the value stays as it was.
    {[](uint32_t* v) { return IpmiWordRead_ISA_30_2C(1, 0x52, v); }, "30/2c 02 01 52 -> ff", 255, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_90(0x2D, 0, 0x23, v); }, "30/90 5a 00 23 01 -> 00", 255, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_92(0x3A, 4, v); }, "30/92 03 0a -> 00 10 11 12 13", 255, kUntouched},
};
// clang-format on

TEST_F(BmcCommands, EachCommandSendsItsBytesAndDeliversItsValue) {
    Sandbox sb(kBoard);
    ASSERT_EQ(0, IpmiInit());
    for (const CommandCase& c : kCommandCases) {
        SCOPED_TRACE(c.trace);
        sb.clear_trace();
        uint32_t value = kUntouched;
        EXPECT_EQ(c.result, c.call(&value));
        EXPECT_EQ(c.value, value);
        if (*c.trace == '\0')
            EXPECT_THAT(sb.trace(), testing::IsEmpty());
        else
            EXPECT_THAT(sb.trace(), ElementsAre(std::string("ipmi openipmi ") + c.trace));
    }
}

// The first GUID bytes name the kind ("5001QK" and the like, the first
// character being the kind); a GUID that cannot be read leaves the kind as it
// was, one of no known kind clears it.
TEST_F(BmcCommands, GuidSelectsTheBmcKind) {
    struct GuidCase {
        const char* bmc;   // the GUID's first 8 bytes, or the BMC's other members
        const char* flag;  // the one flag set, or nullptr
    };
    const GuidCase cases[] = {
        {"02 00 00 ff fe 00 00 00", "bPepperconIPMI"},
        {"02 00 00 ff fe 00 00 01", nullptr},
        {"30 30 30 31 51 4b 99 99", "bPepperconIPMI"},
        {"35 30 30 31 51 4b 00 00", "bOBWinbondIPMI"},
        {"34 30 30 31 51 4b 00 00", "bAOWinbondIPMI"},
        {R"(, "completion_codes": {"06/37": "0xC1"})", "bAOWinbondIPMI"},  // kept from before
        {"37 30 30 31 51 4b 00 00", "bOBWinbondATenIPMI"},
        {"39 30 30 31 51 4b 00 00", "bRenesasAMIIPMI"},
        {"61 30 30 31 51 4b 00 00", "bRenesasATenIPMI"},
        {"62 30 30 31 51 4b 00 00", "bRenesasATenIPMI"},
        {"41 30 30 31 51 4b 00 00", nullptr},  // "A001QK": upper case
        {"63 30 30 31 51 4b 00 00", nullptr},  // "c001QK"
        {"36 30 30 31 51 4b 00 00", nullptr},  // "6001QK"
        {"35 30 30 31 51 4c 00 00", nullptr},  // "5001QL"
        {"00 35 30 30 31 51 4b 00", nullptr},  // one byte late
    };
    for (const GuidCase& c : cases) {
        SCOPED_TRACE(c.bmc);
        // Each board opens on top of what the row before left.
        Sandbox sb(bmc_board("openipmi", *c.bmc == ',' ? std::string(c.bmc)
                                                       : std::string(R"(, "guid": ")") + c.bmc +
                                                             " 00 00 00 00 00 00 00 00\""));
        ASSERT_EQ(0, IpmiInit());
        // Asked again, an unreadable GUID counts as no kind, yet clears nothing.
        EXPECT_EQ(c.flag && *c.bmc != ',' ? 1 : 0, checkAnyIPMI());
        for (const auto& [name, flag] : kFlagsByName)
            EXPECT_EQ(c.flag && name == c.flag ? 1 : 0, *flag) << name;
    }
}

}  // namespace
