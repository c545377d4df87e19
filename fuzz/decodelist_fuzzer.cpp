// Fuzz target: decoding an encoded list from any text, then encoding what was
// decoded and decoding that again. Errors are expected; faults are not, and
// neither is a list that the encoder writes but that does not read back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "parse/splitter.h"
#include "codec/encoded_list.h"
#include "support/error.h"

namespace {

// Decoded Values are lists, strings, integers, funcs and floats; floats are
// written with six decimals and may come back rounded, so they are not
// compared.
bool sameData(const velk::Elements& a, const velk::Elements& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const velk::Value& x = *a[i];
    const velk::Value& y = *b[i];
    if (x.typeName != y.typeName) return false;
    if (x.typeName == velk::kList && !sameData(x.elements, y.elements)) return false;
    if (x.typeName == velk::kInteger && x.intValue != y.intValue) return false;
    if ((x.typeName == velk::kString || x.typeName == velk::kFunc) && x.text != y.text) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  velk::Elements decoded;
  std::string encoded;
  try {
    decoded = velk::decodeList(text);
    encoded = velk::encodeList(decoded);
  } catch (const velk::OpenGroupError&) {
    return 0;
  } catch (const velk::VelkError&) {
    return 0;
  }
  // What the encoder wrote must read back as what it was given.
  velk::Elements again = velk::decodeList(encoded);
  if (!sameData(decoded, again)) __builtin_trap();
  return 0;
}
