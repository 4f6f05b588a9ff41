#include "vboard/chip_state_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "common/staged_file.h"
#include "vboard/virtual_board.h"

ChipStateFile::ChipStateFile(VirtualBoard& board, const std::string& root)
    : board_(board), path_(root + "/" + kName), kept_(board.chip_states().text()) {}

std::string ChipStateFile::load() {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return errno == ENOENT ? "" : path_ + ": cannot read: " + std::strerror(errno);
    std::ostringstream text;
    text << in.rdbuf();
    bool of_this_board = false;
    std::string why = board_.chip_states().restore(text.str(), &of_this_board);
    // A file of another board file, or a damaged one, is replaced at the
    // first save, even by a board whose chips hold nothing yet.
    kept_ = why.empty() && of_this_board ? text.str() : "";
    if (!why.empty()) return path_ + ": " + why + "; the chips start from the board file";
    return "";
}

std::string ChipStateFile::save() {
    std::string text = board_.chip_states().text();
    if (text == kept_) return "";
    StagedFile staged(host_, path_, text, 0644);
    if (staged.commit() == StageResult::Done) {
        kept_ = std::move(text);
        failed_ = false;
        return "";
    }
    if (std::exchange(failed_, true)) return "";
    return "cannot keep what the chips hold in " + path_ + ": " + std::strerror(staged.error());
}
