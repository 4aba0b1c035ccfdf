#include "apply_edits_encoder.h"

#include <climits>
#include <stdexcept>

#include "length_prefix.h"
#include "objects.h"
#include "value_codec.h"

namespace pb = ovraPBuffer::graph;

namespace lorengraph {

namespace {

// The object behind an entity or relationship value; `relationship` is set for the latter.
struct NamedObject {
  NamedTypeValue* object;
  RelationshipValue* relationship;
};

NamedObject as_named_object(const value_t& value) {
  if (const auto* e = std::get_if<std::shared_ptr<EntityValue>>(&value); e && *e) return {e->get(), nullptr};
  if (const auto* r = std::get_if<std::shared_ptr<RelationshipValue>>(&value); r && *r) return {r->get(), r->get()};
  throw std::invalid_argument("Argument must be valid Entity or Relationship!");
}

// Whether the codec took the value; a value it refuses, by status or by exception, makes
// the whole object unsendable.
template <class Encode>
bool encoded(Encode&& encode) {
  try {
    return encode() >= 0;
  } catch (const std::exception&) {
    return false;
  }
}

// `size` is the message's ByteSizeLong(), which also caches the sizes serializing uses.
bool append_length_prefixed(std::string& out, const google::protobuf::MessageLite& message, std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) return false;
  append_length_prefix(out, static_cast<std::uint32_t>(size));
  const std::size_t start = out.size();
  out.resize(start + size);
  message.SerializeWithCachedSizesToArray(reinterpret_cast<std::uint8_t*>(&out[start]));
  return true;
}

}  // namespace

GraphApplyEditsEncoder::GraphApplyEditsEncoder(bool flag, std::string first_text, std::string second_text,
                                               const SpatialReference& spatial_reference,
                                               const InputQuantizationParameters& input_quantization)
    : flag_(flag), first_text_(std::move(first_text)), second_text_(std::move(second_text)) {
  build_quantization_context(context_, spatial_reference, input_quantization, Envelope{});
  const std::int32_t status = write_input_transform(context_, header_.mutable_input_quantization_transform());
  if (status < 0) throw_status_error(status);
  frame_step();
}

pb::GraphApplyEditsFrame& GraphApplyEditsEncoder::frame_step() {
  if (encoded_) throw std::runtime_error("Cannot reuse encoder!");
  if (!has_current_frame_ || frame_fill_ >= kMaxObjectsPerFrame) {
    frame_fill_ = 0;
    frames_.push_back(google::protobuf::Arena::CreateMessage<pb::GraphApplyEditsFrame>(&arena_));
    has_current_frame_ = true;
  }
  return *frames_.back();
}

kg_error_t GraphApplyEditsEncoder::reject(std::int64_t code, const char* message) {
  last_rejection_ = kg_error_t{code, message};
  return last_rejection_;
}

void GraphApplyEditsEncoder::accept(std::uint64_t& operation_count) {
  ++object_count_;
  ++operation_count;
  ++frame_fill_;
  last_rejection_ = kg_error_t{};
}

kg_error_t GraphApplyEditsEncoder::add(const value_t& value) {
  const NamedObject named = as_named_object(value);
  pb::GraphApplyEditsFrame& frame = frame_step();
  NamedTypeValue& object = *named.object;
  if (object.type_name.empty()) return reject(-9, "Input object has no type name!");

  auto* adds = frame.mutable_adds();
  if (named.relationship) {
    auto& list = *(*adds->mutable_relationships())[object.type_name].mutable_adds();
    pb::RelationshipAdd* element = list.Add();
    if (!fill_add(object, named.relationship, element->mutable_named_object(), element)) list.RemoveLast();
  } else {
    auto& list = *(*adds->mutable_entities())[object.type_name].mutable_adds();
    if (!fill_add(object, nullptr, list.Add()->mutable_named_object(), nullptr)) list.RemoveLast();
  }
  return last_rejection_;
}

