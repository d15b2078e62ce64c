#pragma once
// Hexadecimal byte text as a technician types and reads it: "25 01 0C" or "25010C".
#include <optional>
#include <string>
#include <vector>

#include "link/codecs.h"

namespace cli {

// Concatenates the words and reads pairs of hex digits; blanks anywhere are ignored. On failure
// (a character that is not a hex digit, an odd number of digits) returns nothing and says why.
std::optional<devlink::Bytes> ParseHex(const std::vector<std::string>& words, std::string* error);

// Upper-case pairs separated by one blank: "25 01 0C".
using devlink::FormatHex;

}  // namespace cli
