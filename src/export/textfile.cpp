#include "export/textfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// "<dir>/.<name>.XXXXXX": hidden, so that the collector, which reads only
// *.prom, never picks it up.
std::string temporary_name(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "." + name + ".XXXXXX";
}

std::string failure(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

bool write_all(int fd, const std::string& content) {
    const char* at = content.data();
    size_t left = content.size();
    while (left > 0) {
        ssize_t done = ::write(fd, at, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        at += done;
        left -= size_t(done);
    }
    return true;
}

}  // namespace

std::string write_file_atomically(const std::string& path, const std::string& content) {
    std::string temporary = temporary_name(path);
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) return failure(path, errno);
    // mkstemp makes the file 0600; the collector may run as another user.
    bool ok = ::fchmod(fd, 0644) == 0 && write_all(fd, content) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (ok) return "";
    ::unlink(temporary.c_str());
    return failure(path, error);
}

std::string check_writable_directory(const std::string& path) {
    std::string temporary = temporary_name(path);
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) return failure(path, errno);
    ::close(fd);
    ::unlink(temporary.c_str());
    return "";
}
