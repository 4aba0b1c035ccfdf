// The query result stream every query-path benchmark reads: one header, then frames of rows
// with eight mixed cells each, in a plain and a gzip-compressed variant. Built in memory from
// a fixed seed, so every run and every language measures the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lorengraph::bench {

struct ResultStreamShape {
  std::size_t rows = 100000;
  std::size_t rows_per_frame = 1000;
  std::uint64_t seed = 20261211;
};

struct ResultStream {
  std::string plain;  // header and frames, each behind its varint length prefix
  std::string gzip;   // the same rows; the header sets frames_compressed, each frame is gzip
  std::size_t rows = 0;
  std::size_t columns = 0;
  std::size_t frames = 0;

  std::size_t cells() const { return rows * columns; }
};

// Columns: id (int), score (double), name (short string, null in every 20th row),
// active (bool), shape (a polyline in every 10th row, null elsewhere), uid (uuid),
// updated (datetime), tags (a small array of ints or strings).
ResultStream build_result_stream(const ResultStreamShape& shape = {});

// The stream cut into pieces of `size` bytes, the last one shorter, as a network delivers it.
std::vector<std::string_view> cut_into_chunks(std::string_view stream, std::size_t size);

}  // namespace lorengraph::bench
