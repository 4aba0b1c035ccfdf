#include "value_codec.h"

#include <cfloat>
#include <cmath>
#include <stdexcept>
#include <type_traits>

#include "error.h"
#include "nesting.h"
#include "objects.h"
#include "value.pb.h"

namespace pb = ovraPBuffer::graph;
using google::protobuf::RepeatedPtrField;

namespace lorengraph {

namespace {

constexpr std::int64_t kSmallIntMin = -1048576;  // integers sent as short varints
constexpr std::int64_t kSmallIntMax = 1048575;
constexpr std::int64_t kWideIntLimit = std::int64_t{1} << 48;
constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63

// ---- The narrowest exact wire member of a number ------------------------------------------

// x truncated to 32 bits, when that is exact and small.
bool single_as_small_int(float x, std::int32_t& t) {
  if (!(x >= static_cast<float>(kSmallIntMin) && x <= static_cast<float>(kSmallIntMax))) return false;
  t = static_cast<std::int32_t>(x);
  return static_cast<float>(t) == x;
}

enum class DoubleClass { small, float_only, wide_integer, full_double };

struct DoubleForm {
  DoubleClass kind = DoubleClass::full_double;
  std::int64_t integer = 0;  // for small and wide_integer
  float single = 0;          // for small and float_only
};

DoubleForm classify_double(double d) {
  DoubleForm form;
  const bool float_exact = !std::isnan(d) && (std::isinf(d) || std::fabs(d) <= FLT_MAX) &&
                           static_cast<double>(static_cast<float>(d)) == d;
  bool integral = false;
  if (d >= -kInt64Limit && d < kInt64Limit) {
    form.integer = static_cast<std::int64_t>(d);
    integral = static_cast<double>(form.integer) == d;
  }
  if (float_exact) form.single = static_cast<float>(d);
  if (integral && float_exact && form.integer >= kSmallIntMin && form.integer <= kSmallIntMax) {
    form.kind = DoubleClass::small;
  } else if (float_exact) {
    form.kind = DoubleClass::float_only;
  } else if (integral && form.integer >= -kWideIntLimit && form.integer < kWideIntLimit) {
    form.kind = DoubleClass::wide_integer;
  }
  return form;
}

void write_single(float x, pb::PrimitiveValue* m) {
  std::int32_t t;
  if (single_as_small_int(x, t)) {
    m->set_float_int_value(t);
  } else {
    m->set_float_value(x);
  }
}

void write_double(double d, pb::PrimitiveValue* m) {
  const DoubleForm form = classify_double(d);
  switch (form.kind) {
    case DoubleClass::small:
    case DoubleClass::wide_integer:
      m->set_double_int_value(form.integer);
      break;
    case DoubleClass::float_only:
      m->set_double_float_value(form.single);
      break;
    case DoubleClass::full_double:
      m->set_double_value(d);
      break;
  }
}

void write_double_array(const std::vector<value_t>& values, pb::ArrayValue* m) {
  bool any_float_only = false, any_wide_integer = false, any_double = false;
  for (const value_t& v : values) {
    switch (classify_double(std::get<double>(v)).kind) {
      case DoubleClass::float_only: any_float_only = true; break;
      case DoubleClass::wide_integer: any_wide_integer = true; break;
      case DoubleClass::full_double: any_double = true; break;
      case DoubleClass::small: break;
    }
  }
  // Float-only and wide-integer elements together fit neither narrow form: send doubles.
  if (any_double || (any_float_only && any_wide_integer)) {
    auto* out = m->mutable_double_values()->mutable_value();
    out->Reserve(static_cast<int>(values.size()));
    for (const value_t& v : values) out->AddAlreadyReserved(std::get<double>(v));
  } else if (any_float_only) {
    auto* out = m->mutable_double_float_values()->mutable_value();
    out->Reserve(static_cast<int>(values.size()));
    for (const value_t& v : values) out->AddAlreadyReserved(static_cast<float>(std::get<double>(v)));
  } else {
    auto* out = m->mutable_double_int_values()->mutable_value();
    out->Reserve(static_cast<int>(values.size()));
    for (const value_t& v : values) out->AddAlreadyReserved(static_cast<std::int64_t>(std::get<double>(v)));
  }
}

void write_single_array(const std::vector<value_t>& values, pb::ArrayValue* m) {
  std::vector<std::int32_t> small;
  small.reserve(values.size());
  for (const value_t& v : values) {
    std::int32_t t;
    if (!single_as_small_int(std::get<float>(v), t)) break;
    small.push_back(t);
  }
  if (small.size() == values.size()) {
    m->mutable_float_int_values()->mutable_value()->Add(small.begin(), small.end());
    return;
  }
  auto* out = m->mutable_float_values()->mutable_value();
  out->Reserve(static_cast<int>(values.size()));
  for (const value_t& v : values) out->AddAlreadyReserved(std::get<float>(v));
}

// Milliseconds that no 64-bit nanosecond count can hold read as null rather than wrap.
value_t from_millis(std::int64_t ms) {
  const auto tp = time_point_from_millis(ms);
  return tp ? value_t(*tp) : value_t(null_t{});
}

// Alternatives that never get a typed array.
bool needs_mixed_array(std::size_t alternative) {
  return alternative == 1 /* bool */ || alternative == 7 /* string */ || alternative >= 10;
}

// ---- Encoding -------------------------------------------------------------------------------

class Encoder {
 public:
  explicit Encoder(const QuantizationContext& context) : context_(context) {}

