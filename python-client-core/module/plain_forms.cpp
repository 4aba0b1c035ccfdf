#include "plain_forms.h"

#include "geometry.h"
#include "nesting.h"
#include "objects.h"
#include "value_caster.h"

namespace py = pybind11;

namespace lorengraph::py_values {

namespace {

// Keys and type names become str up to their first zero byte; text that is not UTF-8
// raises RuntimeError "Could not allocate string object!".
py::str c_text(const std::string& text) {
  PyObject* str = PyUnicode_FromString(text.c_str());
  if (str == nullptr) {
    PyErr_Clear();
    throw std::runtime_error("Could not allocate string object!");
  }
  return py::reinterpret_steal<py::str>(str);
}

class PlainFormBuilder {
 public:
  explicit PlainFormBuilder(const SpatialReference* sr) : sr_(sr && sr->is_set() ? sr : nullptr) {}

  py::object value(const value_t& v) {
    switch (v.index()) {
      case 9: return form(std::get<9>(v));
      case 10: return form(std::get<10>(v));
      case 11: return form(std::get<11>(v));
      case 12: return form(std::get<12>(v));
      case 13: return form(std::get<13>(v));
      case 14: return form(std::get<14>(v));
      default: return value_to_python(v);  // scalars read as native values do
    }
  }

 private:
  py::object form(const std::shared_ptr<geometry_t>& g) { return g ? geometry(*g) : py::none(); }

  py::object form(const std::shared_ptr<ObjectValue>& o) {
    if (!o) return py::none();
    NestingGuard guard(depth_);
    py::dict d;
    d["_objectType"] = "object";
    d["_properties"] = properties(o->properties);
    return std::move(d);
  }

  py::object form(const std::shared_ptr<EntityValue>& e) { return e ? entity(*e) : py::none(); }

  py::object form(const std::shared_ptr<RelationshipValue>& r) { return r ? relationship(*r) : py::none(); }

  py::object form(const std::shared_ptr<PathValue>& p) {
    if (!p) return py::none();
    NestingGuard guard(depth_);
    if (p->entities.size() != p->relationships.size() + 1) {
      throw std::invalid_argument(
          "Path value had an incorrect number of entities vs number of relationships.");
    }
    py::list steps;
    steps.append(p->entities[0] ? entity(*p->entities[0]) : py::none());
    for (std::size_t i = 0; i < p->relationships.size(); ++i) {
      steps.append(p->relationships[i] ? relationship(*p->relationships[i]) : py::none());
      steps.append(p->entities[i + 1] ? entity(*p->entities[i + 1]) : py::none());
    }
    py::dict d;
    d["_objectType"] = "path";
    d["_path"] = steps;
    return std::move(d);
  }

  py::object form(const std::shared_ptr<ArrayValue>& a) {
    if (!a) return py::none();
    NestingGuard guard(depth_);
    py::list items(a->values.size());
    for (std::size_t i = 0; i < a->values.size(); ++i) {
      py::object item = value(a->values[i]);
      PyList_SET_ITEM(items.ptr(), static_cast<Py_ssize_t>(i), item.release().ptr());
    }
    return std::move(items);
  }

  // A later pair with a key already present overwrites the earlier value in place.
  py::dict properties(const PropertyList& list) {
    py::dict d;
    for (const auto& [key, v] : list.key_value_pairs()) d[c_text(key)] = value(v);
    return d;
  }

  py::object entity(const EntityValue& e) { return named(e, nullptr); }
  py::object relationship(const RelationshipValue& r) { return named(r, &r); }

  // Entities and relationships share one form; a relationship adds its end points before
  // the properties.
  py::object named(const NamedTypeValue& n, const RelationshipValue* relationship) {
    NestingGuard guard(depth_);
    py::dict d;
    d["_objectType"] = relationship ? "relationship" : "entity";
    d["_typeName"] = c_text(n.type_name);
    d["_id"] = value(n.id);
    if (relationship) {
      d["_originEntityId"] = value(relationship->origin_id);
      d["_destinationEntityId"] = value(relationship->destination_id);
    }
    d["_properties"] = properties(n.properties);
    return d;
  }

  static py::list points(const geometry_t& g, std::size_t first, std::size_t count) {
    const std::size_t width = point_width(g);
    py::list out(count);
    for (std::size_t p = 0; p < count; ++p) {
      py::list point(width);
      for (std::size_t k = 0; k < width; ++k) {
        PyList_SET_ITEM(point.ptr(), static_cast<Py_ssize_t>(k),
                        py::float_(g.coords[first + p * width + k]).release().ptr());
      }
      PyList_SET_ITEM(out.ptr(), static_cast<Py_ssize_t>(p), point.release().ptr());
    }
    return out;
  }

  // The first `max_parts` parts, each a list of points; a part reaching past the
  // coordinates raises "Invalid geometry." rather than reading beyond them.
  static py::list parts(const geometry_t& g, std::size_t max_parts) {
    const std::uint64_t width = point_width(g);
    const std::uint64_t size = g.coords.size();
    std::uint64_t start = 0;  // in points, never beyond size / width
    py::list out;
    for (std::size_t i = 0; i < g.lengths.size() && i < max_parts; ++i) {
      const std::int32_t length = g.lengths[i];
      if (length < 0 || (start + static_cast<std::uint64_t>(length)) * width > size) {
        throw std::invalid_argument("Invalid geometry.");
      }
      out.append(points(g, static_cast<std::size_t>(start * width), static_cast<std::size_t>(length)));
      start += static_cast<std::uint64_t>(length);
    }
    return out;
  }

  py::object geometry(const geometry_t& g) {
    py::dict d;
    switch (g.geometry_type) {
      case ovraGeometryPoint: {
        if (g.coords.size() < point_width(g)) throw std::invalid_argument("Invalid geometry.");
        d["x"] = g.coords[0];
        d["y"] = g.coords[1];
        if (g.has_z) d["z"] = g.coords[2];
        if (g.has_m) d["m"] = g.coords[g.has_z ? 3 : 2];
        break;
      }
      case ovraGeometryMultipoint: {
        flags(g, d);
        py::list first = parts(g, 1);  // a multipoint is its first part
        d["points"] = first.empty() ? py::list() : py::list(first[0]);
        break;
      }
      case ovraGeometryPolyline:
      case ovraGeometryPolygon: {
        flags(g, d);
        d[g.geometry_type == ovraGeometryPolyline ? "paths" : "rings"] = parts(g, g.lengths.size());
        break;
      }
      default:
        throw std::invalid_argument("Unknown or unsupported geometry type.");
    }
    if (sr_) d["spatialReference"] = spatial_reference_dict(*sr_);
    return d;
  }

  static void flags(const geometry_t& g, py::dict& d) {
    if (g.has_z) d["hasZ"] = true;
    if (g.has_m) d["hasM"] = true;
  }

  const SpatialReference* sr_;
  int depth_ = 0;
};

}  // namespace

py::dict spatial_reference_dict(const SpatialReference& sr) {
  py::dict d;
  if (sr.wkid != 0) d["wkid"] = sr.wkid;
  if (sr.latestWkid != 0) d["latestWkid"] = sr.latestWkid;
  if (!sr.wkt.empty()) d["wkt"] = sr.wkt;
  return d;
}

py::object to_plain_object(const value_t& value, const SpatialReference* sr) {
  return PlainFormBuilder(sr).value(value);
}

}  // namespace lorengraph::py_values
