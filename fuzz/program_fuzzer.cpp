// Fuzz target: any text run as a whole VELK program, the way a loaded script
// runs. Each input runs in a fresh, empty folder of its own that its files
// and `cd` are confined to, with standard input at its end, on a stack of
// bounded size, and with steps, time, memory and the size of one value
// bounded, so that a hostile or endless program ends with an error. An error
// ending the run is an expected outcome; a crash, a sanitizer report or an
// error the interpreter does not raise itself is a finding.
#include <sanitizer/allocator_interface.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "builtins/registry.h"
#include "console/stdio_console.h"
#include "interp/interpreter.h"
#include "interp/executor.h"
#include "parse/splitter.h"
#include "support/error.h"
#include "support/run_limits.h"
#include "support/stack_guard.h"

namespace fs = std::filesystem;

namespace {

// Where the throw-away folders live: made once, removed at exit.
fs::path baseFolder;
// With VELK_FUZZ_VERBOSE set, the error that ended each run is printed.
bool verbose = false;
// The bounds every run gets; the folder it is confined to is set per input.
velk::RunLimits limits;

size_t memoryInUse() { return __sanitizer_get_current_allocated_bytes(); }

void removeBase() {
  std::error_code ec;
  fs::current_path(fs::temp_directory_path(), ec);
  fs::remove_all(baseFolder, ec);
}

int runProgram(std::string_view text) {
  try {
    // A fresh interpreter for every input: nothing one run leaves behind
    // reaches the next.
    velk::StdioConsole console;
    velk::Interpreter interp(console);
    velk::registerBuiltins(interp.builtins());
    interp.setLimits(limits);
    velk::ProgramRef program = velk::compileProgram(velk::splitStatements(text));
    velk::VarMap global;
    velk::executeStatements(interp, *program, &global, nullptr);
  } catch (const velk::VelkError& e) {
    if (verbose) std::fprintf(stderr, "%s\n", e.report().c_str());
  } catch (const velk::OpenGroupError& e) {
    if (verbose) std::fprintf(stderr, "%s\n", e.what());
  } catch (const velk::ExitRequest&) {
  } catch (const std::exception& e) {
    // The interpreter turns every failure it foresees into its own error.
    std::fprintf(stderr, "unexpected exception: %s\n", e.what());
    std::abort();
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Standard input reads as ended; what programs print is thrown away.
  if (!std::freopen("/dev/null", "r", stdin) || !std::freopen("/dev/null", "w", stdout)) std::abort();
  std::string pattern = (fs::temp_directory_path() / "velk-fuzz-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  baseFolder = fs::canonical(pattern);
  std::atexit(removeBase);
  verbose = std::getenv("VELK_FUZZ_VERBOSE") != nullptr;

  limits.maxSteps = 200000;
  limits.maxTime = std::chrono::milliseconds(2000);
  limits.maxValueBytes = size_t{4} << 20;
  limits.memoryInUse = memoryInUse;
  limits.maxMemoryBytes = size_t{512} << 20;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  fs::path folder = baseFolder / "run";
  fs::remove_all(folder);
  fs::create_directory(folder);
  fs::current_path(folder);
  limits.confineTo = folder.string();
  // A stack of its own, small enough that deep recursion stays far below the
  // fuzzer's memory limit, with the depth guard armed on it.
  constexpr size_t kStack = size_t{64} << 20;
  constexpr size_t kReserve = size_t{8} << 20;
  velk::runOnLargeStack([text] { return runProgram(text); }, kStack, kReserve);
  fs::current_path(baseFolder);
  fs::remove_all(folder);
  return 0;
}
