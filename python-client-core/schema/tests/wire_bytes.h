// Hex text to raw bytes and back, so tests can state wire images readably
// ("0A 01 61") and print readable differences on failure.
#pragma once

#include <cctype>
#include <stdexcept>
#include <string>

namespace schema_test {

// Whitespace between bytes is ignored; anything else but hex digit pairs throws.
inline std::string from_hex(const std::string& hex) {
  std::string digits;
  for (char c : hex) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      throw std::invalid_argument("not a hex digit in: " + hex);
    digits += c;
  }
  if (digits.size() % 2 != 0) throw std::invalid_argument("odd number of hex digits in: " + hex);
  std::string bytes;
  for (std::size_t i = 0; i < digits.size(); i += 2)
    bytes += static_cast<char>(std::stoi(digits.substr(i, 2), nullptr, 16));
  return bytes;
}

inline std::string to_hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

}  // namespace schema_test