  std::int32_t any(value_t& value, pb::AnyValue* m) {
    NestingGuard guard(depth_);
    return std::visit([&](auto& v) { return write(v, m); }, value);
  }

  // The list is emptied once every pair is written.
  std::int32_t properties(PropertyList& list, RepeatedPtrField<pb::KeyValuePair>* out) {
    out->Reserve(out->size() + list.key_count());
    for (auto& [key, value] : list.mutable_pairs()) {
      auto* pair = out->Add();
      pair->set_key(key);
      const std::int32_t status = any(value, pair->mutable_value());
      if (status < 0) return status;
    }
    list.clear();
    return KG_OK;
  }

  std::int32_t geometry(const std::shared_ptr<geometry_t>& g, pb::GeometryValue* m) {
    if (!g) return KG_E_INVALIDARG;
    if (!context_.is_set) return KG_E_NO_SPATIAL_REFERENCE;
    if (g->geometry_type == ovraGeometryMultiPatch) return KG_E_NOTIMPL;
    const int wire_type = geometry_type_to_wire(g->geometry_type);
    if (wire_type < 0) throw std::invalid_argument("unsupported geometry type");

    m->set_geometry_type(static_cast<ovraPBuffer::OvraTypes_GeometryType>(wire_type));
    auto* d = m->mutable_default_geometry();
    d->set_has_z(g->has_z);
    d->set_has_m(g->has_m);
    quantize_coordinates(*g, context_);
    for (const std::int32_t length : g->lengths) d->add_lengths(static_cast<std::uint32_t>(length));
    if (g->coords.size() > 2147483647u) return KG_E_INVALIDARG;
    auto* coords = d->mutable_coords();
    coords->Reserve(static_cast<int>(g->coords.size()));
    for (const double c : g->coords) coords->AddAlreadyReserved(static_cast<std::int64_t>(c));
    return KG_OK;
  }

 private:
  pb::PrimitiveValue* primitive(pb::AnyValue* m) { return m->mutable_primitive_value(); }

