#include "default_value.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace lorengraph {

namespace {

// The C library's conversions: leading blanks skipped, parsing stops at the first character
// that does not fit, no number gives 0, and out-of-range text saturates.
std::int64_t parse_integer(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 10); }
float parse_single(const std::string& text) { return std::strtof(text.c_str(), nullptr); }
double parse_double(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// Truncation toward zero. A float outside the 64-bit range has no exact counterpart, so it
// saturates, and NaN, which has no integer at all, reads as 0.
std::int64_t truncate_to_integer(double number) {
  constexpr double kTwoTo63 = 9223372036854775808.0;
  if (std::isnan(number)) return 0;
  if (number >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
  if (number < -kTwoTo63) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(number);
}

value_t to_integer(value_t value) {
  if (const auto* text = std::get_if<std::string>(&value)) return parse_integer(*text);
  if (const auto* number = std::get_if<double>(&value)) return truncate_to_integer(*number);
  if (const auto* number = std::get_if<float>(&value)) return truncate_to_integer(*number);
  return value;
}

value_t to_single(value_t value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return static_cast<float>(*integer);
  if (const auto* text = std::get_if<std::string>(&value)) return parse_single(*text);
  if (const auto* number = std::get_if<double>(&value)) return static_cast<float>(*number);
  return value;
}

value_t to_double(value_t value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return static_cast<double>(*integer);
  if (const auto* text = std::get_if<std::string>(&value)) return parse_double(*text);
  if (const auto* number = std::get_if<float>(&value)) return static_cast<double>(*number);
  return value;
}

value_t to_text(value_t value) {
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return std::to_string(*integer);
  return value;
}

// Milliseconds beyond the range of a time point leave no default rather than a wrong date.
value_t to_date(value_t value) {
  if (const auto* millis = std::get_if<std::int64_t>(&value)) {
    const auto time = time_point_from_millis(*millis);
    if (!time) return null_t{};
    return *time;
  }
  return value;
}

}  // namespace

value_t convert_default_value(value_t value, ovraFieldType field_type) {
  switch (field_type) {
    case ovraFieldTypeSmallInteger:
    case ovraFieldTypeInteger:
    case ovraFieldTypeOID: return to_integer(std::move(value));
    case ovraFieldTypeSingle: return to_single(std::move(value));
    case ovraFieldTypeDouble: return to_double(std::move(value));
    case ovraFieldTypeString: return to_text(std::move(value));
    case ovraFieldTypeDate: return to_date(std::move(value));
    default: return value;
  }
}

}  // namespace lorengraph
