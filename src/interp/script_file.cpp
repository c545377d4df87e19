// Reading a script file whole, then counting its lines as they are printed.
#include "interp/script_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "support/error.h"
#include "support/interrupt.h"
#include "support/whole_read.h"

namespace velk {
namespace {

// The file's bytes, and 0; or, with no text, ENOENT when it is not there and
// EISDIR when it is a folder. A file that is there and cannot be opened is an
// error naming the reason.
int readScriptBytes(const std::string& path, std::string& text) {
  InterruptibleWait wait;
  int fd = openWaiting(path, O_RDONLY);
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) return ENOENT;
  if (fd < 0) failSystem(describeFailure(errno), "also of " + quoteForReport(path));
  int err = 0;
  try {
    err = readToEnd(fd, text);
  } catch (const std::bad_alloc&) {
    err = ENOMEM;
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
  if (err == EISDIR && text.empty()) return EISDIR;
  if (err) {
    text = std::string();  // give the memory back before the error is built
    failSystem(describeFailure(err), "also of " + quoteForReport(path));
  }
  return 0;
}

// What a person at the terminal is told when there was nothing to read.
std::string nothingLoaded(const std::string& path, const std::string& libraryPath, int missing) {
  if (missing == EISDIR) return quoteForReport(path) + " is a folder, not a script file; nothing was loaded.";
  std::string looked = path == libraryPath ? quoteForReport(path)
                                           : quoteForReport(libraryPath) + " and " + quoteForReport(path);
  return "file not found (looked for " + looked + "); nothing was loaded.";
}

}  // namespace

std::string loadScriptFile(Console& console, const std::string& path, const std::string& libraryPath) {
  std::string script;
  int missing = readScriptBytes(path, script);
  console.write("reading file...");
  console.lineEnd();
  if (missing && console.atTerminal()) {
    console.write(nothingLoaded(path, libraryPath, missing));
    console.lineEnd();
    return script;
  }
  if (!missing) {
    dropCarriageReturnsBeforeLineFeeds(script);
    size_t lines = 0;
    for (size_t at = 0; at < script.size(); ++lines) {
      console.write("line " + std::to_string(lines) + "\r");
      size_t end = script.find('\n', at);
      at = end == std::string::npos ? script.size() : end + 1;
    }
    // Every line, the last one included, ends with a line feed.
    if (!script.empty() && script.back() != '\n') {
      try {
        script += '\n';
      } catch (const std::bad_alloc&) {
        script = std::string();
        fail("out of memory", "also of " + quoteForReport(path));
      }
    }
  }
  console.lineEnd();
  console.write("OK.");
  console.lineEnd();
  return script;
}

}  // namespace velk
