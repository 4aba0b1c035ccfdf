#include <gtest/gtest.h>

#include <string>

#include "length_prefix.h"

namespace lorengraph {
namespace {

// The literal's bytes, zero bytes included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

TEST(LengthPrefix, ReadsCompleteIncompleteAndInvalidPrefixes) {
  struct Case {
    std::string bytes;
    LengthPrefix::Status status;
    std::uint32_t length;
    std::size_t prefix_size;
  };
  const Case cases[] = {
      {bytes(""), LengthPrefix::none, 0, 0},
      {bytes("\x00"), LengthPrefix::complete, 0, 1},
      {bytes("\x03" "abc"), LengthPrefix::complete, 3, 1},
      {bytes("\x03" "ab"), LengthPrefix::incomplete, 0, 0},
      {bytes("\x80"), LengthPrefix::incomplete, 0, 0},  // cut inside the varint
      {bytes("\x80\x01") + std::string(128, 'x'), LengthPrefix::complete, 128, 2},
      {bytes("\xFF\xFF\xFF\xFF\x07"), LengthPrefix::incomplete, 0, 0},  // 2^31 - 1: possible
      {bytes("\x80\x80\x80\x80\x08"), LengthPrefix::invalid, 0, 0},     // 2^31: never a message
      {bytes("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x01"), LengthPrefix::invalid, 0, 0},
      {bytes("\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x00"), LengthPrefix::invalid, 0, 0},  // 11 bytes
      {bytes("\x83\x80\x80\x80\x00" "abc"), LengthPrefix::complete, 3, 5},  // overlong but valid
  };
  for (const Case& c : cases) {
    const LengthPrefix p = read_length_prefix(c.bytes);
    EXPECT_EQ(p.status, c.status) << testing::PrintToString(c.bytes);
    if (c.status == LengthPrefix::complete) {
      EXPECT_EQ(p.length, c.length);
      EXPECT_EQ(p.prefix_size, c.prefix_size);
    }
  }
}

}  // namespace
}  // namespace lorengraph
