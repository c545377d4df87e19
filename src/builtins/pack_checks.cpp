// Checks for packing and unpacking folder trees: links followed when packing,
// and every entry of a pack before unpacking writes anything.
#include "builtins/pack_checks.h"

#include <sys/stat.h>

#include <filesystem>
#include <unordered_map>
#include <unordered_set>

#include "support/error.h"
#include "support/stack_guard.h"

namespace fs = std::filesystem;

namespace velk::builtins {
namespace {

[[noreturn]] void refusePacking(const std::string& why) { fail("refusing to pack", why); }
[[noreturn]] void refuseUnpacking(const std::string& why) { fail("refusing to unpack", why); }

// `inner` is `outer` or lies below it (both absolute and normal).
bool within(const fs::path& inner, const fs::path& outer) {
  auto rel = inner.lexically_relative(outer);
  return !rel.empty() && *rel.begin() != "..";
}

// What a path is on disk, links not followed.
enum class OnDisk { Missing, Folder, File, Link, Other };

OnDisk onDisk(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return OnDisk::Missing;
  if (S_ISLNK(st.st_mode)) return OnDisk::Link;
  if (S_ISDIR(st.st_mode)) return OnDisk::Folder;
  if (S_ISREG(st.st_mode)) return OnDisk::File;
  return OnDisk::Other;
}

// A path of a pack taken apart: its components without "." and empty ones,
// and for each the length of the text up to its end (to name a folder on the
// way as the entry writes it).
struct Components {
  std::vector<std::string_view> parts;
  std::vector<size_t> ends;
};

Components componentsOf(std::string_view text) {
  Components c;
  size_t at = 0;
  while (at <= text.size()) {
    size_t slash = text.find('/', at);
    if (slash == std::string_view::npos) slash = text.size();
    std::string_view part = text.substr(at, slash - at);
    if (!part.empty() && part != ".") {
      c.parts.push_back(part);
      c.ends.push_back(slash);
    }
    at = slash + 1;
  }
  return c;
}

std::string joined(const std::vector<std::string_view>& parts, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += '/';
    out += parts[i];
  }
  return out;
}

enum class Kind { Folder, File };

// One check of a whole pack. It remembers what earlier entries make, and
// looks at the disk only where something of the pack may already be: below
// a folder that does not exist yet nothing does. `loaddir` checks again at
// every level it descends to, so one check costs about one look at the disk
// per entry.
class UnpackCheck {
 public:
  UnpackCheck(std::string_view root, size_t maxValueBytes) : maxValueBytes_(maxValueBytes) {
    if (!root.empty() && root.front() == '/')
      refuseUnpacking("the folder " + quoteForReport(root) + " to unpack into is an absolute path");
    Components r = componentsOf(root);
    std::string path;
    for (std::string_view part : r.parts) {
      if (part == "..")
        refuseUnpacking("the folder " + quoteForReport(root) + " to unpack into has a .. component");
      path += (path.empty() ? "" : "/") + std::string(part);
      OnDisk kind = onDisk(path);
      if (kind == OnDisk::Link) refuseUnpacking("the folder " + quoteForReport(path) + " to unpack into is a link");
      if (kind != OnDisk::Folder) {
        // Nothing of the pack is there yet; making the folder reports what
        // is in its way.
        rootMissing_ = true;
        break;
      }
    }
    intoCurrent_ = r.parts.empty();
    prefix_ = path.empty() ? "" : path + "/";
    if (!rootMissing_) {
      std::error_code ec;
      real_ = fs::canonical(path.empty() ? "." : path, ec).string();
      if (ec) rootMissing_ = true;
    }
  }

  void walk(const Value& pack) {
    NestingGuard guard;
    if (pack.typeName != kList || pack.elements.size() < 2 || pack.elements[0]->typeName != kList ||
        pack.elements[1]->typeName != kList)
      refuseUnpacking("a pack is a list of two lists, the paths and their contents");
    // Handles of their own: the lists stay as they are while they are walked.
    const Elements paths = pack.elements[0]->elements;
    const Elements contents = pack.elements[1]->elements;
    for (size_t i = 0; i < paths.size(); ++i) {
      std::string path = asText(*paths[i], maxValueBytes_).str();
      if (i >= contents.size()) refuseUnpacking("the entry " + quoteForReport(path) + " has no content");
      const ElementValue content = contents[i];
      if (content->typeName == kList) {
        check(path, Kind::Folder);
        walk(*content);
      } else if (content->typeName == kString) {
        check(path, Kind::File);
      }
    }
  }

