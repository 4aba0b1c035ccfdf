// libFuzzer target over the query result decoder. The first input byte picks how the rest is
// cut into chunks (length 1 + its low six bits; the high bit pulls rows only at the end);
// the same bytes are also decoded as one chunk. Any broken promise of the decoder, an error
// outside its documented set, or outcomes that differ between the two cuttings abort.
#include <google/protobuf/stubs/logging.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoder_run.h"

namespace {

using namespace lorengraph::test_streams;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "query_decoder_fuzz: %s\n", what.c_str());
  std::abort();
}

bool is_prefix(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return a.size() <= b.size() && std::equal(a.begin(), a.end(), b.begin());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto* quiet = new google::protobuf::LogSilencer;  // strings that are not UTF-8 log
  (void)quiet;
  if (size == 0) return 0;
  const unsigned mode = data[0];
  const std::string stream(reinterpret_cast<const char*>(data + 1), size - 1);

  std::vector<std::size_t> cuts;
  for (std::size_t at = 0; at < stream.size(); at += 1 + (mode & 63)) cuts.push_back(at);
  const DecodeRun chunked = run_decoder(cut(stream, cuts), mode & 0x80 ? Drain::at_end : Drain::after_each_push);
  const DecodeRun whole = run_decoder({stream});

  for (const DecodeRun* run : {&chunked, &whole}) {
    if (!run->violation.empty()) fail(run->violation);
    const std::string undocumented = undocumented_error(run->error, stream);
    if (!undocumented.empty()) fail(undocumented);
  }
  if (!same_error(chunked.error, whole.error)) {
    fail("the cutting changed the error: \"" + chunked.error.error_message + "\" / \"" + whole.error.error_message + "\"");
  }
  const bool rows_agree = whole.error.empty() ? chunked.rows == whole.rows
                                              : is_prefix(chunked.rows, whole.rows) || is_prefix(whole.rows, chunked.rows);
  if (!rows_agree) fail("the cutting changed the rows");
  return 0;
}
