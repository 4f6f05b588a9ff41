#include "config/rewrite.h"

#include <cerrno>

#include "config/paths.h"
#include "sys/sys.h"

RewriteOpen open_senvis_rewrite(File& backup, File& fresh) {
    // A missing /etc/Senvis.ini is not fatal here: the backup, if there is one,
    // is then the file to rewrite. Any other failure to move it means the
    // backup would not hold the current content, and creating the new file
    // would destroy it, so the rewrite stops as if the backup could not be
    // opened.
    if (sys().rename(kSenvisIniPath, kSenvisIniOldPath) != 0 && errno != ENOENT) {
        return RewriteOpen::BackupNotOpened;
    }
    backup = File(sys().fopen(kSenvisIniOldPath, "r"));
    if (!backup) return RewriteOpen::BackupNotOpened;
    fresh = File(sys().fopen(kSenvisIniPath, "w"));
    if (!fresh) return RewriteOpen::NewNotCreated;
    return RewriteOpen::Opened;
}

std::string setting_text(std::string_view key, std::string_view value) {
    std::string text;
    text.reserve(key.size() + 1 + value.size());
    text.append(key).append("=").append(value);
    return text;
}

void enter_ini_section(const IniLine& line, IniSection& section, int32_t& itemIndex) {
    if (is_header(line, "[System]")) {
        section = IniSection::System;
    } else if (is_header(line, "[Item]")) {
        section = IniSection::Item;
        ++itemIndex;
    } else if (is_header(line, "[Parameter]")) {
        section = IniSection::Parameter;
    }
}