 private:
  struct Planned {
    Kind kind;
    bool existed;  // on disk when checked
    std::string shown;
  };

  // Whether the folder `key` (not made by the pack) exists as a folder that
  // no link leads to on the way: then its real path is the root's real path
  // and the key. Otherwise the first component on the way at fault is named.
  void checkExistingFolder(const std::string& entry, const std::string& path, const Components& c, size_t count) {
    std::string key = joined(c.parts, count);
    auto known = folders_.find(key);
    if (known != folders_.end()) return;
    std::error_code ec;
    if (!rootMissing_) {
      std::string real = fs::canonical(prefix_ + key, ec).string();
      if (!ec && real == (real_ == "/" ? "" : real_) + "/" + key && fs::is_directory(real, ec)) {
        folders_.insert(key);
        return;
      }
    }
    for (size_t k = 0; k < count; ++k) {
      std::string folder = quoteForReport(std::string_view(path).substr(0, c.ends[k]));
      std::string at = joined(c.parts, k + 1);
      auto planned = planned_.find(at);
      if (planned != planned_.end()) {
        if (planned->second.kind == Kind::File) refuseUnpacking(entry + " goes into " + folder + ", a file of the pack");
        continue;
      }
      OnDisk there = rootMissing_ ? OnDisk::Missing : onDisk(prefix_ + at);
      if (there == OnDisk::Link) refuseUnpacking(entry + " goes through the link " + folder);
      if (there == OnDisk::Missing)
        refuseUnpacking(entry + " goes into " + folder + ", which neither exists nor is made before it");
      if (there != OnDisk::Folder) refuseUnpacking(entry + " goes into " + folder + ", which is not a folder");
    }
    refuseUnpacking(entry + " goes into a folder that cannot be looked at");
  }

  void check(const std::string& path, Kind kind) {
    std::string entry = "the entry " + quoteForReport(path);
    if (path.find('\0') != std::string::npos) refuseUnpacking(entry + " holds a zero byte");
    if (!path.empty() && path.front() == '/') refuseUnpacking(entry + " is an absolute path");
    Components c = componentsOf(path);
    for (std::string_view part : c.parts)
      if (part == "..") refuseUnpacking(entry + " has a .. component");
    if (c.parts.empty()) refuseUnpacking(entry + " names no file inside the folder being unpacked");
    if (intoCurrent_ && c.parts.front() == "lib") refuseUnpacking(entry + " lies in the lib folder");

    // The folder it goes into: the root, a folder of the pack, or one on disk.
    size_t depth = c.parts.size() - 1;
    bool parentExists = !rootMissing_;
    if (depth > 0) {
      auto parent = planned_.find(joined(c.parts, depth));
      if (parent != planned_.end()) {
        if (parent->second.kind == Kind::File)
          refuseUnpacking(entry + " goes into " + quoteForReport(std::string_view(path).substr(0, c.ends[depth - 1])) +
                          ", a file of the pack");
        parentExists = parent->second.existed;
      } else {
        checkExistingFolder(entry, path, c, depth);
        parentExists = true;
      }
    }

    std::string key = joined(c.parts, c.parts.size());
    auto same = planned_.find(key);
    if (same != planned_.end())
      refuseUnpacking(entry + " names the same path as the entry " + quoteForReport(same->second.shown));
    OnDisk there = parentExists ? onDisk(prefix_ + key) : OnDisk::Missing;
    if (there == OnDisk::Link) refuseUnpacking(entry + " is a link, and unpacking writes through none");
    if (kind == Kind::Folder && there != OnDisk::Missing && there != OnDisk::Folder)
      refuseUnpacking(entry + " is a folder of the pack but not a folder on disk");
    if (kind == Kind::File && there == OnDisk::Folder)
      refuseUnpacking(entry + " is a file of the pack but a folder on disk");
    if (kind == Kind::File && there == OnDisk::Other) refuseUnpacking(entry + " exists and is not a regular file");
    planned_.emplace(std::move(key), Planned{kind, there != OnDisk::Missing, path});
  }

