// Helpers shared by the quantization and codec tests: building the values they feed in, and
// checking both the kind and the exact text of an exception (callers turn the text into the
// message a user sees).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "geometry.h"
#include "objects.h"
#include "quantization.h"

namespace lorengraph::testing {

inline const std::string kNestingFailure = "Value is nested more than 1000 levels deep or contains itself.";

// Expects `fn` to throw exactly E (not a class derived from it) carrying `text`.
template <class E, class Fn>
void expect_failure(Fn&& fn, const std::string& text) {
  try {
    fn();
    ADD_FAILURE() << "expected " << typeid(E).name() << " \"" << text << "\", nothing was thrown";
  } catch (const E& e) {
    EXPECT_EQ(typeid(e), typeid(E)) << "thrown: " << typeid(e).name();
    EXPECT_EQ(std::string(e.what()), text);
  }
}

// Resolution 1 and origin 0 on every axis: coordinates are grid units already.
inline QuantizationContext unit_context() {
  InputQuantizationParameters input;
  input.xy_resolution = 1;
  input.z_resolution = 1;
  input.m_resolution = 1;
  QuantizationContext context;
  build_quantization_context(context, SpatialReference{}, input, Envelope{});
  return context;
}

inline geometry_t make_geometry(ovraGeometryType type, std::vector<std::int32_t> lengths,
                                std::vector<double> coords, bool has_z = false, bool has_m = false) {
  geometry_t g;
  g.geometry_type = type;
  g.lengths = std::move(lengths);
  g.coords = std::move(coords);
  g.has_z = has_z;
  g.has_m = has_m;
  return g;
}

inline std::shared_ptr<geometry_t> geometry(ovraGeometryType type, std::vector<std::int32_t> lengths,
                                            std::vector<double> coords, bool has_z = false,
                                            bool has_m = false) {
  return std::make_shared<geometry_t>(
      make_geometry(type, std::move(lengths), std::move(coords), has_z, has_m));
}

inline value_t array_of(std::vector<value_t> values) {
  auto a = std::make_shared<ArrayValue>();
  a->values = std::move(values);
  return a;
}

}  // namespace lorengraph::testing
