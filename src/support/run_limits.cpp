// The bounds for untrusted programs and the checks that enforce them.
#include "support/run_limits.h"

#include <filesystem>

#include "support/error.h"

namespace fs = std::filesystem;

namespace velk {

void RunBudget::start(const RunLimits& limits) {
  stepsTaken_ = 0;
  deadline_ = std::chrono::steady_clock::now() + limits.maxTime;
  budgeted_ = limits.maxSteps || limits.maxTime.count() || (limits.memoryInUse && limits.maxMemoryBytes);
}

void RunBudget::takeStep(const RunLimits& limits) {
  ++stepsTaken_;
  if (limits.maxSteps && stepsTaken_ > limits.maxSteps)
    fail("step limit reached", "the run took more than " + std::to_string(limits.maxSteps) + " steps");
  // Reading the clock costs more than a step; look at it every 256 steps.
  if (limits.maxTime.count() && (stepsTaken_ & 255) == 0 && std::chrono::steady_clock::now() > deadline_)
    fail("time limit reached", "the run took more than " + std::to_string(limits.maxTime.count()) + " ms");
  if (limits.memoryInUse && limits.maxMemoryBytes && limits.memoryInUse() > limits.maxMemoryBytes)
    fail("memory limit reached", "the run uses more than " + std::to_string(limits.maxMemoryBytes) + " bytes");
}

void failValueSize(size_t bytes, size_t maxBytes, const char* what) {
  fail("value too large", std::string(what) + " would take " + std::to_string(bytes) + " bytes, more than " +
                              std::to_string(maxBytes));
}

void checkConfined(const RunLimits& limits, const std::string& path, const char* builtin, bool allowRoot) {
  const std::string& root = limits.confineTo;
  if (root.empty()) return;
  std::error_code ec;
  // Links are resolved as far as the path exists, the rest is read as text.
  fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
  std::string where = ec ? std::string() : resolved.lexically_normal().string();
  while (where.size() > 1 && where.back() == '/') where.pop_back();
  bool inside = !where.empty() && where.compare(0, root.size(), root) == 0 &&
                (where.size() == root.size() ? allowRoot : where[root.size()] == '/');
  if (!inside)
    fail("path outside the sandbox", std::string(builtin) + " of " + quoteForReport(path) + " leads outside " +
                                         quoteForReport(root) + (allowRoot ? "" : " or to it"));
}

}  // namespace velk
