// The query result decoder: how rows are handed out, every failure with its code and text,
// the failed state, geometry restoring with the header's transform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder_run.h"
#include "query_result_decoder.h"
#include "result_stream.h"

namespace lorengraph {
namespace {

using namespace test_streams;

const std::vector<std::string> kTwoColumns = {"name", "age"};

pb::GraphQueryRow person(const std::string& name, std::int64_t age) {
  return row({string_cell(name), int_cell(age)});
}

std::string two_column_header() { return framed(header(kTwoColumns)); }

TEST(QueryDecoderRows, NewDecoderHasNoRowsAndRefusesEmptyChunks) {
  GraphQueryDecoder d;
  EXPECT_FALSE(d.next_row());
  EXPECT_FALSE(d.has_error());
  EXPECT_EQ(d.get_value(0), nullptr);
  EXPECT_FALSE(d.header_parsed());
  EXPECT_FALSE(d.push_buffer(""));
  EXPECT_FALSE(d.next_row());
}

TEST(QueryDecoderRows, OneChunkWithHeaderAndTwoFramesGivesOneRowPerCall) {
  GraphQueryDecoder d;
  ASSERT_TRUE(d.push_buffer(two_column_header() + framed_frame(frame({person("Ada", 36), person("Bob", 41)})) +
                            framed_frame(frame({person("Cy", 7)}))));
  std::vector<std::string> rows;
  while (d.next_row()) {
    rows.push_back(describe_row(d.current_row(), d.column_count()));
    EXPECT_EQ(d.get_value(-1), nullptr);
    EXPECT_EQ(d.get_value(2), nullptr);  // the column count
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"s3:Ada | i36", "s3:Bob | i41", "s2:Cy | i7"}));
  EXPECT_FALSE(d.has_error());
  EXPECT_EQ(d.field_names(), kTwoColumns);
  EXPECT_FALSE(d.next_row());
  EXPECT_EQ(d.get_value(0), nullptr);  // no current row any more
}

TEST(QueryDecoderRows, AChunkEndingInsideAMessageWaitsForTheNext) {
  const std::string stream = two_column_header() + framed_frame(frame({person("Ada", 36)}));
  GraphQueryDecoder d;
  ASSERT_TRUE(d.push_buffer(stream.substr(0, stream.size() - 3)));
  ASSERT_TRUE(d.push_buffer(stream.substr(stream.size() - 3)));
  EXPECT_FALSE(d.next_row());
  EXPECT_TRUE(d.next_row());
  EXPECT_EQ(describe_row(d.current_row(), 2), "s3:Ada | i36");
  EXPECT_FALSE(d.has_error());
}

TEST(QueryDecoderRows, ZeroColumnsAndEmptyRowsGiveNoRows) {
  const std::string stream = framed(header({})) + framed_frame(frame({row({}), row({})}));
  const DecodeRun run = run_decoder({stream});
  EXPECT_TRUE(run.rows.empty());
  EXPECT_TRUE(run.error.empty());
  EXPECT_EQ(run.violation, "");
}

// A service error record holding code 0 and no text reports nothing: the rows are read.
TEST(QueryDecoderRows, EmptyServiceErrorRecordsAreNoErrors) {
  pb::GraphQueryResultHeader h = header(kTwoColumns);
  h.mutable_error();
  pb::GraphQueryResultFrame f = frame({person("Ada", 36)});
  f.mutable_error();
  const DecodeRun run = run_decoder({framed(h) + framed_frame(f)});
  EXPECT_EQ(run.rows, std::vector<std::string>{"s3:Ada | i36"});
  EXPECT_TRUE(run.error.empty());
}

