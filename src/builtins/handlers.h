// The handlers of the 31 builtins, one function each, all of one signature.
#pragma once

#include "builtins/registry.h"

namespace velk::builtins {

// Console, type and conversion.
void print(Evaluator& ev, Value& result, VarMap callMap);
void input(Evaluator& ev, Value& result, VarMap callMap);
void size(Evaluator& ev, Value& result, VarMap callMap);
void turn(Evaluator& ev, Value& result, VarMap callMap);
void str(Evaluator& ev, Value& result, VarMap callMap);
void toInt(Evaluator& ev, Value& result, VarMap callMap);
void toFloat(Evaluator& ev, Value& result, VarMap callMap);
void func(Evaluator& ev, Value& result, VarMap callMap);
void list(Evaluator& ev, Value& result, VarMap callMap);
void werhatdasgemacht(Evaluator& ev, Value& result, VarMap callMap);
void typeOf(Evaluator& ev, Value& result, VarMap callMap);
void whereami(Evaluator& ev, Value& result, VarMap callMap);
void bytes(Evaluator& ev, Value& result, VarMap callMap);
void beep(Evaluator& ev, Value& result, VarMap callMap);

// Files and directories.
void readfile(Evaluator& ev, Value& result, VarMap callMap);
void writefile(Evaluator& ev, Value& result, VarMap callMap);
void readbinfile(Evaluator& ev, Value& result, VarMap callMap);
void writebinfile(Evaluator& ev, Value& result, VarMap callMap);
void mkdir(Evaluator& ev, Value& result, VarMap callMap);
void rm(Evaluator& ev, Value& result, VarMap callMap);
void listdir(Evaluator& ev, Value& result, VarMap callMap);
void exists(Evaluator& ev, Value& result, VarMap callMap);
void cd(Evaluator& ev, Value& result, VarMap callMap);
void isdir(Evaluator& ev, Value& result, VarMap callMap);

// Encodings and argument names.
void encodelist(Evaluator& ev, Value& result, VarMap callMap);
void decodelist(Evaluator& ev, Value& result, VarMap callMap);
void base64encode(Evaluator& ev, Value& result, VarMap callMap);
void base64decode(Evaluator& ev, Value& result, VarMap callMap);
void setargmap(Evaluator& ev, Value& result, VarMap callMap);
void encodebytes(Evaluator& ev, Value& result, VarMap callMap);
void decodebytes(Evaluator& ev, Value& result, VarMap callMap);

// The logo that `werhatdasgemacht` draws.
extern const char kLogo[];

}  // namespace velk::builtins
