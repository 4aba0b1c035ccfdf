// What the request encoder tests look at: the stored result, read as a wire message or as
// an error record.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoding_result.h"
#include "geometry.h"
#include "ovra_types.pb.h"

namespace lorengraph::test_encoders {

// The literal's bytes, zero bytes included.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// Encodes and parses the request bytes; fails the test if encoding reported an error.
template <class Message, class Encoder>
Message encode_ok(Encoder& encoder) {
  encoder.encode();
  Message message;
  const EncodingResult* result = encoder.get_encoding_result();
  if (result == nullptr) {
    ADD_FAILURE() << "no result after encode()";
    return message;
  }
  EXPECT_TRUE(result->error.empty()) << result->error.error_code << " " << result->error.error_message;
  EXPECT_TRUE(message.ParseFromString(result->byte_buffer.bytes));
  return message;
}

// Encodes and expects exactly this error and no bytes.
template <class Encoder>
void expect_encode_error(Encoder& encoder, std::int64_t code, const std::string& message) {
  encoder.encode();
  const EncodingResult* result = encoder.get_encoding_result();
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->error.error_code, code);
  EXPECT_EQ(result->error.error_message, message);
  EXPECT_TRUE(result->byte_buffer.bytes.empty());
}

inline std::shared_ptr<geometry_t> polyline(std::vector<double> coords) {
  auto g = std::make_shared<geometry_t>();
  g->geometry_type = ovraGeometryPolyline;
  g->lengths = {static_cast<std::int32_t>(coords.size() / 2)};
  g->coords = std::move(coords);
  return g;
}

inline ovraPBuffer::OvraTypes::SpatialReference wire_spatial_reference(std::uint32_t wkid, const std::string& wkt = "") {
  ovraPBuffer::OvraTypes::SpatialReference sr;
  sr.set_wkid(wkid);
  sr.set_wkt(wkt);
  return sr;
}

}  // namespace lorengraph::test_encoders
