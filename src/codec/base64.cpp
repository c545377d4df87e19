// Base64 by table lookup, without a branch per character.
//
// Encoding indexes two 256-entry character tables with whole bytes: one holds
// the alphabet four times over (entry = the byte's low six bits), the other
// each alphabet character four times in a row (entry = the byte's top six
// bits). Decoding uses one 256-entry table of 32-bit words per position in a
// group: a valid character's entry holds its six bits already shifted to their
// place in the three output bytes (first output byte lowest); every other byte,
// "=" included, maps to kBad. Or-ing the four entries of a group gives a word
// above kBad - 1 exactly when one of them was invalid.
#include "codec/base64.h"

#include <array>

#include "support/error.h"

namespace velk {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint32_t kBad = 0x01FFFFFF;

struct EncodeTables {
  std::array<char, 256> low{};  // alphabet[b & 63]
  std::array<char, 256> high{};  // alphabet[b >> 2]
};

constexpr EncodeTables makeEncodeTables() {
  EncodeTables t;
  for (int b = 0; b < 256; ++b) {
    t.low[b] = kAlphabet[b & 63];
    t.high[b] = kAlphabet[b >> 2];
  }
  return t;
}

using DecodeTable = std::array<uint32_t, 256>;

// Position 0..3 in a group. The group's 24 bits, most significant first, are
// c0 c1 c2 c3; output byte 0 (the lowest in the word) is c0 << 2 | c1 >> 4.
constexpr DecodeTable makeDecodeTable(int position) {
  DecodeTable t{};
  for (auto& e : t) e = kBad;
  for (uint32_t v = 0; v < 64; ++v) {
    auto c = static_cast<unsigned char>(kAlphabet[v]);
    uint32_t e = 0;
    switch (position) {
      case 0: e = v << 2; break;
      case 1: e = (v >> 4) | ((v & 0x0F) << 12); break;
      case 2: e = ((v >> 2) << 8) | ((v & 0x03) << 22); break;
      case 3: e = v << 16; break;
    }
    t[c] = e;
  }
  return t;
}

constexpr EncodeTables kEncode = makeEncodeTables();
constexpr DecodeTable kDecode0 = makeDecodeTable(0);
constexpr DecodeTable kDecode1 = makeDecodeTable(1);
constexpr DecodeTable kDecode2 = makeDecodeTable(2);
constexpr DecodeTable kDecode3 = makeDecodeTable(3);

[[noreturn]] void invalid(const char* what) {
  throw VelkError(std::string("Invalid base64 encoded data - ") + what, ErrorKind::Other);
}

inline unsigned char at(std::string_view s, size_t i) { return static_cast<unsigned char>(s[i]); }

}  // namespace

std::string base64Encode(std::string_view in) {
  size_t n = in.size();
  std::string out((n + 2) / 3 * 4, '=');
  size_t i = 0, o = 0;
  for (; i + 3 <= n; i += 3, o += 4) {
    unsigned char b0 = at(in, i), b1 = at(in, i + 1), b2 = at(in, i + 2);
    out[o] = kEncode.high[b0];
    out[o + 1] = kEncode.low[((b0 & 0x03) << 4) | (b1 >> 4)];
    out[o + 2] = kEncode.low[((b1 & 0x0F) << 2) | (b2 >> 6)];
    out[o + 3] = kEncode.low[b2];
  }
  if (n - i == 1) {
    unsigned char b0 = at(in, i);
    out[o] = kEncode.high[b0];
    out[o + 1] = kEncode.low[(b0 & 0x03) << 4];
  } else if (n - i == 2) {
    unsigned char b0 = at(in, i), b1 = at(in, i + 1);
    out[o] = kEncode.high[b0];
    out[o + 1] = kEncode.low[((b0 & 0x03) << 4) | (b1 >> 4)];
    out[o + 2] = kEncode.low[(b1 & 0x0F) << 2];
  }
  return out;
}

std::string base64Decode(std::string_view in) {
  size_t len = in.size();
  if (len == 0) return {};
  if (len % 4 != 0) invalid("Size not divisible by 4");
  size_t pad = 0;
  for (size_t i = len - 4; i < len; ++i) pad += in[i] == '=';
  if (pad > 2) invalid("Found more than 2 padding signs");

  std::string out(len / 4 * 3 - pad, '\0');
  size_t groups = len / 4 - (pad ? 1 : 0);
  size_t o = 0;
  for (size_t g = 0; g < groups; ++g, o += 3) {
    size_t i = g * 4;
    uint32_t w = kDecode0[at(in, i)] | kDecode1[at(in, i + 1)] | kDecode2[at(in, i + 2)] |
                 kDecode3[at(in, i + 3)];
    if (w > kBad - 1) invalid("Invalid character");
    out[o] = static_cast<char>(w & 0xFF);
    out[o + 1] = static_cast<char>((w >> 8) & 0xFF);
    out[o + 2] = static_cast<char>((w >> 16) & 0xFF);
  }
  if (pad) {
    size_t i = groups * 4;
    // The padded group: only the data characters are looked at; the bits of
    // the last one that do not fill a whole byte are dropped.
    uint32_t w = kDecode0[at(in, i)] | kDecode1[at(in, i + 1)];
    if (pad == 1) w |= kDecode2[at(in, i + 2)];
    if (w > kBad - 1) invalid("Invalid character");
    out[o] = static_cast<char>(w & 0xFF);
    if (pad == 1) out[o + 1] = static_cast<char>((w >> 8) & 0xFF);
  }
  return out;
}

}  // namespace velk
