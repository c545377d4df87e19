// Encoding builtins (encoded lists, Base64, byte-number text) and setargmap.
#include "builtins/handlers.h"
#include "codec/base64.h"
#include "codec/encoded_list.h"
#include "support/error.h"
#include "value/numbers.h"

namespace velk::builtins {

void encodelist(Evaluator& ev, Value& result, VarMap callMap) {
  result = Value::string(Text(encodeList(evalArgument(ev, callMap, 0).elements, ev.limits().maxValueBytes)));
}

void decodelist(Evaluator& ev, Value& result, VarMap callMap) {
  Text text = textOf(ev, evalArgument(ev, callMap, 0));
  result = Value::list(decodeList(text));
}

void base64encode(Evaluator& ev, Value& result, VarMap callMap) {
  result = Value::string(Text(base64Encode(textOf(ev, evalArgument(ev, callMap, 0)).view())));
}

void base64decode(Evaluator& ev, Value& result, VarMap callMap) {
  result = Value::string(Text(base64Decode(textOf(ev, evalArgument(ev, callMap, 0)).view())));
}

void encodebytes(Evaluator& ev, Value& result, VarMap callMap) {
  Bytes b = asBytes(evalArgument(ev, callMap, 0));
  std::string text;
  text.reserve(b.size() * 4);
  bool first = true;
  for (uint8_t byte : b.get()) {
    if (!first) text += ' ';
    first = false;
    text += std::to_string(static_cast<int8_t>(byte));  // signed: 0xFF is -1
  }
  result = Value::string(Text(std::move(text)));
}

void decodebytes(Evaluator& ev, Value& result, VarMap callMap) {
  Text text = textOf(ev, evalArgument(ev, callMap, 0));
  std::string_view rest = text.view();
  std::vector<uint8_t> data;
  // Pieces between single blanks; a blank at the end adds no piece.
  while (!rest.empty()) {
    size_t blank = rest.find(' ');
    std::string_view piece = rest.substr(0, blank);
    if (piece.empty())
      throw VelkError("stoi", ErrorKind::InvalidArgument,
                      "decodebytes found an empty piece (two blanks in a row, or a leading blank), which is not a number");
    data.push_back(static_cast<uint8_t>(readInteger(piece) & 0xFF));
    if (blank == std::string_view::npos) break;
    rest.remove_prefix(blank + 1);
  }
  result.typeName = kBytes;
  result.setBytes(Bytes(std::move(data)));
}

void setargmap(Evaluator& ev, Value&, VarMap callMap) {
  // The first argument is a variable name, taken as written.
  Text name = argumentText(ev, callMap, 0);
  const ValueRef* target = callMap.findRef(name);
  if (!target)
    fail("no such variable", "setargmap names " + quoteForReport(name.view()) + ", which is not a variable here");
  ValueRef func = *target;
  Value names = evalArgument(ev, callMap, 1);
  std::vector<Text> argNames;
  // Interned, as the names a body reads are, so that a parameter and its
  // reads are one object.
  for (const auto& e : asElements(names)) argNames.push_back(internName(textOf(ev, *e)));
  func->setArgNames(NameList(std::move(argNames)));
}

}  // namespace velk::builtins
