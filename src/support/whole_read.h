// Reading a file or stream to its end through its descriptor, and the line
// ends of scripts and typed lines: a text saved with CR LF line ends reads as
// the same lines as one saved with line feeds.
#pragma once

#include <string>

namespace velk {

// Appends every byte that `fd` gives to `data`, until the end of the file,
// whatever size the system reports for it. Returns 0, or the errno of a read
// that failed (`data` then holds what came before). A read cut short by a
// signal is repeated, unless it was Ctrl-C stopping a typed line (Interrupted
// passes through, as std::bad_alloc does). The text holds no more room than
// it needs.
int readToEnd(int fd, std::string& data);

// open(2) of `path` (a new file gets mode 0666 less the umask), repeated when
// a signal cuts it short, unless that was Ctrl-C stopping a typed line
// (Interrupted passes through; see InterruptibleWait). The descriptor, or -1
// with errno set.
int openWaiting(const std::string& path, int flags);

// Drops the one carriage return that stands right before each line feed. A
// carriage return anywhere else stays.
void dropCarriageReturnsBeforeLineFeeds(std::string& text);

// The message for a failed read or write: the system's own text, "out of
// memory" where memory ran out.
std::string describeFailure(int err);

}  // namespace velk
