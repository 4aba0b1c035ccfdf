// However a result stream is cut into chunks, and whether rows are pulled after every chunk
// or only at the end, the decoder hands out the same rows in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decoder_run.h"
#include "stream_generator.h"

namespace lorengraph {
namespace {

using namespace test_streams;

constexpr int kStreams = 60;

std::vector<std::size_t> random_cuts(std::mt19937& rng, std::size_t size, std::size_t count) {
  std::vector<std::size_t> cuts;
  std::uniform_int_distribution<std::size_t> offset(1, size == 0 ? 1 : size);
  for (std::size_t i = 0; i < count; ++i) cuts.push_back(offset(rng));
  std::sort(cuts.begin(), cuts.end());
  return cuts;
}

// Cuts at every byte inside every multi-byte length prefix.
std::vector<std::size_t> cuts_inside_prefixes(const GeneratedStream& s) {
  std::vector<std::size_t> cuts;
  for (const auto& p : s.prefixes) {
    for (std::size_t i = 1; i < p.size; ++i) cuts.push_back(p.offset + i);
  }
  return cuts;
}

TEST(Chunking, EveryCutGivesTheSameRows) {
  StreamGenerator generator(20240611);
  std::mt19937& rng = generator.rng();
  int multi_byte_prefixes = 0;
  for (int i = 0; i < kStreams; ++i) {
    const bool compressed = i % 2 == 1;
    const GeneratedStream s = generator.generate(compressed);
    SCOPED_TRACE("stream " + std::to_string(i) + (compressed ? ", compressed" : ""));
    const std::vector<std::size_t> inside = cuts_inside_prefixes(s);
    multi_byte_prefixes += !inside.empty();

    struct Way {
      const char* name;
      std::vector<std::string> chunks;
      Drain drain;
    };
    const Way ways[] = {
        {"one chunk", {s.bytes}, Drain::after_each_push},
        {"one byte per chunk", one_byte_chunks(s.bytes), Drain::after_each_push},
        {"a few random cuts", cut(s.bytes, random_cuts(rng, s.bytes.size(), 3)), Drain::after_each_push},
        {"many random cuts", cut(s.bytes, random_cuts(rng, s.bytes.size(), s.bytes.size() / 8)),
         Drain::after_each_push},
        {"random cuts, pulled at the end", cut(s.bytes, random_cuts(rng, s.bytes.size(), 5)), Drain::at_end},
        {"cuts inside length prefixes", cut(s.bytes, inside), Drain::after_each_push},
        {"cuts inside length prefixes, pulled at the end", cut(s.bytes, inside), Drain::at_end},
    };
    for (const Way& way : ways) {
      SCOPED_TRACE(way.name);
      const DecodeRun run = run_decoder(way.chunks, way.drain);
      EXPECT_EQ(run.rows, s.rows);
      EXPECT_TRUE(run.error.empty()) << run.error.error_code << " " << run.error.error_message;
      EXPECT_EQ(run.violation, "");
    }
  }
  EXPECT_GT(multi_byte_prefixes, kStreams / 4);  // the generator does exercise long prefixes
}

}  // namespace
}  // namespace lorengraph
