#include "vevuruvu/boundary/classdef.hpp"

#include <cstring>

namespace vevuruvu::boundary {

std::string method_doc(const char* name, const char* doc) {
    std::string text(doc);
    std::size_t n = std::strlen(name);
    if (text.compare(0, n, name) != 0 || text.size() <= n || text[n] != '(') return text;
    bool empty = text.size() > n + 1 && text[n + 1] == ')';
    return text.substr(0, n + 1) + (empty ? "self" : "self, ") + text.substr(n + 1);
}

std::string init_doc(const char* class_name, const char* class_doc) {
    std::string doc(class_doc);
    std::size_t n = std::strlen(class_name);
    std::size_t end = doc.find(")\n--\n\n");
    if (doc.compare(0, n, class_name) != 0 || doc.size() <= n || doc[n] != '(' || end == std::string::npos) {
        return "__init__(self)\n--\n\n";
    }
    std::string inner = doc.substr(n + 1, end - n - 1);
    return "__init__(self" + (inner.empty() ? std::string() : ", " + inner) + ")\n--\n\n";
}

void set_property(py::handle cls, const char* name, const char* doc, py::cpp_function getter, py::cpp_function setter) {
    py::cpp_function deleter([](py::handle) {
        PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
        throw py::error_already_set();
    });
    cls.attr(name) = py::module_::import("builtins").attr("property")(getter, setter, deleter, doc_or_none(doc));
}

}  // namespace vevuruvu::boundary
