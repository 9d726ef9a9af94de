#include "vevuruvu/boundary/errors.hpp"

#include <cstring>
#include <exception>

#include "hcm/common/error.hpp"

namespace py = pybind11;

namespace vevuruvu::boundary {

py::handle panic_exception_type() {
    // Created once and kept for the life of the process, like the type objects.
    static PyObject* type = PyErr_NewExceptionWithDoc(
        "pyo3_runtime.PanicException",
        "An internal invariant of the computation was broken; the call was aborted.\n\n"
        "The object and the module stay usable.",
        PyExc_BaseException, nullptr);
    return type;
}

namespace {

// Raises `type` with the message; bytes that are not UTF-8 become U+FFFD rather than turning
// the error into a UnicodeDecodeError.
void set_error(PyObject* type, const char* message) {
    PyObject* text = PyUnicode_DecodeUTF8(message, static_cast<Py_ssize_t>(std::strlen(message)), "replace");
    if (text == nullptr) return;  // memory exhausted: that error stays set
    PyErr_SetObject(type, text);
    Py_DECREF(text);
}

}  // namespace

void set_python_error_from_current_exception() {
    try {
        throw;
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const py::builtin_exception& e) {
        e.set_error();
    } catch (const hcm::Error& e) {
        set_error(PyExc_ValueError, e.what());
    } catch (const std::exception& e) {
        set_error(panic_exception_type().ptr(), e.what());
    } catch (...) {
        set_error(panic_exception_type().ptr(), "explicit panic");
    }
}

}  // namespace vevuruvu::boundary
