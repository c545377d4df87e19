// Whole-file writes through a temporary file and whole-file reads to the end.
#include "builtins/file_writing.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/error.h"

namespace fs = std::filesystem;

namespace velk::builtins {
namespace {

[[noreturn]] void failure(const char* builtin, const std::string& shown, int err) {
  fail(std::strerror(err), std::string(builtin) + " of " + quoteForReport(shown));
}

// The file a chain of symbolic links ends at (the path itself when it is no
// link); a loop ends with an error.
std::string followLinks(const char* builtin, const std::string& path, const std::string& shown) {
  fs::path p(path);
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    fs::file_status st = fs::symlink_status(p, ec);
    if (!fs::is_symlink(st)) return p.string();
    fs::path target = fs::read_symlink(p, ec);
    if (ec) failure(builtin, shown, ec.value());
    p = target.is_absolute() ? target : p.parent_path() / target;
  }
  failure(builtin, shown, ELOOP);
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void writeInPlace(const char* builtin, const std::string& path, const std::string& shown, std::string_view data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) failure(builtin, shown, errno);
  bool ok = writeAll(fd, data);
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) failure(builtin, shown, err);
}

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

void replaceFile(const char* builtin, const std::string& path, const std::string& shown, std::string_view data) {
  std::string target = followLinks(builtin, path, shown);
  struct stat st {};
  bool existing = ::stat(target.c_str(), &st) == 0;
  if (existing && S_ISDIR(st.st_mode)) failure(builtin, shown, EISDIR);
  if (existing && !S_ISREG(st.st_mode)) return writeInPlace(builtin, target, shown, data);
  mode_t mode = existing ? (st.st_mode & 07777) : (0666 & ~currentUmask());

  fs::path folder = fs::path(target).parent_path();
  // The temporary name starts with the target's, cut so that it stays within
  // the longest name a folder takes (255 bytes) however long the target's is.
  std::string base = fs::path(target).filename().string().substr(0, 200);
  std::string temp = (folder / ("." + base + ".velk-XXXXXX")).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) failure(builtin, shown, errno);
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, data);
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    failure(builtin, shown, err);
  }
}

std::string readWholeFile(const char* builtin, const std::string& path, const std::string& shown, bool& opened) {
  std::string data;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  opened = fd >= 0;
  if (!opened) return data;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  size_t chunk = 1 << 16;
  for (;;) {
    size_t used = data.size();
    data.resize(used + chunk);  // std::bad_alloc reaches the top level as "out of memory"
    ssize_t n = ::read(fd, data.data() + used, chunk);
    if (n < 0 && errno == EINTR) {
      data.resize(used);
      continue;
    }
    if (n < 0 && errno == EISDIR && used == 0) {
      // A folder opens but holds no bytes to read: it counts as unopenable.
      data.clear();
      opened = false;
      return data;
    }
    if (n < 0) failure(builtin, shown, errno);
    data.resize(used + static_cast<size_t>(n));
    if (n == 0) break;
    if (chunk < (size_t{1} << 24)) chunk *= 2;
  }
  return data;
}

}  // namespace velk::builtins
