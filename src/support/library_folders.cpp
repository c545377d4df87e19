// The folder the library rebuilds under a temporary name, renamed into place
// once whole.
#include "support/library_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>

#include "support/error.h"

namespace fs = std::filesystem;

namespace velk {
namespace {

[[noreturn]] void failCall(const std::error_code& ec, const char* builtin, const std::string& shown) {
  failSystem(ec.message(), std::string(builtin) + " of " + quoteForReport(shown));
}

// A new, empty folder beside `target`, named after it, made here and nowhere
// else: a name that is taken is never reused.
std::string makeTemporaryBeside(const fs::path& target, std::error_code& ec) {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
    fs::path temp = target.parent_path() / ("." + target.filename().string() + ".making-" + suffix);
    if (::mkdir(temp.c_str(), 0777) == 0) return temp.string();
    if (errno != EEXIST) break;
  }
  ec = std::error_code(errno, std::generic_category());
  return {};
}

}  // namespace

void FolderInTheMaking::open(const std::string& target, const char* builtin, const std::string& shown) {
  if (isOpen())
    fail("a folder is being made already",
         std::string(builtin) + " of " + quoteForReport(shown) + ": " + quoteForReport(named_) + " is not finished");
  std::error_code ec;
  fs::path home = fs::current_path(ec);
  if (ec) failCall(ec, builtin, shown);
  fs::path full = (home / target).lexically_normal();
  if (!full.has_filename()) full = full.parent_path();
  fs::file_status st = fs::status(full, ec);
  if (ec && st.type() != fs::file_type::not_found) failCall(ec, builtin, shown);
  std::string temp;
  if (!fs::is_directory(st)) {
    if (fs::exists(st)) failCall(std::make_error_code(std::errc::file_exists), builtin, shown);
    ec.clear();
    temp = makeTemporaryBeside(full, ec);
    if (ec) failCall(ec, builtin, shown);
  }
  fs::current_path(temp.empty() ? full : fs::path(temp), ec);
  if (ec) {
    std::error_code ignored;
    if (!temp.empty()) fs::remove(temp, ignored);
    failCall(ec, builtin, shown);
  }
  home_ = home.string();
  target_ = full.string();
  named_ = target;
  temp_ = std::move(temp);
}

void FolderInTheMaking::close(const std::string& target, const char* builtin, const std::string& shown) {
  if (!isOpen() || target != named_)
    fail("no folder is being made", std::string(builtin) + " of " + quoteForReport(shown));
  std::string home = std::move(home_), temp = std::move(temp_);
  home_.clear();
  temp_.clear();
  std::error_code ec;
  fs::current_path(home, ec);
  if (!ec && !temp.empty()) fs::rename(temp, target_, ec);
  if (ec) {
    std::error_code ignored;
    if (!temp.empty()) fs::remove_all(temp, ignored);
    failCall(ec, builtin, shown);
  }
}

void FolderInTheMaking::abandon() noexcept {
  if (!isOpen()) return;
  std::error_code ec;
  fs::current_path(home_, ec);
  if (!temp_.empty()) fs::remove_all(temp_, ec);
  home_.clear();
  temp_.clear();
}

}  // namespace velk
