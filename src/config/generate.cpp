// First-run generation: the board's section of the chosen master file,
// from its "[SYSTEM]" line to the next board header, becomes /etc/Senvis.ini.
#include "config/generate.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "config/ini_lines.h"
#include "config/master_choice.h"
#include "config/paths.h"
#include "common/staged_file.h"
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
constexpr mode_t kConfigMode = 0644;

}  // namespace

int produce_senvis_ini(const char* product, const char* version) {
    const char* masterPath = choose_master_file(product, version);
    File master(sys().fopen(masterPath, "r"));
    if (!master) {
        std::fprintf(stderr, "Error: Cannot find the file '%s'. \n",
                     sys().path_in_message(masterPath).c_str());
        return -1;
    }

    std::string boardHeader;
    boardHeader.append(kBoardHeaderStart).append(product).append(kBoardHeaderEnd);

    // The section is gathered first and written whole at the end, so that a
    // run that fails halfway leaves no configuration behind: the next run is
    // a first run again, instead of one that trusts half a file.
    std::string content;
    CopyState state = CopyState::Searching;
    IniLine line;
    while (state != CopyState::Done && read_ini_line(master.get(), line, LineEnds::StripLFThenCR)) {
        if (line.view().starts_with(kCommentStart)) continue;
        switch (state) {
            case CopyState::Searching:
                if (is_header(line, boardHeader)) state = CopyState::Found;
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
        if (state == CopyState::Copying) append_ini_line(content, line.view(), true);
    }
    if (state == CopyState::Searching) {
        std::fprintf(stderr, "Error: The initial file for this motherboard is not found!\n");
        return -1;
    }

    // A header was found: the file is created, even when the section turns
    // out to have no "[SYSTEM]" line (it then stays empty).
    StagedFile output(kSenvisIniPath, content, kConfigMode);
    StageResult written = output.commit();
    bool copied = state == CopyState::Copying || state == CopyState::Done;
    if (written != StageResult::Done)
        std::fprintf(stderr, "Error: Cannot create the file '%s'.\n", kSenvisIniPath);
    // A file that could not be created or moved in ends the copy as a
    // section that was never found does.
    if (written == StageResult::NotCreated || written == StageResult::NotMoved || !copied) {
        std::fprintf(stderr, "Error: The initial file for this motherboard is not found!\n");
        return -1;
    }
    return written == StageResult::Done ? 0 : -1;
}
