#include "vboard/file_faults.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// One faulty stream's own state.
struct FaultyStream {
    int fd;
    bool reads_fail;
    std::shared_ptr<uint64_t> free_bytes;  // null: not on a full disk
};

ssize_t faulty_read(void* cookie, char* buf, size_t size) {
    auto* stream = static_cast<FaultyStream*>(cookie);
    if (stream->reads_fail) {
        errno = EIO;
        return -1;
    }
    return ::read(stream->fd, buf, size);
}

// A cookie write reports failure as 0 bytes; stdio then marks the stream's
// error. The kernel would refuse the rest of a short write with ENOSPC on the
// next call; stdio over a cookie does not retry, so it hears about it now.
ssize_t faulty_write(void* cookie, const char* buf, size_t size) {
    auto* stream = static_cast<FaultyStream*>(cookie);
    if (!stream->free_bytes) {
        ssize_t written = ::write(stream->fd, buf, size);
        return written < 0 ? 0 : written;
    }
    ssize_t written = FileFaults::write_counted(stream->fd, buf, size, *stream->free_bytes);
    if (written < 0) return 0;
    if (size_t(written) < size) errno = ENOSPC;
    return written;
}

int faulty_seek(void* cookie, off64_t* offset, int whence) {
    auto* stream = static_cast<FaultyStream*>(cookie);
    off64_t at = ::lseek64(stream->fd, *offset, whence);
    if (at < 0) return -1;
    *offset = at;
    return 0;
}

int faulty_close(void* cookie) {
    auto* stream = static_cast<FaultyStream*>(cookie);
    int result = ::close(stream->fd);
    delete stream;
    return result;
}

// open(2) flags for an fopen mode ("r", "w+", "ab", "wx", ...), or -1.
int open_flags(const char* mode) {
    int flags;
    switch (mode[0]) {
        case 'r':
            flags = 0;
            break;
        case 'w':
            flags = O_CREAT | O_TRUNC;
            break;
        case 'a':
            flags = O_CREAT | O_APPEND;
            break;
        default:
            return -1;
    }
    bool update = std::strchr(mode + 1, '+') != nullptr;
    flags |= update ? O_RDWR : (mode[0] == 'r' ? O_RDONLY : O_WRONLY);
    if (std::strchr(mode + 1, 'x')) flags |= O_EXCL;
    if (std::strchr(mode + 1, 'e')) flags |= O_CLOEXEC;
    return flags;
}

}  // namespace

bool path_within(std::string_view path, std::string_view prefix) {
    if (prefix == "/") return true;
    return path.substr(0, prefix.size()) == prefix &&
           (path.size() == prefix.size() || path[prefix.size()] == '/');
}

FileFaults::FileFaults(const FaultSettings& settings)
    : missing_(settings.missing), unreadable_(settings.unreadable) {
    for (const auto& [path, free] : settings.full_disk)
        disks_.emplace_back(path, std::make_shared<uint64_t>(free));
    std::sort(disks_.begin(), disks_.end(),
              [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
}

bool FileFaults::missing(std::string_view path) const {
    return std::any_of(missing_.begin(), missing_.end(),
                       [&](const std::string& gone) { return path_within(path, gone); });
}

ssize_t FileFaults::write_counted(int fd, const void* buf, size_t size, uint64_t& free_bytes) {
    size_t fits = std::min<uint64_t>(size, free_bytes);
    if (fits == 0 && size > 0) {
        errno = ENOSPC;
        return -1;
    }
    ssize_t written = ::write(fd, buf, fits);
    if (written > 0) free_bytes -= uint64_t(written);
    return written;
}

std::shared_ptr<uint64_t> FileFaults::disk_of(std::string_view path) const {
    for (const auto& [disk, free] : disks_)
        if (path_within(path, disk)) return free;
    return nullptr;
}

FILE* FileFaults::fopen(const std::string& path, const std::string& real_path,
                        const char* mode) const {
    int flags = open_flags(mode);
    if (flags < 0) {
        errno = EINVAL;
        return nullptr;
    }
    bool reads_fail = std::any_of(unreadable_.begin(), unreadable_.end(),
                                  [&](const std::string& bad) { return path_within(path, bad); });
    std::shared_ptr<uint64_t> free_bytes;
    if ((flags & O_ACCMODE) != O_RDONLY) free_bytes = disk_of(path);
    if (!reads_fail && !free_bytes) return ::fopen(real_path.c_str(), mode);

    int fd = ::open(real_path.c_str(), flags, 0666);
    if (fd < 0) return nullptr;
    auto* stream = new FaultyStream{fd, reads_fail, std::move(free_bytes)};
    FILE* file = fopencookie(
        stream, mode, cookie_io_functions_t{faulty_read, faulty_write, faulty_seek, faulty_close});
    if (!file) {
        int saved = errno;
        faulty_close(stream);
        errno = saved;
    }
    return file;
}
