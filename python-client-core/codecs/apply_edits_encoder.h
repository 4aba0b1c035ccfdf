// Collects entities and relationships to add, update and delete, and writes them as one
// apply-edits request: a length-prefixed header, then length-prefixed frames of at most
// 2049 objects each. Single use.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "applyedits.pb.h"
#include "encoding_result.h"
#include "objects.h"
#include "quantization.h"

namespace lorengraph {

class GraphApplyEditsEncoder : public std::enable_shared_from_this<GraphApplyEditsEncoder> {
 public:
  static constexpr std::uint64_t kMaxObjectsPerFrame = 2049;

  // Throws std::domain_error("cannot divide 1 by 0.") for a zero resolution.
  GraphApplyEditsEncoder(bool flag, std::string first_text, std::string second_text,
                         const SpatialReference& spatial_reference,
                         const InputQuantizationParameters& input_quantization);

  // Each takes an EntityValue or RelationshipValue (anything else throws
  // std::invalid_argument; after encode() they throw std::runtime_error). An object the
  // request cannot carry is skipped: the returned record (also kept as last_rejection())
  // says why; it is empty when the object was accepted.
  kg_error_t add(const value_t& object);
  kg_error_t update(const value_t& object);
  kg_error_t remove(const value_t& object);  // "delete" in Python

  // Never throws: failures end in the result's error record.
  void encode();
  const EncodingResult* get_encoding_result() const { return result_.if_present(); }

  // The first three constructor arguments are kept as given; they do not enter the request.
  bool flag() const { return flag_; }
  const std::string& first_text() const { return first_text_; }
  const std::string& second_text() const { return second_text_; }

  const kg_error_t& last_rejection() const { return last_rejection_; }
  std::uint64_t object_count() const { return object_count_; }
  std::uint64_t add_count() const { return add_count_; }
  std::uint64_t update_count() const { return update_count_; }
  std::uint64_t delete_count() const { return delete_count_; }
  std::size_t frame_count() const { return frames_.size(); }

 private:
  ovraPBuffer::graph::GraphApplyEditsFrame& frame_step();
  // Fills an appended add; false (with the reason in last_rejection_) when the object
  // cannot be sent, in which case the caller removes the element again.
  bool fill_add(NamedTypeValue& object, RelationshipValue* relationship,
                ovraPBuffer::graph::NamedObjectAdd* target, ovraPBuffer::graph::RelationshipAdd* relationship_add);
  kg_error_t reject(std::int64_t code, const char* message);
  void accept(std::uint64_t& operation_count);

  bool flag_;
  std::string first_text_;
  std::string second_text_;
  std::uint64_t object_count_ = 0;
  std::uint64_t add_count_ = 0;
  std::uint64_t update_count_ = 0;
  std::uint64_t delete_count_ = 0;
  QuantizationContext context_;
  std::uint64_t frame_fill_ = 0;
  bool encoded_ = false;
  ovraPBuffer::graph::GraphApplyEditsHeader header_;
  bool has_current_frame_ = false;
  // Frames live on the arena: building them allocates little, releasing them is one reset.
  google::protobuf::Arena arena_;
  std::vector<ovraPBuffer::graph::GraphApplyEditsFrame*> frames_;
  EncodingResult result_;
  kg_error_t last_rejection_;
};

}  // namespace lorengraph
