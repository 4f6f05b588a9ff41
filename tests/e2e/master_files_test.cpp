// The master files shipped in data/: every board the master-file choice can
// name has its section in every file a rule can pick for it, each section
// loads into usable records, and the bundled boards' sections are their own
// configurations.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "config/config_state.h"
#include "config/loader.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

const fs::path kDataDir = SV_SOURCE_DATA_DIR;
const fs::path kBoardsDir = SV_SOURCE_BOARDS_DIR;

// A file's board sections as generation copies them: from the "[SYSTEM]" line
// after "[_product_]" up to the next "[_" line, ";;" comments left out.
std::map<std::string, std::string> sections_of(const std::string& file) {
    std::map<std::string, std::string> sections;
    std::istringstream in(read_whole_file((kDataDir / file).string()));
    std::string product;
    bool copying = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(";;", 0) == 0) continue;
        if (line.rfind("[_", 0) == 0) {
            product = line.size() > 4 && line.compare(line.size() - 2, 2, "_]") == 0
                          ? line.substr(2, line.size() - 4)
                          : "";
            copying = false;
            EXPECT_FALSE(product.empty()) << file << ": bad header " << line;
            EXPECT_FALSE(sections.count(product)) << file << ": " << product << " twice";
            continue;
        }
        if (!product.empty() && !copying && line == "[SYSTEM]") copying = true;
        if (copying) sections[product] += line + "\n";
    }
    return sections;
}

// Which files each product of the choice table can be given; every product
// can fall through to AllSenvis.ini.
struct ProductFiles {
    const char* product;
    std::vector<const char*> files;
};
const std::vector<ProductFiles> kChoiceProducts = {
    {"VB-101", {"OldRevMB.ini"}},
    {"VB-102", {"OldRevMB.ini", "OldRevMB_2.ini"}},
    {"VB-103", {"OldRevMB.ini"}},
    {"VB-104", {"OldRevMB.ini"}},
    {"VB-105", {"OldRevMB.ini"}},
    {"VB-106", {"OldRevMB.ini"}},
    {"VB-107", {"OldRevMB.ini"}},
    {"VB-108", {"OldRevMB.ini"}},
    {"VB-109", {"OldRevMB.ini", "OldRevMB_2.ini"}},
    {"VB-110", {"OldRevMB.ini"}},
    {"VB-111", {"OldRevMB.ini", "OldRevMB_2.ini", "OldRevMB_3.ini"}},
    {"VB-112", {"OldRevMB.ini", "OldRevMB_2.ini"}},
    {"VB-113", {"OldRevMB.ini", "OldRevMB_2.ini"}},
    {"VB-114", {"OldRevMB.ini"}},
    {"VB-115", {"OldRevMB.ini"}},
    {"VB7-K1", {"OldRevMB.ini", "OldRevMB_2.ini", "OldRevMB_3.ini"}},
    {"VB7-K2", {"OldRevMB.ini", "OldRevMB_2.ini", "OldRevMB_3.ini"}},
    {"VB-116", {"OldRevMB.ini"}},
    {"VB-117", {"OldRevMB.ini"}},
    {"VB-118", {"OldRevMB.ini"}},
    {"VB-119", {"OldRevMB.ini", "OldRevMB_2.ini"}},
    {"VB-120", {"OldRevMB.ini", "OldRevMB_2.ini"}},
    {"VB-121", {"OldRevMB.ini", "OldRevMB_2.ini"}},
    {"VB-122", {"OldRevMB.ini"}},
    {"VB-123/VB-124", {"OldRevMB.ini"}},
    {"VB-125/VB-126", {"OldRevMB.ini"}},
    {"VB-125/VB-127", {"OldRevMB.ini"}},
    {"VB-127", {"OldRevMB.ini"}},
};
const char* const kMasterFiles[] = {"AllSenvis.ini", "OldRevMB.ini", "OldRevMB_2.ini",
                                    "OldRevMB_3.ini"};

