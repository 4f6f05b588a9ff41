// The /dev/mem failures a virtual board can produce: a process that may not
// open /dev/mem (not root) and a table that would end above 4 GiB. The fatal
// ones end the process with status 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "board/phys_mem_byte.h"
#include "board/system.h"
#include "board_support.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

// Identified by dmidecode alone: a fallback that should not run would fill
// the buffers.
constexpr const char* kNotRootEfiBoard = R"({"uid": 1000, "smbios": {"table_address": "0xF1000",
    "structures": [{"type": 2, "manufacturer": "KELVORANTE", "product": "VB-190"}]}})";

TEST(Failure, OpenRefusedNoFallback) {
    Sandbox sb(kNotRootEfiBoard);
    Identity id;
    OutputCapture output;
    get_mb_info(id.manufacturer.text, id.product.text, id.version.text);
    const std::string err = output.err();
    EXPECT_THAT(id.texts(), ElementsAre("", "", ""));
    EXPECT_THAT(sb.trace(), ElementsAre("open /dev/mem -> -1"));
    EXPECT_EQ("Error: open (\"/dev/mem\")\n", err);
}

// An entry point whose table would end above 4 GiB: the mapping is refused.
TEST(Failure, MapRefusedNoFallback) {
    Sandbox sb(R"({"smbios": {"raw_records": [{"address": "0xF0A00", "bytes": ")" +
               entry_point_bytes(0x2000, 0xFFFFF000, 1) + "\"}]}}");
    Identity id;
    OutputCapture output;
    get_mb_info(id.manufacturer.text, id.product.text, id.version.text);
    const std::string err = output.err();
    EXPECT_THAT(id.texts(), ElementsAre("", "", ""));
    EXPECT_THAT(events(sb.trace()), ElementsAre("open /dev/mem -> fd", "mmap 0xfffff000 0x2000"));
    EXPECT_EQ("Error: mmap\n", err);
}

// Line, file name, errno and its text; status 1.
TEST(FailureFatal, CannotOpenForTheSearchOrTheByte) {
    Sandbox sb(kNotRootEfiBoard);
    char m[kBoardTextSize] = "Vendor", p[kBoardTextSize] = {}, v[kBoardTextSize] = {};
    EXPECT_EXIT(get_mb_info_by_force(m, p, v), testing::ExitedWithCode(1),
                "^Error at line [0-9]+, file system \\(13\\) \\[Permission denied\\]\n$");
    EXPECT_EXIT(getMemByte(0xFFA40), testing::ExitedWithCode(1),
                "^Error at line [0-9]+, file gpio \\(13\\) \\[Permission denied\\]\n$");
}

}  // namespace
