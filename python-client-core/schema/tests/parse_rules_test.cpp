// Reading rules that hold for every message: string fields must be UTF-8
// (bytes fields need not), unknown fields survive a round trip, and malformed
// input is rejected.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "applyedits.pb.h"
#include "datamodel.pb.h"
#include "query.pb.h"
#include "value.pb.h"
#include "wire_bytes.h"

namespace schema_test {
namespace {

namespace pb = ovraPBuffer::graph;
using google::protobuf::MessageLite;

struct ParseCase {
  const char* what;
  std::function<std::unique_ptr<MessageLite>()> make;
  const char* hex;
};

template <class M>
std::function<std::unique_ptr<MessageLite>()> maker() {
  return [] { return std::unique_ptr<MessageLite>(std::make_unique<M>()); };
}

TEST(SchemaParseRules, RejectsNonUtf8InStringFieldsAndMapKeys) {
  const ParseCase cases[] = {
      {"KeyValuePair.key", maker<pb::KeyValuePair>(), "0A 01 FF"},
      {"PrimitiveValue.string_value", maker<pb::PrimitiveValue>(), "0A 01 FF"},
      {"StringArray.value", maker<pb::StringArray>(), "0A 02 C3 28"},
      {"GraphQueryRequest parameter key", maker<pb::GraphQueryRequest>(), "12 03 0A 01 FF"},
      {"SearchIndex property key", maker<pb::SearchIndex>(), "22 03 0A 01 FF"},
      {"Deletes entity type key", maker<pb::Deletes>(), "0A 03 0A 01 FF"},
      {"OvraTypes.SpatialReference.wkt", maker<ovraPBuffer::OvraTypes::SpatialReference>(),
       "2A 01 FF"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(c.make()->ParseFromString(from_hex(c.hex)));
  }
}

TEST(SchemaParseRules, BytesFieldsTakeAnyOctets) {
  pb::PrimitiveValue uuid;
  ASSERT_TRUE(uuid.ParseFromString(from_hex("4A 02 FF 00")));
  EXPECT_EQ(uuid.uuid_value(), std::string("\xFF\0", 2));

  pb::BlobArray blobs;
  ASSERT_TRUE(blobs.ParseFromString(from_hex("0A 01 FF")));
  EXPECT_EQ(blobs.value(0), "\xFF");
}

TEST(SchemaParseRules, UnknownFieldsAreKeptAndWrittenAfterKnownOnes) {
  // AnyValue number 7 and EntityValue number 2 are unused by the schema.
  pb::AnyValue any;
  ASSERT_TRUE(any.ParseFromString(from_hex("38 05 0A 02 38 02")));
  EXPECT_EQ(any.primitive_value().int_value(), 1);
  EXPECT_EQ(to_hex(any.SerializeAsString()), "0A 02 38 02 38 05");

  pb::EntityValue entity;
  ASSERT_TRUE(entity.ParseFromString(from_hex("12 01 7A 0A 01 45")));
  EXPECT_EQ(entity.label(), "E");
  EXPECT_EQ(to_hex(entity.SerializeAsString()), "0A 01 45 12 01 7A");
}

TEST(SchemaParseRules, RejectsMalformedInput) {
  const ParseCase cases[] = {
      {"length past the end", maker<pb::AnyValue>(), "0A 05 0A"},
      {"truncated varint", maker<pb::PrimitiveValue>(), "38 FF"},
      {"unmatched group end", maker<pb::AnyValue>(), "0C"},
      {"field number zero", maker<pb::AnyValue>(), "00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(c.make()->ParseFromString(from_hex(c.hex)));
  }
}

}  // namespace
}  // namespace schema_test
