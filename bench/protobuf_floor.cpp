#include "protobuf_floor.h"

#include <stdexcept>

#include "length_prefix.h"

namespace pb = ovraPBuffer::graph;

namespace lorengraph::bench {

namespace {

// Large enough for one frame of the benchmark stream, so the arena never asks for more.
constexpr std::size_t kArenaBlockSize = 8u << 20;

// The message at the front of `rest`, which is advanced past it.
std::string_view next_message(std::string_view& rest) {
  const LengthPrefix prefix = read_length_prefix(rest);
  if (prefix.status != LengthPrefix::complete) throw std::runtime_error("stream ends inside a message");
  const std::string_view message = rest.substr(prefix.prefix_size, prefix.length);
  rest.remove_prefix(prefix.prefix_size + prefix.length);
  return message;
}

}  // namespace

ProtobufFloor::ProtobufFloor(FloorParse how) : how_(how) {
  if (inflateInit2(&zlib_, 15 + 32) != Z_OK) throw std::runtime_error("inflateInit2 failed");
  if (how_ == FloorParse::arena) {
    arena_block_.reset(new char[kArenaBlockSize]);
    google::protobuf::ArenaOptions options;
    options.initial_block = arena_block_.get();
    options.initial_block_size = kArenaBlockSize;
    arena_ = std::make_unique<google::protobuf::Arena>(options);
  }
}

ProtobufFloor::~ProtobufFloor() { inflateEnd(&zlib_); }

std::size_t ProtobufFloor::run(std::string_view stream) {
  std::string_view rest = stream;
  pb::GraphQueryResultHeader header;
  const std::string_view header_bytes = next_message(rest);
  if (!header.ParseFromArray(header_bytes.data(), static_cast<int>(header_bytes.size()))) {
    throw std::runtime_error("header does not parse");
  }
  std::size_t rows = 0;
  while (!rest.empty()) {
    std::string_view bytes = next_message(rest);
    if (bytes.empty()) continue;
    if (header.frames_compressed()) bytes = inflate(bytes);
    if (how_ != FloorParse::inflate_only) rows += parse_frame(bytes);
  }
  return rows;
}

// One reused inflater and output buffer: no allocation once the buffer has grown.
std::string_view ProtobufFloor::inflate(std::string_view compressed) {
  if (inflateReset(&zlib_) != Z_OK) throw std::runtime_error("inflateReset failed");
  if (inflated_.size() < compressed.size() * 4) inflated_.resize(compressed.size() * 4);
  zlib_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  zlib_.avail_in = static_cast<uInt>(compressed.size());
  std::size_t produced = 0;
  for (;;) {
    if (produced == inflated_.size()) inflated_.resize(inflated_.size() * 2);
    zlib_.next_out = reinterpret_cast<Bytef*>(&inflated_[produced]);
    zlib_.avail_out = static_cast<uInt>(inflated_.size() - produced);
    const uInt room = zlib_.avail_out;
    const int status = ::inflate(&zlib_, Z_NO_FLUSH);
    produced += room - zlib_.avail_out;
    if (status == Z_STREAM_END) break;
    if (status != Z_OK && !(status == Z_BUF_ERROR && zlib_.avail_out == 0)) {
      throw std::runtime_error("frame does not inflate");
    }
  }
  return std::string_view(inflated_.data(), produced);
}

std::size_t ProtobufFloor::parse_frame(std::string_view bytes) {
  const int size = static_cast<int>(bytes.size());
  switch (how_) {
    case FloorParse::arena: {
      arena_->Reset();
      auto* frame = google::protobuf::Arena::CreateMessage<pb::GraphQueryResultFrame>(arena_.get());
      if (!frame->ParseFromArray(bytes.data(), size)) break;
      return static_cast<std::size_t>(frame->rows_size());
    }
    case FloorParse::reused_message:
      reused_.Clear();
      if (!reused_.ParseFromArray(bytes.data(), size)) break;
      return static_cast<std::size_t>(reused_.rows_size());
    case FloorParse::new_message: {
      pb::GraphQueryResultFrame frame;
      if (!frame.ParseFromArray(bytes.data(), size)) break;
      return static_cast<std::size_t>(frame.rows_size());
    }
    case FloorParse::inflate_only:
      return 0;
  }
  throw std::runtime_error("frame does not parse");
}

}  // namespace lorengraph::bench
