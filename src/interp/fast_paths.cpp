// What a check build does when a fast path and the general path disagree.
#include "interp/fast_paths.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "value/value.h"

namespace velk::fast_path {
namespace {

std::string describe(const Value& v) {
  std::string s(v.typeName.text());
  s += " int=" + std::to_string(v.intValue) + " float=" + std::to_string(static_cast<double>(v.floatValue));
  s += " text=\"";
  s += v.text.view();
  s += "\" elements=" + std::to_string(v.elements.size());
  return s;
}

bool alike(const Value& a, const Value& b) {
  if (a.typeName != b.typeName || a.intValue != b.intValue || !(a.text == b.text)) return false;
  const long double x = a.floatValue, y = b.floatValue;
  if (!(x == y) && !(x != x && y != y)) return false;
  return a.elements.sameArray(b.elements) && a.bytes().get() == b.bytes().get() &&
         a.argNames().get() == b.argNames().get() && a.members().sameAs(b.members());
}

}  // namespace

void disagree(const char* path, std::string_view fast, std::string_view general) {
  std::fprintf(stderr, "velk: the fast path %s gave %.*s where the general path gives %.*s\n", path,
               static_cast<int>(fast.size()), fast.data(), static_cast<int>(general.size()), general.data());
  std::abort();
}

void checkSame(const char* path, const Value& fast, const Value& general) {
  if (!alike(fast, general)) disagree(path, describe(fast), describe(general));
}

void checkSame(const char* path, bool fast, bool general) {
  if (fast != general) disagree(path, fast ? "true" : "false", general ? "true" : "false");
}

}  // namespace velk::fast_path
