// The confinement rules for paths of the form "ROOT<zero byte>ENTRY".
#include "builtins/confined_paths.h"

#include <filesystem>

#include "value/error.h"

namespace fs = std::filesystem;

namespace velk::builtins {
namespace {

[[noreturn]] void refuse(const char* builtin, const PathArgument& p, const std::string& why) {
  fail("path leaves the folder", std::string(builtin) + " of " + quoteForReport(p.shown) + ": " + why);
}

// The entry's own text: relative, without `..`, and outside lib/ unless the
// root is lib itself (or lies inside it).
void checkEntryText(const PathArgument& p, const char* builtin, bool writing) {
  fs::path entry(p.shown);
  if (entry.has_root_path()) refuse(builtin, p, "an absolute path");
  for (const fs::path& part : entry)
    if (part == "..") refuse(builtin, p, "a path holding ..");
  if (!writing) return;
  auto firstPart = [](const fs::path& q) {
    for (const fs::path& part : q.lexically_normal())
      if (part != "." && !part.empty()) return part.string();
    return std::string();
  };
  if (firstPart(fs::path(p.path)) == "lib" && firstPart(fs::path(p.root)) != "lib")
    refuse(builtin, p, "a path into the lib folder");
}

}  // namespace

PathArgument parsePathArgument(const std::string& text, const char* builtin) {
  size_t zero = text.find('\0');
  if (zero == std::string::npos) return {text, text, {}};
  PathArgument p{{}, text.substr(zero + 1), text.substr(0, zero)};
  if (p.shown.find('\0') != std::string::npos || p.root.empty() || p.shown.empty())
    fail("invalid path", std::string(builtin) + " of " + quoteForReport(text) + ": a path cannot hold a zero byte");
  p.path = (fs::path(p.root) / p.shown).string();
  return p;
}

void checkWritable(const PathArgument& p, const char* builtin) {
  if (!p.confined()) return;
  checkEntryText(p, builtin, true);
  // Every existing step below the root must be a real folder or file.
  fs::path step(p.root);
  for (const fs::path& part : fs::path(p.shown)) {
    if (part == "." || part.empty()) continue;
    step /= part;
    std::error_code ec;
    fs::file_status st = fs::symlink_status(step, ec);
    if (st.type() == fs::file_type::not_found) return;  // nothing below exists yet
    if (ec) fail(ec.message(), std::string(builtin) + " of " + quoteForReport(p.shown));
    if (fs::is_symlink(st)) refuse(builtin, p, "it passes the symbolic link " + quoteForReport(step.string()));
  }
}

void checkReadable(const PathArgument& p, const char* builtin) {
  if (!p.confined()) return;
  checkEntryText(p, builtin, false);
  std::error_code ec;
  fs::path root = fs::canonical(p.root, ec);
  if (ec) fail(ec.message(), std::string(builtin) + " of the folder " + quoteForReport(p.root));
  fs::path step(p.root);
  for (const fs::path& part : fs::path(p.shown)) {
    if (part == "." || part.empty()) continue;
    step /= part;
    fs::file_status st = fs::symlink_status(step, ec);
    if (st.type() == fs::file_type::not_found) return;
    if (ec) fail(ec.message(), std::string(builtin) + " of " + quoteForReport(p.shown));
    if (!fs::is_symlink(st)) continue;
    fs::path target = fs::canonical(step, ec);
    if (ec) refuse(builtin, p, "the symbolic link " + quoteForReport(step.string()) + " leads nowhere");
    auto rel = target.lexically_relative(root);
    if (rel.empty() || *rel.begin() == "..")
      refuse(builtin, p, "the symbolic link " + quoteForReport(step.string()) + " leads out of the folder");
  }
}

}  // namespace velk::builtins
