// The varint length prefix in front of each message of a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lorengraph {

struct LengthPrefix {
  enum Status {
    none,        // no bytes at all
    complete,    // the whole message follows
    incomplete,  // the prefix or the message is cut; more bytes may complete it
    invalid,     // no message can have this length (not a varint, or 2 GiB or more)
  };
  Status status = none;
  std::uint32_t length = 0;     // the message's length, for complete
  std::size_t prefix_size = 0;  // bytes taken by the prefix itself, for complete
};

// Reads the prefix at the start of `bytes`.
inline LengthPrefix read_length_prefix(std::string_view bytes) {
  LengthPrefix prefix;
  if (bytes.empty()) return prefix;
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < 10; ++i) {
    if (i == bytes.size()) {
      prefix.status = LengthPrefix::incomplete;
      return prefix;
    }
    const auto byte = static_cast<std::uint8_t>(bytes[i]);
    value |= static_cast<std::uint64_t>(byte & 0x7F) << (7 * i);
    if ((byte & 0x80) == 0) {
      if (value > 0x7FFFFFFF) break;
      prefix.length = static_cast<std::uint32_t>(value);
      prefix.prefix_size = i + 1;
      prefix.status = prefix.length <= bytes.size() - prefix.prefix_size ? LengthPrefix::complete
                                                                          : LengthPrefix::incomplete;
      return prefix;
    }
  }
  prefix.status = LengthPrefix::invalid;
  return prefix;
}

// Appends `length` as a base-128 varint, the prefix that read_length_prefix reads.
inline void append_length_prefix(std::string& out, std::uint32_t length) {
  while (length >= 0x80) {
    out.push_back(static_cast<char>((length & 0x7F) | 0x80));
    length >>= 7;
  }
  out.push_back(static_cast<char>(length));
}

}  // namespace lorengraph
