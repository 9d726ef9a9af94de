#pragma once
// The error channel: how failures of a call reach Python.
//   hcm::Error                      -> ValueError with exactly its message (the whole text, a NUL
//                                      in it included)
//   pybind11 / Python errors         -> passed through unchanged (TypeError, OverflowError, ...)
//   std::bad_alloc                   -> MemoryError (memory ran out: no broken invariant)
//   any other C++ exception          -> PanicException (a BaseException) carrying its message
#include <pybind11/pybind11.h>

#include <string_view>

#include "vevuruvu/boundary/interrupt.hpp"

namespace vevuruvu::boundary {

// The PanicException type, created once per process.
pybind11::handle panic_exception_type();

// Sets a Python error of `type` with the whole message; bytes that are not UTF-8 become U+FFFD
// rather than turning the error into a UnicodeDecodeError.
void set_error(PyObject* type, std::string_view message);

// Sets the Python error for the exception being handled (call only inside a catch block).
void set_python_error_from_current_exception();

// Runs `fn` (interruptible by a pending signal), converting any C++ exception to the Python
// error of the rules above. Returns false (with the Python error set) on failure.
template <class F>
bool run_guarded(F&& fn) {
    try {
        interruptible(fn);
        return true;
    } catch (...) {
        set_python_error_from_current_exception();
        return false;
    }
}

// Runs `fn` (interruptible by a pending signal) and returns its result; a failure becomes a
// pybind11::error_already_set carrying the Python error of the rules above, so that pybind11
// re-raises it unchanged.
template <class F>
decltype(auto) call_guarded(F&& fn) {
    try {
        return interruptible(fn);
    } catch (pybind11::error_already_set&) {
        throw;
    } catch (...) {
        set_python_error_from_current_exception();
        throw pybind11::error_already_set();
    }
}

}  // namespace vevuruvu::boundary
