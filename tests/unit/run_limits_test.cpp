// The bounds for untrusted programs: files and `cd` confined to a folder, the
// step, time and memory budgets and the cap on one value. All are off by
// default, and each ends a run with its own error once it is set.
#include <filesystem>
#include <fstream>

#include "interp/interpreter.h"
#include "interp/executor.h"
#include "parse/splitter.h"
#include "test_support.h"
#include "support/run_limits.h"

namespace fs = std::filesystem;

namespace velk {
namespace {

class RunLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    base_ = fs::canonical(fs::temp_directory_path()) /
            ("velk-limits-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    fs::create_directories(base_ / "box");
    fs::current_path(base_ / "box");
  }
  void TearDown() override {
    fs::current_path(saved_);
    fs::remove_all(base_);
  }
  void confine() { limits_.confineTo = (base_ / "box").string(); }
  // Runs `text` on the interpreter under limits_, its budget started afresh.
  // The fewest steps `text` runs in: with any bound below, it fails with the
  // step limit.
  size_t steps(std::string_view text) {
    RunLimits saved = limits_;
    size_t n = 1;
    for (;; ++n) {
      limits_.maxSteps = n;
      try {
        run(text);
        break;
      } catch (const VelkError& e) {
        if (std::string_view(e.what()).find("step limit reached") == std::string_view::npos) throw;
      }
    }
    limits_ = saved;
    return n;
  }
  void run(std::string_view text) {
    session_.interp.setLimits(limits_);
    ProgramRef program = compileProgram(splitStatements(text));
    VarMap global;
    executeStatements(session_.interp, *program, &global, nullptr);
  }

