// What the two in-place rewrites of /etc/Senvis.ini share: the configuration
// writer (save_INI_File) and the first run's switching off of items that do
// not answer. Both move the file to /etc/Senvis.ini.old, read that backup line
// by line and write a new file, replacing a few setting lines and copying
// everything else as it stands. Their section rules, messages and ways of
// failing differ, so each keeps its own state machine and error handling and
// shares only the file steps and the copy loop here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "config/ini_lines.h"
#include "sys/handles.h"

enum class RewriteOpen {
    Opened,
    BackupNotOpened,  // the backup could not be opened for reading
    NewNotCreated,    // a new /etc/Senvis.ini could not be created
};

// Renames "/etc/Senvis.ini" to "/etc/Senvis.ini.old" (replacing an older
// backup), opens the backup into `backup` and creates a new file into `fresh`.
// When the new file cannot be created, the previous content is left only in
// the backup. A rename that fails for any reason but a missing file counts as
// BackupNotOpened and leaves /etc/Senvis.ini untouched.
RewriteOpen open_senvis_rewrite(File& backup, File& fresh);

// Copies `from` to `to` piece by piece (at most 79 characters; a trailing LF,
// or failing that a trailing CR, removed). For each line `edit(line, text)`
// may put a replacement into `text` and return true; the line or its
// replacement is written back followed by an LF if the piece had a line end.
template <typename Edit>
void copy_ini_lines(FILE* from, FILE* to, Edit&& edit) {
    IniLine line;
    std::string replacement;
    while (read_ini_line(from, line, LineEnds::StripLFOrCR)) {
        replacement.clear();
        bool replaced = edit(static_cast<const IniLine&>(line), replacement);
        write_ini_line(to, replaced ? std::string_view(replacement) : line.view(), line.hadLineEnd);
    }
}

// The sections both rewrites tell apart.
enum class IniSection { None, System, Item, Parameter };

// The header step both rewrites share: "[System]", "[Item]" (which moves
// `itemIndex` on) and "[Parameter]" open their sections; any other line leaves
// `section` as it is. Where a rewrite stays in a section regardless, it does
// not call this.
void enter_ini_section(const IniLine& line, IniSection& section, int32_t& itemIndex);

// "KEY=VALUE" with the key as the file spells it.
std::string setting_text(std::string_view key, std::string_view value);