  std::string prefix_;  // the root as a path prefix: "" or "lib/"
  std::string real_;    // the root's real path, when it exists
  bool rootMissing_ = false;
  size_t maxValueBytes_;
  bool intoCurrent_ = true;
  std::unordered_map<std::string, Planned> planned_;
  std::unordered_set<std::string> folders_;  // existing folders found sound
};

}  // namespace

bool packForm(std::string_view path, std::string& folder) {
  if (path.empty() || path.front() != '\0') return false;
  folder = std::string(path.substr(1));
  return true;
}

namespace {

// Notes `folder` as listed by `walk`, and refuses (with `refusal`) a folder
// the walk has reached through a link before. Gives the current folder's
// real path.
fs::path noteReached(const std::string& folder, PackingWalk& walk, const char* refusal) {
  std::error_code ec;
  fs::path here = fs::canonical(fs::current_path(ec), ec);
  if (ec) fail(refusal, "the current folder cannot be told: " + ec.message());
  bool below = folder.size() > walk.root.size() && folder.starts_with(walk.root) && folder[walk.root.size()] == '/';
  if (!below || walk.here != here.string()) {
    walk.root = folder;
    walk.here = here.string();
    walk.reachedByLink.clear();
  }
  // A folder whose real path is not the one its name spells was reached
  // through a link; twice so, and links could fan out without end (two
  // links to the next folder, and so on down, make a walk that doubles at
  // every level).
  fs::path real = fs::canonical(folder, ec);
  fs::path spelt = (here / folder).lexically_normal();
  if (!spelt.has_filename()) spelt = spelt.parent_path();
  if (!ec && real != spelt && !walk.reachedByLink.insert(real.string()).second)
    fail(refusal, "the folder " + quoteForReport(folder) + " is " +
                      quoteForReport(real.lexically_relative(here).string()) + ", reached twice through links");
  return here;
}

}  // namespace

std::vector<std::string> listReachedOnce(const std::string& folder, PackingWalk& walk) {
  noteReached(folder, walk, "refusing to walk");
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (fs::directory_iterator end; !ec && it != end; it.increment(ec)) names.push_back(it->path().filename().string());
  if (ec) failSystem(ec.message(), "listdir of " + quoteForReport(folder));
  return names;
}

std::vector<std::string> checkPackedLinks(const std::string& folder, PackingWalk& walk) {
  fs::path here = noteReached(folder, walk, "refusing to pack");
  std::error_code ec;
  // The folders the walk has come down through, as they really are: a link
  // back to one of them (or above) would be walked without end.
  std::vector<fs::path> way;
  fs::path step;
  for (const fs::path& part : fs::path(folder)) {
    step /= part;
    fs::path real = fs::canonical(step, ec);
    if (!ec) way.push_back(real);
  }

  std::vector<std::string> names;
  fs::directory_iterator it(folder, ec);
  if (ec) failSystem(ec.message(), "listdir of " + quoteForReport(folder));
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) failSystem(ec.message(), "listdir of " + quoteForReport(folder));
    std::string name = it->path().filename().string();
    std::string shown = folder + "/" + name;
    if (onDisk(shown) == OnDisk::Link) {
      std::error_code linkEc;
      std::string target = fs::read_symlink(shown, linkEc).string();
      std::string link = "the link " + quoteForReport(shown) + " to " + quoteForReport(target);
      fs::path real = fs::canonical(shown, linkEc);
      if (linkEc) refusePacking(link + " leads nowhere (" + linkEc.message() + ")");
      if (!within(real, here)) refusePacking(link + " leads outside the folder being packed");
      if (fs::is_directory(real, linkEc))
        for (const fs::path& down : way)
          if (within(down, real)) refusePacking(link + " leads back to a folder that holds it");
    }
    names.push_back(std::move(name));
  }
  if (ec) failSystem(ec.message(), "listdir of " + quoteForReport(folder));
  return names;
}

void checkUnpack(std::string_view root, const Value& pack, size_t maxValueBytes) {
  UnpackCheck check(root, maxValueBytes);
  check.walk(pack);
}

}  // namespace velk::builtins
