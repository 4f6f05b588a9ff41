// The BMC command functions (request bytes on the wire, the bytes each one
// delivers, 255 on an error answer), the BMC kind detection from the system
// GUID, and the self-checks of both tables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bmc_test_support.h"
#include "hw/bmc_tables.h"
#include "support/sandbox.h"

namespace {

using ::testing::ElementsAre;

const std::map<std::string, int32_t*> kFlagsByName = {
    {"bPepperconIPMI", &bPepperconIPMI},         {"bOBWinbondIPMI", &bOBWinbondIPMI},
    {"bAOWinbondIPMI", &bAOWinbondIPMI},         {"bOBWinbondATenIPMI", &bOBWinbondATenIPMI},
    {"bRenesasAMIIPMI", &bRenesasAMIIPMI},       {"bRenesasATenIPMI", &bRenesasATenIPMI},
    {"bAOWinbondATenIPMI", &bAOWinbondATenIPMI},
};

// A BMC that answers everything the commands below ask: chips on private
// buses 2 (0x2D) and 3 (0x5A), a banked Super I/O chip, and OEM answers.
const std::string kBoard = bmc_board("openipmi", R"(,
    "buses": {"0x05": [{"address": "0x2D", "registers": {"0x2B": "0x37", "0x2C": "0x12"}}],
              "0x07": [{"address": "0x5A", "registers": {"0x10": "0x44"}}]},
    "isa_proxy": true,
    "responses": {"30/0f": "00 21", "30/70 05 04": "00 41", "30/70 50 4c 04": "00 42",
                  "30/92 03 0a": "00 10 11 12 13", "30/92": "00 01", "30/93 05": "00 3c",
                  "30/90 5a 00 22 01": "00 55", "30/90 5a 01 22 02": "00 12 34",
                  "30/90 5a 00 23 01": "00", "30/91 5a 00 d4 80": "00", "30/95": "00 2a",
                  "30/21": "00 34 06 00 01 05 06 07 08 09 0a"})",
                                     R"("ports": {"0x295": {"index_data": {"data": "0x296",
        "bank_register": "0x4E", "bank_mask": "0x07", "registers": {"0x4E": "0x80"},
        "banks": {"1": {"0x50": "0x2D", "0x51": "0x7A", "0x52": {"fail": true}}}}}}, )");

constexpr uint32_t kUntouched = 0xAAAA;

// The 2-digit hex fields of a function name: NetFn, command and, for the I2C
// commands, the bus ID byte ("IpmiByteRead_OBWinbond_id3_06_52_07": 06 52 07).
std::vector<int> hex_fields(std::string_view name) {
    std::vector<int> fields;
    std::istringstream in{std::string(name)};
    for (std::string token; std::getline(in, token, '_');)
        if (token.size() == 2 && std::isxdigit(token[0]) && std::isxdigit(token[1]))
            fields.push_back(int(std::strtol(token.c_str(), nullptr, 16)));
    return fields;
}

TEST(BmcTables, EveryCommandRowMatchesItsName) {
    std::set<std::pair<std::string_view, std::string_view>> seen;
    for (const bmc::CommandLayout& row : bmc::kCommands) {
        SCOPED_TRACE(std::string(row.function) + " " + std::string(row.variant));
        EXPECT_TRUE(seen.insert({row.function, row.variant}).second) << "duplicate row";
        std::vector<int> fields = hex_fields(row.function);
        ASSERT_GE(fields.size(), 2u);
        EXPECT_EQ(fields[0], row.netfn);
        EXPECT_EQ(fields[1], row.cmd);
        if (fields.size() > 2) {  // the bus ID byte goes first
            ASSERT_GT(row.length, 0);
            EXPECT_EQ(bmc::Src::fixed, row.request[0].src);
            EXPECT_EQ(fields[2], row.request[0].fixed);
        }
        bool write = row.function.find("Write") != std::string_view::npos;
        EXPECT_EQ(write, row.delivers == bmc::Delivers::nothing);
    }
}

TEST(BmcTables, GuidPatternsAreReachableAndSetTheirOwnFlag) {
    const auto& rows = bmc::kGuidPatterns;
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(1u, kFlagsByName.count(std::string(rows[i].kind)));
        EXPECT_EQ(kFlagsByName.at(std::string(rows[i].kind)), rows[i].flag);
        // An earlier row that is a prefix of this one would always win.
        for (size_t j = 0; j < i; ++j)
            EXPECT_FALSE(rows[j].length <= rows[i].length &&
                         std::equal(rows[j].bytes, rows[j].bytes + rows[j].length, rows[i].bytes))
                << "shadowed by row " << j;
    }
}

struct CommandCase {
    std::function<int32_t(uint32_t*)> call;
    const char* trace;  // after "ipmi openipmi "; empty: nothing sent
    int32_t result;
    uint32_t value;
};

