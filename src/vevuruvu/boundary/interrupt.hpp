#pragma once
// Long calls stop on a pending signal. For the duration of a call the computation's cancellation
// check (base/cancel.hpp) runs the interpreter's pending signal handlers; when a handler raises
// (KeyboardInterrupt for Ctrl-C), the computation unwinds at its next poll and the call ends with
// that exception. A computation stores its results only at its end, so the object stays as it was.
#include <pybind11/pybind11.h>

#include "base/cancel.hpp"

namespace vevuruvu::boundary {

// The check: calls hold the interpreter lock, so the handlers can run here (on the main thread;
// elsewhere nothing is pending). True when a handler raised, with its exception set.
inline bool python_signal_raised() { return PyErr_CheckSignals() != 0; }

// Runs `fn` with the check installed; a cancellation ends it with the handler's exception.
template <class F>
decltype(auto) interruptible(F&& fn) {
    base::CancelScope scope(python_signal_raised);
    try {
        return fn();
    } catch (const base::Cancelled&) {
        throw pybind11::error_already_set();
    }
}

}  // namespace vevuruvu::boundary
