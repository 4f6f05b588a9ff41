// Files the programs write are written whole or not at all. The new content
// goes to a temporary file beside the target ("<path>.new", in the same
// directory so that the final rename stays within one file system), is
// written out, synced to the disk and closed; only then is it renamed over
// the target. A reader, a crash or a full disk therefore sees the old file or
// the new one, never a mixture. Everything goes through Sys.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

#include "sys/sys.h"

enum class StageResult {
    Done,
    NotCreated,  // the temporary file could not be created
    NotWritten,  // writing, syncing or closing it failed (a full disk shows here)
    NotMoved,    // the rename over the target failed
};

class StagedFile {
public:
    // Writes `content` to "<path>.new", created afresh (whatever stood at that
    // name, a stale file of an interrupted run, is removed first) with
    // `mode`, and syncs it. `result()` says how far that went.
    StagedFile(Sys& os, std::string path, std::string_view content, mode_t mode);
    StagedFile(std::string path, std::string_view content, mode_t mode);
    // An uncommitted temporary file is removed.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    StageResult result() const { return result_; }
    // errno of the step that failed, 0 while none has.
    int error() const { return error_; }

    // Renames the temporary file over the target and syncs the directory, so
    // that the rename itself survives a power cut. Only after Done.
    StageResult commit();

private:
    StageResult fail(StageResult result);

    Sys& os_;
    std::string path_;
    std::string temporary_;
    StageResult result_ = StageResult::Done;
    int error_ = 0;
    bool staged_ = false;
};

// Writes all of `content` to `fd` through `os`, again after short writes and
// EINTR; false when a write fails (errno set; ENOSPC for a write of nothing).
bool write_all(Sys& os, int fd, std::string_view content);

// The whole of a file read through sys(), or false when it cannot be opened or
// read.
bool read_whole(const char* path, std::string& content);
