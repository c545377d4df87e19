// Base64 (RFC 4648, section 4: standard alphabet, "=" padding, no line breaks).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velk {

std::string base64Encode(std::string_view bytes);

// Raises one of three errors: "Invalid base64 encoded data - Size not divisible
// by 4", "... - Found more than 2 padding signs", "... - Invalid character".
std::string base64Decode(std::string_view text);

}  // namespace velk
