// The checks behind the library's folder packing and unpacking (`savedir`,
// `loaddir`, `extractlib`): a pack is unpacked only inside the folder it is
// unpacked into, and packing follows no link out of the folder being packed.
//
// The library reaches them through a path form that no file can have: a zero
// byte followed by a folder. Every other use of a zero byte in a path is
// refused, so the form changes nothing that a path could mean.
//   $listdir$(Z + folder)        lists the folder as `listdir` does, after
//                                checking its links (checkPackedLinks);
//   $listdir$(Z + Z + folder)    lists it with only the guard against a
//                                folder reached twice (listReachedOnce);
//   $writebinfile$(Z + folder P) writes nothing: it checks that the pack P can
//                                be unpacked into the folder (checkUnpack);
//   $mkdir$(Z + folder)          makes the folder under a temporary name beside
//                                it and goes into it (FolderInTheMaking);
//   $cd$(Z + folder)             goes back and renames it into place;
//   $exists$(Z + path)           why the path cannot be looked at (the
//                                system's message), or "" when it can.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/library_folders.h"
#include "value/value.h"

namespace velk::builtins {

// The folder that a path in the pack form names, or false for any other path.
bool packForm(std::string_view path, std::string& folder);

// The names of `folder`'s entries, as `listdir` gives them, once every link
// among them has been found to lead to something inside the current folder
// that does not hold the link itself. A link that leads outside, nowhere
// (dangling) or back to a folder on the way down is refused with "refusing to
// pack", naming it as `folder`/name. So is `folder` itself when the walk it
// belongs to has reached the same folder through a link before. A listing
// belongs to the walk of the one before when it lies below the folder that
// walk began at, in the same current folder; any other begins a new walk.
std::vector<std::string> checkPackedLinks(const std::string& folder, PackingWalk& walk);

// The names of `folder`'s entries, as `listdir` gives them, with only the
// walk's guard: a folder reached through a link a second time is refused with
// "refusing to walk", so that measuring a tree (`sizeofdir`) stays linear in
// its real size. Links that lead outside or nowhere are listed as they are.
std::vector<std::string> listReachedOnce(const std::string& folder, PackingWalk& walk);

// Refuses with "refusing to unpack", naming the entry, a pack that `loaddir`
// would not unpack wholly inside `root` (relative to the current folder, ""
// for the folder itself). The pack is a list of two lists, the paths and, at
// the same positions, the contents: a list (a folder, and the pack of what it
// holds) or a string (a file); other contents are not written. Every entry of
// every nested pack is checked before the first is written: a path must be
// relative, hold no ".." component, not name the root itself, not lie in
// `lib/` when the root is the current folder, go through no link and not be a
// link, go into a folder that exists or that an earlier entry makes, not clash
// with what is on disk (a file where a folder goes, a folder, pipe or device
// where a file goes) and not name a path that another entry names.
// `maxValueBytes` caps the display form read of a path that is not a string.
void checkUnpack(std::string_view root, const Value& pack, size_t maxValueBytes = 0);

}  // namespace velk::builtins
