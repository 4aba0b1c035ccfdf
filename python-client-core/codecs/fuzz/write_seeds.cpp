// Writes the seed corpus of the query decoder fuzz target into the given directory: the
// generated and hand-made streams of the decoder tests, each behind a chunking byte.
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz_seeds.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  const auto seeds = lorengraph::test_streams::fuzz_seeds();
  const char modes[] = {'\x00', '\x07', '\x3F', '\x85'};
  int written = 0;
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(i);
    std::ofstream out(path, std::ios::binary);
    out << modes[i % sizeof modes] << seeds[i];
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    ++written;
  }
  std::printf("%d seeds written to %s\n", written, argv[1]);
  return 0;
}
