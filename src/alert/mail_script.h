// E-mail alerts: a small bash script that pipes the message into the
// system's `mail` command through a here-document, written to a fixed name in
// /tmp and run in a child process. The monitor runs as root and /tmp is open
// to every local user, so the script is made with care (see mail_script.cpp
// and docs/alerts.md): nothing that stands at the name is followed or reused,
// nothing but root can change the file before it runs, and nothing in the
// texts it carries can become a shell command.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* kMailScriptPath = "/tmp/SensorvisorMailAlert";
inline constexpr const char* kAlertSubject = "Alert: system health warning!";
inline constexpr const char* kTestSubject = "Alert: E-mail Test!";

// Shown (in the dialog) or printed (on the console, with a line feed) when
// the recipients are refused.
inline constexpr const char* kRecipientsRefused =
    "Error: 'Recipients' may hold only mail addresses separated by blanks or commas; "
    "no mail was sent.";

// Whether `recipients` is one or more mail addresses separated by blanks or
// commas: letters, digits and . _ % + - = @ only, no address beginning with
// "-" (which `mail` would take as an option). The recipients stand unquoted
// in the script, so that each address becomes an argument of its own; these
// characters mean nothing to the shell there.
bool recipients_are_addresses(std::string_view recipients);

// The script: the interpreter line, the `mail` command with the subject and
// the recipients, and the here-document: the line naming the system, the
// body and the closing EOT. `$`, back-quotes and backslashes of the machine
// name and the body are escaped so that `mail` receives them as they stand;
// any other text is carried byte for byte.
std::string mail_script_text(std::string_view subject, std::string_view recipients,
                             std::string_view machineName, std::string_view body);

enum class MailOutcome {
    sent,         // the script ran and ended (what `mail` did is not known)
    refused,      // the recipients are not mail addresses: nothing written or run
    not_written,  // the script could not be made safely: nothing run
    not_run,      // fork() or waitpid() failed (said on the console)
};

// Checks the recipients, writes the script afresh and runs it, waiting for
// its end. Everything goes through Sys; on a virtual board the script is
// made and run inside the sandbox, where `mail` records the message.
MailOutcome send_mail_script(std::string_view subject, std::string_view recipients,
                             std::string_view machineName, std::string_view body);

// "at " and the local time as ctime() gives it (with its line feed), the
// last line of every alert and of the test mail.
std::string time_line();
