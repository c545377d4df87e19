// Writing and reading whole files for the file builtins, so that a failed
// rewrite never destroys the old content and a read never loses bytes.
#pragma once

#include <string>
#include <string_view>

namespace velk::builtins {

// Replaces the content of the file at `path` by `data`. A regular file (or a
// new one) is written to a temporary file in the same folder, which is renamed
// over the target once complete and takes the target's permission bits; a
// symbolic link is written through to the file it names; anything else that
// exists (a device, a pipe) is written in place. Every failure is an error
// naming the builtin and `shown`.
void replaceFile(const char* builtin, const std::string& path, const std::string& shown, std::string_view data);

// Every byte of the file, read until its end whatever size the system
// reports. Failing to open (or a folder) is reported through `opened` (false, nothing read);
// a read that fails once open is an error.
std::string readWholeFile(const char* builtin, const std::string& path, const std::string& shown, bool& opened);

}  // namespace velk::builtins
