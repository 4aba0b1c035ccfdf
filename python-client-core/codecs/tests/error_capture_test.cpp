// How the request encoders turn what escapes an encoding into their stored error record.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "error.h"
#include "error_capture.h"

namespace lorengraph {
namespace {

TEST(ErrorCapture, EachKindOfFailureGetsItsCode) {
  const char* const no_quantization =
      "Geometry quantization not possible without valid spatial reference info. Maybe XY resolution was not set?";
  struct Case {
    const char* name;
    std::function<void()> encode;
    std::int64_t code;
    std::string message;
  };
  const Case cases[] = {
      {"invalid argument", [] { throw std::invalid_argument("Empty search query."); }, -1, "Empty search query."},
      {"status -3", [] { throw_status_error(KG_E_INVALIDARG); }, -1, "Invalid argument."},
      {"status -5", [] { throw_status_error(KG_E_NOTIMPL); }, -1, "Not implemented."},
      {"status -6", [] { throw_status_error(KG_E_NO_SPATIAL_REFERENCE); }, -1, no_quantization},
      {"status -4", [] { throw_status_error(KG_E_BAD_STATE); }, -998, "Unexpected failure."},
      {"status -2", [] { throw_status_error(KG_E_NULL); }, -998, "Unexpected failure."},
      {"status -1", [] { throw_status_error(KG_E_FAIL); }, -998, "Unexpected failure."},
      {"domain error", [] { throw std::domain_error("cannot divide 1 by 0."); }, -998, "cannot divide 1 by 0."},
      {"out of memory", [] { throw std::bad_alloc(); }, -998, std::bad_alloc().what()},
      {"not a standard exception", [] { throw 42; }, -999, "Unexpected failure."},
      {"neither bytes nor an error", [] {}, -999, "Unexpected failure."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncodingResult result;
    result.byte_buffer.bytes = "stale";  // reset before the encoding runs
    capture_encoding(result, [&] { c.encode(); });
    EXPECT_EQ(result.error.error_code, c.code);
    EXPECT_EQ(result.error.error_message, c.message);
    EXPECT_TRUE(result.byte_buffer.bytes.empty());
    EXPECT_TRUE(result.present());
  }
}

TEST(ErrorCapture, BytesWithoutAFailureAreASuccess) {
  EncodingResult result;
  result.error = kg_error_t{-1, "stale"};
  capture_encoding(result, [&] { result.byte_buffer.bytes = "\x0A\x01q"; });
  EXPECT_TRUE(result.error.empty());
  EXPECT_EQ(result.byte_buffer.bytes, "\x0A\x01q");
}

}  // namespace
}  // namespace lorengraph
