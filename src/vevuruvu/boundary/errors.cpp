#include "vevuruvu/boundary/errors.hpp"

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

void set_python_error_from_current_exception() {
    try {
        throw;
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (const py::builtin_exception& e) {
        e.set_error();
    } catch (const hcm::Error& e) {
        PyErr_SetString(PyExc_ValueError, e.what());
    } catch (const std::exception& e) {
        PyErr_SetString(panic_exception_type().ptr(), e.what());
    } catch (...) {
        PyErr_SetString(panic_exception_type().ptr(), "explicit panic");
    }
}

}  // namespace vevuruvu::boundary
