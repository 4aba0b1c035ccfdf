#include <gtest/gtest.h>

#include "ovra_types.pb.h"
#include "spatial_reference.h"

namespace lorengraph {
namespace {

TEST(SpatialReference, IsSetOnlyByWkidOrWkt) {
  EXPECT_FALSE(SpatialReference{}.is_set());
  EXPECT_FALSE((SpatialReference{0, 4326, 5703, 5703, ""}.is_set()));
  EXPECT_TRUE(SpatialReference::WGS84().is_set());
  EXPECT_TRUE((SpatialReference{-1, 0, 0, 0, ""}.is_set()));
  EXPECT_TRUE((SpatialReference{0, 0, 0, 0, "GEOGCS[]"}.is_set()));
}

TEST(SpatialReference, WriteLeavesOutNegativeIdentifiers) {
  ovraPBuffer::OvraTypes_SpatialReference message;
  write_spatial_reference(SpatialReference{-1, 3857, -5, 0, "PROJCS[]"}, &message);
  EXPECT_EQ(message.wkid(), 0u);
  EXPECT_EQ(message.latestwkid(), 3857u);
  EXPECT_EQ(message.vcswkid(), 0u);
  EXPECT_EQ(message.wkt(), "PROJCS[]");
  // wkid 0 stays off the wire; latestWkid 3857 = 0x0F11 as a varint after tag 0x10.
  EXPECT_EQ(message.SerializeAsString(), std::string("\x10\x91\x1E\x2A\x08PROJCS[]", 13));
}

TEST(SpatialReference, ReadKeepsTheBitPatternAndTreatsAbsentAsZero) {
  ovraPBuffer::OvraTypes_SpatialReference message;
  message.set_wkid(0x80000000u);
  message.set_latestwkid(4326);
  message.set_vcswkid(0xFFFFFFFFu);
  message.set_latestvcswkid(5773);
  message.set_wkt("w");
  const SpatialReference sr = read_spatial_reference(&message);
  EXPECT_EQ(sr.wkid, INT32_MIN);
  EXPECT_EQ(sr.latestWkid, 4326);
  EXPECT_EQ(sr.vcsWkid, -1);
  EXPECT_EQ(sr.latestVcsWkid, 5773);
  EXPECT_EQ(sr.wkt, "w");

  const SpatialReference none = read_spatial_reference(nullptr);
  EXPECT_EQ(none.wkid, 0);
  EXPECT_TRUE(none.wkt.empty());
}

}  // namespace
}  // namespace lorengraph
