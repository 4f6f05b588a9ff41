#include "config/master_choice.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "board/phys_mem_byte.h"
#include "config/nocase.h"
#include "hw/gpio.h"

namespace {

// One hardware test: the probe's answer masked with `mask` must equal
// `expected`. GPIO probes answer 1 for a high and 0 for a low level.
struct HardwareTest {
    int32_t (*probe)();
    uint32_t mask;
    uint32_t expected;
};

enum class VersionMatch { Any, Is, IsNoneOf };

struct VersionTest {
    VersionMatch match;
    std::array<std::string_view, 3> versions;  // unused places empty
};

// A rule matches when the product is one of `products`, the version passes
// and then every hardware test passes, checked in that order so that only
// boards of the named products are probed.
struct MasterRule {
    std::array<std::string_view, 5> products;  // unused places empty
    VersionTest version;
    std::array<HardwareTest, 2> hardware;  // unused places without a probe
    const char* masterFile;
};

int32_t byte_a() {
    return getMemByte(kBiosRevisionByteA);
}
int32_t byte_b() {
    return getMemByte(kBiosRevisionByteB);
}

constexpr VersionTest kAnyVersion{VersionMatch::Any, {}};
constexpr VersionTest version_is(std::string_view v) {
    return {VersionMatch::Is, {v}};
}
constexpr VersionTest version_is_not(std::string_view a, std::string_view b = {},
                                     std::string_view c = {}) {
    return {VersionMatch::IsNoneOf, {a, b, c}};
}

constexpr HardwareTest low(int32_t (*gpio)()) {
    return {gpio, 1, 0};
}
constexpr HardwareTest high(int32_t (*gpio)()) {
    return {gpio, 1, 1};
}
constexpr HardwareTest bits(int32_t (*byte)(), uint32_t mask, uint32_t expected) {
    return {byte, mask, expected};
}

constexpr std::array<HardwareTest, 2> kNoProbe{};

constexpr const char* kOld = kOldRevMBPath;
constexpr const char* kOld2 = kOldRevMB2Path;
constexpr const char* kOld3 = kOldRevMB3Path;

// Tried in order; the first match decides; no match means the current
// master file. Byte A is 0xFFA40, byte B 0xFFA41.
// clang-format off
constexpr MasterRule kMasterRules[] = {
    /*  1 */ {{"VB-101"}, kAnyVersion, {low(CheckGPIO28Hi)}, kOld},
    /*  2 */ {{"VB-102"}, kAnyVersion, {low(CheckGPIO38Hi)}, kOld},
    /*  3 */ {{"VB-103", "VB-104", "VB-105", "VB-106", "VB-107"}, version_is_not("2.0"), kNoProbe,
              kOld},
    /*  4 */ {{"VB-108"}, version_is_not("2.1"), kNoProbe, kOld},
    /*  5 */ {{"VB-109"}, version_is("1.2"), kNoProbe, kOld},
    /*  6 */ {{"VB-110"}, version_is_not("2.0"), kNoProbe, kOld},
    /*  7 */ {{"VB-111"}, version_is("1.2"), kNoProbe, kOld},
    /*  8 */ {{"VB-112", "VB-113"}, version_is("1.3"), kNoProbe, kOld},
    /*  9 */ {{"VB-114"}, version_is_not("1.3"), kNoProbe, kOld},
    /* 10 */ {{"VB-115"}, version_is_not("2.0"), kNoProbe, kOld},
    /* 11 */ {{"VB7-K1", "VB7-K2"}, kAnyVersion, {bits(byte_b, 0x06, 0x06)}, kOld},
    /* 12 */ {{"VB-116", "VB-117"}, kAnyVersion, {bits(byte_b, 0x01, 0x00)}, kOld},
    /* 13 */ {{"VB-118"}, kAnyVersion, {bits(byte_a, 0x02, 0x00)}, kOld},
    /* 14 */ {{"VB-119", "VB-120", "VB-121"}, kAnyVersion,
              {bits(byte_a, 0x02, 0x00), bits(byte_a, 0x01, 0x01)}, kOld},
    /* 15 */ {{"VB-122"}, kAnyVersion, {bits(byte_a, 0x01, 0x00)}, kOld},
    /* 16 */ {{"VB-123/VB-124", "VB-125/VB-126", "VB-125/VB-127", "VB-127"}, version_is("1.10"),
              kNoProbe, kOld},
    /* 17 */ {{"VB-102"}, kAnyVersion, {high(CheckGPIO38Hi), low(CheckGPIO39Hi)}, kOld2},
    /* 18 */ {{"VB-109"}, version_is("1.0"), kNoProbe, kOld2},
    /* 19 */ {{"VB-112", "VB-113"}, version_is_not("1.3", "2.0"), kNoProbe, kOld2},
    /* 20 */ {{"VB-111"}, version_is("1.1"), kNoProbe, kOld2},
    /* 21 */ {{"VB7-K2", "VB7-K1"}, kAnyVersion, {bits(byte_b, 0x03, 0x01)}, kOld2},
    /* 22 */ {{"VB-119", "VB-120", "VB-121"}, kAnyVersion, {bits(byte_a, 0x03, 0x00)}, kOld2},
    /* 23 */ {{"VB7-K2", "VB7-K1"}, kAnyVersion, {bits(byte_b, 0x03, 0x00)}, kOld3},
    /* 24 */ {{"VB-111"}, version_is_not("1.1", "1.2", "2.0"), kNoProbe, kOld3},
    /* 25: any other product or condition: kAllSenvisPath */
};
// clang-format on

bool names_product(const MasterRule& rule, std::string_view product) {
    for (std::string_view name : rule.products) {
        if (!name.empty() && equals_nocase(name, product)) return true;
    }
    return false;
}

bool version_passes(const VersionTest& test, std::string_view version) {
    bool listed = false;
    for (std::string_view v : test.versions) {
        if (!v.empty() && equals_nocase(v, version)) listed = true;
    }
    switch (test.match) {
        case VersionMatch::Any:
            return true;
        case VersionMatch::Is:
            return listed;
        case VersionMatch::IsNoneOf:
            return !listed;
    }
    return false;
}

bool hardware_passes(const std::array<HardwareTest, 2>& tests) {
    for (const HardwareTest& test : tests) {
        if (test.probe == nullptr) continue;
        uint32_t answer = static_cast<uint32_t>(test.probe());
        if ((answer & test.mask) != test.expected) return false;
    }
    return true;
}

}  // namespace

const char* choose_master_file(const char* product, const char* version) {
    for (const MasterRule& rule : kMasterRules) {
        if (names_product(rule, product) && version_passes(rule.version, version) &&
            hardware_passes(rule.hardware))
            return rule.masterFile;
    }
    return kAllSenvisPath;
}
