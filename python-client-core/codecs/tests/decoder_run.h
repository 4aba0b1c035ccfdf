// Drives a GraphQueryDecoder over a stream cut into chunks, the way a caller does, and checks
// the decoder's promises on the way: every row has one cell per column, the error record
// never changes once set, a failed decoder refuses chunks and hands out no further rows.
// Without GoogleTest, so the libFuzzer target can share it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "error.h"
#include "length_prefix.h"
#include "query.pb.h"
#include "query_result_decoder.h"
#include "result_stream.h"

namespace lorengraph::test_streams {

// The chunks of `bytes` cut at the given offsets (ascending, duplicates and 0 allowed:
// they give no empty chunk).
inline std::vector<std::string> cut(std::string_view bytes, const std::vector<std::size_t>& offsets) {
  std::vector<std::string> chunks;
  std::size_t start = 0;
  for (std::size_t offset : offsets) {
    offset = std::min(offset, bytes.size());
    if (offset > start) chunks.emplace_back(bytes.substr(start, offset - start));
    start = std::max(start, offset);
  }
  if (start < bytes.size()) chunks.emplace_back(bytes.substr(start));
  return chunks;
}

inline std::vector<std::string> one_byte_chunks(std::string_view bytes) {
  std::vector<std::string> chunks;
  for (char c : bytes) chunks.emplace_back(1, c);
  return chunks;
}

enum class Drain {
  after_each_push,  // next_row until false after every push_buffer
  at_end,           // every chunk pushed first, then next_row until the queue is empty
};

struct DecodeRun {
  std::vector<std::string> rows;  // described cells, in delivery order
  kg_error_t error;
  std::string violation;  // the first broken promise; empty when all held
};

inline bool same_error(const kg_error_t& a, const kg_error_t& b) {
  return a.error_code == b.error_code && a.error_message == b.error_message;
}

inline DecodeRun run_decoder(GraphQueryDecoder& decoder, const std::vector<std::string>& chunks,
                             Drain drain = Drain::after_each_push) {
  DecodeRun run;
  bool failed = false;
  bool false_after_failure = false;
  auto note = [&](const std::string& what) {
    if (run.violation.empty()) run.violation = what;
  };
  auto watch_error = [&] {
    if (failed) {
      if (!same_error(decoder.error(), run.error)) note("the error record changed after a failure");
    } else if (decoder.has_error()) {
      failed = true;
      run.error = decoder.error();
    }
  };
  // One next_row call; false when it had no row.
  auto step = [&] {
    const bool got = decoder.next_row();
    watch_error();
    if (!got) {
      if (decoder.has_current_row()) note("next_row returned false with a current row");
      if (failed) false_after_failure = true;
      return false;
    }
    if (false_after_failure) note("a row was delivered after a failed decoder had run dry");
    if (!decoder.has_current_row()) {
      note("next_row returned true without a current row");
      return false;
    }
    const std::size_t columns = decoder.column_count();
    for (std::size_t i = 0; i < columns; ++i) {
      if (decoder.get_value(static_cast<int>(i)) == nullptr) note("a cell inside the row is missing");
    }
    if (decoder.get_value(-1) != nullptr || decoder.get_value(static_cast<int>(columns)) != nullptr) {
      note("a cell outside the row was returned");
    }
    run.rows.push_back(describe_row(decoder.current_row(), columns));
    return true;
  };

  for (const std::string& chunk : chunks) {
    // Empty chunks are refused, and every chunk once the decoder has failed.
    const bool accepted = decoder.push_buffer(chunk);
    if (accepted != (!failed && !chunk.empty())) {
      note(accepted ? "a chunk was accepted after a failure or while empty" : "a chunk was refused");
    }
    if (drain == Drain::after_each_push) {
      while (step()) {
      }
    }
  }
  // Each false call takes at most one queued chunk, so this many in a row empty the queue.
  std::size_t misses = 0;
  while (misses <= chunks.size()) misses = step() ? 0 : misses + 1;
  return run;
}

inline DecodeRun run_decoder(const std::vector<std::string>& chunks, Drain drain = Drain::after_each_push) {
  GraphQueryDecoder decoder;
  return run_decoder(decoder, chunks, drain);
}

// Whether the header at the front of `input` announces compressed frames (then a service
// error may sit inside compressed bytes and cannot be found in `input` itself).
inline bool announces_compression(std::string_view input) {
  const LengthPrefix prefix = read_length_prefix(input);
  if (prefix.status != LengthPrefix::complete) return false;
  ovraPBuffer::graph::GraphQueryResultHeader h;
  return h.ParseFromArray(input.data() + prefix.prefix_size, static_cast<int>(prefix.length)) &&
         h.frames_compressed();
}

// Empty when `e` is one of the decoder's documented outcomes for `input`: its own failures,
// the texts of cell decoding failures, or an error that the service wrote into the stream.
inline std::string undocumented_error(const kg_error_t& e, std::string_view input) {
  if (e.empty()) return {};
  static const char* const minus_one[] = {
      "Result header parsing failure!",
      "Result header did not include the required geometry transformation parameters!",
      "Result frame parsing failure!",
      "Out of memory!",
      "Unexpected error has occurred!",
      "Invalid geometry.",               // a geometry whose parts do not fit its coordinates
      "Null array count out of range.",  // the value codec's length failure
  };
  if (e.error_code == -1) {
    for (const char* m : minus_one) {
      if (e.error_message == m) return {};
    }
    if (e.error_message.rfind("zlib: ", 0) == 0 && e.error_message.size() > 6) return {};
  }
  if (e.error_code == -3 && e.error_message == "Error decoding result frame!") return {};
  // Anything else must be the service's own record, copied from the stream.
  if (e.error_message.empty() || input.find(e.error_message) != std::string_view::npos ||
      announces_compression(input)) {
    return {};
  }
  return "undocumented error " + std::to_string(e.error_code) + " \"" + e.error_message + "\"";
}

}  // namespace lorengraph::test_streams
