// The configuration writer over any file: the window's two saves rewrite the
// file from its backup. Whatever the file holds, the backup must be the file
// byte for byte, and the new file must be the backup with only the lines the
// save owns changed (POLLING and MONITOR for the items page, the mail and
// pager keys for the alert page), each into "KEY=" and a value from the
// records. Lines come in pieces of at most 79 characters, each written back
// with a line feed if it ended in one (or, failing that, in a carriage return).
//
// A NUL byte ends a piece's text for a line-based reader, so files holding one
// are saved without the second check.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/fixed_text.h"
#include "config/config_state.h"
#include "config/loader.h"
#include "config/nocase.h"
#include "config/paths.h"
#include "config/run_context.h"
#include "config/writer.h"
#include "fuzz/fuzz_board.h"

namespace {

constexpr size_t kPieceLength = 79;

struct Piece {
    std::string_view text;  // its line end removed
    bool lineEnd;
};

// The pieces a line reader with an 80-byte buffer sees.
std::vector<Piece> pieces_of(std::string_view file) {
    std::vector<Piece> pieces;
    while (!file.empty()) {
        size_t lf = file.substr(0, kPieceLength).find('\n');
        size_t length = lf == std::string_view::npos ? std::min(file.size(), kPieceLength) : lf + 1;
        std::string_view text = file.substr(0, length);
        file.remove_prefix(length);
        bool end = !text.empty() && (text.back() == '\n' || text.back() == '\r');
        if (end) text.remove_suffix(1);
        pieces.push_back({text, end});
    }
    return pieces;
}

bool saved_failure = false;
void note_failure() {
    saved_failure = true;
}

struct Owned {
    const char* key;
    std::vector<std::string> values;  // what a replaced line may carry
};

std::vector<Owned> owned_keys(int mode, const RunContext& context) {
    const SystemRecord& s = *context.system;
    if (mode == 1)
        return {{"POLLING", {std::to_string(static_cast<int>(s.polling))}},
                {"MONITOR", {"TRUE", "FALSE"}}};
    auto truth = [](uint32_t flag) { return std::string(flag == 1 ? "TRUE" : "FALSE"); };
    return {{"PAGERID", {s.pagerId}},           {"OUTLINE", {s.outline}},
            {"PHONENUMBER", {s.phoneNumber}},   {"MACHINENAME", {s.machineName}},
            {"MAILSERVER", {s.mailServer}},     {"SERVERPORT", {s.serverPort}},
            {"MAILBOX", {s.mailbox}},           {"PAGERALERT", {truth(s.pagerAlert)}},
            {"MAILALERT", {truth(s.mailAlert)}}};
}

// The forms piece `piece` may take in the new file.
std::vector<std::string> forms_of(const Piece& piece, const std::vector<Owned>& owned) {
    std::string end = piece.lineEnd ? "\n" : "";
    std::vector<std::string> forms{std::string(piece.text) + end};
    size_t equals = piece.text.find('=');
    if (equals == std::string_view::npos) return forms;
    std::string_view key = piece.text.substr(0, equals);
    for (const Owned& o : owned)
        if (equals_nocase(o.key, key))
            for (const std::string& value : o.values)
                forms.push_back(std::string(key) + "=" + value + end);
    return forms;
}

// Whether `out` is the pieces, in order, each in one of its forms.
bool matches(const std::vector<std::vector<std::string>>& forms, std::string_view out) {
    std::set<std::pair<size_t, size_t>> seen;
    std::vector<std::pair<size_t, size_t>> todo{{0, 0}};  // (piece, position in out)
    while (!todo.empty()) {
        auto [piece, at] = todo.back();
        todo.pop_back();
        if (piece == forms.size()) {
            if (at == out.size()) return true;
            continue;
        }
        if (!seen.insert({piece, at}).second) continue;
        for (const std::string& form : forms[piece])
            if (out.substr(at).starts_with(form)) todo.push_back({piece + 1, at + form.size()});
    }
    return false;
}

// Values the records would not hold from a usual file: full-length texts and
// every item's monitor flag flipped, so that a save changes lines.
void fill_records(RunContext& context) {
    SystemRecord& s = *context.system;
    s.polling = ~s.polling;
    s.mailAlert = s.mailAlert == 1 ? 0 : 1;
    s.pagerAlert = s.pagerAlert == 1 ? 0 : 1;
    for (auto* field : {&s.machineName, &s.mailServer, &s.outline, &s.pagerId, &s.phoneNumber})
        copy_text(*field, std::string(sizeof *field, 'm'));
    copy_text(s.mailbox, std::string(sizeof s.mailbox, 'b'));
    copy_text(s.serverPort, std::string(sizeof s.serverPort, 'p'));
    for (int32_t i = 0; i < context.itemCount; ++i)
        context.items[i].monitor = context.items[i].monitor == 1 ? 0 : 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_board();
    std::string_view input = as_text(data, size);
    put_file(kSenvisIniPath, input);
    remove_path(kSenvisIniOldPath);

    SystemRecord* system = nullptr;
    ItemRecord* items = nullptr;
    ParameterRecord* parameters = nullptr;
    int32_t count = loadSenvisINI_and_getItemCount(&system, &items, &parameters);
    FUZZ_CHECK(count >= 0);
    RunContext& context = *setup_run_context(system, items, count, parameters);
    fill_records(context);
    set_save_failure_hook(note_failure);

    bool text = input.find('\0') == std::string_view::npos;
    std::vector<Piece> pieces = pieces_of(input);
    for (int mode : {1, 2}) {
        put_file(kSenvisIniPath, input);
        saved_failure = false;
        save_INI_File(mode);
        FUZZ_CHECK(!saved_failure);

        std::string backup;
        std::string saved;
        FUZZ_CHECK(get_file(kSenvisIniOldPath, backup) && backup == input);
        FUZZ_CHECK(get_file(kSenvisIniPath, saved));
        if (!text) continue;
        std::vector<Owned> owned = owned_keys(mode, context);
        std::vector<std::vector<std::string>> forms;
        for (const Piece& piece : pieces) forms.push_back(forms_of(piece, owned));
        FUZZ_CHECK(matches(forms, saved));
    }

    reset_config_state();
    return 0;
}
