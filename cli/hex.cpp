#include "cli/hex.h"

namespace cli {

namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<devlink::Bytes> ParseHex(const std::vector<std::string>& words, std::string* error) {
  std::string digits;
  for (const std::string& word : words) {
    for (char c : word) {
      if (c == ' ' || c == '\t') continue;
      if (HexDigit(c) < 0) {
        if (error) *error = "\"" + word + "\" is not hexadecimal (bad character '" + c + "')";
        return std::nullopt;
      }
      digits.push_back(c);
    }
  }
  if (digits.size() % 2 != 0) {
    if (error) *error = "odd number of hex digits (" + std::to_string(digits.size()) + ")";
    return std::nullopt;
  }
  devlink::Bytes bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(HexDigit(digits[i]) * 16 + HexDigit(digits[i + 1])));
  }
  return bytes;
}

}  // namespace cli