TEST(MasterFiles, EveryChoosableProductHasItsSections) {
    std::map<std::string, std::map<std::string, std::string>> files;
    for (const char* file : kMasterFiles) files[file] = sections_of(file);
    for (const ProductFiles& entry : kChoiceProducts) {
        EXPECT_TRUE(files["AllSenvis.ini"].count(entry.product)) << entry.product;
        for (const char* file : entry.files)
            EXPECT_TRUE(files[file].count(entry.product)) << entry.product << " in " << file;
    }
}

// Generation copies pieces of 79 characters; a longer master line would be
// split, and one of exactly 79 would gain an empty line that ends an item.
TEST(MasterFiles, LinesFitOnePiece) {
    for (const char* file : kMasterFiles) {
        std::istringstream in(read_whole_file((kDataDir / file).string()));
        int number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            EXPECT_LE(line.size(), 78u) << file << ":" << number;
            EXPECT_EQ(std::string::npos, line.find('\r')) << file << ":" << number;
        }
    }
}

// Each section, loaded as /etc/Senvis.ini: items, all monitored, of a known
// category, with the parameters they name; and no message from the loader.
TEST(MasterFiles, EverySectionLoads) {
    Sandbox sandbox;
    for (const char* file : kMasterFiles) {
        for (const auto& [product, text] : sections_of(file)) {
            SCOPED_TRACE(std::string(file) + " " + product);
            sandbox.write_file("/etc/Senvis.ini", text);
            SystemRecord* system = nullptr;
            ItemRecord* items = nullptr;
            ParameterRecord* parameters = nullptr;
            OutputCapture capture;
            int32_t count = loadSenvisINI_and_getItemCount(&system, &items, &parameters);
            EXPECT_EQ("", capture.err());
            ASSERT_GE(count, 1);
            EXPECT_GT(system->polling, 0u);
            std::set<std::string> names;
            for (int32_t p = 0; p < 2 * count; ++p) names.insert(parameters[p].name);
            for (int32_t i = 0; i < count; ++i) {
                const ItemRecord& item = items[i];
                EXPECT_EQ(1, item.monitor) << item.name;
                EXPECT_LE(item.category, CAT_SWITCH) << item.name;
                EXPECT_GE(item.category, CAT_FAN) << item.name;
                EXPECT_TRUE(names.count(item.paraIndex1)) << item.name << " " << item.paraIndex1;
                EXPECT_TRUE(names.count(item.paraIndex2)) << item.name << " " << item.paraIndex2;
            }
            reset_config_state();
        }
    }
}

// A first run on a bundled board's hardware gives the configuration the
// board ships with: every bundled board that carries its own configuration has
// that configuration as its section in AllSenvis.ini, and in every other
// master file that holds a section for its product.
std::string product_of(const nlohmann::json& board) {
    for (const auto& s : board["smbios"]["structures"]) {
        if (s["type"] != 2) continue;
        if (s.contains("product")) return s["product"];
        return s["strings"][s["string_numbers"][1].get<int>() - 1];
    }
    return "";
}

TEST(MasterFiles, BundledBoardsSectionsAreTheirOwnConfigurations) {
    std::map<std::string, std::map<std::string, std::string>> files;
    for (const char* file : kMasterFiles) files[file] = sections_of(file);
    int boards_with_configuration = 0;
    for (const auto& entry : fs::directory_iterator(kBoardsDir)) {
        auto board = nlohmann::json::parse(read_whole_file(entry.path().string()));
        if (!board["files"].contains("/etc/Senvis.ini")) continue;
        ++boards_with_configuration;
        std::string product = product_of(board);
        std::string own = board["files"]["/etc/Senvis.ini"].get<std::string>();
        SCOPED_TRACE(entry.path().filename().string() + " " + product);
        ASSERT_EQ(0u, own.rfind("[System]\n", 0));
        std::string expected = "[SYSTEM]\n" + own.substr(std::strlen("[System]\n"));
        ASSERT_TRUE(files["AllSenvis.ini"].count(product));
        for (const char* file : kMasterFiles) {
            if (files[file].count(product)) {
                EXPECT_EQ(expected, files[file][product]) << file;
            }
        }
    }
    EXPECT_GE(boards_with_configuration, 4);
}

}  // namespace
