// Fuzz target: the Base64 decoder on any text, and encoding then decoding any
// bytes, which must give the same bytes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codec/base64.h"
#include "support/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    std::string decoded = velk::base64Decode(bytes);
    // What decodes must be what its encoding decodes to.
    if (velk::base64Decode(velk::base64Encode(decoded)) != decoded) std::abort();
  } catch (const velk::VelkError&) {
  }
  if (velk::base64Decode(velk::base64Encode(bytes)) != bytes) std::abort();
  return 0;
}
