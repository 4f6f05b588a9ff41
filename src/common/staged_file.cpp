#include "common/staged_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

#include "sys/handles.h"

bool write_all(Sys& os, int fd, std::string_view content) {
    while (!content.empty()) {
        ssize_t written = os.write(fd, content.data(), content.size());
        if (written < 0 && errno == EINTR) continue;
        if (written == 0) errno = ENOSPC;
        if (written <= 0) return false;
        content.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

namespace {

// The directory part of an absolute path ("/etc/Senvis.ini" -> "/etc").
std::string directory_of(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

StagedFile::StagedFile(Sys& os, std::string path, std::string_view content, mode_t mode)
    : os_(os), path_(std::move(path)), temporary_(path_ + ".new") {
    os_.unlink(temporary_.c_str());
    // O_EXCL with O_NOFOLLOW: a file or link that appeared at the name since
    // the unlink is never written through.
    int fd =
        os_.open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        fail(StageResult::NotCreated);
        return;
    }
    staged_ = true;
    if (!write_all(os_, fd, content) || os_.fsync(fd) != 0) fail(StageResult::NotWritten);
    // close() can report a deferred write error (NFS, some full disks).
    if (os_.close(fd) != 0 && result_ == StageResult::Done) fail(StageResult::NotWritten);
}

StagedFile::StagedFile(std::string path, std::string_view content, mode_t mode)
    : StagedFile(sys(), std::move(path), content, mode) {}

StagedFile::~StagedFile() {
    if (staged_) os_.unlink(temporary_.c_str());
}

StageResult StagedFile::fail(StageResult result) {
    error_ = errno;
    return result_ = result;
}

StageResult StagedFile::commit() {
    if (result_ != StageResult::Done) return result_;
    if (os_.rename(temporary_.c_str(), path_.c_str()) != 0) return fail(StageResult::NotMoved);
    staged_ = false;
    // The rename lives in the directory: sync it too. Its failure loses
    // nothing that is not already on its way to the disk, so it is not an error.
    int directory = os_.open(directory_of(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        os_.fsync(directory);
        os_.close(directory);
    }
    return result_;
}

bool read_whole(const char* path, std::string& content) {
    File file(sys().fopen(path, "r"));
    if (!file) return false;
    content.clear();
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        content.append(buffer, got);
    return std::ferror(file.get()) == 0;
}
