// value_t: the tagged union that carries every data value of the graph client core.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace lorengraph {

struct geometry_t;
class ObjectValue;
class EntityValue;
class RelationshipValue;
class PathValue;
class ArrayValue;

// No value.
struct null_t {
  friend bool operator==(null_t, null_t) { return true; }
};

// 16 bytes in the byte order of the textual form: byte 0 is the first two hex digits.
struct uuid_t {
  std::array<std::uint8_t, 16> bytes{};
  friend bool operator==(const uuid_t& a, const uuid_t& b) { return a.bytes == b.bytes; }
};

// An arbitrary byte string, kept apart from text so that the two never mix.
struct blob_t {
  std::string bytes;
  friend bool operator==(const blob_t& a, const blob_t& b) { return a.bytes == b.bytes; }
};

// Nanoseconds since 1970-01-01T00:00:00 UTC.
using time_point_t = std::chrono::time_point<std::chrono::system_clock, std::chrono::nanoseconds>;

// Milliseconds, as the wire carries time, truncated toward zero.
inline std::int64_t millis_from_time_point(time_point_t tp) { return tp.time_since_epoch().count() / 1000000; }

// Milliseconds since the epoch as a time point; nothing when no 64-bit nanosecond count
// can hold them (rather than wrapping into another date).
inline std::optional<time_point_t> time_point_from_millis(std::int64_t millis) {
  constexpr std::int64_t kNanosPerMilli = 1000000;
  constexpr std::int64_t kLimit = INT64_MAX / kNanosPerMilli;
  if (millis > kLimit || millis < -kLimit) return std::nullopt;
  return time_point_t(std::chrono::nanoseconds(millis * kNanosPerMilli));
}

// The alternatives' order is their index and is part of the interface.
using value_t = std::variant<null_t,                               // 0
                             bool,                                 // 1
                             std::int64_t,                         // 2
                             float,                                // 3
                             double,                               // 4
                             uuid_t,                               // 5
                             time_point_t,                         // 6
                             std::string,                          // 7
                             blob_t,                               // 8
                             std::shared_ptr<geometry_t>,          // 9
                             std::shared_ptr<ObjectValue>,         // 10
                             std::shared_ptr<EntityValue>,         // 11
                             std::shared_ptr<RelationshipValue>,   // 12
                             std::shared_ptr<PathValue>,           // 13
                             std::shared_ptr<ArrayValue>>;         // 14

}  // namespace lorengraph
