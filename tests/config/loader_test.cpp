#include "config/loader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "config/config_state.h"
#include "support/sandbox.h"

namespace {

struct Loaded {
    int32_t count = 0;
    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    std::string out;
    std::string err;
};

class Loader : public ::testing::Test {
protected:
    void TearDown() override { reset_config_state(); }

    Loaded load(const std::string& text) {
        sandbox.write_file("/etc/Senvis.ini", text);
        Loaded loaded;
        OutputCapture capture;
        loaded.count =
            loadSenvisINI_and_getItemCount(&loaded.system, &loaded.items, &loaded.parameters);
        loaded.out = capture.out();
        loaded.err = capture.err();
        return loaded;
    }

    Sandbox sandbox;
};

// The values with "|" between them, for one exact comparison of many fields.
template <typename... T>
std::string join(const T&... values) {
    std::ostringstream out;
    const char* separator = "";
    ((out << separator << values, separator = "|"), ...);
    return out.str();
}

// The fields the section rules decide, one "name|category|chipCode|slave|monitor;"
// per item, "name|slave|offset|bitMask;" per parameter entry ("-;" when empty).
std::string system_of(const Loaded& l) {
    char text[300];
    std::snprintf(text, sizeof text, "bus=%u data=%x index=%x poll=%u name=%s box=%s",
                  l.system->busType, l.system->dataReg, l.system->indexReg, l.system->polling,
                  l.system->machineName, l.system->mailbox);
    return text;
}

std::string items_of(const Loaded& l) {
    std::string text;
    for (int32_t i = 0; i < l.count; ++i) {
        const ItemRecord& r = l.items[i];
        text += join(r.name, r.category, r.chipCode, r.slave, r.monitor) + ";";
    }
    return text;
}

std::string parameters_of(const Loaded& l) {
    std::string text;
    for (int32_t i = 0; i < 2 * l.count; ++i) {
        const ParameterRecord& r = l.parameters[i];
        const bool empty = r.name[0] == '\0' && r.slave == 0 && r.offset == 0 && r.bitMask == 0;
        text += (empty ? "-" : join(r.name, r.slave, r.offset, r.bitMask)) + ";";
    }
    return text;
}

TEST_F(Loader, ReadsEverySectionIntoItsRecords) {
    Loaded l = load(
        "[System]\nBUSTYPE=3\nDATAREG=0x296\nINDEXREG=295\nPOLLING=010\nMAILALERT=true\n"
        "PAGERALERT=False\nMACHINENAME=rack7 node=2\nMAILBOX=ops@example.com\n"
        "CORETEMPCHIPCODE=11\nThermalGuideChipType=2\nw83793gtemplevelType=1\n\n"
        "[Item]\nITEM_NAME=CPU1 Temperature\nITEM_ID=Item_TEMP1\nITEM_CAT=TEMP\nCHIPCODE=11\n"
        "BUSTYPE=1\nSLAVE=2F\nOFFSET=0x2B\nACTIVATE=0\nMONITOR=TRUE\nSOURCE=a\n"
        "PARAINDEX1=TEMP1H\nPARAINDEX2=\nREF_ITEM_ID=Item_SWITCH1\nVOL_FUNC=VCCP\n\n"
        "[Parameter]\nPARAMETER=TEMP1H\nSLAVE=2f\nOFFSET=39\n");
    ASSERT_EQ(l.count, 1);
    EXPECT_EQ(l.out + l.err, "");
    const SystemRecord& s = *l.system;
    EXPECT_EQ(join(s.busType, s.dataReg, s.indexReg, s.polling, s.mailAlert, s.pagerAlert,
                   s.machineName, s.mailbox, s.coreTempChipCode, s.thermalGuideChipType,
                   s.w83793gTempLevelType, s.mailServer),
              join(3, 0x296, 0x295, 10, 1, 0, "rack7 node=2", "ops@example.com", 17, 2, 1, ""));
    const ItemRecord& i = l.items[0];
    EXPECT_EQ(
        join(i.name, i.itemId, i.category, i.chipCode, i.busType, i.slave, i.offset, i.activate,
             i.monitor, i.source, i.paraIndex1, i.paraIndex2, i.refItemId, i.volFunc),
        join("CPU1 Temperature", "Item_TEMP1", CAT_TEMP, 17, 1, 0x2F, 43, 0, 1, 10, "TEMP1H", "",
             "Item_SWITCH1", VF_VCCP));
    // Room for two parameters per item; the one the file has comes first, with
    // BITMASK left at its start value; the other stays empty.
    EXPECT_EQ(parameters_of(l), "TEMP1H|47|57|255;-;");
}

TEST_F(Loader, NumbersParseAsStrtoulInTheirBase) {
    struct Case {
        const char* text;
        int32_t offset;    // hexadecimal
        uint32_t polling;  // decimal
    };
    constexpr Case kCases[] = {
        {"2B", 43, 2},   {"0x2B", 43, 0},        {"0X2b", 43, 0}, {" 2B", 43, 2},    {"2BZ", 43, 2},
        {"010", 16, 10}, {"-1", -1, 0xFFFFFFFF}, {"Z", 0, 0},     {"30s", 0x30, 30},
    };
    for (const Case& c : kCases) {
        std::string value = c.text;
        Loaded l = load("[System]\nPOLLING=" + value + "\n[Item]\nOFFSET=" + value + "\n");
        ASSERT_EQ(l.count, 1) << c.text;
        EXPECT_EQ(l.items[0].offset, c.offset) << "OFFSET=" << c.text;
        EXPECT_EQ(l.system->polling, c.polling) << "POLLING=" << c.text;
        EXPECT_EQ(l.err, "");
    }
}

TEST_F(Loader, KeywordValuesGoThroughTheWholeTable) {
    struct Case {
        const char* line;
        int32_t ItemRecord::*field;
        int32_t value;
        const char* err;
    };
    const Case kCases[] = {
        {"MONITOR=true", &ItemRecord::monitor, 1, ""},
        {"MONITOR=", &ItemRecord::monitor, -1, "str2code: Failure! \n"},
        {"MONITOR=Item_VOL2", &ItemRecord::monitor, 17, ""},
        {"ITEM_CAT=voltage", &ItemRecord::category, CAT_VOLTAGE, ""},
        {"ITEM_CAT=FANS", &ItemRecord::category, -1, "str2code: Failure! FANS\n"},
        {"VOL_FUNC=n12v", &ItemRecord::volFunc, VF_N12V, ""},
        {"ITEM_CAT=12", &ItemRecord::category, -1, "str2code: Failure! 12\n"},
    };
    for (const Case& c : kCases) {
        Loaded l = load(std::string("[Item]\n") + c.line + "\n");
        ASSERT_EQ(l.count, 1) << c.line;
        EXPECT_EQ(l.items[0].*c.field, c.value) << c.line;
        EXPECT_EQ(l.err, c.err) << c.line;
    }
}

const std::string kLetters90 =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKL";

TEST_F(Loader, SectionAndLineRules) {
    struct Case {
        const char* what;
        std::string file;
        int32_t count;
        std::string system;
        std::string items;
        std::string parameters;
        std::string err;
    };
    const std::string unset = "|255|255|255|255;";
    // A CR-LF file has no headers: crlf-configuration-has-no-items.
    const Case kCases[] = {
        {"headers match whole lines without regard to case",
         "[item]\nITEM_NAME=a\n"
         " [Item]\n"  // not a header, but a line without "=": ends item a
         "ITEM_NAME=b\n[Item] \n[ITEM]\nITEM_NAME=c\n[SYSTEM]\nPOLLING=4\n"
         "[parameter]\nPARAMETER=x\n",
         2, "bus=0 data=0 index=0 poll=4 name= box=", "a" + unset + "c" + unset,
         "x|255|255|255;-;-;-;", ""},
        {"a carriage return stays part of the value, also without a line feed",
         "[Item]\nMONITOR=TRUE\r", 1, "bus=0 data=0 index=0 poll=0 name= box=", "|255|255|255|-1;",
         "-;-;", "str2code: Failure! TRUE\r\n"},
        {"a line without = ends an item or a parameter",
         "CHIPCODE=1\n"  // before any item: ignored
         "[Item]\nITEM_NAME=x\n\n"
         "CHIPCODE=5\n"      // after the blank line: ignored
         "[Item]\n[Item]\n"  // two in a row: the first keeps its start values
         "CHIPCODE=6\nITEM_NAME =blank before the equals sign\n"
         "[Parameter]\nPARAMETER=VOL1H\nend of parameter\nSLAVE=2d\n",
         3, "bus=0 data=0 index=0 poll=0 name= box=", "x" + unset + unset + "|255|6|255|255;",
         "VOL1H|255|255|255;-;-;-;-;-;", ""},
        {"settings after a [Parameter] header belong to the parameter",
         "[Item]\nITEM_NAME=x\n[Parameter]\nPARAMETER=Divisor1\nSLAVE=2d\nOFFSET=47\n"
         "ITEM_NAME=y\nMONITOR=TRUE\n",
         1, "bus=0 data=0 index=0 poll=0 name= box=", "x" + unset, "Divisor1|45|71|255;-;", ""},
        {"[System] sections are read in turn",
         "[System]\nBUSTYPE=2\n\nMAILBOX=a@b\n"
         "[Other]\nDATAREG=296\n"  // outside [System]
         "[Item]\nPOLLING=9\n"
         "[system]\nBUSTYPE=3\nINDEXREG=295\n",  // a later line overrides an earlier one
         1, "bus=3 data=0 index=295 poll=0 name= box=a@b", unset, "-;-;", ""},
        {"long values are cut, long lines are pieces",
         "[System]\nMACHINENAME=" + kLetters90.substr(0, 60) + "\n" + "MAILBOX=" + kLetters90 +
             "\n" +  // 98 characters: the tail has no "="
             "POLLING=3\n[Item]\nITEM_NAME=" + kLetters90 + "\n" +  // the tail ends the item
             "CHIPCODE=1\n[Parameter]\nPARAMETER=ABCDEFGHIJKLMNOP\n",
         1,
         "bus=0 data=0 index=0 poll=3 name=" + kLetters90.substr(0, 39) +
             " box=" + kLetters90.substr(0, 71),
         kLetters90.substr(0, 69) + unset, "ABCDEFGHIJK|255|255|255;-;", ""},
        {"parameter sections beyond twice the items are ignored",
         "[Item]\n[Parameter]\nPARAMETER=P1\n[Parameter]\nPARAMETER=P2\n"
         "[Parameter]\nPARAMETER=P3\nSLAVE=1\n",
         1, "bus=0 data=0 index=0 poll=0 name= box=", unset, "P1|255|255|255;P2|255|255|255;", ""},
        {"a file without items", "[System]\nPOLLING=5\n", 0,
         "bus=0 data=0 index=0 poll=5 name= box=", "", "", ""},
    };
    for (const Case& c : kCases) {
        Loaded l = load(c.file);
        ASSERT_EQ(l.count, c.count) << c.what;
        EXPECT_EQ(system_of(l), c.system) << c.what;
        EXPECT_EQ(items_of(l), c.items) << c.what;
        EXPECT_EQ(parameters_of(l), c.parameters) << c.what;
        EXPECT_EQ(l.err, c.err) << c.what;
        EXPECT_EQ(l.out, "") << c.what;
    }
}

TEST_F(Loader, MissingFileIsReportedOnStdout) {
    Loaded l;
    OutputCapture capture;
    l.count = loadSenvisINI_and_getItemCount(&l.system, &l.items, &l.parameters);
    EXPECT_EQ(l.count, -1);
    EXPECT_EQ(capture.out(), "Error: the ini file is not found!\n");
    EXPECT_EQ(capture.err(), "");
}

TEST_F(Loader, PrintConfDumpsTheRecordsInItsFixedColumns) {
    Loaded l = load(
        "[System]\nBUSTYPE=3\nINDEXREG=295\nDATAREG=296\nMAILALERT=TRUE\nPOLLING=10\n"
        "[Item]\nITEM_NAME=CPU Fan\nITEM_ID=Item_FAN1\nITEM_CAT=FAN\nCHIPCODE=11\nACTIVATE=0\n"
        "SLAVE=2d\nOFFSET=28\nPARAINDEX1=Divisor1\nPARAINDEX2=FAN1H\nVOL_FUNC=-\nMONITOR=TRUE\n"
        "BUSTYPE=1\n[Parameter]\nPARAMETER=Divisor1\nSLAVE=2d\nOFFSET=47\nBITMASK=30\n");
    ASSERT_EQ(l.count, 1);
    OutputCapture capture;
    print_conf(l.system, l.items, 1, l.parameters, 2);
    const std::string expected =
        "--- System ---\nBusType=3\nIndexReg=0x0295\nDataReg=0x0296\nMAILALERT=1\nPAGERALERT=0\n"
        "POLLING=10\n--- ITEM ---\n"
        "                        Name          Item_ID  Cat ChipCode Activate Slave Offset "
        "ParaIndex1 ParaIndex2      Ref_Item_ID Vol_Func Monitor BusType Source \n"
        "                     CPU Fan        Item_FAN1 0000 0011 000 0002d 000028 Divisor1 "
        "   FAN1H                  ffffffff 0000001 0000001 0000ff \n"
        "\n--- PARAMETER ---\nSlave Offset BitMask szKeyName\n"
        "0002d 000047 0000030   Divisor1 \n00000 000000 0000000            \n\n";
    EXPECT_EQ(capture.out(), expected);
}

}  // namespace
