#include "query_result_decoder.h"

#include <climits>
#include <new>
#include <stdexcept>

#include "inflate.h"
#include "length_prefix.h"

namespace pb = ovraPBuffer::graph;

namespace lorengraph {

namespace {

constexpr const char* kHeaderParseFailure = "Result header parsing failure!";
constexpr const char* kFrameParseFailure = "Result frame parsing failure!";


}  // namespace

bool GraphQueryDecoder::push_buffer(std::string chunk) {
  if (chunk.empty() || chunk.size() > static_cast<std::size_t>(INT_MAX) || has_error()) return false;
  std::lock_guard<std::mutex> lock(queue_lock_);
  queue_.push_back(std::move(chunk));
  return true;
}

const value_t* GraphQueryDecoder::get_value(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= column_count() || !has_current_row()) return nullptr;
  return &values_[current_ + static_cast<std::size_t>(index)];
}

void GraphQueryDecoder::fail(std::int64_t code, std::string message) {
  error_.error_code = code;
  error_.error_message = std::move(message);
}

// The service's own error, when it reports one: an error sub-message that holds neither a
// code nor a text reports nothing.
bool GraphQueryDecoder::take_service_error(pb::Error& e) {
  if (e.error_code() == 0 && e.error_message().empty()) return false;
  fail(e.error_code(), std::move(*e.mutable_error_message()));
  return true;
}

// A failure thrown while decoding: the rows of this call are dropped, a row may be cut.
void GraphQueryDecoder::fail_in_decoding(std::int64_t code, std::string message) {
  fail(code, std::move(message));
  values_.clear();
}

bool GraphQueryDecoder::next_row() {
  if (has_current_row()) {
    current_ += column_count();
    if (current_ < values_.size()) return true;
  }
  values_.clear();
  current_ = 0;
  try {
    std::string chunk;
    {
      std::lock_guard<std::mutex> lock(queue_lock_);
      if (!queue_.empty()) {
        chunk = std::move(queue_.front());
        queue_.pop_front();
      }
    }
    // Parse the chunk in place unless an incomplete message waits in the carry.
    const bool input_is_carry = !carry_.empty();
    if (input_is_carry) carry_ += chunk;
    const std::string_view input = input_is_carry ? std::string_view(carry_) : std::string_view(chunk);
    if (!input.empty()) {
      incomplete_ = false;
      context_.null_budget = kMaxNullElements;  // one budget per chunk
      if (!has_error()) consume(input, input_is_carry);
      if (!incomplete_) carry_.clear();
    }
  } catch (const std::bad_alloc&) {
    fail_in_decoding(-1, "Out of memory!");
  } catch (const std::exception& e) {
    fail_in_decoding(-1, e.what());
  } catch (...) {
    fail_in_decoding(-1, "Unexpected error has occurred!");
  }
  if (has_error()) {
    carry_.clear();  // nothing is read after a failure
    carry_.shrink_to_fit();
  }
  return !values_.empty();
}

bool GraphQueryDecoder::take_message(std::string_view& rest, std::string_view& message,
                                     bool input_is_carry, const char* invalid_message) {
  const LengthPrefix prefix = read_length_prefix(rest);
  switch (prefix.status) {
    case LengthPrefix::none:
      return false;
    case LengthPrefix::invalid:
      fail(-1, invalid_message);
      return false;
    case LengthPrefix::incomplete:
      // Keep exactly the tail, from the prefix on, for the next chunk.
      incomplete_ = true;
      if (input_is_carry) {
        carry_.erase(0, carry_.size() - rest.size());
      } else {
        carry_.assign(rest.data(), rest.size());
      }
      return false;
    case LengthPrefix::complete:
      message = rest.substr(prefix.prefix_size, prefix.length);
      rest.remove_prefix(prefix.prefix_size + prefix.length);
      return true;
  }
  return false;
}

void GraphQueryDecoder::consume(std::string_view input, bool input_is_carry) {
  std::string_view rest = input;
  if (!header_parsed_) {
    std::string_view header;
    if (!take_message(rest, header, input_is_carry, kHeaderParseFailure)) return;
    parse_header(header);
    if (!header_parsed_) return;
  }
  parse_frames(rest, input_is_carry);
}

void GraphQueryDecoder::parse_header(std::string_view bytes) {
  pb::GraphQueryResultHeader header;
  if (!header.ParseFromArray(bytes.data(), static_cast<int>(bytes.size()))) {
    fail(-1, kHeaderParseFailure);
    return;
  }
  if (header.has_error() && take_service_error(*header.mutable_error())) return;
  if (!header.has_transform()) {
    fail(-1, "Result header did not include the required geometry transformation parameters!");
    return;
  }
  read_output_transform(header.transform(), context_.output_transform);
  frames_compressed_ = header.frames_compressed();
  auto& names = *header.mutable_field_names();
  field_names_.assign(std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
  header_parsed_ = true;
}

void GraphQueryDecoder::parse_frames(std::string_view& rest, bool input_is_carry) {
  std::string_view bytes;
  while (!rest.empty() && !has_error() &&
         take_message(rest, bytes, input_is_carry, kFrameParseFailure)) {
    if (!bytes.empty()) decode_frame(bytes);
  }
}

void GraphQueryDecoder::decode_frame(std::string_view bytes) {
  if (frames_compressed_) {
    std::string message;
    if (!inflater_.inflate(bytes, message)) {
      fail(-1, "zlib: " + message);
      return;
    }
    bytes = inflater_.output();
  }
  // Each frame lives on the arena until the next one: no per-cell allocation or freeing.
  arena_.Reset();
  auto* frame = google::protobuf::Arena::CreateMessage<pb::GraphQueryResultFrame>(&arena_);
  if (!frame->ParseFromArray(bytes.data(), static_cast<int>(bytes.size()))) {
    fail(-1, kFrameParseFailure);
    return;
  }
  if (frame->has_error() && take_service_error(*frame->mutable_error())) return;

  // Rows up to the first of the wrong width are decoded; room is reserved only for cells
  // the message really holds.
  const std::size_t columns = column_count();
  auto& rows = *frame->mutable_rows();
  int whole_rows = 0;
  while (whole_rows < rows.size() && static_cast<std::size_t>(rows[whole_rows].values_size()) == columns) {
    ++whole_rows;
  }
  values_.reserve(values_.size() + static_cast<std::size_t>(whole_rows) * columns);
  for (int r = 0; r < whole_rows; ++r) {
    for (pb::AnyValue& cell : *rows[r].mutable_values()) values_.push_back(decode_any_value(context_, cell));
  }
  if (whole_rows < rows.size()) fail(-3, "Error decoding result frame!");
}

}  // namespace lorengraph
