// The small pieces: trim, command output, the single-byte read and the hex
// dump.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "board/phys_mem_byte.h"
#include "board/system.h"
#include "board_support.h"
#include "support/sandbox.h"

namespace {

using testing::ElementsAre;

TEST(Trim, RemovesTheBlankSetAtBothEndsOnly) {
    struct Row {
        const char* in;
        const char* out;
    };
    for (Row row : {Row{"", ""}, Row{" \f\n\r\t\v", ""}, Row{"X", "X"}, Row{"  VB-190 ", "VB-190"},
                    Row{"\t\v a b \f\r\n", "a b"}, Row{"a\t\tb", "a\t\tb"}})
        EXPECT_EQ(row.out, trim(row.in)) << '"' << row.in << '"';
}

TEST(CmdOutput, StoresOutputWithoutOneLineFeed) {
    Sandbox sb;
    struct Row {
        const char* command;
        const char* text;
    };
    for (Row row :
         {Row{"printf 'one\\n'", "one"}, Row{"printf 'one'", "one"},
          Row{"printf 'one\\n\\n'", "one\n"}, Row{"printf 'a\\nb\\n'", "a\nb"}, Row{"true", ""}}) {
        Identity::Guarded dest;
        copy_text(dest.text, "old");
        EXPECT_EQ(0, get_cmd_output(row.command, dest.text, kBoardTextSize));
        EXPECT_EQ(row.text, std::string(dest.text)) << row.command;
    }
    EXPECT_THAT(sb.trace(),
                ElementsAre("popen printf 'one\\n'", "popen printf 'one'",
                            "popen printf 'one\\n\\n'", "popen printf 'a\\nb\\n'", "popen true"));
}

// At most 255 bytes are read, and the destination keeps what fits.
TEST(CmdOutput, LongOutputCut) {
    Sandbox sb;
    const char* command = "printf '%0300d' 0";
    Identity::Guarded small;
    EXPECT_EQ(0, get_cmd_output(command, small.text, kBoardTextSize));
    EXPECT_EQ(std::string(29, '0'), small.text);
    EXPECT_TRUE(small.intact());
    char large[400];
    EXPECT_EQ(0, get_cmd_output(command, large, sizeof large));
    EXPECT_EQ(std::string(255, '0'), large);
}

TEST(CmdOutput, EmptyCommandRefused) {
    Sandbox sb;
    char dest[kBoardTextSize] = "kept";
    EXPECT_EQ(-1, get_cmd_output("", dest, sizeof dest));
    EXPECT_EQ(-1, get_cmd_output(nullptr, dest, sizeof dest));
    EXPECT_STREQ("kept", dest);
    EXPECT_TRUE(sb.trace().empty());
}

TEST(MemByte, ReadsTheByteThroughItsPage) {
    Sandbox sb(R"({"smbios": {"memory": {"0xFFA40": "0x06", "0xFFA41": "0x03"}}})");
    EXPECT_EQ(0x06, getMemByte(0xFFA40));
    EXPECT_EQ(0x03, getMemByte(0xFFA41));
    EXPECT_EQ(0x00, getMemByte(0xFFA42));
    EXPECT_THAT(events(sb.trace()),
                ElementsAre("open /dev/mem -> fd", "mmap 0xff000 0x1000", "open /dev/mem -> fd",
                            "mmap 0xff000 0x1000", "open /dev/mem -> fd", "mmap 0xff000 0x1000"));
}

TEST(HexDump, RowsAlignedAndOutsideBytesBlank) {
    alignas(16) uint8_t bytes[32];
    for (int i = 0; i < 32; ++i) bytes[i] = uint8_t(0x30 + i);  // '0' .. 'O'
    bytes[4] = 0x7B;                                            // '{' is shown as '.'
    bytes[5] = 0x1F;
    char row1[20], row2[20];
    std::snprintf(row1, sizeof row1, "%08lX", reinterpret_cast<unsigned long>(bytes));
    std::snprintf(row2, sizeof row2, "%08lX", reinterpret_cast<unsigned long>(bytes + 16));
    OutputCapture output;
    dump_hex_char(bytes + 3, bytes + 17);
    dump_hex_char(bytes + 5, bytes + 4);
    const std::string out = output.out();
    EXPECT_EQ(std::string("\n") + row1 +
                  ": __ __ __ 33 7B 1F 36 37 38 39 3A 3B 3C 3D 3E 3F    "
                  "   3..6789:;<=>?"
                  "\n" +
                  row2 +
                  ": 40 41 __ __ __ __ __ __ __ __ __ __ __ __ __ __    "
                  "@A              ",
              out);
}

}  // namespace
