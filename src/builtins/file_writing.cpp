// Whole-file writes through a temporary file and whole-file reads to the end.
#include "builtins/file_writing.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/error.h"
#include "support/interrupt.h"
#include "support/whole_read.h"

namespace fs = std::filesystem;

namespace velk::builtins {
namespace {

[[noreturn]] void failure(const char* builtin, const std::string& shown, int err) {
  failSystem(std::strerror(err), std::string(builtin) + " of " + quoteForReport(shown));
}

// The temporary file being written, for the signal handlers below: a signal
// that ends velk removes it first. One at a time per process, which is all a
// rewrite needs (a builtin writes one file and returns).
std::atomic<const char*> pendingTemporary{nullptr};

void removeTemporaryAndEnd(int sig) {
  if (const char* temp = pendingTemporary.load()) ::unlink(temp);
  // The signal's own action ends the process once this handler returns, so
  // the exit status is the usual one for it.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

// The signals that end velk while a file is rewritten: each one that still
// has its default action gets the handler above, once. One that is ignored
// (nohup) or caught (Ctrl-C at a terminal, which stops only the typed line)
// is left as it is.
void catchEndingSignals() {
  static std::atomic<bool> done{false};
  if (done.exchange(true)) return;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction now {};
    if (::sigaction(sig, nullptr, &now) != 0 || (now.sa_flags & SA_SIGINFO) || now.sa_handler != SIG_DFL) continue;
    struct sigaction sa {};
    sa.sa_handler = removeTemporaryAndEnd;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(sig, &sa, nullptr);
  }
}

// A temporary file in the target's folder, removed unless it was renamed
// into place; while it exists a signal that ends velk removes it too.
class Temporary {
 public:
  explicit Temporary(std::string path) : path_(std::move(path)) {
    catchEndingSignals();
    // The signals wait while the file is made and noted, so that none can
    // end velk between the two.
    sigset_t ending, before;
    sigemptyset(&ending);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&ending, sig);
    ::pthread_sigmask(SIG_BLOCK, &ending, &before);
    fd_ = ::mkstemp(path_.data());
    int err = errno;
    if (fd_ >= 0) pendingTemporary.store(path_.c_str());
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = err;
  }
  ~Temporary() {
    closeFile();
    if (fd_ != kRenamed && fd_ != kNone) ::unlink(path_.c_str());
    pendingTemporary.store(nullptr);
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  bool made() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Closes the descriptor (the file stays): 0, or the errno of a close that
  // failed (a write the system kept back may fail only then).
  int closeFile() {
    if (fd_ < 0) return 0;
    int err = ::close(fd_) == 0 ? 0 : errno;
    fd_ = kClosed;
    return err;
  }
  int renameTo(const std::string& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) return errno;
    fd_ = kRenamed;
    pendingTemporary.store(nullptr);
    return 0;
  }

 private:
  static constexpr int kNone = -1, kClosed = -2, kRenamed = -3;
  std::string path_;
  int fd_ = kNone;
};

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

// Writes all of `data`, in pieces small enough that Ctrl-C at a terminal
// stops a large write between two of them. 0, or the errno of the failure.
int writeAll(int fd, std::string_view data) {
  constexpr size_t kPiece = size_t{1} << 22;
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), std::min(data.size(), kPiece));
    if (n < 0) {
      if (errno != EINTR) return errno;
      n = 0;
    }
    data.remove_prefix(static_cast<size_t>(n));
    checkInterrupt();
  }
  return 0;
}

// Opens `path` (links followed, as the system does) and writes `data` over
// what it held: the way to write a device or a pipe, and a regular file that
// a rewrite could not replace. It is not atomic: a failure part-way leaves
// the file cut short.
void writeInPlace(const char* builtin, const std::string& path, const std::string& shown, std::string_view data) {
  int fd = openWaiting(path, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd < 0) failure(builtin, shown, errno);
  int err = 0;
  try {
    err = writeAll(fd, data);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  if (err) failure(builtin, shown, err);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The standard output or error stream that is the file `st`, or -1. Such a
// file is written through the stream's own descriptor, after what velk has
// printed, so that nothing printed before or after is lost.
int standardStreamOf(const struct stat& st) {
  for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && sameFile(stream, st)) return fd;
  }
  return -1;
}

