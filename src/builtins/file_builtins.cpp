// File and directory builtins, on byte-string paths relative to the current
// directory. Failing file-system operations end the run with the path named; a
// text file that cannot be opened reads as empty.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <new>
#include <utility>
#include <vector>

#include "builtins/file_writing.h"
#include "builtins/handlers.h"
#include "builtins/pack_checks.h"
#include "support/error.h"
#include "support/run_limits.h"

namespace fs = std::filesystem;

namespace velk::builtins {
namespace {

// What a path argument names, and how errors show it.
struct PathArgument {
  std::string path;
  std::string shown;
};

// The path a builtin's first argument names. A zero byte would cut the path
// short where the system reads it, so such a path is refused.
PathArgument pathFromText(Evaluator& ev, std::string path, const char* builtin) {
  if (path.find('\0') != std::string::npos)
    fail("invalid path", std::string(builtin) + " of " + quoteForReport(path) + ": a path cannot hold a zero byte");
  checkConfined(ev.limits(), path, builtin);
  return {path, path};
}

PathArgument pathArgument(Evaluator& ev, const VarMap& callMap, const char* builtin) {
  return pathFromText(ev, textOf(ev, evalArgument(ev, callMap, 0)).str(), builtin);
}

// The same, for a builtin the library also reaches through its own path form
// (a zero byte first; see pack_checks.h): `libraryForm` tells which it was,
// and the path is the one after the zero byte.
PathArgument pathArgument(Evaluator& ev, const VarMap& callMap, const char* builtin, bool& libraryForm) {
  std::string text = textOf(ev, evalArgument(ev, callMap, 0)).str();
  std::string folder;
  libraryForm = packForm(text, folder);
  return pathFromText(ev, libraryForm ? std::move(folder) : std::move(text), builtin);
}

[[noreturn]] void fileSystemFailure(const char* builtin, const std::string& path, const std::error_code& ec) {
  failSystem(ec.message(), std::string(builtin) + " of " + quoteForReport(path));
}

Value flag(bool b) { return Value::integer(b ? 1 : 0); }

// A file too large for the memory left is an error that names the builtin
// and the path, as any other failed read is.
template <class Read>
void readingWithin(const char* builtin, const std::string& shown, Read read) {
  try {
    read();
  } catch (const std::bad_alloc&) {
    fail("out of memory", std::string(builtin) + " of " + quoteForReport(shown));
  }
}

fs::file_status statusOf(const char* builtin, const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (ec && st.type() != fs::file_type::not_found) fileSystemFailure(builtin, path, ec);
  return st;
}

// The identities (device and inode) of the current folder and of every
// folder above it, found by opening ".." from each in turn: no path text is
// built, so any depth works and every name a folder has (a link, a second
// mount of it) comes to the same identity. 0, or the errno of a step that
// failed.
using Identity = std::pair<dev_t, ino_t>;

int currentAndAbove(std::vector<Identity>& out) {
  int fd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  for (;;) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) break;
    Identity id{st.st_dev, st.st_ino};
    if (!out.empty() && out.back() == id) {  // the root is its own parent
      ::close(fd);
      return 0;
    }
    out.push_back(id);
    int up = ::openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    if (up < 0) return errno;
    fd = up;
  }
  int err = errno;
  ::close(fd);
  return err;
}

// Refuses, before anything is deleted, a path that names the current folder
// or a folder above it, by any name: removing one would delete the session's
// own folder, lib/ included. The last component is not followed, so a link
// is judged as the link itself. A check that cannot be made refuses too.
// False when nothing is there to remove.
bool checkRemovable(const std::string& path, const std::string& shown) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    fail("refusing to remove", "rm of " + quoteForReport(shown) + ": it cannot be looked at (" +
                                   std::strerror(errno) + ")");
  }
  if (!S_ISDIR(st.st_mode)) return true;
  std::vector<Identity> folders;
  if (int err = currentAndAbove(folders))
    fail("refusing to remove", "rm of " + quoteForReport(shown) +
                                   ": the folders holding the current one cannot be told (" + std::strerror(err) + ")");
  for (const Identity& id : folders)
    if (id == Identity{st.st_dev, st.st_ino})
      fail("refusing to remove", "rm of " + quoteForReport(shown) + ": it holds the current folder");
  return true;
}

}  // namespace

void readfile(Evaluator& ev, Value& result, VarMap callMap) {
  PathArgument p = pathArgument(ev, callMap, "readfile");
  readingWithin("readfile", p.shown, [&p, &result] {
    bool opened = false;
    std::string text = readWholeFile("readfile", p.path, p.shown, opened);
    // The text as lines, each with its line feed: a last line without one gets it.
    if (!text.empty() && text.back() != '\n') text += '\n';
    result = Value::string(Text(std::move(text)));
  });
}

void writefile(Evaluator& ev, Value&, VarMap callMap) {
  PathArgument p = pathArgument(ev, callMap, "writefile");
  // The content is evaluated before the file is touched, so a file can be
  // rewritten from its own content.
  Text content = textOf(ev, evalArgument(ev, callMap, 1));
  replaceFile(ev.console(), "writefile", p.path, p.shown, content.view());
}