TEST(QueryDecoderRows, GeometriesAreRestoredWithTheHeadersTransform) {
  // Grid deltas (2, 4), (1, -1), (3, 3) in one part: running sums (2, 4), (3, 3), (6, 6).
  pb::AnyValue line = geometry_cell(2, {3}, {2, 4, 1, -1, 3, 3});
  pb::AnyValue point = geometry_cell(0, {}, {5, 6});
  pb::GraphQueryResultHeader scaled = header({"g", "p"}, 0.5, 100, -3.5);
  pb::GraphQueryResultHeader scale_only = scaled;
  scale_only.mutable_transform()->clear_translate();
  struct Case {
    pb::GraphQueryResultHeader header;
    std::vector<double> line, point;
  };
  const Case cases[] = {
      {scaled, {101, -1.5, 101.5, -2, 103, -0.5}, {102.5, -0.5}},
      {scale_only, {1, 2, 1.5, 1.5, 3, 3}, {2.5, 3}},  // translations stay at the identity
  };
  for (const Case& c : cases) {
    GraphQueryDecoder d;
    ASSERT_TRUE(d.push_buffer(framed(c.header) + framed_frame(frame({row({line, point})}))));
    ASSERT_TRUE(d.next_row());
    const auto& g = std::get<std::shared_ptr<geometry_t>>(*d.get_value(0));
    EXPECT_EQ(g->geometry_type, ovraGeometryPolyline);
    EXPECT_EQ(g->lengths, std::vector<std::int32_t>{3});
    EXPECT_EQ(g->coords, c.line);
    EXPECT_EQ(std::get<std::shared_ptr<geometry_t>>(*d.get_value(1))->coords, c.point);
  }
}

struct FailureCase {
  const char* name;
  std::string stream;
  std::size_t rows;  // rows still delivered when the stream arrives in one chunk
  std::int64_t code;
  std::string message;
};

std::vector<FailureCase> failure_cases() {
  const std::string head = two_column_header();
  const std::string two_rows = framed_frame(frame({person("Ada", 36), person("Bob", 41)}));
  pb::GraphQueryResultHeader no_transform;
  no_transform.add_field_names("a");
  pb::GraphQueryResultHeader service_error = header(kTwoColumns);
  service_error.mutable_error()->set_error_code(42);
  service_error.mutable_error()->set_error_message("Query failed.");
  pb::GraphQueryResultHeader code_zero_with_text = header(kTwoColumns);
  code_zero_with_text.mutable_error()->set_error_message("Warning only.");
  pb::GraphQueryResultFrame error_with_rows = error_frame(7, "Timed out.");
  *error_with_rows.add_rows() = person("Zed", 1);
  pb::AnyValue bad_geometry = geometry_cell(2, {5}, {1, 1, 2, 2});  // 5 points, 2 given
  pb::AnyValue negative_nulls;
  negative_nulls.mutable_array_value()->mutable_null_values()->set_count(-1);
  const std::string huge_prefix("\x80\x80\x80\x80\x08", 5);      // 2^31
  const std::string eleven_byte_prefix(std::string(10, '\x80') + '\x00');

  return {
      {"header that does not parse", framed("\xFF\xFF\xFF"), 0, -1, "Result header parsing failure!"},
      {"header without error or transform", framed(no_transform), 0, -1,
       "Result header did not include the required geometry transformation parameters!"},
      {"header carrying the service's error", framed(service_error) + two_rows, 0, 42, "Query failed."},
      {"service error with code 0 and a text", framed(code_zero_with_text) + two_rows, 0, 0, "Warning only."},
      {"frame that does not parse", head + two_rows + framed("\xFF"), 2, -1, "Result frame parsing failure!"},
      {"frame carrying the service's error", head + two_rows + framed_frame(error_with_rows), 2, 7, "Timed out."},
      {"row with a cell too few", head + framed_frame(frame({person("Ada", 36), person("Bob", 41),
                                                              row({string_cell("Cy")})})),
       2, -3, "Error decoding result frame!"},
      {"row with a cell too many", head + framed_frame(frame({row({int_cell(1), int_cell(2), int_cell(3)})})), 0,
       -3, "Error decoding result frame!"},
      // A failure thrown while decoding cells drops the rows of that next_row call.
      {"geometry whose parts do not fit", head + two_rows + framed_frame(frame({row({bad_geometry, int_cell(1)})})),
       0, -1, "Invalid geometry."},
      {"null array with a negative count", head + framed_frame(frame({row({negative_nulls, int_cell(1)})})), 0, -1,
       "Null array count out of range."},
      {"header prefix of 2^31", huge_prefix + "abc", 0, -1, "Result header parsing failure!"},
      {"header prefix longer than ten bytes", eleven_byte_prefix, 0, -1, "Result header parsing failure!"},
      {"frame prefix of 2^31", head + two_rows + huge_prefix + "abc", 2, -1, "Result frame parsing failure!"},
      {"frame prefix longer than ten bytes", head + eleven_byte_prefix, 0, -1, "Result frame parsing failure!"},
  };
}

