// The history file, in the line editor's own format: a first line that names
// the format, then one entry per line, with blanks, line ends, backslashes
// and other special bytes written as backslash and three octal digits. Each
// entry is appended as it is made, so that sessions running side by side
// keep each other's lines.
#pragma once

#include <string>
#include <string_view>

namespace velk::history_file {

// The entry as a line of the file, line end included.
std::string encode(std::string_view entry);

// Appends the entry, making the file (with its first line) when there is
// none. Failures are silent: the history is a convenience.
void append(const std::string& path, std::string_view entry);

// How many lines the file has (0 when it cannot be read), to tell when it
// has grown enough to be written afresh with only its newest entries.
size_t lineCount(const std::string& path);

}  // namespace velk::history_file
