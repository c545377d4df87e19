// Number reading and formatting with the language's 32-bit and single-precision
// reading rules.
#include "value/numbers.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/error.h"

namespace velk {
namespace {

bool isBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Where an integer's digits start: past optional white space and a sign.
size_t digitsStart(std::string_view text, bool& negative) {
  size_t i = 0;
  while (i < text.size() && isBlank(static_cast<unsigned char>(text[i]))) ++i;
  negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  return i;
}

}  // namespace

bool startsWithInteger(std::string_view text) {
  bool negative;
  size_t i = digitsStart(text, negative);
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

bool maySpellLiteral(std::string_view name) {
  if (name.empty()) return false;
  const char c = name.front();
  return c == '"' || c == '\'' || name.find('.') != std::string_view::npos || startsWithInteger(name);
}

int32_t readInteger(std::string_view text) {
  bool negative;
  size_t i = digitsStart(text, negative);
  size_t start = i;
  uint64_t magnitude = 0;
  bool tooLarge = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (!tooLarge) {
      magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
      if (magnitude > 2147483648ull) tooLarge = true;
    }
  }
  if (i == start)
    throw VelkError("stoi", ErrorKind::InvalidArgument,
                    text.empty() ? std::string("an empty text is not an integer")
                                 : "the text " + quoteForReport(text) + " does not start with an integer");
  if (tooLarge || (!negative && magnitude > 2147483647ull)) {
    // The text itself when it is the number, else the number at its start.
    std::string subject = i == text.size() ? quoteForReport(text)
                                           : "the integer at the start of " + quoteForReport(text);
    throw VelkError("stoi", ErrorKind::OutOfRange,
                    subject + " is outside the integer range -2147483648 to 2147483647");
  }
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude))
                  : static_cast<int32_t>(magnitude);
}

float readFloat(const std::string& text) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  float x = std::strtof(start, &end);
  if (end == start)
    throw VelkError("stof", ErrorKind::InvalidArgument,
                    text.empty() ? std::string("an empty text is not a number")
                                 : "the text " + quoteForReport(text) + " does not start with a number");
  if (errno == ERANGE) {
    std::string subject = *end == '\0' ? quoteForReport(text) : "the number at the start of " + quoteForReport(text);
    // Overflow gives an infinity; underflow a number at or near zero.
    bool tooLarge = x == HUGE_VALF || x == -HUGE_VALF;
    throw VelkError("stof", ErrorKind::OutOfRange,
                    subject + (tooLarge ? " is beyond the float range, about -3.4e38 to 3.4e38"
                                        : " is too close to zero for a float"));
  }
  return x;
}

std::string formatInteger(int64_t n) { return std::to_string(n); }

std::string formatFloat(long double x) {
  char small[64];
  int n = std::snprintf(small, sizeof small, "%Lf", x);
  if (n >= 0 && static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  // Large magnitudes print every integer digit: up to about 4940 characters.
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::snprintf(big.data(), big.size(), "%Lf", x);
  return std::string(big.data(), static_cast<size_t>(n));
}

}  // namespace velk
