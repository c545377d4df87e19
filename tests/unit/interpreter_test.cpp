// The interpreter as an object: two in one process share nothing, a run hands
// its caller's maps back even when it ends by an error, builtins bound to a
// call follow the interpreter's table, and the depth guards hold without a
// large stack set up by the host.
#include "interp/interpreter.h"
#include "interp/evaluator.h"
#include "interp/executor.h"
#include "test_support.h"

namespace velk {
namespace {

using testing::TestInterpreter;

// Runs a script on one map given as both maps, so that what it binds stays
// bound for the next script, as typed lines share one scope.
void run(Interpreter& interp, std::string_view script, VarMap& global) {
  ProgramRef program = compileProgram(splitStatements(script));
  executeStatements(interp, *program, &global, &global);
}

TEST(Interpreter, TwoInterpretersShareNothing) {
  TestInterpreter a, b;
  VarMap globalA, globalB;
  run(a.interp, "x = 1\n$print$(\"from a\")", globalA);
  run(b.interp, "x = 2\n$print$((x + 40))", globalB);
  EXPECT_EQ(a.console.output, "from a\n");
  EXPECT_EQ(b.console.output, "42\n");
  ASSERT_NE(globalA.find(Text("x")), nullptr);
  EXPECT_EQ(globalA.find(Text("x"))->intValue, 1);

  // An error deep inside one leaves the other, and itself, ready to go on.
  EXPECT_VELK_ERROR(run(a.interp, "f = { end (1 + $f) }\n$f", globalA), "recursion too deep");
  EXPECT_EQ(a.interp.nesting(), 0u);
  run(b.interp, "$print$(\"still here\")", globalB);
  EXPECT_EQ(b.console.output, "42\nstill here\n");
  run(a.interp, "$print$(x)", globalA);
  EXPECT_EQ(a.console.output, "from a\n1\n");
}

TEST(Interpreter, ANameSpeltLikeALiteralHidesItOnlyWhereItIsBound) {
  TestInterpreter a, b;
  VarMap globalA, globalB;
  run(a.interp, "1 = 5\n$print$((1 + 1))", globalA);
  run(b.interp, "y = 3\n$print$((1 + 1))", globalB);
  EXPECT_EQ(a.console.output, "10\n");
  EXPECT_EQ(b.console.output, "2\n");
  // b still reads its literals where they lie, without a lookup first.
  EXPECT_TRUE(globalA.mayHideTerms());
  EXPECT_FALSE(globalB.mayHideTerms());
}

TEST(Interpreter, EachHasItsOwnBuiltinTable) {
  TestInterpreter full;
  testing::RecordingConsole console;
  Interpreter bare(console);  // no builtins registered
  Text call("$size$(\"abc\")");
  VarMap vars;
  // One text, bound once under each table: the binding follows the table.
  EXPECT_EQ(evaluateExpression(full.interp, call, vars, Blocks::Run).intValue, 3);
  // Without builtins, `size` is a user call whose callee term does not read.
  EXPECT_VELK_ERROR(evaluateExpression(bare, call, vars, Blocks::Run), "stoi");
  registerBuiltins(bare.builtins());
  EXPECT_EQ(evaluateExpression(bare, call, vars, Blocks::Run).intValue, 3);
}

TEST(Interpreter, ErrorsNameTheInnermostStatement) {
  TestInterpreter t;
  VarMap global;
  EXPECT_VELK_ERROR_THEN(run(t.interp, "s = 1\nf = { b = (s -> \"m\") }\ny = $f", global), "no such member",
                         EXPECT_EQ(e_.statement(), "b = (s -> \"m\")"));
  // The next error, outside any nested run, names its own statement.
  EXPECT_VELK_ERROR_THEN(run(t.interp, "z = nothing", global), "stoi", EXPECT_EQ(e_.statement(), "z = nothing"));
}

TEST(Interpreter, ARunEndedByAnErrorHandsTheMapsBack) {
  TestInterpreter t;
  VarMap outer, local;
  outer.set(Text("kept"), newValue(Value::integer(7)));
  local.set(Text("mine"), newValue(Value::integer(8)));
  ProgramRef program = compileProgram(splitStatements("made = 1\nkept = 9\nboom = (1 -> \"m\")"));
  EXPECT_VELK_ERROR(executeStatements(t.interp, *program, &outer, &local), "no such member");
  ASSERT_NE(outer.find(Text("kept")), nullptr);
  EXPECT_EQ(outer.find(Text("kept"))->intValue, 9);  // changed before the error, in place
  ASSERT_NE(local.find(Text("mine")), nullptr);
  ASSERT_NE(local.find(Text("made")), nullptr);
  EXPECT_EQ(local.find(Text("made"))->intValue, 1);
  EXPECT_EQ(t.interp.nesting(), 0u);
}

TEST(Interpreter, ACyclicListFailsInsteadOfOverflowingTheStack) {
  // No large stack and no host set-up: the guard arms from this thread's stack.
  TestInterpreter t;
  VarMap global;
  EXPECT_VELK_ERROR(run(t.interp, "list l\nadd l 0\nindex l 0 e\ne = l\n$print$(l)", global), "recursion too deep");
  EXPECT_VELK_ERROR(run(t.interp, "$encodelist$(l)", global), "recursion too deep");
  run(t.interp, "e = 0", global);  // break the cycle, which nothing else would free
}

}  // namespace
}  // namespace velk
