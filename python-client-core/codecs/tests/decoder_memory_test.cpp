// A few bytes from the network must not make the decoder claim memory out of all proportion
// to them. Each stream is decoded in a child process whose address space is capped, so a
// runaway allocation shows up as "Out of memory!" instead of taking the machine down.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoder_run.h"
#include "result_stream.h"

namespace lorengraph {
namespace {

using namespace test_streams;

constexpr rlim_t kBudget = rlim_t{1} << 30;  // far above what these streams need

// Runs in the child: decodes `stream` under the budget and exits 0 when `accept` likes the
// outcome, 1 (printing it) when not.
template <class Accept>
[[noreturn]] void decode_within_budget(const std::string& stream, Accept accept) {
  const rlimit limit{kBudget, kBudget};
  if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
  const DecodeRun run = run_decoder({stream});
  if (accept(run)) std::_Exit(0);
  std::fprintf(stderr, "outcome: %zu rows, error %lld \"%s\"\n", run.rows.size(),
               static_cast<long long>(run.error.error_code), run.error.error_message.c_str());
  std::_Exit(1);
}

class DecoderMemory : public ::testing::Test {
 protected:
  void SetUp() override {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the budget allows";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
};

// The budget itself is no obstacle to ordinary streams.
TEST_F(DecoderMemory, OrdinaryStreamsFitTheBudget) {
  std::vector<pb::GraphQueryRow> rows;
  for (int i = 0; i < 1000; ++i) rows.push_back(row({int_cell(i), string_cell(std::string(100, 'x'))}));
  const std::string stream = framed(header({"i", "s"})) + framed_frame(frame(std::move(rows)));
  EXPECT_EXIT(decode_within_budget(stream, [](const DecodeRun& run) { return run.rows.size() == 1000; }),
              ::testing::ExitedWithCode(0), "");
}

// 6000 columns and 6000 empty rows, about 24 KB: the first row is already wrong.
TEST_F(DecoderMemory, ShortRowsUnderManyColumnsFailAsABadFrame) {
  const std::size_t n = 6000;
  pb::GraphQueryResultFrame f;
  for (std::size_t i = 0; i < n; ++i) f.add_rows();
  const std::string stream = framed(header(std::vector<std::string>(n, ""))) + framed(f);
  EXPECT_EXIT(decode_within_budget(stream,
                                   [](const DecodeRun& run) {
                                     return run.error.error_code == -3 &&
                                            run.error.error_message == "Error decoding result frame!";
                                   }),
              ::testing::ExitedWithCode(0), "");
}

// Four cells of about a dozen bytes each, every one an array of 2^24 nulls.
TEST_F(DecoderMemory, NullArraysDoNotOutgrowTheirStream) {
  pb::AnyValue nulls;
  nulls.mutable_array_value()->mutable_null_values()->set_count(1 << 24);
  const std::string stream =
      framed(header({"a", "b", "c", "d"})) + framed_frame(frame({row({nulls, nulls, nulls, nulls})}));
  ASSERT_LT(stream.size(), 128u);
  EXPECT_EXIT(decode_within_budget(stream,
                                   [](const DecodeRun& run) { return run.error.error_message != "Out of memory!"; }),
              ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace lorengraph
