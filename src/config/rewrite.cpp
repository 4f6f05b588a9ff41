#include "config/rewrite.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/staged_file.h"
#include "config/paths.h"
#include "sys/sys.h"

namespace {

constexpr mode_t kDefaultMode = 0644;
// Numbered backups "/etc/Senvis.ini.old.1" and up; a directory that already
// holds this many is not added to.
constexpr int kMostNumberedBackups = 999;

// The permission bits of `path`, so that a rewrite never widens them.
mode_t mode_of(const char* path) {
    struct stat st {};
    return sys().stat(path, &st) == 0 ? (st.st_mode & 07777) : kDefaultMode;
}

bool regular_file(const char* path, bool* present) {
    struct stat st {};
    *present = sys().lstat(path, &st) == 0 || errno != ENOENT;
    return *present && S_ISREG(st.st_mode);
}

// Moves an existing backup that differs from `source` out of the way, to the
// first free numbered name. False when it is there but cannot be kept.
bool keep_earlier_backup(const std::string& source) {
    bool present = false;
    if (!regular_file(kSenvisIniOldPath, &present)) return !present;
    std::string earlier;
    if (!read_whole(kSenvisIniOldPath, earlier)) return false;
    if (earlier == source) return true;  // the same content: replacing it loses nothing
    for (int n = 1; n <= kMostNumberedBackups; ++n) {
        std::string numbered = std::string(kSenvisIniOldPath) + "." + std::to_string(n);
        struct stat st {};
        if (sys().lstat(numbered.c_str(), &st) == 0 || errno != ENOENT) continue;
        if (sys().rename(kSenvisIniOldPath, numbered.c_str()) != 0) return false;
        std::printf("Warn: %s held an earlier configuration; kept it as %s\n", kSenvisIniOldPath,
                    numbered.c_str());
        return true;
    }
    return false;
}

}  // namespace

RewriteSource read_rewrite_source() {
    RewriteSource source{kSenvisIniPath, false, {}};
    bool present = false;
    if (!regular_file(kSenvisIniPath, &present) && !present) {
        source.path = kSenvisIniOldPath;
        regular_file(kSenvisIniOldPath, &present);
    }
    // Something at the path that is not a plain file (a directory, a FIFO
    // that would block) is never read.
    if (regular_file(source.path, &present)) source.read = read_whole(source.path, source.content);
    return source;
}

RewriteResult replace_senvis_ini(const RewriteSource& source, const std::string& content) {
    mode_t mode = mode_of(source.path);
    StagedFile fresh(kSenvisIniPath, content, mode);
    if (fresh.result() == StageResult::NotCreated) return RewriteResult::NewNotCreated;
    if (fresh.result() != StageResult::Done) return RewriteResult::NewNotWritten;

    if (std::string_view(source.path) == kSenvisIniPath) {
        StagedFile backup(kSenvisIniOldPath, source.content, mode);
        if (backup.result() == StageResult::NotCreated) return RewriteResult::BackupNotCreated;
        if (backup.result() != StageResult::Done) return RewriteResult::BackupNotWritten;
        if (!keep_earlier_backup(source.content)) return RewriteResult::BackupNotCreated;
        if (backup.commit() != StageResult::Done) return RewriteResult::BackupNotCreated;
    }
    // Until here /etc/Senvis.ini is untouched; the rename replaces it at once.
    if (fresh.commit() != StageResult::Done) return RewriteResult::NewNotCreated;
    return RewriteResult::Done;
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
