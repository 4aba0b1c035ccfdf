#include <gtest/gtest.h>

#include "geometry.h"
#include "objects.h"

namespace lorengraph {
namespace {

std::int64_t as_int(const value_t* v) {
  EXPECT_NE(v, nullptr);
  return v ? std::get<std::int64_t>(*v) : -1;
}

TEST(PropertyList, EmptyKeyIsNeverStored) {
  PropertyList list;
  list.set_key_value("a", std::int64_t{1});
  EXPECT_FALSE(list.set_key_value("", std::int64_t{2}));
  EXPECT_FALSE(list.append_key_value("", std::int64_t{2}));
  EXPECT_EQ(list.key_count(), 1);
  EXPECT_EQ(list.query_value(""), nullptr);
}

TEST(PropertyList, DuplicateKeysResolveToTheFirstPair) {
  PropertyList list;
  EXPECT_TRUE(list.append_key_value("a", std::int64_t{1}));
  EXPECT_TRUE(list.append_key_value("a", std::int64_t{2}));
  EXPECT_EQ(list.key_count(), 2);
  EXPECT_EQ(as_int(list.query_value("a")), 1);

  EXPECT_TRUE(list.set_key_value("a", std::int64_t{3}));
  EXPECT_EQ(as_int(list.get_value_at(0)), 3);
  EXPECT_EQ(as_int(list.get_value_at(1)), 2);

  EXPECT_TRUE(list.set_key_value("b", std::int64_t{4}));  // a new key goes to the end
  EXPECT_EQ(list.key_value_pairs().back().first, "b");
}

TEST(PropertyList, KeysCompareByExactBytes) {
  PropertyList list;
  list.set_key_value(std::string("a\0b", 3), std::int64_t{1});
  list.set_key_value("A", std::int64_t{2});
  EXPECT_EQ(list.query_value("a"), nullptr);
  EXPECT_EQ(as_int(list.query_value(std::string("a\0b", 3))), 1);
  EXPECT_EQ(as_int(list.query_value("A")), 2);
}

TEST(PropertyList, IndexesOutsideTheListMiss) {
  PropertyList list;
  list.set_key_value("a", std::int64_t{1});
  for (int index : {-1, 1, 1 << 30}) {
    EXPECT_EQ(list.get_value_at(index), nullptr) << index;
    EXPECT_FALSE(list.put_value_at(index, std::int64_t{9})) << index;
  }
  EXPECT_EQ(list.key_count(), 1);
  EXPECT_TRUE(list.put_value_at(0, std::string("x")));
  EXPECT_EQ(list.key_value_pairs()[0].first, "a");
  EXPECT_EQ(std::get<std::string>(*list.get_value_at(0)), "x");
}

TEST(ArrayValue, PutValueAtGrowsWithNulls) {
  ArrayValue array;
  EXPECT_TRUE(array.put_value_at(2, std::string("s")));
  ASSERT_EQ(array.count(), 3);
  EXPECT_TRUE(std::holds_alternative<null_t>(array.values[0]));
  EXPECT_TRUE(std::holds_alternative<null_t>(array.values[1]));
  EXPECT_TRUE(array.put_value_at(0, std::int64_t{5}));
  EXPECT_EQ(as_int(array.get_value_at(0)), 5);
  EXPECT_EQ(std::get<std::string>(*array.get_value_at(2)), "s");
  EXPECT_FALSE(array.put_value_at(-1, std::int64_t{1}));
  EXPECT_EQ(array.count(), 3);
  EXPECT_EQ(array.get_value_at(-1), nullptr);
  EXPECT_EQ(array.get_value_at(3), nullptr);
}

TEST(ValueModel, CopiesShareObjectsButNotScalars) {
  auto object = std::make_shared<ObjectValue>();
  ArrayValue array;
  array.add_value(object);
  value_t copy = array.values[0];
  object->properties.set_key_value("k", std::string("v"));
  EXPECT_EQ(std::get<std::shared_ptr<ObjectValue>>(copy)->properties.key_count(), 1);

  value_t text = std::string("abc");
  value_t text_copy = text;
  std::get<std::string>(text) += "d";
  EXPECT_EQ(std::get<std::string>(text_copy), "abc");
}

TEST(ValueModel, NewObjectsAreEmpty) {
  EXPECT_TRUE(std::holds_alternative<null_t>(value_t{}));
  RelationshipValue r;
  EXPECT_TRUE(std::holds_alternative<null_t>(r.get_id()));
  EXPECT_TRUE(std::holds_alternative<null_t>(r.get_origin_entity_id()));
  EXPECT_TRUE(std::holds_alternative<null_t>(r.get_destination_entity_id()));
  EXPECT_TRUE(r.type_name.empty());
  EXPECT_EQ(RelationshipValue::object_value_type, ObjectValueType::Relationship);
}

TEST(ValueModel, ClearKeepsTypeNameAndIdentifier) {
  EntityValue e;
  e.type_name = "Person";
  e.set_id(std::int64_t{7});
  e.properties.set_key_value("name", std::string("Ada"));
  e.properties.clear();
  EXPECT_EQ(e.properties.key_count(), 0);
  EXPECT_EQ(e.type_name, "Person");
  EXPECT_EQ(std::get<std::int64_t>(e.get_id()), 7);
}

TEST(PathValue, IndexesOutsideTheSequencesMiss) {
  PathValue path;
  path.entities.push_back(std::make_shared<EntityValue>());
  EXPECT_NE(path.get_entity_at(0), nullptr);
  EXPECT_EQ(path.get_entity_at(1), nullptr);
  EXPECT_EQ(path.get_entity_at(-1), nullptr);
  EXPECT_EQ(path.get_relationship_at(0), nullptr);
}

TEST(ValueModel, SharedObjectsHandOutReferencesToThemselves) {
  auto geometry = std::make_shared<geometry_t>();
  EXPECT_EQ(geometry->shared_from_this(), geometry);
  auto entity = std::make_shared<EntityValue>();
  EXPECT_EQ(entity->shared_from_this(), entity);
}

}  // namespace
}  // namespace lorengraph
