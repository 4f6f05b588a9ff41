// First-run generation on virtual boards: the master-file choice (with the
// GPIO probes and BIOS bytes each rule reads, and only those), the copy of a
// board's section and its failures. The VB7 renaming through the SMBus is in
// the end-to-end cases config-vb7-*.
#include "config/generate.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/data_cases.h"
#include "support/sandbox.h"

namespace {

// ---- master-file choice ----------------------------------------------------------

constexpr int kNone = -1;

// What the board shows the choice: the BIOS bytes at 0xFFA40 (A) and 0xFFA41
// (B), GPIO 28 of an ICH5 and GPIO 38/39 of an ICH7 (kNone: no such hub).
struct Hardware {
    int byteA = kNone, byteB = kNone;
    int gpio28 = kNone, gpio38 = kNone, gpio39 = kNone;
};

// An LPC bridge at 0:31:0 whose GPIO block sits at 0x480: GP_IO_SEL at +0x04,
// GP_LVL at +0x0C, GP_LVL2 at +0x38 (dwords, little-endian).
std::string hub(const Hardware& hw) {
    uint32_t ioSelect = 0, level = 0, level2 = 0;
    const char* id = nullptr;
    const char* baseRegister = nullptr;
    if (hw.gpio28 != kNone) {
        id = "0x24D08086", baseRegister = "0x58";
        ioSelect = 1u << 28;
        level = uint32_t(hw.gpio28) << 28;
    } else if (hw.gpio38 != kNone) {
        id = "0x27B88086", baseRegister = "0x48";
        level2 = uint32_t(hw.gpio38) << 6 | uint32_t(std::max(hw.gpio39, 0)) << 7;
    } else {
        return "";
    }
    std::string bytes;
    char hex[4];
    for (unsigned i = 0; i < 0x40; ++i) {
        uint32_t dword = (i & ~3u) == 0x04   ? ioSelect
                         : (i & ~3u) == 0x0C ? level
                         : (i & ~3u) == 0x38 ? level2
                                             : 0;
        std::snprintf(hex, sizeof hex, " %02x", (dword >> 8 * (i & 3)) & 0xFF);
        bytes += hex;
    }
    return std::string(R"("pci": [{"bus": 0, "device": 31, "function": 0, "id": ")") + id +
           R"(", "config": {")" + baseRegister + R"(": "0x00000481"}}],
             "ports": {"0x480": {"bytes": ")" +
           bytes.substr(1) + R"("}},)";
}

std::string board(const Hardware& hw) {
    std::string memory;  // no row sets both bytes
    if (hw.byteA != kNone) memory = R"("0xFFA40": ")" + std::to_string(hw.byteA) + "\"";
    if (hw.byteB != kNone) memory = R"("0xFFA41": ")" + std::to_string(hw.byteB) + "\"";
    return "{" + hub(hw) + R"("smbios": {"memory": {)" + memory + "}}}";
}

