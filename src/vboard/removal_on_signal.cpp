#include "vboard/removal_on_signal.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGABRT};

// Copied once, before the handlers are installed: the handler may not
// allocate, nor read a string that could be changing.
char folder_path[PATH_MAX];

bool is_dot_or_dot_dot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Removes `name` in the directory `dir` and everything under it, with
// system calls only (openat, getdents64, unlinkat: nothing that allocates or
// takes a lock). A directory is listed again after a pass that removed
// something, since removing entries while listing may make the listing skip
// others; a pass that removes nothing ends it (an entry that cannot go stays).
// The recursion goes as deep as the tree; each level costs 1 KiB of stack.
bool remove_at(int dir, const char* name) {
    if (::unlinkat(dir, name, 0) == 0 || errno == ENOENT) return true;
    int fd = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        alignas(dirent64) char listing[1024];
        for (bool removed = true; removed;) {
            removed = false;
            ::lseek(fd, 0, SEEK_SET);
            for (ssize_t n; (n = ::getdents64(fd, listing, sizeof listing)) > 0;) {
                for (ssize_t at = 0; at < n;) {
                    const auto* entry = reinterpret_cast<const dirent64*>(listing + at);
                    at += entry->d_reclen;
                    if (!is_dot_or_dot_dot(entry->d_name) && remove_at(fd, entry->d_name))
                        removed = true;
                }
            }
        }
        ::close(fd);
    }
    return ::unlinkat(dir, name, AT_REMOVEDIR) == 0;
}

void on_ending_signal(int signo) {
    int saved = errno;
    remove_at(AT_FDCWD, folder_path);
    errno = saved;
    // Blocked while this handler runs: delivered, and fatal, when it returns.
    ::signal(signo, SIG_DFL);
    ::raise(signo);
}

}  // namespace

void remove_on_fatal_signals(const std::string& folder) {
    if (folder.size() >= sizeof folder_path) return;  // mkdtemp never makes one so long
    std::memcpy(folder_path, folder.c_str(), folder.size() + 1);
    struct sigaction action {};
    action.sa_handler = on_ending_signal;
    sigemptyset(&action.sa_mask);
    for (int signo : kEndingSignals) sigaddset(&action.sa_mask, signo);  // one removal at a time
    for (int signo : kEndingSignals) {
        // A signal ignored from the start stays ignored (nohup, a background
        // job of a shell without job control).
        struct sigaction before {};
        if (::sigaction(signo, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signo, &action, nullptr);
    }
}
