#include "inflate.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace lorengraph {

namespace {

// The largest message the protocol-buffer runtime parses.
constexpr std::size_t kMaxOutput = INT_MAX;
constexpr std::size_t kFirstCapacity = 64 * 1024;

}  // namespace

Inflater::Inflater() { initialised_ = inflateInit2(&stream_, 15 + 32) == Z_OK; }  // 32: gzip or zlib

Inflater::~Inflater() {
  if (initialised_) inflateEnd(&stream_);
}

// Doubles the buffer, keeping what it holds; false at the 2 GiB ceiling.
bool Inflater::grow() {
  if (capacity_ >= kMaxOutput) return false;
  const std::size_t capacity = std::min(kMaxOutput, std::max(kFirstCapacity, capacity_ * 2));
  std::unique_ptr<char[]> bigger(new char[capacity]);
  if (size_ > 0) std::memcpy(bigger.get(), buffer_.get(), size_);
  buffer_ = std::move(bigger);
  capacity_ = capacity;
  return true;
}

bool Inflater::inflate(std::string_view in, std::string& message) {
  size_ = 0;
  if (!initialised_ || inflateReset(&stream_) != Z_OK) {
    message = "cannot initialise the decompressor";
    return false;
  }
  stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  stream_.avail_in = static_cast<uInt>(in.size());
  for (;;) {
    if (size_ == capacity_ && !grow()) {
      message = "decompressed frame exceeds 2 GiB";
      return false;
    }
    const std::size_t room = std::min<std::size_t>(capacity_ - size_, UINT_MAX);
    stream_.next_out = reinterpret_cast<Bytef*>(buffer_.get() + size_);
    stream_.avail_out = static_cast<uInt>(room);
    const int status = ::inflate(&stream_, Z_NO_FLUSH);
    size_ += room - stream_.avail_out;
    if (status == Z_STREAM_END) {
      if (stream_.avail_in == 0) return true;
      inflateReset(&stream_);  // another gzip member follows
      continue;
    }
    if (status == Z_OK || (status == Z_BUF_ERROR && stream_.avail_out == 0)) continue;
    message = status == Z_BUF_ERROR ? "unexpected end of compressed data"
                                    : (stream_.msg != nullptr ? stream_.msg : "decompression failed");
    return false;
  }
}

}  // namespace lorengraph
