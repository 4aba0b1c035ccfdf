// Decoding a large, real-looking data model: hundreds of types, thousands of properties.
// Prints the decode time beside the time the protocol-buffer parse alone takes on the same
// bytes (plain and on an arena), and the cost of the name lookups on the decoded model.
#include <benchmark/benchmark.h>
#include <google/protobuf/arena.h>

#include <cstdio>
#include <map>
#include <string>

#include "data_model_decoder.h"
#include "datamodel.pb.h"

namespace {

namespace pb = ovraPBuffer::graph;

constexpr int kEntityTypes = 400;
constexpr int kRelationshipTypes = 200;
constexpr int kPropertiesPerEntity = 20;
constexpr int kPropertiesPerRelationship = 8;

void add_properties(pb::NamedObjectType* type, int count) {
  static const int kWireTypes[] = {2, 5, 4, 6, 7, 11, 12, 3, 5, 8};
  for (int i = 0; i < count; ++i) {
    auto* property = type->add_properties();
    property->set_name(type->name() + "_property_" + std::to_string(i));
    property->set_alias("Property " + std::to_string(i));
    const int wire_type = kWireTypes[i % 10];
    property->set_field_type(static_cast<pb::FieldType>(wire_type));
    property->set_not_nullable(i % 3 == 0);
    property->set_role(pb::Regular);
    if (wire_type == pb::ovraFieldTypeGeometry) {
      property->set_geometry_type(ovraPBuffer::OvraTypes::ovraGeometryTypePolygon);
      property->set_has_z(true);
    } else if (i % 4 == 0) {
      auto* value = property->add_default_value();
      if (wire_type == pb::ovraFieldTypeString) value->set_string_value("unknown");
      else if (wire_type == pb::ovraFieldTypeDate) value->set_int_value(1700000000000);
      else value->set_string_value("42");
    }
  }
  auto* index = type->add_field_indexes();
  index->set_name(type->name() + "_idx");
  index->set_fields(type->name() + "_property_0," + type->name() + "_property_1");
  index->set_isunique(true);
}

std::string large_model_bytes() {
  pb::GraphDataModel model;
  model.set_timestamp(1700000000000);
  model.mutable_spatial_reference()->set_wkid(4326);
  model.set_objectid_property("objectid");
  model.set_globalid_property("globalid");
  auto* info = model.mutable_identifier_info();
  info->mutable_identifier_mapping_info()->mutable_uniform_property_identifier()->set_identifier_property_name(
      "globalid");
  info->mutable_identifier_generation_info()->set_uuid_method_hint(pb::UUID_RFC_4122);
  for (int t = 0; t < kEntityTypes; ++t) {
    auto* type = model.add_entity_types()->mutable_named_object_type();
    type->set_name("EntityType" + std::to_string(t));
    add_properties(type, kPropertiesPerEntity);
  }
  for (int t = 0; t < kRelationshipTypes; ++t) {
    auto* relationship = model.add_relationship_types();
    auto* type = relationship->mutable_named_object_type();
    type->set_name("RelationshipType" + std::to_string(t));
    add_properties(type, kPropertiesPerRelationship);
    for (int e = 0; e < 3; ++e) {
      auto* end_point = relationship->add_end_points();
      end_point->set_origin_entity_type("EntityType" + std::to_string((t + e) % kEntityTypes));
      end_point->set_destination_entity_type("EntityType" + std::to_string((t * 7 + e) % kEntityTypes));
    }
  }
  for (int s = 0; s < 10; ++s) {
    auto* index = model.add_search_indexes();
    index->set_name("search" + std::to_string(s));
    index->set_supported_category(pb::ovraTypeBoth);
    index->add_analyzers()->set_name("standard");
    for (int t = 0; t < 40; ++t) {
      auto& properties = (*index->mutable_search_properties())["EntityType" + std::to_string(s * 40 + t)];
      properties.add_property_names("EntityType" + std::to_string(s * 40 + t) + "_property_1");
    }
  }
  return model.SerializeAsString();
}

const std::string& model_bytes() {
  static const std::string bytes = large_model_bytes();
  return bytes;
}

void BM_ParseOnly(benchmark::State& state) {
  const std::string& bytes = model_bytes();
  for (auto _ : state) {
    pb::GraphDataModel message;
    benchmark::DoNotOptimize(message.ParseFromString(bytes));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond);

// The same parse into an arena, as the decoder does it.
void BM_ParseOnArena(benchmark::State& state) {
  const std::string& bytes = model_bytes();
  for (auto _ : state) {
    google::protobuf::Arena arena;
    auto* message = google::protobuf::Arena::CreateMessage<pb::GraphDataModel>(&arena);
    benchmark::DoNotOptimize(message->ParseFromString(bytes));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ParseOnArena)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state) {
  const std::string& bytes = model_bytes();
  for (auto _ : state) {
    auto model = lorengraph::decode_data_model_from_protocol_buffer(bytes.data(), bytes.size());
    if (!model) state.SkipWithError("model rejected");
    benchmark::DoNotOptimize(model);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

// One entity type lookup and one property lookup on it, by name.
void BM_Lookup(benchmark::State& state) {
  const std::string& bytes = model_bytes();
  const auto model = lorengraph::decode_data_model_from_protocol_buffer(bytes.data(), bytes.size());
  std::vector<std::pair<std::string, std::string>> names;
  for (int t = 0; t < kEntityTypes; t += 7) {
    const std::string type = "EntityType" + std::to_string(t);
    names.emplace_back(type, type + "_property_" + std::to_string(t % kPropertiesPerEntity));
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const auto& [type_name, property_name] = names[i++ % names.size()];
    benchmark::DoNotOptimize(model->query_entity_type(type_name)->get_property(property_name));
  }
}
BENCHMARK(BM_Lookup);

// Keeps each benchmark's CPU time so the summary can set decoding against parsing alone.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      // With repetitions, the mean stands for the benchmark.
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean") continue;
      seconds_[run.run_name.function_name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const double parse = seconds_["BM_ParseOnly"];
    const double parse_on_arena = seconds_["BM_ParseOnArena"];
    const double decode = seconds_["BM_Decode"];
    const int properties = kEntityTypes * kPropertiesPerEntity + kRelationshipTypes * kPropertiesPerRelationship;
    std::printf("\nmodel: %d entity types, %d relationship types, %d properties, %zu bytes\n", kEntityTypes,
                kRelationshipTypes, properties, model_bytes().size());
    if (parse > 0) std::printf("decode / parse alone: %.2f\n", decode / parse);
    if (parse_on_arena > 0) std::printf("decode / parse on an arena: %.2f\n", decode / parse_on_arena);
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
