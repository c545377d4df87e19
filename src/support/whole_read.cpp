// Reading to the end of a descriptor, and CR LF line ends.
#include "support/whole_read.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velk {

int readToEnd(int fd, std::string& data) {
  // A regular file's size is only a hint, read once, so that the text needs
  // no copy on its way in; the loop still reads until the end.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
    data.reserve(data.size() + static_cast<size_t>(st.st_size) + 1);
  size_t chunk = size_t{1} << 16;
  for (;;) {
    size_t used = data.size();
    // Grow by what the string has room for, at least one chunk.
    size_t room = std::max(chunk, data.capacity() - used);
    data.resize(used + room);
    ssize_t n = ::read(fd, data.data() + used, room);
    if (n < 0) {
      int err = errno;
      data.resize(used);
      if (err == EINTR) continue;
      return err;
    }
    data.resize(used + static_cast<size_t>(n));
    if (n == 0) return 0;
    if (chunk < (size_t{1} << 24)) chunk *= 2;
  }
}

void dropCarriageReturnsBeforeLineFeeds(std::string& text) {
  size_t first = text.find("\r\n");
  if (first == std::string::npos) return;
  size_t out = first;
  for (size_t in = first; in < text.size(); ++in) {
    if (text[in] == '\r' && in + 1 < text.size() && text[in + 1] == '\n') continue;
    text[out++] = text[in];
  }
  text.resize(out);
}

std::string describeFailure(int err) { return err == ENOMEM ? "out of memory" : std::strerror(err); }

}  // namespace velk
