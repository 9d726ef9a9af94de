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

namespace {

// The deallocator of every module class: the common base's, reached through a function of the
// classes' own. A class whose deallocator differs from its base's is a layout of its own to the
// interpreter, which then refuses to move a Python subclass, or an object, from a module class to
// the common base or to `object` (pybind11 would find no class to free the record through).
void dealloc_module_object(PyObject* self) { py::detail::pybind11_object_dealloc(self); }

}  // namespace

void make_immutable(py::handle cls) {
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    type->tp_flags |= Py_TPFLAGS_IMMUTABLETYPE;
    type->tp_dealloc = dealloc_module_object;
    PyType_Modified(type);
    // pybind11 keeps its record of the class by pointer, also in the caches of Python subclasses
    // that no longer derive from it: the class lives as long as the process, whatever is deleted.
    Py_INCREF(type);
}

void set_property(py::handle cls, const char* name, const char* doc, py::cpp_function getter, py::cpp_function setter) {
    py::cpp_function deleter([](py::handle) {
        PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
        throw py::error_already_set();
    });
    cls.attr(name) = py::module_::import("builtins").attr("property")(getter, setter, deleter, doc_or_none(doc));
}

}  // namespace vevuruvu::boundary
