// Throughput of the query result decoder against the protocol-buffer floor, on one stream of
// 100,000 rows of eight mixed cells, plain and gzip-compressed.
//
//   query_decode_bench [benchmark flags]   runs the benchmarks and prints the summary table
//   query_decode_bench --write-stream DIR  writes result_plain.bin and result_gzip.bin, the
//                                          bytes the Python benchmark reads, and exits
//
// Defaults: 5 repetitions of at least 0.3 s each, the median reported; any --benchmark_*
// flag given on the command line wins.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "protobuf_floor.h"
#include "query_result_decoder.h"
#include "result_stream.h"

namespace lorengraph::bench {

namespace {

constexpr std::size_t kChunkSize = 64 * 1024;  // what one network read typically delivers

// Rows and cells of one pass, for the per-cell and per-row counters (the library turns them
// into rates over CPU time; the summary table gives wall-clock and CPU figures).
void set_counters(benchmark::State& state, const ResultStream& stream) {
  using benchmark::Counter;
  // An inverted rate is seconds per cell, shown with its SI prefix ("52.1ns").
  state.counters["per_cell"] = Counter(static_cast<double>(stream.cells()),
                                       Counter::kIsIterationInvariantRate | Counter::kInvert);
  state.counters["rows_per_s"] = Counter(static_cast<double>(stream.rows), Counter::kIsIterationInvariantRate);
}

// (1) The decoder to native values: chunks pushed as they arrive, each row read as soon as
// it is decoded.
void decoder_native(benchmark::State& state, const ResultStream& stream, const std::string& bytes) {
  const std::vector<std::string_view> chunks = cut_into_chunks(bytes, kChunkSize);
  for (auto _ : state) {
    GraphQueryDecoder decoder;
    std::size_t rows = 0, sink = 0;
    for (const std::string_view chunk : chunks) {
      decoder.push_buffer(std::string(chunk));
      while (decoder.next_row()) {
        const value_t* row = decoder.current_row();
        for (std::size_t c = 0; c < stream.columns; ++c) sink += row[c].index();
        ++rows;
      }
    }
    benchmark::DoNotOptimize(sink);
    if (decoder.has_error() || rows != stream.rows) {
      state.SkipWithError(decoder.has_error() ? decoder.error().error_message.c_str() : "rows missing");
      break;
    }
  }
  set_counters(state, stream);
}

// (5) The floor: the same frames parsed with no conversion.
void protobuf_floor(benchmark::State& state, const ResultStream& stream, const std::string& bytes,
                    FloorParse how) {
  ProtobufFloor floor(how);
  for (auto _ : state) {
    const std::size_t rows = floor.run(bytes);
    benchmark::DoNotOptimize(rows);
    if (how != FloorParse::inflate_only && rows != stream.rows) {
      state.SkipWithError("rows missing");
      break;
    }
  }
  set_counters(state, stream);
}

// Wall-clock and CPU seconds of one pass.
struct PassTime {
  double wall = -1;
  double cpu = -1;
};

// Keeps the console table and remembers each benchmark's median (or only) time per pass.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that logs stay plain text.
  SummaryReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (!median && !single) continue;
      const auto iterations = static_cast<double>(run.iterations);
      times_[run.run_name.str()] = {run.real_accumulated_time / iterations, run.cpu_accumulated_time / iterations};
    }
    ConsoleReporter::ReportRuns(runs);
  }

  // Negative times when the benchmark did not run.
  PassTime time(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() ? PassTime{} : it->second;
  }

 private:
  std::map<std::string, PassTime> times_;
};

struct Variant {
  const char* name;
  const std::string* bytes;
};

struct Measure {
  const char* name;
  const char* label;
};

const Measure kMeasures[] = {
    {"decoder_native", "(1) decoder to native values"},
    {"floor_arena", "(5) protobuf parse, arena"},
    {"floor_reused", "(5) protobuf parse, reused message"},
    {"floor_new", "(5) protobuf parse, new message per frame"},
    {"inflate_only", "    inflate alone (zlib)"},
};

