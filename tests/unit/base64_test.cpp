// Base64 (standard alphabet, "=" padding): encoding, decoding and the three
// decoding errors.
#include <random>
#include <string>

#include "test_support.h"
#include "codec/base64.h"

namespace velk {
namespace {

const char kSizeError[] = "Invalid base64 encoded data - Size not divisible by 4";
const char kPaddingError[] = "Invalid base64 encoded data - Found more than 2 padding signs";
const char kCharError[] = "Invalid base64 encoded data - Invalid character";

std::string allBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

TEST(Base64, EncodesStandardVectors) {
  EXPECT_EQ(base64Encode(""), "");
  EXPECT_EQ(base64Encode("a"), "YQ==");
  EXPECT_EQ(base64Encode("ab"), "YWI=");
  EXPECT_EQ(base64Encode("abc"), "YWJj");
  EXPECT_EQ(base64Encode("f"), "Zg==");
  EXPECT_EQ(base64Encode("fo"), "Zm8=");
  EXPECT_EQ(base64Encode("foo"), "Zm9v");
  EXPECT_EQ(base64Encode("foob"), "Zm9vYg==");
  EXPECT_EQ(base64Encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(base64Encode("foobar"), "Zm9vYmFy");
  EXPECT_EQ(base64Encode(std::string("\xFB\xEF\xBE", 3)), "++++");
  EXPECT_EQ(base64Encode(std::string("\xFF\xFF\xFF", 3)), "////");
  EXPECT_EQ(base64Encode(std::string("\0\0\0", 3)), "AAAA");
  EXPECT_EQ(base64Encode(std::string("\0", 1)), "AA==");
  EXPECT_EQ(base64Encode(std::string("\xFF", 1)), "/w==");
  EXPECT_EQ(base64Encode(std::string("\xFF\xFE", 2)), "//4=");
}

TEST(Base64, RoundTripsAnyBytes) {
  std::string bytes = allBytes();
  std::string encoded = base64Encode(bytes);
  EXPECT_EQ(encoded.size(), 4u * 86u);
  EXPECT_EQ(encoded.substr(0, 8), "AAECAwQF");
  EXPECT_EQ(base64Decode(encoded), bytes);

  std::mt19937 rng(1234);
  for (size_t n = 0; n < 40; ++n) {
    std::string sample;
    for (size_t i = 0; i < n; ++i) sample += static_cast<char>(rng() & 0xFF);
    std::string text = base64Encode(sample);
    EXPECT_EQ(text.size(), 4 * ((n + 2) / 3)) << n;
    EXPECT_EQ(text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    EXPECT_EQ(base64Decode(text), sample) << n;
  }
}

TEST(Base64, DecodesValidTexts) {
  EXPECT_EQ(base64Decode(""), "");
  EXPECT_EQ(base64Decode("YQ=="), "a");
  EXPECT_EQ(base64Decode("YWI="), "ab");
  EXPECT_EQ(base64Decode("YWJj"), "abc");
  EXPECT_EQ(base64Decode("Zm9vYmFy"), "foobar");
  EXPECT_EQ(base64Decode("AAAA"), std::string("\0\0\0", 3));
  EXPECT_EQ(base64Decode("++++"), std::string("\xFB\xEF\xBE", 3));
  // Bits of the last character that fill no whole byte are not looked at.
  EXPECT_EQ(base64Decode("YR=="), "a");
  EXPECT_EQ(base64Decode("YWJ="), "ab");
}

TEST(Base64, SizeIsCheckedFirst) {
  EXPECT_VELK_ERROR(base64Decode("YQ="), kSizeError);
  EXPECT_VELK_ERROR(base64Decode("Y"), kSizeError);
  EXPECT_VELK_ERROR(base64Decode("YWJjY"), kSizeError);
  EXPECT_VELK_ERROR(base64Decode("!!!"), kSizeError);  // bad characters, but the size fails first
  EXPECT_VELK_ERROR(base64Decode("YWJj\n"), kSizeError);
}

TEST(Base64, TooMuchPadding) {
  EXPECT_VELK_ERROR(base64Decode("Y==="), kPaddingError);
  EXPECT_VELK_ERROR(base64Decode("===="), kPaddingError);
  EXPECT_VELK_ERROR(base64Decode("!==="), kPaddingError);  // padding is counted before characters are
  EXPECT_VELK_ERROR(base64Decode("YWJj=A=="), kPaddingError);  // "=" anywhere among the last four
}

TEST(Base64, InvalidCharacters) {
  EXPECT_VELK_ERROR(base64Decode("Y=Q="), kCharError);
  EXPECT_VELK_ERROR(base64Decode("YQ=A"), kCharError);
  EXPECT_VELK_ERROR(base64Decode("=QQQ"), kCharError);
  EXPECT_VELK_ERROR(base64Decode("YQ==YQ=="), kCharError);  // padding in an earlier group
  EXPECT_VELK_ERROR(base64Decode("YW\nj"), kCharError);      // a line break that keeps the size
  EXPECT_VELK_ERROR(base64Decode("YW j"), kCharError);
  EXPECT_VELK_ERROR(base64Decode("YW-j"), kCharError);       // URL-safe alphabet is not accepted
  EXPECT_VELK_ERROR(base64Decode("YW_j"), kCharError);
  EXPECT_VELK_ERROR(base64Decode("!AAAYQ=="), kCharError);
  EXPECT_VELK_ERROR(base64Decode(std::string("YW\0j", 4)), kCharError);
  // Bytes above 0x7F must not index outside the tables.
  EXPECT_VELK_ERROR(base64Decode("\xC3\xA9" "AA"), kCharError);
  EXPECT_VELK_ERROR(base64Decode("AA\xFF="), kCharError);
  EXPECT_VELK_ERROR(base64Decode("A\x80=="), kCharError);
}

}  // namespace
}  // namespace velk
