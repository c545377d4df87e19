// Start-up and the one place where the errors that end a run are caught.
#include "host/startup.h"

#include <cstdio>
#include <new>

#include "builtins/registry.h"
#include "host/console.h"
#include "interp/interpreter.h"
#include "value/error.h"

namespace velk {
namespace {

int reportAndExit(const std::string& line, int status) {
  console::flush();
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  return status;
}

}  // namespace

int runTopLevel(std::string_view script) {
  try {
    if (builtinRegistry().empty()) registerBuiltins();
    ProgramRef program = compileProgram(*splitStatements(script));
    VarMap global;
    executeStatements(*program, &global, nullptr);
    console::flush();
    return 0;
  } catch (const ExitRequest& e) {
    console::flush();
    return e.status();
  } catch (const VelkError& e) {
    return reportAndExit(e.report(), kExitError);
  } catch (const OpenGroupError& e) {
    return reportAndExit(std::string("velk: ") + e.what(), kExitOpenGroup);
  } catch (const std::bad_alloc&) {
    return reportAndExit("velk: error: out of memory", kExitError);
  } catch (const std::exception& e) {
    return reportAndExit(std::string("velk: error: ") + e.what(), kExitError);
  }
}

}  // namespace velk
