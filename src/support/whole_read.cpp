// Reading to the end of a descriptor, and CR LF line ends.
#include "support/whole_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "support/interrupt.h"

namespace velk {

int readToEnd(int fd, std::string& data) {
  // A regular file's size is a hint, read once, so that the text needs no
  // copy on its way in and holds no more room than it needs; the loop still
  // reads until the end, whatever the size said.
  struct stat st {};
  size_t expected = 0;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) expected = static_cast<size_t>(st.st_size) + 1;
  const size_t start = data.size();
  size_t chunk = size_t{1} << 16;
  for (;;) {
    size_t used = data.size();
    // The first read asks for the size the file reports and one byte more (to
    // see its end at once); later ones grow by chunks.
    bool first = used == start && expected;
    size_t room = first ? expected : std::max(chunk, data.capacity() - used);
    ssize_t n;
    if (!first && used - start + 1 == expected) {
      // All the bytes the size promised are in: the end is looked for in a
      // small buffer, so that a file that stays as it was takes no more room.
      char probe[4096];
      n = ::read(fd, probe, sizeof probe);
      if (n > 0) data.append(probe, static_cast<size_t>(n));
      expected = 0;
    } else {
      data.resize(used + room);
      n = ::read(fd, data.data() + used, room);
      if (n >= 0) data.resize(used + static_cast<size_t>(n));
    }
    if (n < 0) {
      int err = errno;
      data.resize(used);
      if (err == EINTR) {
        checkInterrupt();  // Ctrl-C while reading a FIFO or a slow device
        continue;
      }
      return err;
    }
    if (n == 0) break;
    if (used != start && chunk < (size_t{1} << 24)) chunk *= 2;
  }
  // Room grown past the text is given back: a result keeps its bytes, not
  // the buffer it was read into.
  if (data.capacity() - data.size() > data.size() / 8 + 64) data.shrink_to_fit();
  return 0;
}

int openWaiting(const std::string& path, int flags) {
  for (;;) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EINTR) return fd;
    checkInterrupt();
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