void register_benchmarks(const ResultStream& stream, const std::vector<Variant>& variants) {
  for (const Variant& v : variants) {
    const std::string suffix = std::string("/") + v.name;
    const std::string* bytes = v.bytes;
    benchmark::RegisterBenchmark(("decoder_native" + suffix).c_str(), [&stream, bytes](benchmark::State& s) {
      decoder_native(s, stream, *bytes);
    })->Unit(benchmark::kMillisecond);
    const std::pair<const char*, FloorParse> floors[] = {{"floor_arena", FloorParse::arena},
                                                         {"floor_reused", FloorParse::reused_message},
                                                         {"floor_new", FloorParse::new_message}};
    for (const auto& [name, how] : floors) {
      benchmark::RegisterBenchmark((name + suffix).c_str(), [&stream, bytes, how = how](benchmark::State& s) {
        protobuf_floor(s, stream, *bytes, how);
      })->Unit(benchmark::kMillisecond);
    }
    if (std::strcmp(v.name, "gzip") == 0) {
      benchmark::RegisterBenchmark(("inflate_only" + suffix).c_str(), [&stream, bytes](benchmark::State& s) {
        protobuf_floor(s, stream, *bytes, FloorParse::inflate_only);
      })->Unit(benchmark::kMillisecond);
    }
  }
}

void print_summary(const SummaryReporter& reporter, const ResultStream& stream,
                   const std::vector<Variant>& variants) {
  const auto cells = static_cast<double>(stream.cells());
  std::printf("\nQuery result path, C++ (%zu rows x %zu cells, %zu frames; medians; CPU time leaves out\n"
              "waiting for a core on a shared machine)\n", stream.rows, stream.columns, stream.frames);
  std::printf("%-6s %-44s %10s %14s %12s\n", "stream", "measure", "ns/cell", "rows/s", "CPU ns/cell");
  for (const Variant& v : variants) {
    for (const Measure& m : kMeasures) {
      const PassTime t = reporter.time(std::string(m.name) + "/" + v.name);
      if (t.wall <= 0) continue;
      std::printf("%-6s %-44s %10.1f %14.0f %12.1f\n", v.name, m.label, t.wall * 1e9 / cells,
                  static_cast<double>(stream.rows) / t.wall, t.cpu * 1e9 / cells);
    }
    const PassTime decoder = reporter.time(std::string("decoder_native/") + v.name);
    const PassTime arena = reporter.time(std::string("floor_arena/") + v.name);
    const PassTime reused = reporter.time(std::string("floor_reused/") + v.name);
    if (decoder.wall > 0 && arena.wall > 0) {
      const double ratio = decoder.wall / arena.wall;
      std::printf("%-6s %-44s %10.2f %14s %12.2f   target <= 2: %s\n", v.name, "ratio (1)/(5 arena)", ratio, "",
                  decoder.cpu / arena.cpu, ratio <= 2 ? "met" : "MISSED");
    }
    if (decoder.wall > 0 && reused.wall > 0) {
      std::printf("%-6s %-44s %10.2f %14s %12.2f\n", v.name, "ratio (1)/(5 reused message)",
                  decoder.wall / reused.wall, "", decoder.cpu / reused.cpu);
    }
  }
}

bool write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int write_stream(const ResultStream& stream, const std::string& dir) {
  const std::pair<const char*, const std::string*> files[] = {{"result_plain.bin", &stream.plain},
                                                              {"result_gzip.bin", &stream.gzip}};
  for (const auto& [name, bytes] : files) {
    if (!write_file(dir + "/" + name, *bytes)) {
      std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), name);
      return 1;
    }
  }
  return 0;
}

// Our defaults first, so that the same flags given by the caller override them.
std::vector<char*> with_default_flags(int argc, char** argv) {
  static char repetitions[] = "--benchmark_repetitions=5";
  static char aggregates[] = "--benchmark_report_aggregates_only=true";
  static char min_time[] = "--benchmark_min_time=0.3";
  std::vector<char*> args = {argv[0], repetitions, aggregates, min_time};
  args.insert(args.end(), argv + 1, argv + argc);
  return args;
}

}  // namespace

int run(int argc, char** argv) {
  const ResultStream stream = build_result_stream();
  if (argc == 3 && std::strcmp(argv[1], "--write-stream") == 0) return write_stream(stream, argv[2]);

  std::printf("Result stream: %zu rows, %zu columns, %zu frames; %zu bytes plain, %zu bytes gzip\n",
              stream.rows, stream.columns, stream.frames, stream.plain.size(), stream.gzip.size());
  std::fflush(stdout);  // before the benchmark library writes its context to stderr
  const std::vector<Variant> variants = {{"plain", &stream.plain}, {"gzip", &stream.gzip}};
  register_benchmarks(stream, variants);

  std::vector<char*> args = with_default_flags(argc, argv);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  print_summary(reporter, stream, variants);
  return 0;
}

}  // namespace lorengraph::bench

int main(int argc, char** argv) { return lorengraph::bench::run(argc, argv); }
