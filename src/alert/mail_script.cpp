#include "alert/mail_script.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "common/staged_file.h"
#include "sys/handles.h"
#include "sys/sys.h"

namespace {

constexpr const char* kTmpDirectory = "/tmp";
constexpr std::string_view kDelimiter = "EOT";
// Owner execute only: root's shell can still read it, nobody else can
// read, write or run it.
constexpr mode_t kScriptMode = 0100;
// While it is written: the owner's alone.
constexpr mode_t kWritingMode = 0600;

bool is_address_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr("._%+-=@", c) != nullptr);
}

// Inside an unquoted here-document the shell expands `$...` and `...`, and
// a backslash quotes $, `, \ and the line feed; every other byte stands as
// it is. A line that reads exactly as the delimiter would end the document
// early (only a name with a line feed in it could make one): a leading
// backslash, which the shell keeps, makes it a line of text.
void append_here_document_text(std::string& script, std::string_view text) {
    size_t line_start = script.size();
    for (char c : text) {
        if (c == '$' || c == '`' || c == '\\') script += '\\';
        script += c;
        if (c == '\n') {
            if (std::string_view(script).substr(line_start) == std::string(kDelimiter) + "\n")
                script.insert(line_start, 1, '\\');
            line_start = script.size();
        }
    }
}

// /tmp must not let another user take the script's name from under us
// between writing and running: it is ours (root's) and, where others may
// write in it, sticky (then only a file's owner can remove or rename it).
bool tmp_keeps_our_files(const struct stat& tmp) {
    return tmp.st_uid == sys().getuid() &&
           ((tmp.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (tmp.st_mode & S_ISVTX) != 0);
}

// Whatever stands at the name (a file someone else made, a symbolic link to
// a file elsewhere) is removed, not followed; the file is then created
// afresh, exclusively, so that if anything appears at the name meanwhile the
// creation fails instead of opening it. false, with nothing left at the
// name, when the script cannot be made whole.
bool write_script(const std::string& script) {
    struct stat tmp {};
    if (sys().stat(kTmpDirectory, &tmp) != 0 || !S_ISDIR(tmp.st_mode)) return false;
    if (!tmp_keeps_our_files(tmp)) {
        g_print(
            "Error: %s lets other users replace root's files (it is not root's, or not "
            "sticky); no mail is sent.\n",
            kTmpDirectory);
        return false;
    }
    sys().unlink(kMailScriptPath);
    Fd file(sys().open(kMailScriptPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       kWritingMode));
    if (!file.valid()) return false;
    bool whole = write_all(sys(), file.get(), script);
    if (file.close() != 0) whole = false;
    if (!whole || sys().chmod(kMailScriptPath, kScriptMode) != 0) {
        sys().unlink(kMailScriptPath);  // a part of a script must never run
        return false;
    }
    return true;
}

}  // namespace

bool recipients_are_addresses(std::string_view recipients) {
    bool any = false;
    bool word_start = true;
    for (char c : recipients) {
        if (c == ' ' || c == '\t' || c == ',') {
            word_start = true;
            continue;
        }
        if (!is_address_char(c) || (word_start && c == '-')) return false;
        word_start = false;
        any = true;
    }
    return any;
}

std::string mail_script_text(std::string_view subject, std::string_view recipients,
                             std::string_view machineName, std::string_view body) {
    std::string script = "#!/bin/bash\nmail -s \"";
    script += subject;
    script += "\" ";
    script += recipients;
    script += " <<";
    script += kDelimiter;
    script += "\n";
    std::string document = "The system '";
    document += machineName;
    document += "' has the following health information:\n";
    document += body;
    if (document.back() != '\n') document += '\n';  // the delimiter needs a line of its own
    append_here_document_text(script, document);
    script += kDelimiter;
    script += "\n";
    return script;
}

MailOutcome send_mail_script(std::string_view subject, std::string_view recipients,
                             std::string_view machineName, std::string_view body) {
    if (!recipients_are_addresses(recipients)) return MailOutcome::refused;
    if (!write_script(mail_script_text(subject, recipients, machineName, body)))
        return MailOutcome::not_written;

    pid_t child = sys().fork();
    if (child < 0) {
        g_print("fork() error!\n");
        return MailOutcome::not_run;
    }
    if (child == 0) {
        sys().execlp(kMailScriptPath, kMailScriptPath);
        sys()._exit(0);
    }
    // The main loop waits for the script: sending blocks the window.
    int status = 0;
    pid_t waited;
    do {
        waited = sys().waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0) {
        g_print("waitpid() error!\n");
        return MailOutcome::not_run;
    }
    return MailOutcome::sent;
}

std::string time_line() {
    time_t now = sys().time(nullptr);
    const char* stamp = std::ctime(&now);
    return std::string("at ") + (stamp != nullptr ? stamp : "\n");
}
