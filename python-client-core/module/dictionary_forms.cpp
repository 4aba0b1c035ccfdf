#include "dictionary_forms.h"

#include <string>

#include "geometry.h"
#include "nesting.h"
#include "objects.h"
#include "value_caster.h"

namespace py = pybind11;

namespace lorengraph::py_values {

namespace {

// The keys of the forms, made once rather than on every lookup.
struct Keys {
  py::object object_type = py::str("_objectType"), type_name = py::str("_typeName"), id = py::str("_id"),
             properties = py::str("_properties"), origin = py::str("_originEntityId"),
             destination = py::str("_destinationEntityId"), x = py::str("x"), y = py::str("y"), z = py::str("z"),
             m = py::str("m"), points = py::str("points"), rings = py::str("rings"), paths = py::str("paths"),
             has_z = py::str("hasZ"), has_m = py::str("hasM");

  static const Keys& get() {
    static const Keys* keys = new Keys();  // lives as long as the interpreter
    return *keys;
  }
};

class DictionaryFormReader {
 public:
  value_t value(py::handle obj) {
    NestingGuard guard(depth_);
    if (!PyDict_Check(obj.ptr())) {
      value_t out;
      return load_value(obj, true, out) ? out : value_t{};
    }
    const auto d = py::reinterpret_borrow<py::dict>(obj);
    const std::string type = item(d, keys_.object_type).cast<std::string>();
    if (type == "entity") {
      auto e = std::make_shared<EntityValue>();
      read_named(d, *e);
      return e;
    }
    if (type == "relationship") {
      auto r = std::make_shared<RelationshipValue>();
      read_named(d, *r);
      r->origin_id = value(item(d, keys_.origin));
      r->destination_id = value(item(d, keys_.destination));
      return r;
    }
    if (type == "geometry") return geometry(d);
    return null_t{};
  }

 private:
  // d[key], raising KeyError when absent (dict subclasses keep their own lookup).
  static py::object item(const py::dict& d, const py::object& key) { return d[key]; }

  template <class Named>
  void read_named(const py::dict& d, Named& target) {
    target.type_name = item(d, keys_.type_name).cast<std::string>();
    target.id = value(item(d, keys_.id));
    const py::dict properties(item(d, keys_.properties));  // anything dict() accepts
    auto& pairs = target.properties.mutable_pairs();
    pairs.reserve(properties.size());
    for (const auto& pair : properties) {
      auto name = py::cast<std::string>(pair.first);
      if (name.empty()) continue;
      pairs.emplace_back(std::move(name), value(pair.second));
    }
  }

  static void append_point(const py::handle point, std::vector<double>& coords) {
    for (const py::handle number : point.cast<py::sequence>()) coords.push_back(number.cast<double>());
  }

  // One part per element of `parts` (each a sequence of points).
  static void append_parts(const py::handle parts, geometry_t& g) {
    for (const py::handle part : parts.cast<py::sequence>()) {
      const auto points = part.cast<py::sequence>();
      g.lengths.push_back(static_cast<std::int32_t>(points.size()));
      for (const py::handle point : points) append_point(point, g.coords);
    }
  }

  void read_flags(const py::dict& d, geometry_t& g) {
    if (d.contains(keys_.has_z)) g.has_z = d[keys_.has_z].cast<bool>();
    if (d.contains(keys_.has_m)) g.has_m = d[keys_.has_m].cast<bool>();
  }

  value_t geometry(const py::dict& d) {
    auto g = std::make_shared<geometry_t>();
    if (d.contains(keys_.x) && d.contains(keys_.y)) {
      g->geometry_type = ovraGeometryPoint;
      g->lengths.push_back(1);
      g->coords.push_back(d[keys_.x].cast<double>());
      g->coords.push_back(d[keys_.y].cast<double>());
      if (d.contains(keys_.z)) {
        g->has_z = true;
        g->coords.push_back(d[keys_.z].cast<double>());
      }
      if (d.contains(keys_.m)) {
        g->has_m = true;
        g->coords.push_back(d[keys_.m].cast<double>());
      }
    } else if (d.contains(keys_.points)) {
      g->geometry_type = ovraGeometryMultipoint;
      read_flags(d, *g);
      const auto points = d[keys_.points].cast<py::sequence>();
      g->lengths.push_back(static_cast<std::int32_t>(points.size()));
      for (const py::handle point : points) append_point(point, g->coords);
    } else if (d.contains(keys_.rings)) {
      g->geometry_type = ovraGeometryPolygon;
      read_flags(d, *g);
      append_parts(d[keys_.rings], *g);
    } else if (d.contains(keys_.paths)) {
      g->geometry_type = ovraGeometryPolyline;
      read_flags(d, *g);
      append_parts(d[keys_.paths], *g);
    } else {
      return null_t{};
    }
    return g;
  }

  const Keys& keys_ = Keys::get();
  int depth_ = 0;
};

}  // namespace

value_t from_dictionary_form(py::handle obj) { return DictionaryFormReader().value(obj); }

}  // namespace lorengraph::py_values
