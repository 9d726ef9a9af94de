#include "vevuruvu/boundary/convert.hpp"

#include <cstring>

#include "vevuruvu/boundary/errors.hpp"

namespace vevuruvu::boundary {

void raise(PyObject* type, const std::string& message) {
    set_error(type, message);
    throw py::error_already_set();
}

void raise_cannot_convert(py::handle value, const char* expected) {
    raise(PyExc_TypeError,
          std::string("'") + Py_TYPE(value.ptr())->tp_name + "' object cannot be converted to '" + expected + "'");
}

double float_from_py(py::handle h) {
    double v = PyFloat_AsDouble(h.ptr());
    if (v == -1.0 && PyErr_Occurred()) throw py::error_already_set();
    return v;
}

std::int64_t int_in_range(py::handle h, std::int64_t lo, std::int64_t hi) {
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(h.ptr()));
    if (!index) throw py::error_already_set();
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (v == -1 && PyErr_Occurred()) throw py::error_already_set();
    if (overflow != 0 || v < lo || v > hi) raise(PyExc_OverflowError, "out of range integral type conversion attempted");
    return v;
}

std::uint64_t size_from_py(py::handle h) {
    py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(h.ptr()));
    if (!index) throw py::error_already_set();
    unsigned long long v = PyLong_AsUnsignedLongLong(index.ptr());
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) throw py::error_already_set();
    return v;
}

bool bool_from_py(py::handle h) {
    if (h.ptr() == Py_True) return true;
    if (h.ptr() == Py_False) return false;
    // NumPy's boolean scalar ("numpy.bool" in NumPy 2, "numpy.bool_" before).
    const char* name = Py_TYPE(h.ptr())->tp_name;
    if (std::strcmp(name, "numpy.bool") == 0 || std::strcmp(name, "numpy.bool_") == 0) {
        int truth = PyObject_IsTrue(h.ptr());
        if (truth < 0) throw py::error_already_set();
        return truth != 0;
    }
    raise_cannot_convert(h, "PyBool");
}

std::string str_from_py(py::handle h) {
    if (!PyUnicode_Check(h.ptr())) raise_cannot_convert(h, "PyString");
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(h.ptr(), &size);
    if (!data) throw py::error_already_set();
    return std::string(data, static_cast<std::size_t>(size));
}

void check_sequence(py::handle h) {
    if (PyUnicode_Check(h.ptr())) raise(PyExc_TypeError, "Can't extract `str` to `Vec`");
    if (!PySequence_Check(h.ptr())) raise_cannot_convert(h, "Sequence");
}

std::size_t sequence_length(py::handle h) {
    check_sequence(h);
    Py_ssize_t n = PySequence_Size(h.ptr());
    if (n < 0) throw py::error_already_set();
    return static_cast<std::size_t>(n);
}

void check_tuple_length(py::handle h, std::size_t n, PyObject* wrong_length) {
    if (!PyTuple_Check(h.ptr())) raise_cannot_convert(h, "PyTuple");
    auto size = static_cast<std::size_t>(PyTuple_GET_SIZE(h.ptr()));
    if (size != n) {
        raise(wrong_length,
              "expected tuple of length " + std::to_string(n) + ", but got tuple of length " + std::to_string(size));
    }
}

}  // namespace vevuruvu::boundary
