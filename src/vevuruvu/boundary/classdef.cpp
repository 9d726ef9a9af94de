#include "vevuruvu/boundary/classdef.hpp"

#include <cstring>
#include <new>

namespace vevuruvu::boundary {

std::string signed_doc(std::string_view name, std::string_view parameters, std::string_view prose) {
    std::string doc;
    doc.reserve(name.size() + parameters.size() + prose.size() + 7);
    doc.append(name).append("(").append(parameters).append(")\n--\n\n").append(prose);
    return doc;
}

std::string method_parameters(const std::string& declared) { return declared.empty() ? "self" : "self, " + declared; }

void set_class_doc(py::handle cls, const std::string& name, const std::string& parameters, const std::string& prose) {
    // Python reads a class's text signature from its type slot, not from __doc__; the type owns
    // that text (allocated with the interpreter's allocator, freed with the type).
    std::string doc = signed_doc(name, parameters, prose);
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    auto* text = static_cast<char*>(PyObject_Malloc(doc.size() + 1));
    if (text == nullptr) throw std::bad_alloc();
    std::memcpy(text, doc.c_str(), doc.size() + 1);
    PyObject_Free(const_cast<char*>(type->tp_doc));
    type->tp_doc = text;
    cls.attr("__doc__") = prose.empty() ? py::object(py::none()) : py::object(py::str(prose));
}

void make_immutable(py::handle cls) {
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    type->tp_flags |= Py_TPFLAGS_IMMUTABLETYPE;
    PyType_Modified(type);
}

void set_property(py::handle cls, const char* name, const char* doc, py::cpp_function getter, py::cpp_function setter) {
    py::cpp_function deleter([](py::handle) {
        PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
        throw py::error_already_set();
    });
    cls.attr(name) = py::module_::import("builtins").attr("property")(getter, setter, deleter, doc_or_none(doc));
}

}  // namespace vevuruvu::boundary