  // Scalars always succeed.
  std::int32_t write(null_t, pb::AnyValue* m) {
    primitive(m)->set_null_value(false);
    return KG_OK;
  }
  std::int32_t write(bool v, pb::AnyValue* m) {
    primitive(m)->set_bool_value(v);
    return KG_OK;
  }
  std::int32_t write(std::int64_t v, pb::AnyValue* m) {
    primitive(m)->set_int_value(v);
    return KG_OK;
  }
  std::int32_t write(float v, pb::AnyValue* m) {
    write_single(v, primitive(m));
    return KG_OK;
  }
  std::int32_t write(double v, pb::AnyValue* m) {
    write_double(v, primitive(m));
    return KG_OK;
  }
  std::int32_t write(uuid_t& v, pb::AnyValue* m) {
    primitive(m)->set_uuid_value(v.bytes.data(), v.bytes.size());
    return KG_OK;
  }
  std::int32_t write(time_point_t v, pb::AnyValue* m) {
    primitive(m)->set_date_time_value(millis_from_time_point(v));
    return KG_OK;
  }
  std::int32_t write(std::string& v, pb::AnyValue* m) {
    primitive(m)->set_string_value(std::move(v));
    return KG_OK;
  }
  std::int32_t write(blob_t& v, pb::AnyValue* m) {
    primitive(m)->set_blob_value(std::move(v.bytes));
    return KG_OK;
  }
  std::int32_t write(std::shared_ptr<geometry_t>& g, pb::AnyValue* m) {
    return geometry(g, primitive(m)->mutable_geometry_value());
  }
  std::int32_t write(std::shared_ptr<ObjectValue>& o, pb::AnyValue* m) {
    if (!o) return KG_E_INVALIDARG;
    return properties(o->properties, m->mutable_object_value()->mutable_properties());
  }
  std::int32_t write(std::shared_ptr<EntityValue>& e, pb::AnyValue* m) {
    if (!e) return KG_E_INVALIDARG;
    auto* out = m->mutable_entity_value();
    out->set_label(e->type_name);
    return properties(e->properties, out->mutable_properties());
  }
  std::int32_t write(std::shared_ptr<RelationshipValue>& r, pb::AnyValue* m) {
    if (!r) return KG_E_INVALIDARG;
    auto* out = m->mutable_relationship_value();
    out->set_type(r->type_name);
    return properties(r->properties, out->mutable_properties());
  }
  std::int32_t write(std::shared_ptr<PathValue>&, pb::AnyValue*) { return KG_E_NOTIMPL; }
  std::int32_t write(std::shared_ptr<ArrayValue>& a, pb::AnyValue* m) {
    return array(a, m->mutable_array_value());
  }

  std::int32_t array(const std::shared_ptr<ArrayValue>& a, pb::ArrayValue* m) {
    if (!a) return KG_E_NOTIMPL;
    std::vector<value_t>& values = a->values;
    if (values.empty()) {
      m->Clear();
      return 1;
    }
    const std::size_t kind = values.front().index();
    bool same = true;
    for (const value_t& v : values) same = same && v.index() == kind;
    if (!same || needs_mixed_array(kind)) return mixed_array(values, m);

    switch (kind) {
      case 0:
        m->mutable_null_values()->set_count(static_cast<std::int64_t>(values.size()));
        return KG_OK;
      case 2: {
        auto* out = m->mutable_int_values()->mutable_value();
        out->Reserve(static_cast<int>(values.size()));
        for (const value_t& v : values) out->AddAlreadyReserved(std::get<std::int64_t>(v));
        return KG_OK;
      }
      case 3:
        write_single_array(values, m);
        return KG_OK;
      case 4:
        write_double_array(values, m);
        return KG_OK;
      case 5: {
        std::string* out = m->mutable_uuid_values();
        out->reserve(values.size() * 16);
        for (const value_t& v : values) {
          const auto& bytes = std::get<uuid_t>(v).bytes;
          out->append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
        return KG_OK;
      }
      case 6: {
        auto* out = m->mutable_date_time_values()->mutable_value();
        out->Reserve(static_cast<int>(values.size()));
        for (const value_t& v : values) out->AddAlreadyReserved(millis_from_time_point(std::get<time_point_t>(v)));
        return KG_OK;
      }
      case 8: {
        auto* out = m->mutable_blob_values()->mutable_value();
        out->Reserve(static_cast<int>(values.size()));
        for (value_t& v : values) out->Add(std::move(std::get<blob_t>(v).bytes));
        return KG_OK;
      }
      default: {  // 9: geometries
        auto* out = m->mutable_geometry_values()->mutable_value();
        for (value_t& v : values) {
          const std::int32_t status = geometry(std::get<std::shared_ptr<geometry_t>>(v), out->Add());
          if (status < 0) return status;
        }
        return KG_OK;
      }
    }
  }

  std::int32_t mixed_array(std::vector<value_t>& values, pb::ArrayValue* m) {
    auto* out = m->mutable_any_values()->mutable_value();
    out->Reserve(static_cast<int>(values.size()));
    for (value_t& v : values) {
      const std::int32_t status = any(v, out->Add());
      if (status < 0) return status;
    }
    return KG_OK;
  }

  const QuantizationContext& context_;
  int depth_ = 0;
};

// ---- Decoding -------------------------------------------------------------------------------

class Decoder {
 public:
  explicit Decoder(const DecodingContext& context) : context_(context) {}

