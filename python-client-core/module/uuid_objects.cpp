#include "uuid_objects.h"

#include <structmember.h>

#include <cstring>

namespace py = pybind11;

namespace lorengraph::py_values {

namespace {

// The uuid.UUID class and where its two slots ("int", "is_safe") sit in an instance.
// Writing the slots directly sets the same state as UUID(int=n) at a twentieth of the cost
// of calling the class; where the layout is not the expected one, attributes are used.
class UuidType {
 public:
  static const UuidType& get() {
    static const UuidType* type = new UuidType();  // lives as long as the interpreter
    return *type;
  }

  py::object make(const uuid_t& id) const {
    py::object number = py::reinterpret_steal<py::object>(
        _PyLong_FromByteArray(id.bytes.data(), id.bytes.size(), /*little_endian=*/0, /*is_signed=*/0));
    if (!number) throw py::error_already_set();
    py::object uuid = py::reinterpret_steal<py::object>(type_->tp_alloc(type_, 0));
    if (!uuid) throw py::error_already_set();
    if (int_offset_ >= 0 && is_safe_offset_ >= 0) {
      slot(uuid.ptr(), int_offset_) = number.release().ptr();
      slot(uuid.ptr(), is_safe_offset_) = unknown_.inc_ref().ptr();
    } else if (PyObject_GenericSetAttr(uuid.ptr(), int_name_.ptr(), number.ptr()) != 0 ||
               PyObject_GenericSetAttr(uuid.ptr(), is_safe_name_.ptr(), unknown_.ptr()) != 0) {
      throw py::error_already_set();
    }
    return uuid;
  }

  // The number of an exact uuid.UUID as 16 big-endian bytes; false when that is not possible.
  bool read_exact(PyObject* obj, uuid_t& out) const {
    if (Py_TYPE(obj) != type_ || int_offset_ < 0) return false;
    PyObject* number = slot(obj, int_offset_);
    if (number == nullptr || !PyLong_Check(number)) return false;
    if (_PyLong_AsByteArray(reinterpret_cast<PyLongObject*>(number), out.bytes.data(), out.bytes.size(),
                            /*little_endian=*/0, /*is_signed=*/0) != 0) {
      PyErr_Clear();
      return false;
    }
    return true;
  }

  PyObject* bytes_name() const { return bytes_name_.ptr(); }

 private:
  UuidType() {
    py::module_ uuid = py::module_::import("uuid");
    py::object type = uuid.attr("UUID");
    type_ = reinterpret_cast<PyTypeObject*>(type.release().ptr());
    unknown_ = uuid.attr("SafeUUID").attr("unknown");
    int_name_ = py::str("int");
    is_safe_name_ = py::str("is_safe");
    bytes_name_ = py::str("bytes");
    int_offset_ = slot_offset("int");
    is_safe_offset_ = slot_offset("is_safe");
  }

  static PyObject*& slot(PyObject* obj, Py_ssize_t offset) {
    return *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(obj) + offset);
  }

  Py_ssize_t slot_offset(const char* name) const {
    PyObject* descriptor = PyDict_GetItemString(type_->tp_dict, name);
    if (descriptor == nullptr || !Py_IS_TYPE(descriptor, &PyMemberDescr_Type)) return -1;
    const PyMemberDef* member = reinterpret_cast<PyMemberDescrObject*>(descriptor)->d_member;
    return member->type == T_OBJECT_EX ? member->offset : -1;
  }

  PyTypeObject* type_;
  py::object unknown_, int_name_, is_safe_name_, bytes_name_;
  Py_ssize_t int_offset_ = -1;
  Py_ssize_t is_safe_offset_ = -1;
};

}  // namespace

bool load_uuid(PyObject* obj, uuid_t& out) {
  if (PyBytes_Check(obj) || PyUnicode_Check(obj)) return false;
  const UuidType& uuid = UuidType::get();
  if (uuid.read_exact(obj, out)) return true;
  PyObject* found = nullptr;
  if (_PyObject_LookupAttr(obj, uuid.bytes_name(), &found) <= 0) {  // missing: no exception raised
    PyErr_Clear();
    return false;
  }
  py::object bytes = py::reinterpret_steal<py::object>(found);
  Py_buffer view;
  if (PyObject_GetBuffer(bytes.ptr(), &view, PyBUF_SIMPLE) != 0) {
    PyErr_Clear();
    return false;
  }
  const bool ok = view.len == 16;
  if (ok) std::memcpy(out.bytes.data(), view.buf, 16);
  PyBuffer_Release(&view);
  return ok;
}

py::object uuid_to_python(const uuid_t& id) { return UuidType::get().make(id); }

}  // namespace lorengraph::py_values