// Failures to make or rename the temporary file after which writing the file
// in place can still work: the folder may not be written to, or the file is
// a mount point of its own. Others (a full disk, no descriptors left) would
// fail in place too, after cutting the file short.
bool inPlaceMayWork(int err) {
  return err == EACCES || err == EPERM || err == EROFS || err == EBUSY || err == EXDEV || err == ENAMETOOLONG;
}

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

// Writes `data` to a temporary file beside `target` and renames it over
// `target`, which `old` describes when it exists. False, with nothing
// changed, when the new file could not take the old one's place as it is
// (made, given its owner, or renamed): it is then written in place.
bool rewrite(const char* builtin, const std::string& target, const std::string& shown, const struct stat* old,
             std::string_view data) {
  fs::path folder = fs::path(target).parent_path();
  // The temporary name starts with the target's, cut so that it stays within
  // the longest name a folder takes (255 bytes) however long the target's is.
  std::string base = fs::path(target).filename().string().substr(0, 200);
  Temporary temp((folder / ("." + base + ".velk-XXXXXX")).string());
  if (!temp.made()) {
    if (inPlaceMayWork(errno)) return false;
    failure(builtin, shown, errno);
  }
  if (old) {
    // The new file keeps the old one's owner and group, where the system
    // lets the writer give them (root, or a group the writer is in).
    struct stat made {};
    if (::fstat(temp.fd(), &made) != 0) failure(builtin, shown, errno);
    if ((made.st_uid != old->st_uid || made.st_gid != old->st_gid) &&
        ::fchown(temp.fd(), old->st_uid, old->st_gid) != 0)
      return false;
  }
  mode_t mode = old ? (old->st_mode & 07777) : (0666 & ~currentUmask());
  int err = ::fchmod(temp.fd(), mode) == 0 ? writeAll(temp.fd(), data) : errno;
  int closed = temp.closeFile();
  if (!err) err = closed;
  if (err) failure(builtin, shown, err);
  err = temp.renameTo(target);
  if (err && inPlaceMayWork(err)) return false;
  if (err) failure(builtin, shown, err);
  return true;
}

}  // namespace

void replaceFile(Console& console, const char* builtin, const std::string& path, const std::string& shown,
                 std::string_view data) {
  InterruptibleWait wait;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) failure(builtin, shown, errno);
    // A new file (or the missing file a dangling link names).
    std::string target = followLinks(builtin, path, shown);
    if (!rewrite(builtin, target, shown, nullptr, data)) writeInPlace(builtin, target, shown, data);
    return;
  }
  if (S_ISDIR(st.st_mode)) failure(builtin, shown, EISDIR);
  if (!S_ISREG(st.st_mode)) return writeInPlace(builtin, path, shown, data);  // a device, a pipe
  if (int stream = standardStreamOf(st); stream >= 0) {
    console.flush();
    if (int err = writeAll(stream, data)) failure(builtin, shown, err);
    return;
  }
  // A file with a second name (a hard link), whose other names must see the
  // new content, is written in place.
  if (st.st_nlink > 1) return writeInPlace(builtin, path, shown, data);
  // The regular file's own name, where the new file is made beside it; a
  // name that leads elsewhere (a link under /proc to a file since renamed)
  // is written through in place.
  std::string target = followLinks(builtin, path, shown);
  struct stat there {};
  if (::lstat(target.c_str(), &there) != 0 || !sameFile(there, st)) return writeInPlace(builtin, path, shown, data);
  if (!rewrite(builtin, target, shown, &st, data)) writeInPlace(builtin, target, shown, data);
}

std::string readWholeFile(const char* builtin, const std::string& path, const std::string& shown, bool& opened) {
  std::string data;
  InterruptibleWait wait;
  int fd = openWaiting(path, O_RDONLY);
  opened = fd >= 0;
  if (!opened) {
    // Only a file that is not there reads as nothing; one that is there and
    // cannot be opened (no permission, no descriptors left, a link loop) is
    // an error naming the reason.
    if (errno == ENOENT || errno == ENOTDIR) return data;
    failure(builtin, shown, errno);
  }
  int err;
  try {
    err = readToEnd(fd, data);
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  if (err == EISDIR && data.empty()) {
    // A folder opens but holds no bytes to read: it counts as unopenable.
    opened = false;
    return data;
  }
  if (err) failure(builtin, shown, err);
  return data;
}

}  // namespace velk::builtins