  value_t any(pb::AnyValue& message) {
    NestingGuard guard(depth_);
    pb::AnyValue* m = &message;
    while (m->value_case() == pb::AnyValue::kWrappedValue) m = m->mutable_wrapped_value();
    switch (m->value_case()) {
      case pb::AnyValue::kPrimitiveValue:
        return primitive(*m->mutable_primitive_value());
      case pb::AnyValue::kArrayValue:
        return array_elements(*m->mutable_array_value());
      case pb::AnyValue::kObjectValue: {
        auto o = std::make_shared<ObjectValue>();
        if (!properties(*m->mutable_object_value()->mutable_properties(), o->properties)) {
          return std::shared_ptr<ObjectValue>();
        }
        return o;
      }
      case pb::AnyValue::kEntityValue:
        return entity(*m->mutable_entity_value());
      case pb::AnyValue::kRelationshipValue:
        return relationship(*m->mutable_relationship_value());
      case pb::AnyValue::kPathValue:
        return path(*m->mutable_path_value());
      default:
        return null_t{};
    }
  }

  value_t primitive(pb::PrimitiveValue& m) {
    switch (m.value_case()) {
      case pb::PrimitiveValue::kStringValue: return std::move(*m.mutable_string_value());
      case pb::PrimitiveValue::kFloatValue: return m.float_value();
      case pb::PrimitiveValue::kFloatIntValue: return static_cast<float>(m.float_int_value());
      case pb::PrimitiveValue::kDoubleValue: return m.double_value();
      case pb::PrimitiveValue::kDoubleFloatValue: return static_cast<double>(m.double_float_value());
      case pb::PrimitiveValue::kDoubleIntValue: return static_cast<double>(m.double_int_value());
      case pb::PrimitiveValue::kIntValue: return static_cast<std::int64_t>(m.int_value());
      case pb::PrimitiveValue::kBoolValue: return m.bool_value();
      case pb::PrimitiveValue::kUuidValue: {
        const std::string& bytes = m.uuid_value();
        if (bytes.size() != 16) return null_t{};
        uuid_t id;
        std::copy(bytes.begin(), bytes.end(), id.bytes.begin());
        return id;
      }
      case pb::PrimitiveValue::kBlobValue: return blob_t{std::move(*m.mutable_blob_value())};
      case pb::PrimitiveValue::kGeometryValue: return geometry(m.geometry_value());
      case pb::PrimitiveValue::kDateTimeValue: return from_millis(m.date_time_value());
      default: return null_t{};  // null_value, or nothing set
    }
  }

  value_t array(pb::ArrayValue& m) {
    NestingGuard guard(depth_);
    return array_elements(m);
  }

  value_t geometry(const pb::GeometryValue& m) {
    if (m.geometry_case() != pb::GeometryValue::kDefaultGeometry) return null_t{};
    const auto& d = m.default_geometry();
    auto g = std::make_shared<geometry_t>();
    g->geometry_type = geometry_type_from_wire(m.geometry_type());
    g->has_z = d.has_z();
    g->has_m = d.has_m();
    g->lengths.reserve(static_cast<std::size_t>(d.lengths_size()));
    for (const std::uint32_t length : d.lengths()) g->lengths.push_back(static_cast<std::int32_t>(length));
    g->coords.reserve(static_cast<std::size_t>(d.coords_size()));
    for (const std::int64_t c : d.coords()) g->coords.push_back(static_cast<double>(c));
    restore_coordinates(*g, context_.output_transform);
    return g;
  }

 private:
  // False when a key is empty: such a list makes the whole object invalid.
  bool properties(RepeatedPtrField<pb::KeyValuePair>& in, PropertyList& out) {
    auto& pairs = out.mutable_pairs();
    pairs.reserve(static_cast<std::size_t>(in.size()));
    for (pb::KeyValuePair& pair : in) {
      if (pair.key().empty()) return false;
      value_t value = pair.has_value() ? any(*pair.mutable_value()) : value_t{};
      pairs.emplace_back(std::move(*pair.mutable_key()), std::move(value));
    }
    in.Clear();
    return true;
  }

