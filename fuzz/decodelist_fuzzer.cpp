// Fuzz target: decoding an encoded list from any text, then encoding what was
// decoded and decoding that again. Errors are expected; faults are not.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "parse/splitter.h"
#include "codec/encoded_list.h"
#include "support/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    velk::Elements decoded = velk::decodeList(text);
    std::string encoded = velk::encodeList(decoded);
    velk::decodeList(encoded);
  } catch (const velk::OpenGroupError&) {
  } catch (const velk::VelkError&) {
  }
  return 0;
}
