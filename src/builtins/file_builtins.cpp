// File and directory builtins, on byte-string paths relative to the current
// directory. Failing file-system operations end the run with the path named;
// a text file that cannot be opened reads as empty and takes no writes.
#include <filesystem>
#include <fstream>

#include "builtins/handlers.h"
#include "value/error.h"
#include "value/run_limits.h"

namespace fs = std::filesystem;

namespace velk::builtins {
namespace {

// The path a builtin's first argument names. A zero byte would cut the path
// short where the system reads it, so such a path is refused.
std::string pathArgument(const VarMap& callMap, const char* builtin) {
  std::string path = asText(evalArgument(callMap, 0)).str();
  if (path.find('\0') != std::string::npos)
    fail("invalid path", std::string(builtin) + " of " + quoteForReport(path) + ": a path cannot hold a zero byte");
  checkConfined(path, builtin);
  return path;
}

[[noreturn]] void fileSystemFailure(const char* builtin, const std::string& path, const std::error_code& ec) {
  fail(ec.message(), std::string(builtin) + " of " + quoteForReport(path));
}

// Writes bytes to a file opened for writing. A file that cannot be opened takes
// nothing, silently; a write that fails once the file is open is an error, so
// that lost content is never reported as saved.
void writeWhole(const char* builtin, const std::string& path, std::string_view data, std::ios::openmode mode) {
  std::ofstream out(path, mode | std::ios::out | std::ios::trunc);
  if (!out.is_open()) return;
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  out.close();
  if (out.fail()) fail("write failed", std::string(builtin) + " could not write all of " + quoteForReport(path));
}

Value flag(bool b) { return Value::integer(b ? 1 : 0); }

fs::file_status statusOf(const char* builtin, const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::status(path, ec);
  if (ec && st.type() != fs::file_type::not_found) fileSystemFailure(builtin, path, ec);
  return st;
}

}  // namespace

void readfile(Value& result, VarMap callMap) {
  std::string path = pathArgument(callMap, "readfile");
  std::ifstream in(path);
  std::string text, line;
  while (std::getline(in, line)) {
    text += line;
    text += '\n';
  }
  result = Value::string(Text(std::move(text)));
}

void writefile(Value&, VarMap callMap) {
  std::string path = pathArgument(callMap, "writefile");
  // The content is evaluated before the file is opened (and emptied), so a
  // file can be rewritten from its own content.
  Text content = asText(evalArgument(callMap, 1));
  writeWhole("writefile", path, content.view(), std::ios::openmode());
}

void readbinfile(Value& result, VarMap callMap) {
  std::string path = pathArgument(callMap, "readbinfile");
  std::error_code ec;
  uintmax_t size = fs::file_size(path, ec);
  if (ec) fileSystemFailure("readbinfile", path, ec);
  std::vector<uint8_t> data;
  if (size > 0) {
    // Read whole, whatever the size; bytes the stream does not deliver stay 0.
    data.assign(static_cast<size_t>(size), 0);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size));
  }
  // An empty file reads as no bytes at all.
  result.typeName = kBytes;
  result.bytes = Bytes(std::move(data));
}

void writebinfile(Value&, VarMap callMap) {
  std::string path = pathArgument(callMap, "writebinfile");
  Value content = evalArgument(callMap, 1);
  const std::vector<uint8_t>& data = asBytes(content).get();
  writeWhole("writebinfile", path,
             std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), std::ios::binary);
}

void mkdir(Value&, VarMap callMap) {
  std::string path = pathArgument(callMap, "mkdir");
  std::error_code ec;
  fs::create_directory(path, ec);
  if (ec) fileSystemFailure("mkdir", path, ec);
}

void rm(Value&, VarMap callMap) {
  std::string path = pathArgument(callMap, "rm");
  checkConfined(path, "rm", false);
  // Removing "." or ".." would empty the directory that holds the session and
  // then fail; refuse before anything is deleted.
  std::string last = fs::path(path).filename().string();
  if (last == "." || last == "..")
    fail("refusing to remove", "rm of " + quoteForReport(path) + ": a path ending in . or .. cannot be removed");
  std::error_code ec;
  fs::remove_all(path, ec);
  if (ec) fileSystemFailure("rm", path, ec);
}

void listdir(Value& result, VarMap callMap) {
  std::string path = pathArgument(callMap, "listdir");
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) fileSystemFailure("listdir", path, ec);
  result.typeName = kList;
  for (fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) fileSystemFailure("listdir", path, ec);
    result.elements.push(newValue(Value::string(Text(it->path().filename().string()))));
  }
  if (ec) fileSystemFailure("listdir", path, ec);
}

void exists(Value& result, VarMap callMap) {
  std::string path = pathArgument(callMap, "exists");
  result = flag(fs::exists(statusOf("exists", path)));
}

void isdir(Value& result, VarMap callMap) {
  std::string path = pathArgument(callMap, "isdir");
  result = flag(fs::is_directory(statusOf("isdir", path)));
}

void cd(Value&, VarMap callMap) {
  std::string path = pathArgument(callMap, "cd");
  std::error_code ec;
  fs::current_path(path, ec);
  if (ec) fileSystemFailure("cd", path, ec);
}

}  // namespace velk::builtins