  template <class Target, class Message>
  bool named(Message& m, Target& target, std::string* type_name) {
    if (!properties(*m.mutable_properties(), target.properties)) return false;
    target.type_name = std::move(*type_name);
    if (m.has_id()) target.id = any(*m.mutable_id());
    return true;
  }

  value_t entity(pb::EntityValue& m) {
    auto e = std::make_shared<EntityValue>();
    if (!named(m, *e, m.mutable_label())) return null_t{};
    return e;
  }

  value_t relationship(pb::RelationshipValue& m) {
    auto r = std::make_shared<RelationshipValue>();
    if (!named(m, *r, m.mutable_type())) return null_t{};
    if (m.has_origin_id()) r->origin_id = any(*m.mutable_origin_id());
    if (m.has_destination_id()) r->destination_id = any(*m.mutable_destination_id());
    return r;
  }

  value_t path(pb::PathValue& m) {
    const std::shared_ptr<PathValue> invalid;
    if (m.entities_size() != m.relationships_size() + 1) return invalid;
    auto p = std::make_shared<PathValue>();
    p->entities.reserve(static_cast<std::size_t>(m.entities_size()));
    p->relationships.reserve(static_cast<std::size_t>(m.relationships_size()));
    for (int i = 0; i < m.entities_size(); ++i) {
      value_t e = entity(*m.mutable_entities(i));
      if (std::holds_alternative<null_t>(e)) return invalid;
      p->entities.push_back(std::get<std::shared_ptr<EntityValue>>(std::move(e)));
      if (i == m.relationships_size()) break;
      value_t r = relationship(*m.mutable_relationships(i));
      if (std::holds_alternative<null_t>(r)) return invalid;
      p->relationships.push_back(std::get<std::shared_ptr<RelationshipValue>>(std::move(r)));
    }
    return p;
  }

  template <class Repeated, class Convert>
  static std::shared_ptr<ArrayValue> convert_all(const Repeated& in, Convert convert) {
    auto a = std::make_shared<ArrayValue>();
    a->values.reserve(static_cast<std::size_t>(in.size()));
    for (const auto& element : in) a->values.emplace_back(convert(element));
    return a;
  }

  value_t array_elements(pb::ArrayValue& m) {
    switch (m.values_case()) {
      case pb::ArrayValue::kAnyValues: {
        auto a = std::make_shared<ArrayValue>();
        auto& in = *m.mutable_any_values()->mutable_value();
        a->values.reserve(static_cast<std::size_t>(in.size()));
        for (pb::AnyValue& element : in) a->values.push_back(any(element));
        return a;
      }
      case pb::ArrayValue::kFloatValues:
        return convert_all(m.float_values().value(), [](float v) { return v; });
      case pb::ArrayValue::kFloatIntValues:
        return convert_all(m.float_int_values().value(), [](std::int32_t v) { return static_cast<float>(v); });
      case pb::ArrayValue::kDoubleValues:
        return convert_all(m.double_values().value(), [](double v) { return v; });
      case pb::ArrayValue::kDoubleFloatValues:
        return convert_all(m.double_float_values().value(), [](float v) { return static_cast<double>(v); });
      case pb::ArrayValue::kDoubleIntValues:
        return convert_all(m.double_int_values().value(), [](std::int64_t v) { return static_cast<double>(v); });
      case pb::ArrayValue::kIntValues:
        return convert_all(m.int_values().value(), [](std::int64_t v) { return v; });
      case pb::ArrayValue::kBoolValues:
        return convert_all(m.bool_values().value(), [](bool v) { return v; });
      case pb::ArrayValue::kNullValues: {
        const std::int64_t count = m.null_values().count();
        if (count < 0 || count > context_.null_budget) throw std::length_error("Null array count out of range.");
        context_.null_budget -= count;
        auto a = std::make_shared<ArrayValue>();
        a->values.resize(static_cast<std::size_t>(count));
        return a;
      }
      case pb::ArrayValue::kUuidValues: {
        const std::string& bytes = m.uuid_values();
        if (bytes.size() % 16 != 0) return std::shared_ptr<ArrayValue>();
        auto a = std::make_shared<ArrayValue>();
        a->values.reserve(bytes.size() / 16);
        for (std::size_t i = 0; i < bytes.size(); i += 16) {
          uuid_t id;
          std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(i), 16, id.bytes.begin());
          a->values.emplace_back(id);
        }
        return a;
      }
      case pb::ArrayValue::kDateTimeValues:
        return convert_all(m.date_time_values().value(), from_millis);
      case pb::ArrayValue::kStringValues: {
        auto a = std::make_shared<ArrayValue>();
        auto& in = *m.mutable_string_values()->mutable_value();
        a->values.reserve(static_cast<std::size_t>(in.size()));
        for (std::string& s : in) a->values.emplace_back(std::move(s));
        return a;
      }
      case pb::ArrayValue::kBlobValues: {
        auto a = std::make_shared<ArrayValue>();
        auto& in = *m.mutable_blob_values()->mutable_value();
        a->values.reserve(static_cast<std::size_t>(in.size()));
        for (std::string& s : in) a->values.emplace_back(blob_t{std::move(s)});
        return a;
      }
      case pb::ArrayValue::kGeometryValues: {
        auto a = std::make_shared<ArrayValue>();
        const auto& in = m.geometry_values().value();
        a->values.reserve(static_cast<std::size_t>(in.size()));
        for (const pb::GeometryValue& g : in) a->values.push_back(geometry(g));
        return a;
      }
      default:
        return std::shared_ptr<ArrayValue>();
    }
  }

