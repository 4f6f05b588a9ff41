// The file for node_exporter's textfile collector, written whole or not at
// all: a temporary file in the same directory, flushed to disk, then renamed
// over the old one, so that a scrape never sees half a file.
//
// The file is the exporter's output, not the monitored machine's state, so
// it is written directly, not through Sys: on a virtual board it lands where
// the user named it, outside the sandbox.
#pragma once

#include <string>

// Returns "" on success, else why it failed ("cannot write FILE: reason");
// no temporary file is left behind either way.
std::string write_file_atomically(const std::string& path, const std::string& content);

// Whether a file can be made in the directory of `path` (a temporary file is
// made and removed); the same message as above when not.
std::string check_writable_directory(const std::string& path);
