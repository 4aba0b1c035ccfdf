#include "inflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace lorengraph {

namespace {

// The largest message the protocol-buffer runtime parses.
constexpr std::size_t kMaxOutput = INT_MAX;

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, 15 + 32) == Z_OK; }  // 32: detect gzip or zlib
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  z_stream& stream() { return stream_; }
  bool ok() const { return ok_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

bool inflate_stream(std::string_view in, std::string& out, std::string& message) {
  Inflater inflater;
  if (!inflater.ok()) {
    message = "cannot initialise the decompressor";
    return false;
  }
  z_stream& z = inflater.stream();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());

  std::size_t produced = 0;
  const std::size_t initial = std::min(kMaxOutput, std::max<std::size_t>(in.size() * 4, 4096));
  if (out.size() < initial) out.resize(initial);
  for (;;) {
    if (produced == out.size()) {
      if (out.size() >= kMaxOutput) {
        message = "decompressed frame exceeds 2 GiB";
        return false;
      }
      out.resize(std::min(kMaxOutput, out.size() * 2));
    }
    const std::size_t room = std::min<std::size_t>(out.size() - produced, UINT_MAX);
    z.next_out = reinterpret_cast<Bytef*>(&out[produced]);
    z.avail_out = static_cast<uInt>(room);
    const int status = inflate(&z, Z_NO_FLUSH);
    produced += room - z.avail_out;
    if (status == Z_STREAM_END) {
      if (z.avail_in == 0) break;
      inflateReset(&z);  // another gzip member follows
      continue;
    }
    if (status == Z_OK) continue;
    if (status == Z_BUF_ERROR && z.avail_out == 0) continue;  // needs more room
    if (status == Z_BUF_ERROR) {
      message = "unexpected end of compressed data";
    } else {
      message = z.msg != nullptr ? z.msg : "decompression failed";
    }
    return false;
  }
  out.resize(produced);
  return true;
}

}  // namespace lorengraph
