// Fuzz target: the splitter on any text. It may refuse a text that ends inside
// an open group; anything else it must cut without fault, and the statements
// it gives must never be empty.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "parse/splitter.h"
#include "support/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    velk::StatementList list = velk::splitStatements(text);
    for (const velk::Statement& st : list.statements)
      if (st.empty()) std::abort();  // the splitter promises no empty statement
  } catch (const velk::OpenGroupError&) {
  } catch (const velk::VelkError&) {
  }
  return 0;
}
