// Python bindings of the apply-edits encoder and decoder.
#include "apply_edits_decoder.h"
#include "apply_edits_encoder.h"
#include "datamodel_plain_form.h"
#include "dictionary_forms.h"
#include "plain_forms.h"
#include "registration.h"

namespace py = pybind11;

namespace lorengraph::bindings {

namespace {

// {"code": ..., "message": ...}
py::dict error_dict(const kg_error_t& error) {
  py::dict d;
  d["code"] = error.error_code;
  d["message"] = error.error_message;
  return d;
}

template <class Record>
py::dict record_dict(const Record& record, std::initializer_list<std::pair<const char*, const value_t*>> ids) {
  py::dict d;
  for (const auto& [key, id] : ids) d[key] = py_values::to_plain_object(*id);
  if (!record.error.empty()) d["error"] = error_dict(record.error);
  return d;
}

py::list edit_result_list(const std::vector<EditResult>& records) {
  py::list list;
  for (const EditResult& r : records) list.append(record_dict(r, {{"id", &r.id}}));
  return list;
}

py::dict results_dict(const GraphApplyEditsDecoder& decoder) {
  py::dict results;
  const kg_error_t& service_error = decoder.service_error();
  if (decoder.object_error_seen() || !service_error.empty()) results["error"] = error_dict(service_error);

  py::dict edits;
  for (const auto& [type_name, type_results] : decoder.edit_results().entries()) {
    py::dict per_type;
    if (!type_results.add_results.empty()) per_type["addResults"] = edit_result_list(type_results.add_results);
    if (!type_results.update_results.empty()) {
      per_type["updateResults"] = edit_result_list(type_results.update_results);
    }
    if (!type_results.delete_results.empty()) {
      per_type["deleteResults"] = edit_result_list(type_results.delete_results);
    }
    edits[py::str(type_name)] = per_type;
  }
  results["editsResult"] = edits;

  py::dict cascades;
  for (const auto& [type_name, records] : decoder.cascaded_deletes().entries()) {
    py::list list;
    for (const CascadedDelete& c : records) {
      list.append(record_dict(c, {{"id", &c.id}, {"originId", &c.origin_id}, {"destId", &c.destination_id}}));
    }
    cascades[py::str(type_name)] = list;
  }
  results["cascadedDeletes"] = cascades;

  py::dict schema_changes;
  for (const auto& [type_name, end_points] : decoder.schema_changes().entries()) {
    py::dict changes;
    if (!end_points.empty()) changes["new_end_points"] = py_values::end_point_list(end_points);
    schema_changes[py::str(type_name)] = changes;
  }
  results["relationshipSchemaChanges"] = schema_changes;
  return results;
}

}  // namespace

void register_apply_edits_encoder(py::module_& m) {
  using E = GraphApplyEditsEncoder;
  py::class_<E, std::shared_ptr<E>> encoder(m, "GraphApplyEditsEncoder");
  encoder
      .def(py::init<bool, std::string, std::string, const SpatialReference&, const InputQuantizationParameters&>())
      // A skipped object is no error for Python; its record stays on the encoder.
      .def("add", [](E& e, py::handle object) { e.add(py_values::from_dictionary_form(object)); })
      .def("update", [](E& e, py::handle object) { e.update(py_values::from_dictionary_form(object)); })
      .def("delete", [](E& e, py::handle object) { e.remove(py_values::from_dictionary_form(object)); });
  def_encode(encoder);
}

void register_apply_edits_decoder(py::module_& m) {
  using D = GraphApplyEditsDecoder;
  py::class_<D, std::shared_ptr<D>>(m, "GraphApplyEditsDecoder")
      .def(py::init<>())
      .def("decode",
           [](D& d, const py::bytes& data) {
             char* buffer = nullptr;
             Py_ssize_t size = 0;
             if (PyBytes_AsStringAndSize(data.ptr(), &buffer, &size) != 0) throw py::error_already_set();
             return d.decode(std::string_view(buffer, static_cast<std::size_t>(size)));
           })
      .def("get_results", &results_dict);
}

}  // namespace lorengraph::bindings
