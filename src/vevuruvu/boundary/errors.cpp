#include "vevuruvu/boundary/errors.hpp"

#include <exception>
#include <new>

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

void set_error(PyObject* type, std::string_view message) {
    PyObject* text = PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace");
    if (text == nullptr) return;  // memory exhausted: that error stays set
    PyErr_SetObject(type, text);
    Py_DECREF(text);
}

void set_python_error_from_current_exception() {
    try {
        throw;
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const py::builtin_exception& e) {
        e.set_error();
    } catch (const hcm::Error& e) {
        set_error(PyExc_ValueError, e.message());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& e) {
        set_error(panic_exception_type().ptr(), e.what());
    } catch (...) {
        set_error(panic_exception_type().ptr(), "explicit panic");
    }
}

}  // namespace vevuruvu::boundary
