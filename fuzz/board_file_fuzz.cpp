// The board-file loader over any text: a board is either accepted completely
// or refused with one BoardError line "SOURCE: where: why"; no other exception
// escapes. An accepted board must also build: its devices attach to a virtual
// board (which is not installed, and writes nothing).
#include <cstdint>
#include <exception>
#include <string>

#include "fuzz/fuzz_board.h"
#include "vboard/board.h"
#include "vboard/virtual_board.h"

namespace {

constexpr const char* kSource = "fuzz.json";

void check_refusal(const BoardError& error) {
    std::string message = error.what();
    FUZZ_CHECK(message.starts_with(std::string(kSource) + ": "));
    FUZZ_CHECK(message.find('\n') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& root = fuzz_board().paths().root();
    try {
        Board board = parse_board(std::string(as_text(data, size)), kSource);
        try {
            VirtualBoard built(std::move(board), root);
        } catch (const BoardError& error) {
            check_refusal(error);  // the clock's start time is checked as it starts
        }
    } catch (const BoardError& error) {
        check_refusal(error);
    } catch (const std::exception& error) {
        fuzz_fail(error.what());
    }
    return 0;
}
