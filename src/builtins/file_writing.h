// Writing and reading whole files for the file builtins, so that a failed
// rewrite never destroys the old content and a read never loses bytes.
#pragma once

#include <string>
#include <string_view>

#include "support/console.h"

namespace velk::builtins {

// Replaces the content of the file at `path` by `data`. A regular file (or a
// new one) is written to a temporary file in the same folder, which takes the
// target's permission bits, owner and group and is renamed over the target
// once complete; a signal that ends velk meanwhile removes the temporary file.
// A symbolic link is written through to the file it names. Written in place
// instead: a device or pipe, a file with more than one name (hard links), and
// a file whose temporary file could not be made, given the owner or renamed
// where writing in place can still work (a folder the writer may not change,
// a file that is a mount point). The file that is velk's standard output or
// error is written through that stream, after `console` is flushed. Every
// failure is an error naming the builtin and `shown`.
void replaceFile(Console& console, const char* builtin, const std::string& path, const std::string& shown,
                 std::string_view data);

// Every byte of the file, read until its end whatever size the system
// reports. A file that is not there (or a folder) is reported through
// `opened` (false, nothing read); one that is there and cannot be opened, and
// a read that fails once open, is an error.
std::string readWholeFile(const char* builtin, const std::string& path, const std::string& shown, bool& opened);

}  // namespace velk::builtins
