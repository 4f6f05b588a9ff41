// First-run generation: the board's section of the chosen master file,
// from its "[SYSTEM]" line to the next board header, becomes /etc/Senvis.ini.
#include "config/generate.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "config/ini_lines.h"
#include "config/master_choice.h"
#include "config/paths.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {

// Where the copy stands: looking for the board's "[_<product>_]" header,
// past it and waiting for its "[SYSTEM]" line, copying, or past the end of
// the board's section (the next "[_" line).
enum class CopyState { Searching, Found, Copying, Done };

constexpr std::string_view kSystemHeader = "[SYSTEM]";
constexpr std::string_view kBoardHeaderStart = "[_";
constexpr std::string_view kBoardHeaderEnd = "_]";
constexpr std::string_view kCommentStart = ";;";

}  // namespace

int produce_senvis_ini(const char* product, const char* version) {
    const char* masterPath = choose_master_file(product, version);
    File master(sys().fopen(masterPath, "r"));
    if (!master) {
        std::fprintf(stderr, "Error: Cannot find the file '%s'. \n", masterPath);
        return -1;
    }

    std::string boardHeader;
    boardHeader.append(kBoardHeaderStart).append(product).append(kBoardHeaderEnd);

    File output;
    CopyState state = CopyState::Searching;
    bool failed = false;
    IniLine line;
    while (!failed && state != CopyState::Done &&
           read_ini_line(master.get(), line, LineEnds::StripLFThenCR)) {
        if (line.view().starts_with(kCommentStart)) continue;
        switch (state) {
            case CopyState::Searching:
                if (is_header(line, boardHeader)) {
                    output = File(sys().fopen(kSenvisIniPath, "w"));
                    if (!output) {
                        std::fprintf(stderr, "Error: Cannot create the file '%s'.\n",
                                     kSenvisIniPath);
                        failed = true;
                    }
                    state = CopyState::Found;
                }
                break;
            case CopyState::Found:
                if (is_header(line, kSystemHeader)) state = CopyState::Copying;
                break;
            case CopyState::Copying:
                if (line.view().starts_with(kBoardHeaderStart)) state = CopyState::Done;
                break;
            case CopyState::Done:
                break;
        }
        if (state == CopyState::Copying) write_ini_line(output.get(), line.view(), true);
    }

    bool copied = state == CopyState::Copying || state == CopyState::Done;
    if (!copied) {
        std::fprintf(stderr, "Error: The initial file for this motherboard is not found!\n");
        failed = true;
    }
    if (output) {
        // A write that did not reach the disk (a full file system) shows at
        // the latest when the close flushes the stream.
        bool writeFailed = std::ferror(output.get()) != 0;
        if (output.close() != 0) writeFailed = true;
        if (writeFailed && copied) {
            std::fprintf(stderr, "Error: Cannot create the file '%s'.\n", kSenvisIniPath);
            failed = true;
        }
    }
    return failed ? -1 : 0;
}