TEST(QueryDecoderFailures, EachFailureHasItsCodeAndMessage) {
  // A well-formed frame pushed after the failure must be refused and never read.
  const std::string late_frame = framed_frame(frame({person("Late", 1)}));
  for (const FailureCase& c : failure_cases()) {
    SCOPED_TRACE(c.name);
    const DecodeRun whole = run_decoder({c.stream, late_frame});
    EXPECT_EQ(whole.rows.size(), c.rows);
    EXPECT_EQ(whole.error.error_code, c.code);
    EXPECT_EQ(whole.error.error_message, c.message);
    EXPECT_EQ(whole.violation, "");

    // Byte by byte the same failure is reached; rows before it may come out earlier.
    std::vector<std::string> bytes = one_byte_chunks(c.stream);
    bytes.push_back(late_frame);
    const DecodeRun trickled = run_decoder(bytes);
    EXPECT_TRUE(same_error(trickled.error, whole.error))
        << trickled.error.error_code << " " << trickled.error.error_message;
    EXPECT_EQ(trickled.violation, "");
    EXPECT_GE(trickled.rows.size(), c.rows);
  }
}

TEST(QueryDecoderFailures, RowsBeforeABadRowComeOutThenTheDecoderStops) {
  GraphQueryDecoder d;
  ASSERT_TRUE(d.push_buffer(two_column_header() +
                            framed_frame(frame({person("Ada", 36), row({int_cell(1)}), person("Bob", 41)}))));
  ASSERT_TRUE(d.next_row());
  EXPECT_EQ(describe_row(d.current_row(), 2), "s3:Ada | i36");
  EXPECT_TRUE(d.has_error());  // known already, while the good row is still current
  EXPECT_FALSE(d.next_row());
  EXPECT_FALSE(d.push_buffer(framed_frame(frame({person("Cy", 7)}))));
  EXPECT_FALSE(d.next_row());
  EXPECT_EQ(d.error().error_code, -3);
}

TEST(QueryDecoderFailures, ChunksQueuedBeforeAFailureAreDroppedUnread) {
  pb::GraphQueryResultHeader failed = header(kTwoColumns);
  failed.mutable_error()->set_error_code(5);
  failed.mutable_error()->set_error_message("No such graph.");
  const std::string good = framed_frame(frame({person("Ada", 36)}));
  GraphQueryDecoder d;
  const DecodeRun run = run_decoder(d, {framed(failed), good, good, good}, Drain::at_end);
  EXPECT_TRUE(run.rows.empty());
  EXPECT_EQ(run.error.error_code, 5);
  EXPECT_EQ(run.violation, "");
  EXPECT_FALSE(d.next_row());
}

TEST(QueryDecoderFailures, AnImpossiblePrefixFailsAsSoonAsItsLastByteArrives) {
  GraphQueryDecoder d;
  ASSERT_TRUE(d.push_buffer(std::string("\x80\x80\x80", 3)));
  EXPECT_FALSE(d.next_row());
  EXPECT_FALSE(d.has_error());  // 2^31 - 1 and below could still follow
  ASSERT_TRUE(d.push_buffer(std::string("\x80\x08", 2)));
  EXPECT_FALSE(d.next_row());
  EXPECT_EQ(d.error().error_message, "Result header parsing failure!");
  EXPECT_FALSE(d.push_buffer("x"));
}

TEST(QueryDecoderFailures, TheLargestPossiblePrefixWaitsWithoutFailing) {
  GraphQueryDecoder d;
  ASSERT_TRUE(d.push_buffer(std::string("\xFF\xFF\xFF\xFF\x07", 5) + "partial header"));
  EXPECT_FALSE(d.next_row());
  EXPECT_FALSE(d.has_error());
  EXPECT_TRUE(d.push_buffer("more"));
}

}  // namespace
}  // namespace lorengraph
