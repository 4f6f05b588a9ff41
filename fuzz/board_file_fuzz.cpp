// The board-file loader over any text: a board is either accepted completely
// or refused with one BoardError line "SOURCE: where: why"; no other exception
// escapes. An accepted board must also build: its devices attach to a virtual
// board (which is not installed, and writes nothing), and what a new root
// would hold is laid out and checked.
//
// An accepted board's latches act on the writes they watch without fault, and
// what its chips hold then comes back the same, through the text a launcher
// keeps in a root, on a second board built from the same text.
//
// The loader's bounds (16 MiB of text, 32 levels of nesting) lie beyond the
// inputs a fuzzer makes (16 KiB at most, rarely 33 brackets deep), so each
// input is read a second time under bounds scaled down to it: a depth of 1 to
// 12 levels (boards nest up to 9) and a size limit from its own length to
// three bytes below it, both taken from a hash of the input, so that every
// change to it may change them. A bound may only add its own
// refusal: whatever the small bounds let through must come out exactly as it
// does under the real ones; and a board the real bounds accept must pass the
// small ones exactly when it is within them (its depth as the JSON library's
// own tree builder sees it).
#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_board.h"
#include "vboard/board.h"
#include "vboard/seed.h"
#include "vboard/virtual_board.h"

namespace {

constexpr const char* kSource = "fuzz.json";

void check_refusal(const BoardError& error) {
    std::string message = error.what();
    FUZZ_CHECK(message.starts_with(std::string(kSource) + ": "));
    FUZZ_CHECK(message.find('\n') == std::string::npos);
}

// Writes 0xFF to every register or port a latch of the port chips watches,
// in the latch's bank (a board whose user may not reach the ports is left).
void set_off_latches(VirtualBoard& board) {
    if (board.iopl(3) != 0) return;
    for (const auto& [port, device] : board.board().ports) {
        if (const auto* chip = std::get_if<IndexDataDevice>(&device.device)) {
            for (const Latch& latch : chip->regs.latches) {
                if (latch.bank) {
                    board.outb(*chip->regs.bank_register, port);
                    board.outb(*latch.bank, chip->data_port);
                }
                board.outb(uint8_t(latch.reg), port);
                board.outb(0xFF, chip->data_port);
            }
        } else if (const auto* storage = std::get_if<PortBytes>(&device.device)) {
            for (const Latch& latch : storage->latches) board.outb(0xFF, latch.reg);
        }
    }
}

void check_state_round_trip(const std::string& text, VirtualBoard& board) {
    const std::string held = board.chip_states().text();
    VirtualBoard again(parse_board(text, kSource), board.paths().root());
    bool ours = false;
    FUZZ_CHECK(again.chip_states().restore(held, &ours).empty());
    FUZZ_CHECK(ours);
    FUZZ_CHECK(again.chip_states().text() == held);
}

// "accepted", or the refusal's line.
std::string outcome(const std::string& text, const BoardLimits& limits) {
    const std::string& root = fuzz_board().paths().root();
    try {
        Board board = parse_board(text, kSource, limits);
        // The clock's start time is checked as the board is built, the files
        // as the seeding is laid out (no master files: none are named).
        VirtualBoard built(std::move(board), root);
        SeedPlan plan(built, root + "/no-master-files");
        set_off_latches(built);
        check_state_round_trip(text, built);
        return "accepted";
    } catch (const BoardError& error) {
        check_refusal(error);
        return error.what();
    } catch (const std::exception& error) {
        fuzz_fail(error.what());
    }
}

// Arrays and objects, one inside another, at the deepest point.
size_t depth_of(const nlohmann::json& value) {
    size_t deepest = 0;
    if (value.is_structured())
        for (const auto& element : value) deepest = std::max(deepest, depth_of(element));
    return value.is_structured() ? deepest + 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(as_text(data, size));
    std::string full = outcome(text, BoardLimits{});
    if (size < 4) return 0;

    uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 0x100000001B3ull;
    BoardLimits small{size - hash % 4, size_t{1} + (hash >> 8) % 12};
    std::string bounded = outcome(text, small);
    std::string too_deep = ": nested deeper than " + std::to_string(small.max_depth) + " levels";
    std::string too_large = std::string(kSource) + ": too large: more than " +
                            std::to_string(small.max_bytes) + " bytes";
    FUZZ_CHECK(bounded == full || bounded.ends_with(too_deep) ||
               (bounded == too_large && size > small.max_bytes));
    if (full == "accepted") {
        if (size > small.max_bytes) {
            FUZZ_CHECK(bounded == too_large);
        } else if (depth_of(nlohmann::json::parse(text)) > small.max_depth) {
            FUZZ_CHECK(bounded.ends_with(too_deep));
        } else {
            FUZZ_CHECK(bounded == "accepted");
        }
    }
    return 0;
}