size_t count(const std::vector<std::string>& trace, const std::string& start) {
    return size_t(std::count_if(trace.begin(), trace.end(),
                                [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
}

const char* const kMasters[] = {"AllSenvis", "OldRevMB", "OldRevMB_2", "OldRevMB_3"};

struct ChoiceCase {
    std::string product;  // as the board record reports it; its section is in upper case
    std::string version;
    Hardware hw;
    std::string master;  // the file whose section lands in /etc/Senvis.ini
    size_t gpioProbes;   // hub searches made
    size_t biosReads;    // BIOS bytes read
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.product << " \"" << c.version << "\" A=" << c.hw.byteA << " B=" << c.hw.byteB
        << " GPIO28=" << c.hw.gpio28 << " GPIO38=" << c.hw.gpio38 << " GPIO39=" << c.hw.gpio39;
}

class Choice : public testing::TestWithParam<ChoiceCase> {};

// Every master file holds the product's section, each telling its own name.
TEST_P(Choice, LandsInTheRightMasterFile) {
    const ChoiceCase& c = GetParam();
    Sandbox sb(board(c.hw));
    std::string section = c.product;
    for (char& ch : section) ch = char(std::toupper(static_cast<unsigned char>(ch)));
    for (const char* master : kMasters)
        sb.write_file(std::string("/etc/") + master + ".ini",
                      "[_" + section + "_]\n[SYSTEM]\nOUTLINE=" + master + "\n");
    sb.clear_trace();
    OutputCapture output;
    ASSERT_EQ(0, produce_senvis_ini(c.product.c_str(), c.version.c_str())) << output.err();
    EXPECT_EQ("[SYSTEM]\nOUTLINE=" + c.master + "\n", sb.read_file("/etc/Senvis.ini"));
    EXPECT_EQ("", output.err());
    EXPECT_EQ(c.gpioProbes, count(sb.trace(), "outl 0xcf8 0x80000000"));
    EXPECT_EQ(c.biosReads, count(sb.trace(), "mmap 0xff000 "));
}

// The rows of tests/config/master-choice.cases.
std::vector<ChoiceCase> choice_cases() {
    std::vector<ChoiceCase> cases;
    std::ifstream file(std::string(SV_TESTS_DIR) + "/config/master-choice.cases");
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        for (std::istringstream fields(line); f.size() < 6;)
            std::getline(fields, f.emplace_back(), '|');
        ChoiceCase c{f[0], f[1], {}, f[3], std::stoul(f[4]), std::stoul(f[5])};
        const std::string& hw = f[2];
        auto value = [&](size_t at) { return std::stoi(hw.substr(at), nullptr, 0); };
        if (hw.starts_with("A=")) c.hw.byteA = value(2);
        if (hw.starts_with("B=")) c.hw.byteB = value(2);
        if (hw.starts_with("GPIO28=")) c.hw.gpio28 = value(7);
        if (hw.starts_with("GPIO38,39=")) c.hw.gpio38 = value(10), c.hw.gpio39 = value(12);
        cases.push_back(c);
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Rows, Choice, testing::ValuesIn(choice_cases()));

// ---- the copy ----------------------------------------------------------------------

// The cases of tests/config/generate-cases, each a first run of board "vb-999"
// on its master file AllSenvis.ini: Senvis.ini is the file that must stand at
// /etc/Senvis.ini afterwards (none: nothing may), stderr what must be printed
// (then the run fails); "before" is an earlier /etc/Senvis.ini, "obstacle" a
// directory at its place or a full disk (room for 10 bytes in /etc).
class Copy : public testing::TestWithParam<std::string> {};

TEST_P(Copy, LeavesTheExpectedFile) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(SV_TESTS_DIR) / "config" / "generate-cases" / GetParam();
    const std::string obstacle = read_or_empty(dir / "obstacle");
    Sandbox sb(obstacle == "full-disk\n" ? R"({"faults": {"full_disk": {"/etc": 10}}})" : "{}");
    const std::string master = read_whole_file((dir / "AllSenvis.ini").string());
    sb.write_file("/etc/AllSenvis.ini", master);
    if (fs::exists(dir / "before")) sb.write_file("/etc/Senvis.ini", read_or_empty(dir / "before"));
    const std::string target = sb.path("/etc/Senvis.ini");
    if (obstacle == "directory\n") fs::create_directory(target);

    OutputCapture output;
    const std::string err = read_or_empty(dir / "stderr");
    EXPECT_EQ(err.empty() ? 0 : -1, produce_senvis_ini("vb-999", "1.0"));
    EXPECT_EQ(err, output.err());
    EXPECT_EQ(master, sb.read_file("/etc/AllSenvis.ini"));
    EXPECT_FALSE(fs::exists(target + ".new"));
    EXPECT_EQ(obstacle == "directory\n", fs::is_directory(target));
    if (fs::exists(dir / "Senvis.ini")) {
        EXPECT_EQ(read_or_empty(dir / "Senvis.ini"), sb.read_file("/etc/Senvis.ini"));
    } else if (obstacle != "directory\n") {
        EXPECT_FALSE(fs::exists(target));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Copy,
                         testing::ValuesIn(data_cases(std::string(SV_TESTS_DIR) +
                                                      "/config/generate-cases")),
                         data_case_test_name);

}  // namespace
