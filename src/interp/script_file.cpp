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

// The file's bytes; false when it is not there or is a folder. A file that
// is there and cannot be opened is an error naming the reason.
bool readScriptBytes(const std::string& path, std::string& text) {
  InterruptibleWait wait;
  int fd = openWaiting(path, O_RDONLY);
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) return false;
  if (fd < 0) fail(describeFailure(errno), "also of " + quoteForReport(path));
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
  if (err == EISDIR && text.empty()) return false;
  if (err) {
    text = std::string();  // give the memory back before the error is built
    fail(describeFailure(err), "also of " + quoteForReport(path));
  }
  return true;
}

}  // namespace

std::string loadScriptFile(Console& console, const std::string& path) {
  std::string script;
  bool opened = readScriptBytes(path, script);
  console.write("reading file...");
  console.lineEnd();
  if (opened) {
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
