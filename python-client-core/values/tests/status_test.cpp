#include <gtest/gtest.h>

#include <stdexcept>

#include "error.h"

namespace lorengraph {
namespace {

TEST(ErrorRecord, EmptyOnlyWithoutCodeAndMessage) {
  EXPECT_TRUE(kg_error_t{}.empty());
  EXPECT_FALSE((kg_error_t{0, "message"}.empty()));
  EXPECT_FALSE((kg_error_t{-1, ""}.empty()));
}

TEST(ThrowStatusError, MapsCodesToKindsAndMessages) {
  struct Case {
    std::int32_t status;
    bool invalid_argument;
    const char* message;
  };
  const Case cases[] = {
      {KG_E_INVALIDARG, true, "Invalid argument."},
      {KG_E_NOTIMPL, true, "Not implemented."},
      {KG_E_NO_SPATIAL_REFERENCE, true,
       "Geometry quantization not possible without valid spatial reference info. Maybe XY "
       "resolution was not set?"},
      {KG_E_FAIL, false, "Unexpected failure."},
      {KG_E_NULL, false, "Unexpected failure."},
      {KG_E_BAD_STATE, false, "Unexpected failure."},
      {-100, false, "Unexpected failure."},
  };
  for (const Case& c : cases) {
    try {
      throw_status_error(c.status);
    } catch (const std::invalid_argument& e) {
      EXPECT_TRUE(c.invalid_argument) << c.status;
      EXPECT_STREQ(e.what(), c.message);
      continue;
    } catch (const std::logic_error& e) {
      EXPECT_FALSE(c.invalid_argument) << c.status;
      EXPECT_STREQ(e.what(), c.message);
      continue;
    }
    ADD_FAILURE() << "no exception for " << c.status;
  }
}

}  // namespace
}  // namespace lorengraph
