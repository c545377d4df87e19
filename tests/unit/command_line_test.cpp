// The command line's bounds: each option read in both spellings, and each
// wrong value refused with a message naming the option; the kernel's wall of
// a sandbox, where the kernel has one.
#include "host/command_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "host/sandbox.h"
#include "test_support.h"

namespace velk {
namespace {

TEST(CommandLineTest, BoundsAreReadBeforeOrAfterTheScript) {
  Invocation inv = readCommandLine({"--max-steps", "1000", "-e", "x", "--max-time=0.25", "--max-memory", "64M",
                                    "--max-value=2g", "--sandbox", "box"});
  EXPECT_EQ(inv.mode, Invocation::Mode::Text);
  EXPECT_EQ(inv.limits.maxSteps, 1000u);
  EXPECT_EQ(inv.limits.maxTime.count(), 250);
  EXPECT_EQ(inv.limits.maxMemoryBytes, size_t{64} << 20);
  EXPECT_EQ(inv.limits.maxValueBytes, size_t{2} << 30);
  EXPECT_EQ(inv.limits.confineTo, "box");
  EXPECT_EQ(sizeText(size_t{64} << 20) + " " + sizeText(1000) + " " + secondsText(inv.limits.maxTime),
            "64M 1000 bytes 0.25 seconds");
}

TEST(CommandLineTest, WrongValuesAreRefused) {
  const std::pair<std::vector<std::string>, std::string> wrong[] = {
      {{"--max-steps", "0"}, "--max-steps: `0` is not a whole number of steps, 1 or more"},
      {{"--max-steps", "12x"}, "--max-steps: `12x` is not a whole number of steps, 1 or more"},
      {{"--max-time", "0.0001"}, "--max-time: `0.0001` is not a number of seconds (like 2 or 0.5), at least 0.001"},
      {{"--max-time", "-1"}, "--max-time: `-1` is not a number of seconds (like 2 or 0.5), at least 0.001"},
      {{"--max-memory", "64Q"}, "--max-memory: `64Q` is not a size in bytes, 1 or more, with K, M, G or T for 1024s"},
      {{"--max-value", "99999999999T"}, "--max-value: `99999999999T` is not a size in bytes, 1 or more, with K, M, G or T for 1024s"},
      {{"--sandbox="}, "--sandbox: `` is not a folder"},
      {{"-e", "x", "--max-time"}, "--max-time needs a value"},
      {{"--check"}, "--check needs the scripts to check (- for standard input)"},
      {{"--check", "a", "-x", "--", "-y"}, "unknown option `-x` among the scripts to check"},
  };
  for (const auto& [args, problem] : wrong) {
    Invocation inv = readCommandLine(args);
    EXPECT_EQ(inv.mode, Invocation::Mode::Wrong) << problem;
    EXPECT_EQ(inv.problem, problem);
  }
}

TEST(CommandLineTest, TheKernelKeepsAConfinedThreadInsideItsFolder) {
  namespace fs = std::filesystem;
  fs::path base = fs::canonical(fs::temp_directory_path()) / ("velk-wall-" + std::to_string(::getpid()));
  fs::create_directories(base / "box");
  bool confined = false;
  int outside = 0, inside = 0;
  // Only the thread that asks is confined, so the test's own thread stays free.
  std::thread([&] {
    confined = confineThreadTo((base / "box").string());
    outside = ::open((base / "x").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    inside = ::open((base / "box" / "x").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  }).join();
  for (int fd : {outside, inside})
    if (fd >= 0) ::close(fd);
  bool escaped = fs::exists(base / "x");
  fs::remove_all(base);
  if (!confined) GTEST_SKIP() << "the kernel offers no Landlock";
  EXPECT_LT(outside, 0);
  EXPECT_FALSE(escaped);
  EXPECT_GE(inside, 0);
}

}  // namespace
}  // namespace velk
