// Reading the scripts to check as `velk FILE` reads them, and finding the
// scripts their `also` statements load, where running them would look.
#include "host/check_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "check/checker.h"
#include "support/error.h"
#include "support/whole_read.h"

namespace velk {
namespace {

// The script's bytes with CR LF read as LF, or the errno of the failure.
int readScript(const std::string& path, std::string& text) {
  if (path == "-") {
    if (int err = readToEnd(STDIN_FILENO, text)) return err;
  } else {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return EISDIR;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    int err = readToEnd(fd, text);
    ::close(fd);
    if (err) return err;
  }
  dropCarriageReturnsBeforeLineFeeds(text);
  return 0;
}

// `also NAME` loads lib/NAME.VELK, or else NAME.VELK, from the current
// folder. A script checked from elsewhere is usually run from its own
// folder, so that folder is looked in too.
std::optional<std::string> findScript(std::string_view name, const std::filesystem::path& scriptFolder) {
  const std::string file = std::string(name) + ".VELK";
  for (const std::filesystem::path& folder : {std::filesystem::path("."), scriptFolder}) {
    for (const std::filesystem::path& path : {folder / "lib" / file, folder / file}) {
      std::error_code ec;
      if (!std::filesystem::is_regular_file(path, ec)) continue;
      std::string text;
      if (readScript(path.string(), text) == 0) return text;
    }
  }
  return std::nullopt;
}

}  // namespace

int checkScripts(const std::vector<std::string>& paths) {
  int status = 0;
  for (const std::string& path : paths) {
    std::string text;
    if (int err = readScript(path, text)) {
      std::fprintf(stderr, "velk: cannot read the script %s: %s\n",
                   path == "-" ? "from standard input" : quoteForReport(path).c_str(), describeFailure(err).c_str());
      std::fflush(stderr);
      status = 2;
      continue;
    }
    CheckOptions options;
    options.skipShebang = true;
    const std::filesystem::path folder =
        path == "-" ? std::filesystem::path(".") : std::filesystem::path(path).parent_path();
    options.loadScript = [&folder](std::string_view name) {
      return findScript(name, folder.empty() ? std::filesystem::path(".") : folder);
    };
    for (const CheckWarning& w : checkText(text, options)) {
      std::printf("%s:%zu:%zu: warning: %s\n", path.c_str(), w.line, w.column, w.message.c_str());
      if (status == 0) status = 1;
    }
  }
  std::fflush(stdout);
  return status;
}

}  // namespace velk
