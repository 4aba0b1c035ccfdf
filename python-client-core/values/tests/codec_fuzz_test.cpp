// Mutated wire bytes fed to the decoder: whatever parses must decode to a value or fail with
// one of the documented exceptions, never crash, leak or touch memory it does not own (the
// sanitizer build checks the last two). Deterministic, so a failure reproduces.
#include <google/protobuf/stubs/logging.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "objects.h"
#include "test_support.h"
#include "value.pb.h"
#include "value_codec.h"

namespace lorengraph {
namespace {

namespace pb = ovraPBuffer::graph;
using testing::array_of;
using testing::geometry;
using testing::unit_context;

constexpr int kIterations = 4000;
constexpr std::uint32_t kSeed = 20240611;

std::string encoded(value_t value) {
  pb::AnyValue message;
  EXPECT_GE(encode_any_value(unit_context(), value, &message), 0);
  return message.SerializeAsString();
}

// Valid messages of every shape, written by the encoder or by hand where it writes none.
std::vector<std::string> seed_messages() {
  auto e = std::make_shared<EntityValue>();
  e->type_name = "Person";
  e->properties.append_key_value("name", std::string("Ada"));
  e->properties.append_key_value("home", geometry(ovraGeometryPoint, {}, {-122, 47, 10}, true));
  auto r = std::make_shared<RelationshipValue>();
  r->type_name = "Knows";
  r->properties.append_key_value("since", std::int64_t{1999});
  auto o = std::make_shared<ObjectValue>();
  o->properties.append_key_value("list", array_of({1.0f, 2.5f}));
  o->properties.append_key_value("nested",
                                 array_of({array_of({std::int64_t{1}, std::string("x")}), null_t{}}));

  std::vector<std::string> seeds = {
      encoded(geometry(ovraGeometryPolyline, {2, 3}, {0, 0, 5, 5, 1, 1, 2, 3, -4, 5}, false, false)),
      encoded(
          geometry(ovraGeometryPolygon, {4}, {0, 0, 0, 9, 0, 9, 9, 0, 9, 9, 0, 0, 0, 0, 0, 0}, true, true)),
      encoded(geometry(ovraGeometryEnvelope, {}, {-1, 1, -2, 2})),
      encoded(array_of({geometry(ovraGeometryMultipoint, {3}, {1, 1, 2, 2, 3, 3}),
                        geometry(ovraGeometryPoint, {}, {7, 8})})),
      encoded(e),
      encoded(r),
      encoded(o),
      encoded(array_of({null_t{}, null_t{}, null_t{}})),
      encoded(array_of({0.5, 16777217.0, 0.1})),
      encoded(array_of({1.0, 16777217.0})),
      encoded(array_of({time_point_t(std::chrono::milliseconds(1700000000000)), time_point_t{}})),
      encoded(array_of({uuid_t{}, uuid_t{}})),
      encoded(array_of({blob_t{"ab"}, blob_t{""}})),
      encoded(array_of({std::int64_t{-1}, std::int64_t{1} << 40})),
      encoded(1e300),
      encoded(uuid_t{}),
      encoded(time_point_t(std::chrono::milliseconds(-1700000000000))),
      encoded(1.5f),
  };

  pb::AnyValue path;
  auto* p = path.mutable_path_value();
  auto* from = p->add_entities();
  from->set_label("A");
  from->mutable_id()->mutable_primitive_value()->set_int_value(1);
  auto* link = p->add_relationships();
  link->set_type("R");
  link->mutable_origin_id()->mutable_primitive_value()->set_int_value(1);
  link->mutable_destination_id()->mutable_primitive_value()->set_int_value(2);
  auto* to = p->add_entities();
  to->set_label("B");
  auto* pair = to->add_properties();
  pair->set_key("k");
  pair->mutable_value()->mutable_wrapped_value()->mutable_primitive_value()->set_double_float_value(1.5f);
  seeds.push_back(path.SerializeAsString());

  pb::AnyValue multipatch;
  auto* g = multipatch.mutable_primitive_value()->mutable_geometry_value();
  g->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypeMultipatch);
  g->mutable_default_geometry()->add_lengths(2);
  for (const std::int64_t c : {1, 2, 3, 4}) g->mutable_default_geometry()->add_coords(c);
  seeds.push_back(multipatch.SerializeAsString());
  return seeds;
}

// ---- a wire-level view of a message, so that edits keep every length prefix right -------------

struct WireField {
  std::uint32_t number = 0;
  std::uint32_t type = 0;    // 0 varint, 1 fixed64, 2 length-delimited, 5 fixed32
  std::uint64_t scalar = 0;  // the value of types 0, 1 and 5
  std::string bytes;         // length-delimited content that is not read as a message
  std::vector<WireField> children;
  bool nested = false;  // the content was read as a message into `children`
};

bool read_varint(const std::string& in, std::size_t& at, std::uint64_t& value) {
  value = 0;
  for (int shift = 0; shift < 64 && at < in.size(); shift += 7) {
    const auto byte = static_cast<unsigned char>(in[at++]);
    value |= std::uint64_t{byte & 0x7Fu} << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

void write_varint(std::string& out, std::uint64_t value) {
  for (; value >= 0x80; value >>= 7) out += static_cast<char>(value | 0x80);
  out += static_cast<char>(value);
}

// False when `in` is not a sequence of well-formed fields. Fixed-width values are kept as
// little-endian bytes of `scalar`, which is what this test's hosts are.
bool parse_wire(const std::string& in, std::vector<WireField>& fields) {
  std::size_t at = 0;
  while (at < in.size()) {
    std::uint64_t key = 0;
    if (!read_varint(in, at, key) || (key >> 3) == 0 || (key >> 3) > 0x1FFFFFFF) return false;
    WireField f;
    f.number = static_cast<std::uint32_t>(key >> 3);
    f.type = static_cast<std::uint32_t>(key & 7);
    if (f.type == 0) {
      if (!read_varint(in, at, f.scalar)) return false;
    } else if (f.type == 1 || f.type == 5) {
      const std::size_t width = f.type == 1 ? 8 : 4;
      if (in.size() - at < width) return false;
      std::memcpy(&f.scalar, in.data() + at, width);
      at += width;
    } else if (f.type == 2) {
      std::uint64_t length = 0;
      if (!read_varint(in, at, length) || length > in.size() - at) return false;
      f.bytes = in.substr(at, static_cast<std::size_t>(length));
      at += static_cast<std::size_t>(length);
      f.nested = !f.bytes.empty() && parse_wire(f.bytes, f.children);
      if (f.nested) {
        f.bytes.clear();
      } else {
        f.children.clear();
      }
    } else {
      return false;
    }
    fields.push_back(std::move(f));
  }
  return true;
}

std::string serialize_wire(const std::vector<WireField>& fields) {
  std::string out;
  for (const WireField& f : fields) {
    write_varint(out, (std::uint64_t{f.number} << 3) | f.type);
    if (f.type == 0) {
      write_varint(out, f.scalar);
    } else if (f.type == 1 || f.type == 5) {
      out.append(reinterpret_cast<const char*>(&f.scalar), f.type == 1 ? 8 : 4);
    } else {
      const std::string content = f.nested ? serialize_wire(f.children) : f.bytes;
      write_varint(out, content.size());
      out += content;
    }
  }
  return out;
}

void collect_lists(std::vector<WireField>& fields, std::vector<std::vector<WireField>*>& lists) {
  lists.push_back(&fields);
  for (WireField& f : fields) {
    if (f.nested) collect_lists(f.children, lists);
  }
}

// ---- mutations --------------------------------------------------------------------------------

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : rng_(seed) {}

  std::size_t below(std::size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }

  // Half the inputs get byte edits, which mostly test the parser's refusals; the other half
  // get field edits, which keep the message well-formed and so reach the decoder's own checks.
  std::string mutate(const std::vector<std::string>& seeds) {
    std::string bytes = seeds[below(seeds.size())];
    const bool structured = below(2) == 0;
    const std::size_t rounds = 1 + below(2) * below(4);  // mostly one: more of them still parse
    for (std::size_t i = 0; i < rounds; ++i) {
      if (structured) {
        edit_field(bytes);
      } else {
        edit_bytes(bytes, seeds[below(seeds.size())]);
      }
    }
    return bytes;
  }

 private:
  // Values at the edges the decoder checks, raw and zigzag-coded: null counts, the range of
  // milliseconds that nanoseconds can hold, lengths that turn negative as 32-bit integers.
  std::uint64_t interesting_value() {
    static const std::uint64_t kValues[] = {
        0,
        1,
        2,
        3,
        4,
        5,
        6,
        7,
        0x7F,
        0x80,
        33554434,  // zigzag 16777217
        9223372036854,
        9223372036855,  // milliseconds at the limit
        static_cast<std::uint64_t>(-9223372036855LL),
        18446744073709551615ULL,
        9223372036854775808ULL,
        0x7FFFFFFF,
        0x80000000,
        0xFFFFFFFF,
    };
    if (below(4) == 0) return std::uniform_int_distribution<std::uint64_t>()(rng_);
    return kValues[below(sizeof kValues / sizeof kValues[0])];
  }

  void edit_field(std::string& bytes) {
    std::vector<WireField> root;
    if (!parse_wire(bytes, root)) return;
    std::vector<std::vector<WireField>*> lists;
    collect_lists(root, lists);
    std::vector<WireField>& list = *lists[below(lists.size())];
    if (list.empty()) {
      WireField f;
      f.number = static_cast<std::uint32_t>(1 + below(20));
      f.scalar = interesting_value();
      list.push_back(f);
    } else {
      const std::size_t i = below(list.size());
      switch (below(5)) {
        case 0:
        case 1: change_value(list[i]); break;
        case 2: list.erase(list.begin() + static_cast<std::ptrdiff_t>(i)); break;
        case 3: {
          const WireField copy = list[i];
          list.insert(list.begin() + static_cast<std::ptrdiff_t>(below(list.size() + 1)), copy);
          break;
        }
        default:  // the same content under another member
          list[i].number = static_cast<std::uint32_t>(1 + below(20));
          break;
      }
    }
    bytes = serialize_wire(root);
  }

  void change_value(WireField& f) {
    if (f.type != 2) {
      f.scalar =
          f.type == 0 || below(2) == 0 ? interesting_value() : f.scalar ^ (std::uint64_t{1} << below(64));
      return;
    }
    // Content that is cut short or grows by a few bytes: uuids of the wrong size, strings
    // that are not text, packed arrays that end inside a value.
    std::string content = f.nested ? serialize_wire(f.children) : f.bytes;
    content.resize(below(content.size() + 18), static_cast<char>(below(256)));
    f.children.clear();
    f.bytes = std::move(content);
    f.nested = false;
  }

  void edit_bytes(std::string& bytes, const std::string& other) {
    static const unsigned char kInteresting[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x08, 0x12, 0x0A};
    // Edits in place keep the length prefixes intact, so they are drawn more often: most
    // insertions and deletions make a message that no longer parses.
    static const int kKinds[] = {0, 0, 0, 5, 5, 5, 1, 2, 3, 4, 6};
    const std::size_t at = below(bytes.size() + 1);
    switch (kKinds[below(sizeof kKinds / sizeof kKinds[0])]) {
      case 0:  // bit flip
        if (!bytes.empty()) bytes[below(bytes.size())] ^= static_cast<char>(1u << below(8));
        break;
      case 1:  // insertion
        bytes.insert(at, 1, static_cast<char>(below(256)));
        break;
      case 2:  // deletion
        if (!bytes.empty()) bytes.erase(below(bytes.size()), 1 + below(3));
        break;
      case 3:  // truncation
        bytes.resize(below(bytes.size() + 1));
        break;
      case 4: {  // splice: our head, another message's tail
        const std::size_t from = below(other.size() + 1);
        bytes = bytes.substr(0, at) + other.substr(from);
        break;
      }
      case 5:  // a byte that makes varints long or tags plausible
        if (!bytes.empty())
          bytes[below(bytes.size())] = static_cast<char>(kInteresting[below(sizeof kInteresting)]);
        break;
      default: {  // a copy of a slice of ourselves, inserted elsewhere
        const std::size_t start = below(bytes.size() + 1);
        const std::string slice = bytes.substr(start, below(16));
        bytes.insert(below(bytes.size() + 1), slice);
        break;
      }
    }
  }

  std::mt19937 rng_;
};

std::string hex(const std::string& bytes) {
  std::string out;
  char buffer[4];
  for (const unsigned char b : bytes) {
    std::snprintf(buffer, sizeof buffer, "%02x", b);
    out += buffer;
  }
  return out;
}

// Counted per decoding: each input is decoded with both contexts.
struct Tally {
  int parsed = 0;
  int decoded = 0;
  int refused = 0;
};

// The failures each direction documents.
struct Allowed {
  const char* what;
  std::vector<std::string> invalid_argument_texts;
  bool length_error;
};
const Allowed kDecoding{"decoding", {"Invalid geometry.", testing::kNestingFailure}, true};
const Allowed kEncoding{"encoding the decoded value",
                        {"Invalid geometry.", testing::kNestingFailure, "unsupported geometry type"},
                        false};

// Runs fn and accepts a normal return or a documented failure; anything else fails the test.
template <class Fn>
bool run_checked(Fn&& fn, const std::string& input, const Allowed& allowed) {
  const char* what = allowed.what;
  try {
    fn();
    return true;
  } catch (const std::length_error& e) {
    if (!allowed.length_error)
      ADD_FAILURE() << what << ": length_error \"" << e.what() << "\" for input " << hex(input);
  } catch (const std::invalid_argument& e) {
    const auto& texts = allowed.invalid_argument_texts;
    if (std::find(texts.begin(), texts.end(), e.what()) == texts.end()) {
      ADD_FAILURE() << what << ": invalid_argument \"" << e.what() << "\" for input " << hex(input);
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << typeid(e).name() << " \"" << e.what() << "\" for input " << hex(input);
  }
  return false;
}

// Parses and decodes with the given context; a decoded value is encoded again, since values
// from the wire (NaN coordinates, Null geometries) must not upset the encoder either.
void check(const std::string& bytes, const DecodingContext& context, Tally& tally) {
  pb::AnyValue message;
  if (!message.ParseFromString(bytes)) return;
  ++tally.parsed;
  value_t value;
  const bool ok = run_checked([&] { value = decode_any_value(context, message); }, bytes, kDecoding);
  if (!ok) {
    ++tally.refused;
    return;
  }
  ++tally.decoded;
  run_checked(
      [&] {
        pb::AnyValue again;
        encode_any_value(unit_context(), value, &again);
      },
      bytes, kEncoding);
}

TEST(CodecFuzz, MutatedMessagesDecodeOrFailAsDocumented) {
  const std::vector<std::string> seeds = seed_messages();
  DecodingContext identity;
  DecodingContext scaled;
  scaled.output_transform.x_scale = 0.001;
  scaled.output_transform.y_scale = 1e300;  // large enough to overflow to infinity
  scaled.output_transform.x_translate = -180;
  scaled.output_transform.y_translate = 90;
  scaled.output_transform.z_scale = 0.5;
  scaled.output_transform.m_translate = 7;

  for (const std::string& seed : seeds) {  // the seeds themselves decode cleanly
    pb::AnyValue message;
    ASSERT_TRUE(message.ParseFromString(seed));
    EXPECT_NO_THROW(decode_any_value(identity, message)) << hex(seed);
  }

  const google::protobuf::LogSilencer quiet;  // the parser logs each string that is not UTF-8
  Mutator mutator(kSeed);
  Tally tally;
  for (int i = 0; i < kIterations; ++i) {
    const std::string bytes = mutator.mutate(seeds);
    check(bytes, identity, tally);
    check(bytes, scaled, tally);
    if (::testing::Test::HasFailure()) break;  // one reproducible input is enough
  }
  // The mutations must leave enough parseable messages to exercise the decoder.
  EXPECT_GT(tally.parsed, kIterations / 4);
  EXPECT_GT(tally.decoded, kIterations / 4);
  RecordProperty("parsed", tally.parsed);
  RecordProperty("decoded", tally.decoded);
  RecordProperty("refused", tally.refused);
}

}  // namespace
}  // namespace lorengraph