  const DecodingContext& context_;
  int depth_ = 0;
};

}  // namespace

int geometry_type_to_wire(ovraGeometryType type) {
  switch (type) {
    case ovraGeometryPoint: return ovraPBuffer::OvraTypes::ovraGeometryTypePoint;
    case ovraGeometryMultipoint: return ovraPBuffer::OvraTypes::ovraGeometryTypeMultipoint;
    case ovraGeometryPolyline: return ovraPBuffer::OvraTypes::ovraGeometryTypePolyline;
    case ovraGeometryPolygon: return ovraPBuffer::OvraTypes::ovraGeometryTypePolygon;
    case ovraGeometryEnvelope: return ovraPBuffer::OvraTypes::ovraGeometryTypeEnvelope;
    default: return -1;
  }
}

ovraGeometryType geometry_type_from_wire(int wire) {
  switch (wire) {
    case ovraPBuffer::OvraTypes::ovraGeometryTypePoint: return ovraGeometryPoint;
    case ovraPBuffer::OvraTypes::ovraGeometryTypeMultipoint: return ovraGeometryMultipoint;
    case ovraPBuffer::OvraTypes::ovraGeometryTypePolyline: return ovraGeometryPolyline;
    case ovraPBuffer::OvraTypes::ovraGeometryTypePolygon: return ovraGeometryPolygon;
    case ovraPBuffer::OvraTypes::ovraGeometryTypeMultipatch: return ovraGeometryMultiPatch;
    case ovraPBuffer::OvraTypes::ovraGeometryTypeEnvelope: return ovraGeometryEnvelope;
    default: return ovraGeometryNull;
  }
}

std::int32_t encode_any_value(const QuantizationContext& context, value_t& value, pb::AnyValue* message) {
  if (message == nullptr) return KG_E_NULL;
  return Encoder(context).any(value, message);
}

std::int32_t encode_geometry(const QuantizationContext& context, const std::shared_ptr<geometry_t>& geometry,
                             pb::GeometryValue* message) {
  return Encoder(context).geometry(geometry, message);
}

std::int32_t encode_property_list(const QuantizationContext& context, PropertyList& properties,
                                  RepeatedPtrField<pb::KeyValuePair>* out) {
  return Encoder(context).properties(properties, out);
}

value_t decode_any_value(const DecodingContext& context, pb::AnyValue& message) {
  return Decoder(context).any(message);
}

value_t decode_array_value(const DecodingContext& context, pb::ArrayValue& message) {
  return Decoder(context).array(message);
}

value_t decode_primitive_value(const DecodingContext& context, pb::PrimitiveValue& message) {
  return Decoder(context).primitive(message);
}

value_t decode_geometry(const DecodingContext& context, const pb::GeometryValue& message) {
  return Decoder(context).geometry(message);
}

}  // namespace lorengraph
