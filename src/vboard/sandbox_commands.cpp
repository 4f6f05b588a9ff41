#include "vboard/sandbox_commands.h"

#include "vboard/devices.h"
#include "vboard/dmidecode_text.h"
#include "vboard/virtual_board.h"

namespace {

constexpr mode_t kExecutable = 0755;

// The text goes to standard output exactly as the board gives it.
constexpr const char* kDmidecodeHead = R"sh(#!/bin/sh
# dmidecode of the virtual board: prints the board's SMBIOS structures as they
# were when this root was seeded. It takes no options.
if [ $# -gt 0 ]; then
    echo "dmidecode: the virtual board's dmidecode takes no options (got $1)" >&2
    exit 2
fi
printf '%b' )sh";

// A board without dmidecode must not fall through to a dmidecode of the host
// (later on PATH), which would describe the host's own board.
constexpr const char* kNoDmidecode = R"sh(#!/bin/sh
# The virtual board has no dmidecode; this stands in for the host's.
echo "dmidecode: command not found" >&2
exit 127
)sh";

// Loading lists the module the way the kernel's /proc/modules does: newest
// first, '-' in the name as '_', then size, use count, users, state and
// load address. A module already listed is not listed twice. Any name made
// of letters, digits, '_' and '-' loads; -r takes a listed module out again.
constexpr const char* kModprobe = R"sh(#!/bin/sh
# modprobe of the virtual board: nothing is loaded, the module is only listed
# in /proc/modules (newest first, as the kernel lists them); -r unlists it.
case $0 in
/*/usr/bin/modprobe) root=${0%/usr/bin/modprobe} ;;
*) root=$PWD ;;
esac
modules=${SANDBOX_PROC_MODULES:-$root/proc/modules}

remove=0
all=0
while [ $# -gt 0 ]; do
    case $1 in
    -r | --remove) remove=1 ;;
    -a | --all) all=1 ;;
    -q | --quiet | -v | --verbose | -b | --use-blacklist | -s | --syslog) ;;
    --) shift; break ;;
    -?*) echo "modprobe: unrecognized option '$1'" >&2; exit 1 ;;
    *) break ;;
    esac
    shift
done
if [ $# -eq 0 ]; then
    echo "modprobe: ERROR: missing parameters. See -h." >&2
    exit 1
fi
# One module and its parameters, unless -a or -r name several modules.
if [ $remove -eq 0 ] && [ $all -eq 0 ]; then
    set -- "$1"
fi

tab=$(printf '\t')
# The first word of each line names a loaded module.
listed() {
    [ -f "$modules" ] || return 1
    while IFS= read -r line || [ -n "$line" ]; do
        [ "${line%%[ $tab]*}" = "$1" ] && return 0
        line=
    done <"$modules"
    return 1
}

# The new list goes to a fresh file beside the old one (mktemp makes it
# itself, so no link planted there is followed) and replaces it whole.
replace_list() {
    new=$(mktemp "$modules.XXXXXX") || return 1
    if "$@" >"$new" && chmod 644 "$new" && mv -f "$new" "$modules"; then
        return 0
    fi
    rm -f "$new"
    return 1
}

with_module() {
    printf '%s 16384 0 - Live 0x0000000000000000\n' "$1"
    if [ -f "$modules" ]; then cat "$modules"; fi
}

without_module() {
    while IFS= read -r line || [ -n "$line" ]; do
        [ "${line%%[ $tab]*}" = "$1" ] || printf '%s\n' "$line"
        line=
    done <"$modules"
}

load() {
    listed "$1" && return 0
    replace_list with_module "$1"
}

unload() {
    if ! listed "$1"; then
        echo "modprobe: FATAL: Module $1 is not in kernel." >&2
        return 1
    fi
    replace_list without_module "$1"
}

status=0
for module in "$@"; do
    name=$(printf '%s' "$module" | tr - _)
    case $name in
    '' | *[!A-Za-z0-9_]*)
        echo "modprobe: FATAL: Module $module not found." >&2
        status=1
        continue
        ;;
    esac
    if [ $remove -eq 1 ]; then
        unload "$name" || status=1
    else
        load "$name" || status=1
    fi
done
exit $status
)sh";

// Each message: "To: " and the recipients (one argument each, joined by
// ", "), "Subject: " and the subject, an empty line, the body as read from
// standard input (a line feed added if it lacks one), and an empty line.
constexpr const char* kMail = R"sh(#!/bin/sh
# mail of the virtual board: nothing is sent, each message is appended to
# /var/mail/sent (To, Subject, an empty line, the body, an empty line).
case $0 in
/*/usr/bin/mail) root=${0%/usr/bin/mail} ;;
*) root=$PWD ;;
esac
sent=${SANDBOX_MAIL_SENT:-$root/var/mail/sent}

subject=
while [ $# -gt 0 ]; do
    case $1 in
    -s)
        if [ $# -lt 2 ]; then
            echo "mail: option requires an argument -- 's'" >&2
            exit 1
        fi
        subject=$2
        shift
        ;;
    -s?*) subject=${1#-s} ;;
    --) shift; break ;;
    -?*) echo "mail: unsupported option '$1'" >&2; exit 1 ;;
    *) break ;;
    esac
    shift
done
if [ $# -eq 0 ]; then
    echo "mail: no recipients" >&2
    exit 1
fi
to=$1
shift
for recipient in "$@"; do
    to="$to, $recipient"
done

# The trailing dot keeps the body's own trailing line feeds.
body=$(cat; echo .)
body=${body%.}
case $body in
'' | *'
') ;;
*) body="$body
" ;;
esac
mkdir -p "${sent%/*}" &&
    printf 'To: %s\nSubject: %s\n\n%s\n' "$to" "$subject" "$body" >>"$sent"
)sh";

}  // namespace

std::optional<std::string> dmidecode_output(const Board& board) {
    switch (board.dmidecode.mode) {
        case DmidecodeSpec::Mode::automatic:
            return dmidecode_text(board.smbios);
        case DmidecodeSpec::Mode::text:
            return board.dmidecode.text;
        case DmidecodeSpec::Mode::absent:
            break;
    }
    return std::nullopt;
}

// Inside single quotes the shell takes every byte as it is except the quote
// itself, which ends the quotes, stands escaped, and opens them again.
std::string shell_quoted(std::string_view text) {
    std::string word = "'";
    for (char c : text) {
        if (c == '\'') {
            word += "'\\''";
        } else {
            word += c;
        }
    }
    word += '\'';
    return word;
}

// printf's %b undoes the escapes of the bytes a shell word cannot carry (NUL)
// or that %b would take as an escape (backslash).
std::string printf_b_word(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\0') {
            escaped += "\\0000";
        } else if (c == '\\') {
            escaped += "\\\\";
        } else {
            escaped += c;
        }
    }
    return shell_quoted(escaped);
}

void attach_commands(VirtualBoard& board) {
    auto text = dmidecode_output(board.board());
    board.add_seed_file("/usr/bin/dmidecode",
                        text ? kDmidecodeHead + printf_b_word(*text) + "\n" : kNoDmidecode,
                        kExecutable);
    board.add_seed_file("/usr/bin/modprobe", kModprobe, kExecutable);
    board.add_seed_file("/usr/bin/mail", kMail, kExecutable);
}
