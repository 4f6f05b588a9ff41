// First-run generation from any master text for any product and version. The
// input is "PRODUCT\nVERSION\n" followed by the master file's text; the text is
// written where the master-file choice for that board looks for it. When the
// generation reports success, /etc/Senvis.ini must begin with the "[SYSTEM]"
// line (the copy starts there) and hold no comment line and no line longer
// than a read piece; when it fails, the board's section must be absent.
#include <cstdint>
#include <string>
#include <string_view>

#include "config/generate.h"
#include "config/master_choice.h"
#include "config/nocase.h"
#include "config/paths.h"
#include "fuzz/fuzz_board.h"

namespace {

// The next line of `text` (without its line feed), taken off the front.
std::string next_line(std::string_view& text) {
    size_t lf = text.find('\n');
    std::string line(text.substr(0, lf));
    text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    return line;
}

void check_generated(std::string_view file) {
    bool first = true;
    while (!file.empty()) {
        std::string line = next_line(file);
        if (first) FUZZ_CHECK(equals_nocase(line, "[SYSTEM]"));
        first = false;
        FUZZ_CHECK(!line.starts_with(";;"));
        FUZZ_CHECK(line.size() <= 79);
    }
    FUZZ_CHECK(!first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_board();
    std::string_view input = as_text(data, size);
    // Product and version stop at a NUL as the identification buffers do.
    std::string product = next_line(input).c_str();
    std::string version = next_line(input).c_str();

    for (const char* master : {kAllSenvisPath, kOldRevMBPath, kOldRevMB2Path, kOldRevMB3Path})
        remove_path(master);
    remove_path(kSenvisIniPath);
    put_file(choose_master_file(product.c_str(), version.c_str()), input);

    int result = produce_senvis_ini(product.c_str(), version.c_str());
    std::string generated;
    bool written = get_file(kSenvisIniPath, generated);
    if (result == 0) {
        FUZZ_CHECK(written);
        check_generated(generated);
    } else {
        // Only a missing section fails here (the root is writable); a file
        // may have been opened for a header without a [SYSTEM] line.
        FUZZ_CHECK(generated.empty());
    }
    return 0;
}
