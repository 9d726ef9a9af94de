#pragma once
// pybind11's own types that Python code reaches: the common base of every class (a class's
// __base__ or __mro__[1]), the type of the function records (a function's __self__) and the
// metaclass (a class's type). As pybind11 makes them, some of their slots throw a C++ exception
// through C, which ends the process: creating an instance of the base, or of a Python class deriving
// from it alone; creating or initialising a function record; pickling a function of a module whose
// __name__ is no string. Sealed, each of these raises a Python exception instead (TypeError "cannot
// create '...' instances" for the first two). The metaclass's attribute setter called a null
// pointer when a class attribute only claimed to be a static property; sealed, such an attribute is
// replaced as on any class. The types are immutable, as the module's classes are, so that no
// attribute set on them (a Python __new__ on the base, say) brings a crash back.

namespace vevuruvu::boundary {

// Seals them, the first time a module adds something (module.hpp). The common base and the
// metaclass are shared by every extension module built on the same pybind11 internals, each module
// has a function-record type of its own; a type already sealed, by this module or another, is left
// as it is.
void seal_pybind11_types();

}  // namespace vevuruvu::boundary
