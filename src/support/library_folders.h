// What the library's folder forms keep between builtin calls, one record per
// interpreter: the folder being built under a temporary name until it is
// whole, and the walk of a folder tree being packed.
#pragma once

#include <string>
#include <unordered_set>

namespace velk {

// A folder written under a temporary name beside the one it is to have, so
// that the name holds either nothing or the whole folder. open() makes the
// temporary folder and makes it the current one; close() goes back and
// renames it into place; abandon() goes back and removes it. When the folder
// exists already it is written in place: open() goes into it, close() and
// abandon() only go back. Paths are kept absolute, so that a `cd` in between
// changes nothing. An open folder left at the end is abandoned.
class FolderInTheMaking {
 public:
  FolderInTheMaking() = default;
  FolderInTheMaking(const FolderInTheMaking&) = delete;
  FolderInTheMaking& operator=(const FolderInTheMaking&) = delete;
  ~FolderInTheMaking() { abandon(); }

  // `builtin` and `shown` name the call in errors ("mkdir of `lib`").
  void open(const std::string& target, const char* builtin, const std::string& shown);
  void close(const std::string& target, const char* builtin, const std::string& shown);
  void abandon() noexcept;
  bool isOpen() const { return !home_.empty(); }

 private:
  std::string home_;    // the folder to go back to; empty when none is open
  std::string target_;  // the folder's own path
  std::string named_;   // the target as open() was given it
  std::string temp_;    // the temporary folder, or empty when written in place
};

// One walk of a folder being packed, from the listing of the folder it began
// at to the last listing below it: the real paths of the folders it has
// reached through a link. A folder reached so once more is refused, so that
// every folder is listed at most twice (once by its own path, once through a
// link) and the walk stays linear in the tree's real size.
struct PackingWalk {
  std::string root;  // the folder the walk began at, as the listing named it
  std::string here;  // the current folder's real path then
  std::unordered_set<std::string> reachedByLink;
};

struct LibraryFolders {
  FolderInTheMaking making;
  PackingWalk packing;
};

}  // namespace velk