bool GraphApplyEditsEncoder::fill_add(NamedTypeValue& object, RelationshipValue* relationship,
                                      pb::NamedObjectAdd* target, pb::RelationshipAdd* relationship_add) {
  if (!std::holds_alternative<null_t>(object.id) &&
      !encoded([&] { return encode_any_value(context_, object.id, target->mutable_id()); })) {
    reject(-8, "Unexpected error while encoding ID of object to be added!");
    return false;
  }
  if (relationship) {
    if (std::holds_alternative<null_t>(relationship->origin_id) ||
        std::holds_alternative<null_t>(relationship->destination_id)) {
      reject(-3, "Relationship must have origin and desination IDs!");
    return false;
    }
    if (!encoded([&] {
          return encode_any_value(context_, relationship->origin_id, relationship_add->mutable_origin_id());
        })) {
      reject(-8, "Unexpected error while encoding origin ID of object to be added!");
    return false;
    }
    if (!encoded([&] {
          return encode_any_value(context_, relationship->destination_id,
                                  relationship_add->mutable_destination_id());
        })) {
      reject(-8, "Unexpected error while encoding destination ID of object to be added!");
    return false;
    }
  }
  if (!encoded([&] { return encode_property_list(context_, object.properties, target->mutable_properties()); })) {
    reject(-8, "Unexpected error while encoding object to be added!");
    return false;
  }
  accept(add_count_);
  return true;
}

kg_error_t GraphApplyEditsEncoder::update(const value_t& value) {
  const NamedObject named = as_named_object(value);
  pb::GraphApplyEditsFrame& frame = frame_step();
  NamedTypeValue& object = *named.object;
  if (object.type_name.empty()) return reject(-3, "Input object has no type name!");

  auto* updates = frame.mutable_updates();
  auto& by_type = named.relationship ? *updates->mutable_relationships() : *updates->mutable_entities();
  pb::NamedObjectUpdates& list = by_type[object.type_name];
  object.type_name.clear();
  if (object.properties.key_count() == 0) return reject(-3, "Empty input object.");

  pb::NamedObjectUpdate* target = list.add_updates();
  if (!encoded([&] { return encode_any_value(context_, object.id, target->mutable_id()); })) {
    list.mutable_updates()->RemoveLast();
    return reject(-8, "Unexpected error while encoding ID of object to be updated!");
  }
  if (!encoded([&] { return encode_property_list(context_, object.properties, target->mutable_properties()); })) {
    list.mutable_updates()->RemoveLast();
    return reject(-8, "Unexpected error while encoding object to be updated!");
  }
  accept(update_count_);
  return last_rejection_;
}

kg_error_t GraphApplyEditsEncoder::remove(const value_t& value) {
  const NamedObject named = as_named_object(value);
  pb::GraphApplyEditsFrame& frame = frame_step();
  NamedTypeValue& object = *named.object;
  if (object.type_name.empty()) return reject(-3, "Input object has no type name!");

  auto* deletes = frame.mutable_deletes();
  auto& by_type =
      named.relationship ? *deletes->mutable_deleted_relationship_ids() : *deletes->mutable_deleted_entity_ids();
  pb::GraphObjectIdentifierSet& set = by_type[object.type_name];
  object.type_name.clear();
  auto* ids = set.mutable_identifiers()->mutable_any_values()->mutable_value();
  if (!encoded([&] { return encode_any_value(context_, object.id, ids->Add()); })) {
    ids->RemoveLast();  // never send a half-written identifier
    return reject(-8, "Unexpected error while encoding object to be deleted!");
  }
  accept(delete_count_);
  return last_rejection_;
}

void GraphApplyEditsEncoder::encode() {
  if (encoded_) {
    result_.error = kg_error_t{-7, "GraphApplyEditsEncoder: Encode() has already been called!"};
    return;
  }
  if (object_count_ == 0) {
    result_.error = kg_error_t{-7, "GraphApplyEditsEncoder: empty input."};
    return;
  }
  encoded_ = true;
  has_current_frame_ = false;
  result_.byte_buffer.bytes.clear();
  const kg_error_t unexpected{-1, "GraphApplyEditsEncoder: unexpected error."};
  try {
    // Sizes first (an empty frame is not written at all), so the output is allocated once.
    const std::size_t header_size = header_.ByteSizeLong();
    std::vector<std::size_t> frame_sizes;
    frame_sizes.reserve(frames_.size());
    std::size_t total = header_size + 5;
    for (const pb::GraphApplyEditsFrame* frame : frames_) {
      frame_sizes.push_back(frame->ByteSizeLong());
      total += frame_sizes.back() + 5;
    }
    std::string& out = result_.byte_buffer.bytes;
    out.reserve(total);
    bool written = append_length_prefixed(out, header_, header_size);
    for (std::size_t i = 0; written && i < frames_.size(); ++i) {
      if (frame_sizes[i] > 0) written = append_length_prefixed(out, *frames_[i], frame_sizes[i]);
    }
    if (!written) {
      result_.error = unexpected;
      return;
    }
  } catch (const std::exception&) {
    result_.error = unexpected;
    return;
  }
  frames_.clear();
  frames_.shrink_to_fit();
  arena_.Reset();
  result_.error = kg_error_t{};
}

}  // namespace lorengraph