void readbinfile(Evaluator& ev, Value& result, VarMap callMap) {
  PathArgument p = pathArgument(ev, callMap, "readbinfile");
  std::error_code ec;
  (void)fs::file_size(p.path, ec);  // a missing path or a folder is an error
  if (ec) fileSystemFailure("readbinfile", p.shown, ec);
  readingWithin("readbinfile", p.shown, [&p, &result] {
    bool opened = false;
    std::string raw = readWholeFile("readbinfile", p.path, p.shown, opened);
    if (!opened) fileSystemFailure("readbinfile", p.shown, std::error_code(errno, std::generic_category()));
    // An empty file reads as no bytes at all.
    result.typeName = kBytes;
    result.setBytes(Bytes(std::vector<uint8_t>(raw.begin(), raw.end())));
  });
}

void writebinfile(Evaluator& ev, Value&, VarMap callMap) {
  std::string text = textOf(ev, evalArgument(ev, callMap, 0)).str();
  std::string folder;
  if (packForm(text, folder)) {
    // The library's check of a whole pack before unpacking it into folder.
    pathFromText(ev, folder.empty() ? "." : folder, "writebinfile");  // a zero byte, the sandbox
    checkUnpack(folder, evalArgument(ev, callMap, 1), ev.limits().maxValueBytes);
    return;
  }
  PathArgument p = pathFromText(ev, std::move(text), "writebinfile");
  Value content = evalArgument(ev, callMap, 1);
  const std::vector<uint8_t>& data = asBytes(content).get();
  replaceFile(ev.console(), "writebinfile", p.path, p.shown,
              std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

void mkdir(Evaluator& ev, Value&, VarMap callMap) {
  bool library;
  PathArgument p = pathArgument(ev, callMap, "mkdir", library);
  // The library's rebuild of a folder, made whole under a temporary name.
  if (library) return ev.libraryFolders().making.open(p.path, "mkdir", p.shown);
  std::error_code ec;
  fs::create_directory(p.path, ec);
  if (ec) fileSystemFailure("mkdir", p.shown, ec);
}

void rm(Evaluator& ev, Value&, VarMap callMap) {
  PathArgument p = pathArgument(ev, callMap, "rm");
  checkConfined(ev.limits(), p.path, "rm", false);
  // Trailing slashes are dropped, so that `link/` removes the link and never
  // what it points to; a path whose last component is then ., .. or nothing,
  // or that names the current folder or one above, is refused before anything
  // is deleted.
  std::string text = p.path;
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  fs::path path(text);
  std::string last = path.lexically_normal().filename().string();
  if (last.empty() || last == "." || last == ".." || path.filename() == "." || path.filename() == "..")
    fail("refusing to remove", "rm of " + quoteForReport(p.shown) + ": a path ending in . or .. cannot be removed");
  if (!checkRemovable(text, p.shown)) return;
  std::error_code ec;
  fs::remove_all(path, ec);
  if (ec) fileSystemFailure("rm", p.shown, ec);
}

void listdir(Evaluator& ev, Value& result, VarMap callMap) {
  std::string text = textOf(ev, evalArgument(ev, callMap, 0)).str();
  std::string folder;
  if (packForm(text, folder)) {
    // The library's listing of a folder it packs (its links checked first) or
    // measures (only a folder reached twice through links refused).
    bool measuring = !folder.empty() && folder.front() == '\0';
    PathArgument p = pathFromText(ev, measuring ? folder.substr(1) : std::move(folder), "listdir");
    result.typeName = kList;
    PackingWalk& walk = ev.libraryFolders().packing;
    for (std::string& name : measuring ? listReachedOnce(p.path, walk) : checkPackedLinks(p.path, walk))
      result.elements.push(Value::string(Text(std::move(name))));
    return;
  }
  PathArgument p = pathFromText(ev, std::move(text), "listdir");
  std::error_code ec;
  fs::directory_iterator it(p.path, ec);
  if (ec) fileSystemFailure("listdir", p.shown, ec);
  result.typeName = kList;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) fileSystemFailure("listdir", p.shown, ec);
    result.elements.push(Value::string(Text(it->path().filename().string())));
  }
  if (ec) fileSystemFailure("listdir", p.shown, ec);
}

void exists(Evaluator& ev, Value& result, VarMap callMap) {
  bool library;
  PathArgument p = pathArgument(ev, callMap, "exists", library);
  if (library) {
    // The library's question whether a path can be looked at: why not, or "".
    std::error_code ec;
    fs::file_status st = fs::status(p.path, ec);
    result = Value::string(Text(ec && st.type() != fs::file_type::not_found ? ec.message() : std::string()));
    return;
  }
  result = flag(fs::exists(statusOf("exists", p.path)));
}

void isdir(Evaluator& ev, Value& result, VarMap callMap) {
  PathArgument p = pathArgument(ev, callMap, "isdir");
  result = flag(fs::is_directory(statusOf("isdir", p.path)));
}

void cd(Evaluator& ev, Value&, VarMap callMap) {
  bool library;
  PathArgument p = pathArgument(ev, callMap, "cd", library);
  // The end of the library's rebuild: back, and the folder into place.
  if (library) return ev.libraryFolders().making.close(p.path, "cd", p.shown);
  std::error_code ec;
  fs::current_path(p.path, ec);
  if (ec) fileSystemFailure("cd", p.path, ec);
}

}  // namespace velk::builtins
