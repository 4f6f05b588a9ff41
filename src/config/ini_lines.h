// Line handling shared by everything that reads configuration and master
// files: the loader, the writer, the first-run rewrite and the generator.
//
// Files are read with an 80-byte fgets buffer, so a line comes in pieces of at
// most 79 characters; a longer line is several pieces, and each piece counts as
// a line of its own. (A line of exactly 79 characters is therefore followed by
// an empty piece holding only its line feed.) What happens to the line end
// depends on the reader.
#pragma once

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

inline constexpr size_t kIniPieceBuffer = 80;

enum class LineEnds {
    // Loader: a trailing LF is removed; a CR before it stays part of the line,
    // so "[Item]\r" is not a header and CR-LF files are not accepted.
    StripLF,
    // Writer and first-run rewrite: a trailing LF is removed, or failing that a
    // trailing CR; the line is written back with an LF only if one of them was
    // there.
    StripLFOrCR,
    // Master-file generator: a trailing LF, then a trailing CR, so master files
    // may use either line end.
    StripLFThenCR,
};

struct IniLine {
    char text[kIniPieceBuffer];  // the piece, its line end removed, terminated
    size_t length;
    bool hadLineEnd;  // whether the rule removed a line end from this piece

    std::string_view view() const { return {text, length}; }
};

// Reads the next piece of `file` into `line`; false at the end of the file (or
// on a read error, which ends reading the same way).
bool read_ini_line(FILE* file, IniLine& line, LineEnds rule);

// The same pieces, taken from text already in memory (a rewrite reads the
// whole file first, so that it can also keep it as the backup).
class IniLines {
public:
    explicit IniLines(std::string_view text) : rest_(text) {}
    bool next(IniLine& line, LineEnds rule);

private:
    std::string_view rest_;
};

// A header counts only when the whole line equals it, without regard to case.
bool is_header(const IniLine& line, std::string_view header);

// KEY=VALUE, split at the first "=", neither part trimmed. `value` points into
// the line and runs to its end (it may contain further "=").
struct Setting {
    std::string_view key;
    const char* value;
};
std::optional<Setting> split_setting(const IniLine& line);

// Adds a line to a file's new content: the text, then an LF if `lineEnd`.
void append_ini_line(std::string& out, std::string_view text, bool lineEnd);
