// Paths confined to a folder, for the packing and unpacking code of the
// library: a path text "ROOT<zero byte>ENTRY" names ENTRY inside the folder
// ROOT, and the file builtins then refuse anything that leaves ROOT.
#pragma once

#include <string>

namespace velk::builtins {

// What a path argument names. `root` is empty for an ordinary path.
struct PathArgument {
  std::string path;   // what the system is asked for: ROOT/ENTRY, or the text
  std::string shown;  // how errors name it: ENTRY, or the text
  std::string root;
  bool confined() const { return !root.empty(); }
};

// Splits a confined path text; an ordinary path (no zero byte) is kept as it
// is. A second zero byte, an empty root or an empty entry is refused.
PathArgument parsePathArgument(const std::string& text, const char* builtin);

// For builtins that create or replace: the entry must be relative, hold no
// `..`, pass no symbolic link below the root (nor be one), and stay out of the
// session's lib folder unless the root is that folder.
void checkWritable(const PathArgument& p, const char* builtin);

// For builtins that read: as above for the entry's text, and every symbolic
// link on the way must resolve inside the root; a dangling link is refused.
void checkReadable(const PathArgument& p, const char* builtin);

}  // namespace velk::builtins
