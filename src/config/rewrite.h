// What the two rewrites of /etc/Senvis.ini share: the configuration writer
// (save_INI_File) and the first run's switching off of items that do not
// answer. Both read the current file, copy it line by line replacing a few
// setting lines, and put the result in place whole: the new content is
// written beside the file, synced, and renamed over it, after the previous
// content has been kept in /etc/Senvis.ini.old. Whatever fails, the file on
// disk is the old one or the new one, never a mixture, and no backup that
// holds something else is destroyed. Their section rules, messages and ways
// of failing differ, so each keeps its own state machine and error texts and
// shares only the file steps and the copy loop here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "config/ini_lines.h"

// Where a rewrite stopped. Nothing on disk has changed unless it is Done,
// except that an earlier backup may have been moved to a numbered name.
enum class RewriteResult {
    Done,
    SourceNotOpened,   // neither /etc/Senvis.ini nor its backup could be read
    BackupNotCreated,  // the backup's new copy could not be created or moved in
    BackupNotWritten,  // writing the backup's new copy failed (a full disk)
    NewNotCreated,     // the new /etc/Senvis.ini could not be created or moved in
    NewNotWritten,     // writing the new /etc/Senvis.ini failed (a full disk)
};

// The file a rewrite starts from: "/etc/Senvis.ini", or, when that is
// missing, its backup "/etc/Senvis.ini.old" (an earlier failure may have
// left the administrator's configuration only there), read whole.
struct RewriteSource {
    const char* path;  // the file read, or the one that could not be read
    bool read;
    std::string content;
};
RewriteSource read_rewrite_source();

// Keeps the source as the backup and puts `content` in place as
// /etc/Senvis.ini. When the source was the file itself, it becomes
// /etc/Senvis.ini.old; an existing backup that differs from it is first moved
// to the first free "/etc/Senvis.ini.old.N" (N from 1), with one line on
// standard output saying so. When the source was the backup, the backup
// stays as it is.
RewriteResult replace_senvis_ini(const RewriteSource& source, const std::string& content);

// Copies `from` to `to` piece by piece (at most 79 characters; a trailing LF,
// or failing that a trailing CR, removed). For each line `edit(line, text)`
// may put a replacement into `text` and return true; the line or its
// replacement is written back followed by an LF if the piece had a line end.
template <typename Edit>
void copy_ini_lines(std::string_view from, std::string& to, Edit&& edit) {
    IniLines lines(from);
    IniLine line;
    std::string replacement;
    while (lines.next(line, LineEnds::StripLFOrCR)) {
        replacement.clear();
        bool replaced = edit(static_cast<const IniLine&>(line), replacement);
        append_ini_line(to, replaced ? std::string_view(replacement) : line.view(),
                        line.hadLineEnd);
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
