#include "dictionary_forms.h"

#include <string>

#include "geometry.h"
#include "nesting.h"
#include "objects.h"
#include "value_caster.h"

namespace py = pybind11;

namespace lorengraph::py_values {

namespace {

class DictionaryFormReader {
 public:
  value_t value(py::handle obj) {
    NestingGuard guard(depth_);
    if (!PyDict_Check(obj.ptr())) {
      value_t out;
      return load_value(obj, true, out) ? out : value_t{};
    }
    const auto d = py::reinterpret_borrow<py::dict>(obj);
    const std::string type = item(d, "_objectType").cast<std::string>();
    if (type == "entity") {
      auto e = std::make_shared<EntityValue>();
      read_named(d, *e);
      return e;
    }
    if (type == "relationship") {
      auto r = std::make_shared<RelationshipValue>();
      read_named(d, *r);
      r->origin_id = value(item(d, "_originEntityId"));
      r->destination_id = value(item(d, "_destinationEntityId"));
      return r;
    }
    if (type == "geometry") return geometry(d);
    return null_t{};
  }

 private:
  // d[key], raising KeyError when absent (dict subclasses keep their own lookup).
  static py::object item(const py::dict& d, const char* key) { return d[key]; }

  template <class Named>
  void read_named(const py::dict& d, Named& target) {
    target.type_name = item(d, "_typeName").cast<std::string>();
    target.id = value(item(d, "_id"));
    const py::dict properties(item(d, "_properties"));  // anything dict() accepts
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

  static void read_flags(const py::dict& d, geometry_t& g) {
    if (d.contains("hasZ")) g.has_z = d["hasZ"].cast<bool>();
    if (d.contains("hasM")) g.has_m = d["hasM"].cast<bool>();
  }

  static value_t geometry(const py::dict& d) {
    auto g = std::make_shared<geometry_t>();
    if (d.contains("x") && d.contains("y")) {
      g->geometry_type = ovraGeometryPoint;
      g->lengths.push_back(1);
      g->coords.push_back(d["x"].cast<double>());
      g->coords.push_back(d["y"].cast<double>());
      if (d.contains("z")) {
        g->has_z = true;
        g->coords.push_back(d["z"].cast<double>());
      }
      if (d.contains("m")) {
        g->has_m = true;
        g->coords.push_back(d["m"].cast<double>());
      }
    } else if (d.contains("points")) {
      g->geometry_type = ovraGeometryMultipoint;
      read_flags(d, *g);
      const auto points = d["points"].cast<py::sequence>();
      g->lengths.push_back(static_cast<std::int32_t>(points.size()));
      for (const py::handle point : points) append_point(point, g->coords);
    } else if (d.contains("rings")) {
      g->geometry_type = ovraGeometryPolygon;
      read_flags(d, *g);
      append_parts(d["rings"], *g);
    } else if (d.contains("paths")) {
      g->geometry_type = ovraGeometryPolyline;
      read_flags(d, *g);
      append_parts(d["paths"], *g);
    } else {
      return null_t{};
    }
    return g;
  }

  int depth_ = 0;
};

}  // namespace

value_t from_dictionary_form(py::handle obj) { return DictionaryFormReader().value(obj); }

}  // namespace lorengraph::py_values
