// Landlock, asked for through its system calls (the C library has no
// wrappers). Each version of the interface adds kinds of access; velk asks
// to govern every kind the running kernel knows, so that none is left open,
// and grants them all below the folder, except running programs, which velk
// never does.
#include "host/sandbox.h"

#if defined(__linux__) && __has_include(<linux/landlock.h>)
#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace velk {
namespace {

// The kinds of file access each version governs, by bit (the header at hand
// may be older than the kernel).
constexpr uint64_t kExecute = 1ULL << 0;
constexpr uint64_t kVersion1 = (1ULL << 13) - 1;  // execute ... make a symbolic link
constexpr uint64_t kRefer = 1ULL << 13;           // version 2: link or rename across folders
constexpr uint64_t kTruncate = 1ULL << 14;        // version 3
constexpr uint64_t kIoctlDevice = 1ULL << 15;     // version 5

class Descriptor {
 public:
  explicit Descriptor(long fd) : fd_(static_cast<int>(fd)) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool confineThreadTo(const std::string& folder) {
  long version = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
  if (version < 1) return false;
  uint64_t governed = kVersion1;
  if (version >= 2) governed |= kRefer;
  if (version >= 3) governed |= kTruncate;
  if (version >= 5) governed |= kIoctlDevice;

  landlock_ruleset_attr ruleset{};
  ruleset.handled_access_fs = governed;
  Descriptor rules(::syscall(SYS_landlock_create_ruleset, &ruleset, sizeof ruleset, 0));
  Descriptor below(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (rules.get() < 0 || below.get() < 0) return false;
  landlock_path_beneath_attr inside{};
  inside.allowed_access = governed & ~kExecute;
  inside.parent_fd = below.get();
  if (::syscall(SYS_landlock_add_rule, rules.get(), LANDLOCK_RULE_PATH_BENEATH, &inside, 0) != 0) return false;
  // A process may confine itself only if it can gain no privileges later.
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return false;
  return ::syscall(SYS_landlock_restrict_self, rules.get(), 0) == 0;
}

}  // namespace velk

#else

namespace velk {
bool confineThreadTo(const std::string&) { return false; }
}  // namespace velk

#endif
