// Reads a chunked query result stream (a header, then frames of rows, each message behind a
// varint length prefix) and hands out the rows one at a time.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "data_model.h"
#include "error.h"
#include "inflate.h"
#include "query.pb.h"
#include "value_codec.h"

namespace lorengraph {

class GraphQueryDecoder : public std::enable_shared_from_this<GraphQueryDecoder> {
 public:
  // Used only when rows become plain Python data (its spatial reference).
  std::shared_ptr<DataModel> data_model;

  // Queues a copy of the chunk; false (nothing stored) for an empty or oversized chunk,
  // or once the decoder has failed. Never parses. Safe to call from another thread.
  bool push_buffer(std::string chunk);

  // Makes the next row current. False means no row is available from the chunks
  // consumed so far (not the end of the result).
  bool next_row();

  // Cell `index` of the current row; nullptr outside the row or without one.
  const value_t* get_value(int index) const;
  bool has_current_row() const { return current_ < values_.size(); }
  // The current row's cells (column_count() of them); only while has_current_row().
  const value_t* current_row() const { return values_.data() + current_; }

  bool header_parsed() const { return header_parsed_; }
  std::size_t column_count() const { return field_names_.size(); }
  const std::vector<std::string>& field_names() const { return field_names_; }

  bool has_error() const { return !error_.empty(); }
  const kg_error_t& error() const { return error_; }

 private:
  void consume(std::string_view input, bool input_is_carry);
  // The message behind the prefix at the front of `rest`, or nothing (then the stream
  // waits for more bytes, or has failed with `invalid_message`).
  bool take_message(std::string_view& rest, std::string_view& message, bool input_is_carry,
                    const char* invalid_message);
  void parse_header(std::string_view bytes);
  void parse_frames(std::string_view& rest, bool input_is_carry);
  void decode_frame(std::string_view bytes);
  void fail(std::int64_t code, std::string message);
  bool take_service_error(ovraPBuffer::graph::Error& error);
  void fail_in_decoding(std::int64_t code, std::string message);

  DecodingContext context_;  // the output transform of the header
  std::mutex queue_lock_;
  std::deque<std::string> queue_;
  std::string carry_;        // an incomplete message, from its length prefix on
  bool incomplete_ = false;
  std::vector<value_t> values_;  // the rows of the last chunk, row after row
  std::size_t current_ = 0;      // start of the current row; values_.size() when none
  bool header_parsed_ = false;
  bool frames_compressed_ = false;
  std::vector<std::string> field_names_;
  kg_error_t error_;
  google::protobuf::Arena arena_;  // holds the frame being decoded
  Inflater inflater_;              // reused for every compressed frame
};

}  // namespace lorengraph
