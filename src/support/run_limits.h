// Bounds for running untrusted programs: a folder that files and `cd` are
// confined to, a budget of steps and of time, and caps on the size of one
// value and on the memory in use. Every bound is off unless set: the velk
// executable sets those its command line asks for (--sandbox, --max-steps,
// ...), and a harness that runs hostile programs (the fuzz targets) gives an
// interpreter its bounds before a run. Each interpreter keeps its own bounds
// and budget; the checks here are handed the bounds they enforce. A bound
// reached ends the run with an error of kind Limit, which names the bound.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velk {

struct RunLimits {
  // When not empty (an absolute, canonical folder), every path a builtin or
  // `also` uses must lie inside it, links resolved, and `rm` may not remove
  // the folder itself.
  std::string confineTo;
  // Statements and runs allowed in one run; 0 for no bound.
  uint64_t maxSteps = 0;
  // Wall-clock time allowed in one run; zero for no bound.
  std::chrono::milliseconds maxTime{0};
  // Largest text, byte array or list display one operation may build; 0 for
  // no bound beyond the ones the operations have themselves.
  size_t maxValueBytes = 0;
  // Memory in use, as the harness measures it, and the most allowed; both
  // must be set to bound it.
  size_t (*memoryInUse)() = nullptr;
  size_t maxMemoryBytes = 0;

  bool boundsMemory() const { return memoryInUse && maxMemoryBytes; }
};

// A size as the command line takes it and the reports show it: "64M", "2G",
// "512K" (powers of 1024), or "1000 bytes".
std::string sizeText(size_t bytes);
// Milliseconds as seconds: "2 seconds", "1 second", "0.25 seconds".
std::string secondsText(std::chrono::milliseconds ms);

// The steps, time and memory one run has taken against its bounds.
//
// Memory. Values are built by operations that see only a cap on one value
// (checkGrowth below), and the memory in use is the process's, not one
// run's. So with memory bounded, the cap the run's operations apply is kept
// at what the bound leaves, as measured at the last step (and at the value
// cap, if lower): a value that would not fit, such as a string doubled past
// the bound in one operation, is refused before a byte of it is allocated.
// The budget started last with memory bounded on a thread names such a
// refusal as the memory limit.
class RunBudget {
 public:
  RunBudget() = default;
  RunBudget(const RunBudget&) = delete;
  RunBudget& operator=(const RunBudget&) = delete;
  ~RunBudget();

  // Starts counting steps and time afresh under `limits`; `*valueCap` is
  // the cap on one value that the run's operations apply, kept as described
  // above. Both must outlive the budget's use.
  void start(const RunLimits& limits, size_t* valueCap);
  // The same for a run that follows others in one session (a typed line),
  // under the bounds of the last start: memory the runs before it kept and
  // could not give back (a typed line that reached the memory bound kept
  // its variables) is allowed to it, so that it may go on as long as it
  // takes no more, and free what they hold.
  void restart();
  // One step of a run (a statement, or a nested run starting); raises "step
  // limit reached", "time limit reached" or "memory limit reached" once a
  // bound of `limits` (those the budget was started with) is exceeded.
  void countStep(const RunLimits& limits) {
    if (budgeted_) takeStep(limits);
  }
  // Whether any of steps, time or memory is bounded, so that countStep does anything.
  bool budgeted() const { return budgeted_; }
  // The cap on one value the run's operations apply now.
  size_t valueCap() const { return valueCap_ ? *valueCap_ : 0; }
  // The run's own value cap, apart from what memory leaves.
  size_t givenValueCap() const { return limits_ ? limits_->maxValueBytes : 0; }
  size_t maxMemoryBytes() const { return limits_ ? limits_->maxMemoryBytes : 0; }

 private:
  void takeStep(const RunLimits& limits);
  // Sets the value cap from the memory in use; false when that is over the bound.
  bool measureMemory(const RunLimits& limits);
  bool budgeted_ = false;  // any of steps, time or memory is bounded
  uint64_t stepsTaken_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  const RunLimits* limits_ = nullptr;
  size_t* valueCap_ = nullptr;
  size_t memoryCeiling_ = 0;  // the memory bound, or what was in use at a restart if more
};

// Raises "value too large" (or "memory limit reached", see RunBudget) for
// an operation about to build `bytes` bytes of one value beyond `maxBytes`
// (0: no cap); `what` says what was being built.
[[noreturn, gnu::cold]] void growthBeyondCap(size_t bytes, size_t maxBytes, const char* what);
inline void checkGrowth(size_t bytes, size_t maxBytes, const char* what) {
  if (maxBytes && bytes > maxBytes) growthBeyondCap(bytes, maxBytes, what);
}

// `path` (as a builtin was given it) checked against the confinement folder
// of `limits`: raises "path outside the sandbox" naming `builtin` when it
// leads outside, or to the folder itself when `allowRoot` is false. Does
// nothing when files are not confined.
void checkConfined(const RunLimits& limits, const std::string& path, const char* builtin, bool allowRoot = true);

}  // namespace velk
