// Appending to the history file.
#include "console/history_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace velk::history_file {
namespace {

constexpr std::string_view kFirstLine = "_HiStOrY_V2_\n";

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

std::string encode(std::string_view entry) {
  std::string line;
  line.reserve(entry.size() + 1);
  for (unsigned char c : entry) {
    // Bytes from 0x80 stay as they are: UTF-8 text reads as text in the file.
    if (c > ' ' && c != '\\' && c != 0x7f) {
      line += static_cast<char>(c);
      continue;
    }
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\%03o", c);
    line += escaped;
  }
  line += '\n';
  return line;
}

void append(const std::string& path, std::string_view entry) {
  // The first session to write makes the file; O_EXCL keeps a second one
  // from writing the first line again.
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    if (!writeAll(fd, kFirstLine)) {
      ::close(fd);
      return;
    }
  } else if (errno == EEXIST) {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) return;
  // One write, so that lines of two sessions never mix.
  writeAll(fd, encode(entry));
  ::close(fd);
}

size_t lineCount(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  size_t lines = 0;
  char buffer[1 << 14];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) lines += buffer[i] == '\n';
  }
  ::close(fd);
  return lines;
}

}  // namespace velk::history_file
