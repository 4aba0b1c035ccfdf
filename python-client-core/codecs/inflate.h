// Decompression of compressed result frames.
#pragma once

#include <zlib.h>

#include <memory>
#include <string>
#include <string_view>

namespace lorengraph {

// Inflates gzip or zlib streams (told apart by their own header; gzip members may follow
// one another). One decompressor and one output buffer serve every call.
class Inflater {
 public:
  Inflater();
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // False for corrupt or truncated input, or output beyond 2 GiB, with the reason in
  // `message`; otherwise output() holds the inflated bytes until the next call.
  bool inflate(std::string_view in, std::string& message);
  std::string_view output() const { return std::string_view(buffer_.get(), size_); }

 private:
  bool grow();

  z_stream stream_{};
  bool initialised_ = false;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

}  // namespace lorengraph
