// The words' one-line descriptions, in the manual's terms.
#include "builtins/word_usage.h"

namespace velk {

std::span<const WordUsage> wordUsages() {
  static constexpr WordUsage kWords[] = {
      {"print", false, "$print$(value [mode])",
       "writes value, then a line end; mode \"n\" a line end, \"r\" a carriage return, anything else nothing"},
      {"input", false, "$input", "reads one line from standard input and gives it as a string"},
      {"size", false, "$size$(value)", "the byte length of a string, otherwise the number of elements"},
      {"turn", false, "$turn$(value type)", "value converted to the type that the text type names"},
      {"str", false, "$str$(value)", "value converted to a string"},
      {"int", false, "$int$(value)", "value converted to an integer"},
      {"float", false, "$float$(value)", "value converted to a float"},
      {"func", false, "$func$(value)", "a func stays a func; anything else becomes a string"},
      {"list", false, "$list$(value)", "value converted to a list (`list NAME` makes an empty one)"},
      {"bytes", false, "$bytes$(value)", "value converted to bytes"},
      {"typeof", false, "$typeof$(value)", "the name of value's type, as a string"},
      {"werhatdasgemacht", false, "$werhatdasgemacht", "prints the maker's logo"},
      {"readfile", false, "$readfile$(path)", "the file's text as one string (empty when it cannot be read)"},
      {"writefile", false, "$writefile$(path text)", "writes text to the file, creating or replacing it"},
      {"readbinfile", false, "$readbinfile$(path)", "the file's bytes"},
      {"writebinfile", false, "$writebinfile$(path bytes)", "writes a bytes value to the file"},
      {"mkdir", false, "$mkdir$(path)", "makes one folder"},
      {"rm", false, "$rm$(path)", "removes a file, or a folder with everything in it"},
      {"listdir", false, "$listdir$(path)", "the names in a folder, as a list of strings"},
      {"exists", false, "$exists$(path)", "1 when the path exists, else 0"},
      {"isdir", false, "$isdir$(path)", "1 when the path is a folder, else 0"},
      {"cd", false, "$cd$(path)", "changes the current folder"},
      {"whereami", false, "$whereami", "the current folder, as an absolute path"},
      {"base64encode", false, "$base64encode$(value)", "the Base64 text of value's display form"},
      {"base64decode", false, "$base64decode$(text)", "the bytes that a Base64 text holds, as a string"},
      {"encodebytes", false, "$encodebytes$(bytes)", "the bytes as signed numbers, separated by blanks"},
      {"decodebytes", false, "$decodebytes$(text)", "the bytes that blank-separated numbers give"},
      {"encodelist", false, "$encodelist$(list)", "the list in encoded-list form, such as (1 \"a\" (2))"},
      {"decodelist", false, "$decodelist$(text)", "the list that an encoded-list text describes"},
      {"setargmap", false, "$setargmap$(name names)",
       "gives the function in variable name the argument names in the list names"},
      {"beep", false, "$beep", "rings the terminal's bell"},
      {"compare", true, "compare COND BODY", "runs BODY once when COND is not 0"},
      {"each", true, "each COLLECTION BODY",
       "runs BODY once per element of a list (or byte of a string), with `element` bound to it"},
      {"until", true, "until COND BODY", "runs BODY again and again while COND is not 0"},
      {"end", true, "end [VALUE]", "ends the current function, block or file, with VALUE as its result"},
      {"list", true, "list NAME", "binds NAME to a new, empty list"},
      {"add", true, "add NAME VALUE", "appends a copy of VALUE to the list in NAME"},
      {"index", true, "index NAME POS OUT", "binds OUT to the element at POS (from 0) of the list or string in NAME"},
      {"where", true, "where NAME VALUE OUT",
       "binds OUT to the position of the first element equal to VALUE (the size when none is)"},
      {"remove", true, "remove NAME POS", "removes the element at POS (from 0) from the list in NAME"},
      {"exec", true, "exec TEXT", "runs TEXT as code in the current scope"},
      {"also", true, "also NAME", "loads and runs NAME.VELK, from lib/ when it is there"},
      {"class", true, "class NAME BLOCK", "runs BLOCK in a scope of its own and makes NAME of what it defines"},
  };
  return kWords;
}

}  // namespace velk
