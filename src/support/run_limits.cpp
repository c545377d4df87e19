// The bounds for untrusted programs and the checks that enforce them.
#include "support/run_limits.h"

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "support/error.h"

namespace fs = std::filesystem;

namespace velk {

namespace {

// The memory-bounded budget that large values built on this thread are
// weighed against: the thread's interpreter's, set when it starts a run.
thread_local constinit const RunBudget* watchedBudget = nullptr;

[[noreturn]] void failLimit(const char* text, std::string named) {
  throw VelkError(text, ErrorKind::Limit, std::move(named));
}

[[noreturn]] void failValueSize(size_t bytes, size_t maxBytes, const char* what) {
  failLimit("value too large", "value size limit of " + sizeText(maxBytes) + " reached: " + what + " would take " +
                                   std::to_string(bytes) + " bytes");
}

}  // namespace

std::string sizeText(size_t bytes) {
  static const char* const units[] = {"K", "M", "G", "T"};
  if (bytes == 0 || bytes % 1024 != 0) return std::to_string(bytes) + " bytes";
  size_t n = bytes / 1024;
  size_t unit = 0;
  while (unit + 1 < std::size(units) && n % 1024 == 0) {
    n /= 1024;
    ++unit;
  }
  return std::to_string(n) + units[unit];
}

std::string secondsText(std::chrono::milliseconds ms) {
  long long n = ms.count();
  std::string text = std::to_string(n / 1000);
  if (long long frac = n % 1000) {
    std::string digits = std::to_string(1000 + frac).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += "." + digits;
  }
  return text + (n == 1000 ? " second" : " seconds");
}

RunBudget::~RunBudget() {
  if (watchedBudget == this) watchedBudget = nullptr;
}

void RunBudget::start(const RunLimits& limits, size_t* valueCap) {
  limits_ = &limits;
  valueCap_ = valueCap;
  stepsTaken_ = 0;
  deadline_ = std::chrono::steady_clock::now() + limits.maxTime;
  budgeted_ = limits.maxSteps || limits.maxTime.count() || limits.boundsMemory();
  *valueCap_ = limits.maxValueBytes;
  if (limits.boundsMemory()) {
    memoryCeiling_ = limits.maxMemoryBytes;
    watchedBudget = this;
    measureMemory(limits);
  } else if (watchedBudget == this) {
    watchedBudget = nullptr;
  }
}

void RunBudget::restart() {
  if (!limits_) return;  // never started: nothing is bounded
  start(*limits_, valueCap_);
  if (limits_->boundsMemory()) {
    memoryCeiling_ = std::max(memoryCeiling_, limits_->memoryInUse());
    measureMemory(*limits_);
  }
}

bool RunBudget::measureMemory(const RunLimits& limits) {
  size_t inUse = limits.memoryInUse();
  // Never 0, which would be no cap at all.
  size_t left = inUse < memoryCeiling_ ? memoryCeiling_ - inUse : 1;
  *valueCap_ = limits.maxValueBytes ? std::min(limits.maxValueBytes, left) : left;
  return inUse <= memoryCeiling_;
}

void RunBudget::takeStep(const RunLimits& limits) {
  ++stepsTaken_;
  if (limits.maxSteps && stepsTaken_ > limits.maxSteps)
    failLimit("step limit reached", "step limit of " + std::to_string(limits.maxSteps) + " reached");
  // Reading the clock costs more than a step; look at it every 256 steps.
  if (limits.maxTime.count() && (stepsTaken_ & 255) == 0 && std::chrono::steady_clock::now() > deadline_)
    failLimit("time limit reached", "time limit of " + secondsText(limits.maxTime) + " reached");
  if (limits.boundsMemory() && !measureMemory(limits))
    failLimit("memory limit reached", "memory limit of " + sizeText(limits.maxMemoryBytes) + " reached");
}

void growthBeyondCap(size_t bytes, size_t maxBytes, const char* what) {
  // The cap of the memory-bounded run on this thread: what memory leaves it,
  // unless the value passes the run's own value cap.
  const RunBudget* run = watchedBudget;
  if (run && run->valueCap() == maxBytes && !(run->givenValueCap() && bytes > run->givenValueCap()))
    failLimit("memory limit reached", "memory limit of " + sizeText(run->maxMemoryBytes()) + " reached: " + what +
                                          " would take " + std::to_string(bytes) + " bytes more");
  if (run && run->valueCap() == maxBytes) maxBytes = run->givenValueCap();
  failValueSize(bytes, maxBytes, what);
}

void checkConfined(const RunLimits& limits, const std::string& path, const char* builtin, bool allowRoot) {
  const std::string& root = limits.confineTo;
  if (root.empty()) return;
  std::error_code ec;
  // Links are resolved as far as the path exists, the rest is read as text.
  fs::path resolved = fs::weakly_canonical(fs::absolute(path, ec), ec);
  std::string where = ec ? std::string() : resolved.lexically_normal().string();
  while (where.size() > 1 && where.back() == '/') where.pop_back();
  // Below the folder: a slash follows its name (the root is all slash).
  bool below = where.size() > root.size() && (root == "/" || where[root.size()] == '/');
  bool inside = !where.empty() && where.compare(0, root.size(), root) == 0 &&
                (where.size() == root.size() ? allowRoot : below);
  if (!inside)
    fail("path outside the sandbox", std::string(builtin) + " of " + quoteForReport(path) + " leads outside " +
                                         quoteForReport(root) + (allowRoot ? "" : " or to it"));
}

}  // namespace velk
