#include "export/textfile.h"

#include <cstring>

#include "common/staged_file.h"
#include "sys/linux_sys.h"

namespace {

// The host's own file system, whatever backend the monitor runs on.
Sys& host() {
    static LinuxSys os;
    return os;
}

constexpr mode_t kReadableByTheCollector = 0644;

std::string failure(const std::string& path, int error) {
    return "cannot write " + path + ": " + std::strerror(error);
}

}  // namespace

std::string write_file_atomically(const std::string& path, const std::string& content) {
    StagedFile file(host(), path, content, kReadableByTheCollector);
    if (file.commit() == StageResult::Done) return "";
    return failure(path, file.error());
}

std::string check_writable_directory(const std::string& path) {
    StagedFile probe(host(), path, "", kReadableByTheCollector);  // never committed: removed
    return probe.result() == StageResult::Done ? "" : failure(path, probe.error());
}
