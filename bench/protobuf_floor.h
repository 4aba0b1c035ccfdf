// The floor under the query result decoder: the same stream split into its messages,
// inflated and parsed by the protocol-buffer runtime, with no cell turned into a value.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <google/protobuf/arena.h>

#include "query.pb.h"

namespace lorengraph::bench {

enum class FloorParse {
  arena,           // every frame on one arena, reset between frames, over a preallocated block
  reused_message,  // one heap message, cleared between frames (the decoder's own scheme)
  new_message,     // a fresh heap message per frame
  inflate_only,    // split and inflate, no parsing: the cost of decompression alone
};

class ProtobufFloor {
 public:
  explicit ProtobufFloor(FloorParse how);
  ~ProtobufFloor();
  ProtobufFloor(const ProtobufFloor&) = delete;
  ProtobufFloor& operator=(const ProtobufFloor&) = delete;

  // Walks the whole stream; returns the number of rows parsed (0 for inflate_only).
  // Throws std::runtime_error on bytes that do not parse.
  std::size_t run(std::string_view stream);

 private:
  std::string_view inflate(std::string_view compressed);
  std::size_t parse_frame(std::string_view bytes);

  FloorParse how_;
  z_stream zlib_{};
  std::string inflated_;  // reused for every compressed frame
  std::unique_ptr<char[]> arena_block_;
  std::unique_ptr<google::protobuf::Arena> arena_;
  ovraPBuffer::graph::GraphQueryResultFrame reused_;
};

}  // namespace lorengraph::bench