  testing::TestInterpreter session_;
  RunLimits limits_;
  fs::path saved_, base_;
};

TEST_F(RunLimitsTest, NothingIsBoundedByDefault) {
  EXPECT_NO_THROW(checkConfined(limits_, "/", "cd"));
  EXPECT_NO_THROW(checkConfined(limits_, ".", "rm", false));
  EXPECT_NO_THROW(checkGrowth(size_t{1} << 40, limits_.maxValueBytes, "a test"));
  EXPECT_NO_THROW(run("n = 0\nuntil (n < 300000) { n += 1 }"));
  EXPECT_NO_THROW(run("$writefile$(\"../outside.txt\" \"x\")"));
  EXPECT_TRUE(fs::exists(base_ / "outside.txt"));
}

TEST_F(RunLimitsTest, ConfinedPathsStayInsideTheFolder) {
  confine();
  fs::create_directory("d");
  EXPECT_NO_THROW(checkConfined(limits_, "d/../new.txt", "writefile"));
  EXPECT_NO_THROW(checkConfined(limits_, ".", "listdir"));
  EXPECT_NO_THROW(checkConfined(limits_, (base_ / "box" / "d").string(), "cd"));
  EXPECT_NO_THROW(checkConfined(limits_, "d/", "rm", false));
  for (const char* path : {"..", "../", "../box2", "d/../..", "/tmp", "/", "missing/../../x", ""}) {
    SCOPED_TRACE(path);
    EXPECT_VELK_ERROR(checkConfined(limits_, path, "writefile"), "path outside the sandbox");
  }
  // The folder itself may be read and entered, never removed.
  for (const char* path : {".", "./", ".//", "d/..", "d/../"}) {
    SCOPED_TRACE(path);
    EXPECT_VELK_ERROR(checkConfined(limits_, path, "rm", false), "path outside the sandbox");
  }
}

TEST_F(RunLimitsTest, ConfinementFollowsLinks) {
  confine();
  fs::create_directory(base_ / "secret");
  fs::create_directory_symlink(base_ / "secret", "out");
  fs::create_symlink("d", "dangling");
  EXPECT_VELK_ERROR(checkConfined(limits_, "out", "rm", false), "path outside the sandbox");
  EXPECT_VELK_ERROR(checkConfined(limits_, "out/x.txt", "writefile"), "path outside the sandbox");
  EXPECT_NO_THROW(checkConfined(limits_, "dangling", "writefile"));
}

TEST_F(RunLimitsTest, ConfinedBuiltinsTouchNothingOutside) {
  confine();
  std::ofstream(base_ / "keep.txt") << "kept";
  EXPECT_VELK_ERROR(run("$writefile$(\"../escaped.txt\" \"x\")"), "path outside the sandbox");
  EXPECT_VELK_ERROR(run("$rm$(\"../keep.txt\")"), "path outside the sandbox");
  EXPECT_VELK_ERROR(run("$rm$(\".//\")"), "path outside the sandbox");
  EXPECT_VELK_ERROR(run("$cd$(\"..\")"), "path outside the sandbox");
  EXPECT_VELK_ERROR(run("x = $readfile$(\"../keep.txt\")"), "path outside the sandbox");
  EXPECT_VELK_ERROR(run("also (\"../keep\")"), "path outside the sandbox");
  EXPECT_FALSE(fs::exists(base_ / "escaped.txt"));
  EXPECT_TRUE(fs::exists(base_ / "keep.txt"));
  EXPECT_EQ(fs::current_path(), base_ / "box");
  // Inside, everything works as usual.
  EXPECT_NO_THROW(run("$mkdir$(\"d\")\n$writefile$(\"d/a.txt\" \"x\")\n$cd$(\"d\")\n$cd$(\"..\")\n$rm$(\"d\")"));
  EXPECT_FALSE(fs::exists("d"));
}

TEST_F(RunLimitsTest, StepBudgetEndsEndlessLoopsAndStartsAfresh) {
  limits_.maxSteps = 1000;
  EXPECT_VELK_ERROR(run("until (1) { }"), "step limit reached");
  EXPECT_VELK_ERROR(run("f = { $f$(1) }\nn = 0\nuntil (n < 2000) { n += 1 }"), "step limit reached");
  EXPECT_NO_THROW(run("n = 0\nuntil (n < 100) { n += 1 }"));
  EXPECT_NO_THROW(run("n = 0\nuntil (n < 100) { n += 1 }"));
}

TEST_F(RunLimitsTest, CompareBodiesCountTheirStepsAlike) {
  // A body is one step, and so is each statement it runs, empty ones too,
  // whatever the body holds: a body of a lone `end` costs what a body with
  // one more statement before its `end` costs, less that statement.
  const char* lone = "f = { compare (arg0 > 0) { end ($f$((arg0 - 1)) + 1) }\nend 0 }\nx = $f$(5)";
  const char* more = "f = { compare (arg0 > 0) { z = 0\nend ($f$((arg0 - 1)) + 1) }\nend 0 }\nx = $f$(5)";
  EXPECT_EQ(steps(lone) + 5, steps(more));
  const char* blank = "f = { compare (arg0 > 0) {\n\n  end ($f$((arg0 - 1)) + 1)\n}\nend 0 }\nx = $f$(5)";
  EXPECT_EQ(steps(lone) + 10, steps(blank));
  // Statements after the `end` never run.
  const char* after = "f = { compare (arg0 > 0) { end ($f$((arg0 - 1)) + 1)\nz = 0 }\nend 0 }\nx = $f$(5)";
  EXPECT_EQ(steps(lone), steps(after));
}

TEST_F(RunLimitsTest, EachInterpreterKeepsItsOwnBounds) {
  limits_.maxSteps = 1000;
  limits_.maxValueBytes = 1000;
  confine();
  EXPECT_VELK_ERROR(run("until (1) { }"), "step limit reached");
  // A second interpreter in the same process runs unbounded, while the first
  // one keeps its bounds.
  testing::TestInterpreter other;
  ProgramRef program = compileProgram(splitStatements(
      "n = 0\nuntil (n < 3000) { n += 1 }\nx = (\"ab\" * 600)\n$writefile$(\"../other.txt\" x)"));
  VarMap global;
  EXPECT_NO_THROW(executeStatements(other.interp, *program, &global, nullptr));
  EXPECT_TRUE(fs::exists(base_ / "other.txt"));
  EXPECT_VELK_ERROR(run("x = (\"ab\" * 501)"), "value too large");
  EXPECT_VELK_ERROR(run("$writefile$(\"../escaped.txt\" \"x\")"), "path outside the sandbox");
}

TEST_F(RunLimitsTest, TimeBudgetEndsALongRun) {
  limits_.maxTime = std::chrono::milliseconds(50);
  EXPECT_VELK_ERROR(run("until (1) { }"), "time limit reached");
}

TEST_F(RunLimitsTest, MemoryBudgetReadsTheGivenMeasure) {
  static size_t inUse = 0;
  limits_.memoryInUse = [] { return inUse; };
  limits_.maxMemoryBytes = 1000;
  inUse = 10;
  EXPECT_NO_THROW(run("x = 1"));
  inUse = 2000;
  EXPECT_VELK_ERROR(run("x = 1"), "memory limit reached");
}

TEST_F(RunLimitsTest, ValueCapBoundsEveryGrowingOperation) {
  limits_.maxValueBytes = 1000;
  EXPECT_NO_THROW(run("x = (\"ab\" * 500)"));
  EXPECT_VELK_ERROR(run("x = (\"ab\" * 501)"), "value too large");
  EXPECT_VELK_ERROR(run("x = \"abcdefgh\"\nuntil (1) { x = (x + x) }"), "value too large");
  // Lists that share their elements grow their text twice per level.
  const char* nested = "list l\nadd l \"abcdefgh\"\nn = 0\nuntil (n < 20) { list m\nadd m l\nadd m l\nl = m\nn += 1 }\n";
  EXPECT_VELK_ERROR(run(std::string(nested) + "x = $str$(l)"), "value too large");
  EXPECT_VELK_ERROR(run(std::string(nested) + "x = $encodelist$(l)"), "value too large");
  // Every place that takes a list's text is bounded: printing it, the other
  // conversions, comparing it, finding it in a list, running it and reading
  // a member or a path named by it.
  for (const char* use : {"$print$(l)", "x = $func$(l)", "x = $turn$(l \"string\")", "x = (l == l)",
                          "x = (l != \"x\")", "list w\nadd w l\nwhere w l at", "exec l", "x = (l -> l)",
                          "also l", "$writefile$(\"f.txt\" l)", "x = $exists$(l)"}) {
    SCOPED_TRACE(use);
    EXPECT_VELK_ERROR(run(std::string(nested) + use), "value too large");
  }
}

}  // namespace
}  // namespace velk
