// The file for node_exporter's textfile collector, written whole or not at
// all (common/staged_file.h: "FILE.new" beside it, synced, renamed over it;
// the collector reads only *.prom), so that a scrape never sees half a file.
//
// The file is the exporter's output, not the monitored machine's state: it
// goes through the host's backend, not the process's, so on a virtual board
// it lands where the user named it, outside the sandbox.
#pragma once

#include <string>

// Returns "" on success, else why it failed ("cannot write FILE: reason");
// no temporary file is left behind either way.
std::string write_file_atomically(const std::string& path, const std::string& content);

// Whether a file can be made in the directory of `path` (a temporary file is
// made and removed); the same message as above when not.
std::string check_writable_directory(const std::string& path);
