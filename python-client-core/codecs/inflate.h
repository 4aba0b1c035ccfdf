// Decompression of compressed result frames.
#pragma once

#include <string>
#include <string_view>

namespace lorengraph {

// Inflates a gzip or zlib stream (told apart by its own header; gzip members may follow
// one another) into `out`, whose memory is reused from call to call. Corrupt or truncated
// input, and output beyond 2 GiB, return false with the reason in `message`.
bool inflate_stream(std::string_view in, std::string& out, std::string& message);

}  // namespace lorengraph
