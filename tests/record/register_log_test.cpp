// A chip's register accesses as the recording writes them down, checked the
// way that matters: the replay's own register file, built from what was
// written, answers every read of the log as the chip did. Where it cannot,
// the recording says so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "record/register_log.h"
#include "vboard/register_file.h"

namespace {

using Kind = RegisterAccess::Kind;
constexpr RegisterAccess R(uint8_t reg, uint8_t value) {
    return {Kind::read, reg, value};
}
constexpr RegisterAccess W(uint8_t reg, uint8_t value) {
    return {Kind::write, reg, value};
}
constexpr RegisterAccess F(uint8_t reg) {
    return {Kind::failed_read, reg, 0};
}

// The chip as the replay builds it, from the keys recorded for it.
BankedRegisters replayed(const Json& keys) {
    Json board = {{"ports", {{"0x295", {{"index_data", keys}}}}}};
    board["ports"]["0x295"]["index_data"]["data"] = "0x296";
    Board parsed = parse_board(board.dump(), "recorded.json");
    return std::get<IndexDataDevice>(parsed.ports.at(0x295).device).regs;
}

TEST(RegisterLog, TheReplayAnswersEveryReadAsTheChipDid) {
    const struct {
        const char* what;
        std::vector<RegisterAccess> log;
    } cases[] = {
        {"a value that changes, and holds a written byte afterwards",
         {R(0x29, 0x64), R(0x29, 0x66), R(0x29, 0x64), W(0x29, 0x10), R(0x29, 0x10)}},
        {"banks switched and put back; a write stays in its bank",
         {R(0x4E, 0x80), W(0x4E, 0x83), W(0x50, 0x11), R(0x50, 0x11), W(0x4E, 0x85), R(0x50, 0x22),
          R(0x50, 0x23), W(0x4E, 0x80), R(0x50, 0x07), W(0x4E, 0x83), R(0x50, 0x11)}},
        {"a bank selected before its register was ever read",
         {W(0x4E, 0x01), R(0x55, 0x55), W(0x4E, 0x00), R(0x55, 0x5A), R(0x20, 0xBB)}},
    };
    VirtualClock clock(ClockSpec{std::nullopt, true});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReplayNotes notes;
        Json keys = recorded_registers(Json::object(), c.log, kPortChipBankSelects, "chip", notes);
        EXPECT_THAT(notes.lines(), testing::IsEmpty());
        RegisterFile chip(replayed(keys), clock);
        for (const RegisterAccess& access : c.log) {
            if (access.kind == Kind::write) {
                chip.write(access.reg, access.value);
            } else {
                EXPECT_EQ(access.value, chip.read(access.reg)) << "register " << int(access.reg);
            }
        }
    }
}

TEST(RegisterLog, WhatTheReplayCannotGiveIsNoted) {
    const struct {
        std::vector<RegisterAccess> log;
        const char* note;
    } cases[] = {
        {{W(0x46, 0x80), R(0x46, 0x00)},
         "chip register 0x46 read 0x00 where the replay gives 0x80"},
        {{F(0x30), R(0x30, 0x12)}, "chip register 0x30 read 0x12 where the replay gives a failure"},
        {{R(0x30, 0x12), F(0x30)}, "chip register 0x30 read nothing where the replay gives 0x12"},
    };
    for (const auto& c : cases) {
        ReplayNotes notes;
        recorded_registers(Json::object(), c.log, kSmbusChipBankSelects, "chip", notes);
        EXPECT_THAT(notes.lines(), testing::ElementsAre(c.note));
    }
}

}  // namespace
