// The handlers of the 31 builtins, one function each, all of one signature.
#pragma once

#include "builtins/registry.h"

namespace velk::builtins {

// Console, type and conversion.
void print(Value& result, VarMap callMap);
void input(Value& result, VarMap callMap);
void size(Value& result, VarMap callMap);
void turn(Value& result, VarMap callMap);
void str(Value& result, VarMap callMap);
void toInt(Value& result, VarMap callMap);
void toFloat(Value& result, VarMap callMap);
void func(Value& result, VarMap callMap);
void list(Value& result, VarMap callMap);
void werhatdasgemacht(Value& result, VarMap callMap);
void typeOf(Value& result, VarMap callMap);
void whereami(Value& result, VarMap callMap);
void bytes(Value& result, VarMap callMap);
void beep(Value& result, VarMap callMap);

// Files and directories.
void readfile(Value& result, VarMap callMap);
void writefile(Value& result, VarMap callMap);
void readbinfile(Value& result, VarMap callMap);
void writebinfile(Value& result, VarMap callMap);
void mkdir(Value& result, VarMap callMap);
void rm(Value& result, VarMap callMap);
void listdir(Value& result, VarMap callMap);
void exists(Value& result, VarMap callMap);
void cd(Value& result, VarMap callMap);
void isdir(Value& result, VarMap callMap);

// Encodings and argument names.
void encodelist(Value& result, VarMap callMap);
void decodelist(Value& result, VarMap callMap);
void base64encode(Value& result, VarMap callMap);
void base64decode(Value& result, VarMap callMap);
void setargmap(Value& result, VarMap callMap);
void encodebytes(Value& result, VarMap callMap);
void decodebytes(Value& result, VarMap callMap);

// The logo that `werhatdasgemacht` draws.
extern const char kLogo[];

}  // namespace velk::builtins
