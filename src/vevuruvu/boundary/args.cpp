#include "vevuruvu/boundary/args.hpp"

#include <string_view>
#include <vector>

#include "base/format.hpp"

namespace vevuruvu::boundary {
namespace {

std::string quoted_names(const std::vector<const char*>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
        out += std::string("'") + names[i] + "'";
    }
    return out;
}

[[noreturn]] void raise_missing(const std::string& callee, const std::vector<const char*>& names, bool keyword) {
    raise(PyExc_TypeError, callee + " missing " + std::to_string(names.size()) + " required " +
                               (keyword ? "keyword" : "positional") + " " +
                               (names.size() == 1 ? "argument" : "arguments") + ": " + quoted_names(names));
}

// "{} got an unexpected keyword argument '{}'", the key written as Python holds it.
[[noreturn]] void raise_unexpected_keyword(const std::string& callee, PyObject* key) {
    PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", callee.c_str(), key);
    throw py::error_already_set();
}

}  // namespace

void bind_arguments(const std::string& callee, std::span<const ParamSpec> params, PyObject* args, PyObject* kwargs,
                    std::span<PyObject*> slots) {
    std::size_t n_positional = 0, n_required_positional = 0;
    for (const auto& p : params) {
        if (p.keyword_only) continue;
        ++n_positional;
        if (p.required) n_required_positional = n_positional;
    }
    std::size_t given = args ? static_cast<std::size_t>(PyTuple_GET_SIZE(args)) : 0;
    if (given > n_positional) {
        std::string takes = n_required_positional == n_positional
                                ? std::to_string(n_positional)
                                : "from " + std::to_string(n_required_positional) + " to " + std::to_string(n_positional);
        raise(PyExc_TypeError, callee + " takes " + takes + " positional arguments but " + std::to_string(given) +
                                   (given == 1 ? " was" : " were") + " given");
    }
    for (std::size_t i = 0; i < given; ++i) slots[i] = PyTuple_GET_ITEM(args, static_cast<Py_ssize_t>(i));

    if (kwargs && PyDict_GET_SIZE(kwargs) > 0) {
        PyObject *key, *value;
        Py_ssize_t pos = 0;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            if (!PyUnicode_Check(key)) raise(PyExc_TypeError, callee + " keywords must be strings");
            // The whole key must match: a NUL inside it or a lone surrogate makes it no parameter's name.
            Py_ssize_t length = 0;
            const char* name = PyUnicode_AsUTF8AndSize(key, &length);
            if (name == nullptr) PyErr_Clear();
            std::size_t i = 0;
            if (name != nullptr) {
                std::string_view text(name, static_cast<std::size_t>(length));
                while (i < params.size() && text != params[i].name) ++i;
            } else {
                i = params.size();
            }
            if (i == params.size()) raise_unexpected_keyword(callee, key);
            if (slots[i] != nullptr) raise(PyExc_TypeError, callee + " got multiple values for argument '" + name + "'");
            slots[i] = value;
        }
    }

    std::vector<const char*> missing;
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (!params[i].keyword_only && params[i].required && slots[i] == nullptr) missing.push_back(params[i].name);
    }
    if (!missing.empty()) raise_missing(callee, missing, false);
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (params[i].keyword_only && params[i].required && slots[i] == nullptr) missing.push_back(params[i].name);
    }
    if (!missing.empty()) raise_missing(callee, missing, true);
}

void reraise_for_argument(const char* name, py::error_already_set& e) {
    if (!e.matches(PyExc_TypeError)) throw;
    std::string text = py::str(e.value());
    raise(PyExc_TypeError, std::string("argument '") + name + "': " + text);
}

// Python reads these back as the same values: floats in their shortest round-trip form with
// ".0" on integral values, strings in double quotes with backslash escapes.
std::string python_literal(double value) { return base::debug_num(value); }
std::string python_literal(bool value) { return value ? "True" : "False"; }
std::string python_literal(std::string_view value) { return base::debug(value); }

}  // namespace vevuruvu::boundary