// clang-format off
const CommandCase kCommandCases[] = {
    {[](uint32_t* v) { return IpmiByteRead2_06_52_05(0x2D, 0x2B, v); }, "06/52 05 5a 01 2b -> 00 37", 0, 0x37},
    {[](uint32_t*) { return IpmiByteWrite2_06_52_05(0x2D, 0x40, 0x99); }, "06/52 05 5a 00 40 99 -> 00", 0, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_OBWinbond_id3_06_52_07(0x5A, 0x10, v); }, "06/52 07 b4 01 10 -> 00 44", 0, 0x44},
    {[](uint32_t*) { return IpmiByteWrite_OBWinbond_id3_06_52_07(0x5A, 0x11, 0x01); }, "06/52 07 b4 00 11 01 -> 00", 0, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_Peppercon_oem_30_22_05(0x2D, 0x2B, v); }, "30/22 05 5a 01 2b -> 00 37", 0, 0x37},
    {[](uint32_t*) { return IpmiByteWrite_Peppercon_oem_30_22_05(0x2D, 0x41, 0x05); }, "30/22 05 5a 00 41 05 -> 00", 0, kUntouched},
    {[](uint32_t* v) { return IpmiWordRead_oem_30_23(0x2D, 0x2B, v); }, "30/23 05 5a 01 2b -> 00 37 12", 0, 0x3712},
    {[](uint32_t* v) { return IpmiByteRead2_oem_30_0F(0x2D, 0x2B, v); }, "30/0f -> 00 21", 0, 0x21},
    {[](uint32_t* v) { return IpmiByteRead2_oem_30_70(0xFF, 4, v); }, "30/70 05 04 -> 00 41", 0, 0x41},
    {[](uint32_t* v) { return IpmiByteRead2_oem_30_70(0x4C, 4, v); }, "30/70 50 4c 04 -> 00 42", 0, 0x42},
    {[](uint32_t* v) { return IpmiByteRead_ISA_30_2C(1, 0x50, v); }, "30/2c 01 01 50 -> 00 2d", 0, 0x2D},
    {[](uint32_t* v) { return IpmiWordRead_ISA_30_2C(1, 0x50, v); }, "30/2c 02 01 50 -> 00 2d 7a", 0, 0x2D7A},
    {[](uint32_t*) { return IpmiByteWrite_ISA_30_2C(4, 0x5F, 0x06); }, "30/2c 00 04 5f 06 -> 00", 0, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_92(0x3A, 2, v); }, "30/92 03 0a -> 00 10 11 12 13", 0, 0x12},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_92_PWSFailure(0x3A, 2, v); }, "30/92 -> 00 01", 0, 0x01},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_93(5, v); }, "30/93 05 -> 00 3c", 0, 0x3C},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_90(0x2D, 0, 0x22, v); }, "30/90 5a 00 22 01 -> 00 55", 0, 0x55},
    {[](uint32_t* v) { return IpmiWordRead_oem_30_90(0x2D, 1, 0x22, v); }, "30/90 5a 01 22 02 -> 00 12 34", 0, 0x1234},
    {[](uint32_t*) { return IpmiByteWrite_oem_30_91(0x2D, 0, 0xD4, 0x80); }, "30/91 5a 00 d4 80 -> 00", 0, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_95(7, v); }, "30/95 -> 00 2a", 0, 0x2A},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_95(0, v); }, "", 0, 95},
    // Error answers, and answers without the bytes the command delivers:
    // the value stays as it was.
    {[](uint32_t* v) { return IpmiByteRead2_06_52_05(0x2E, 0x2B, v); }, "06/52 05 5c 01 2b -> 83", 255, kUntouched},
    {[](uint32_t*) { return IpmiByteWrite_OBWinbond_id3_06_52_07(0x5B, 0x11, 0x01); }, "06/52 07 b6 00 11 01 -> 83", 255, kUntouched},
    {[](uint32_t* v) { return IpmiWordRead_ISA_30_2C(1, 0x52, v); }, "30/2c 02 01 52 -> ff", 255, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_90(0x2D, 0, 0x23, v); }, "30/90 5a 00 23 01 -> 00", 255, kUntouched},
    {[](uint32_t* v) { return IpmiByteRead_oem_30_92(0x3A, 4, v); }, "30/92 03 0a -> 00 10 11 12 13", 255, kUntouched},
};
// clang-format on

TEST_F(BmcTest, EachCommandSendsItsBytesAndDeliversItsValue) {
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
    // The platform block: ten bytes copied, the rest of the buffer untouched.
    sb.clear_trace();
    uint8_t block[12];
    std::fill(std::begin(block), std::end(block), 0xEE);
    EXPECT_EQ(0, IpmiByteRead_oem_30_21(block));
    EXPECT_THAT(block, ElementsAre(0x34, 0x06, 0x00, 0x01, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                                   0xEE, 0xEE));
    EXPECT_THAT(sb.trace(), ElementsAre("ipmi openipmi 30/21 -> 00 34 06 00 01 05 06 07 08 09 0a"));
}

// The first GUID bytes name the kind ("5001QK" and the like, the first
// character being the kind); a GUID that cannot be read leaves the kind as it
// was, one of no known kind clears it.
TEST_F(BmcTest, GuidSelectsTheBmcKind) {
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
        Sandbox sb(bmc_board("openipmi", *c.bmc == ','
                                             ? std::string(c.bmc)
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
