#pragma once
// Objects are built by the type's __new__: the constructor converts its arguments, builds the
// record and only then allocates the Python object around it, so that no path from Python
// (Cls(...), Cls.__new__(Cls, ...), pickle's NEWOBJ, a subclass, object.__new__) reaches an
// object without its record. __init__ accepts anything and does nothing.
#include <pybind11/pybind11.h>

#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>

#include "vevuruvu/boundary/errors.hpp"
#include "vevuruvu/boundary/object.hpp"

namespace vevuruvu::boundary {

namespace py = pybind11;

// How the objects of T's class are built, set by ClassDef<T>.
template <class T>
struct Construction {
    // Binds and converts the call's arguments and returns the record; empty while the class
    // has no constructor.
    static inline std::function<T(PyObject* args, PyObject* kwargs)> build;
    // Runs on the record after `build`: for records whose other members follow from the fields.
    static inline std::function<void(T&)> finish;
};

// Raises TypeError "cannot create '{}' instances" (a class without a constructor).
[[noreturn]] void refuse_construction(PyTypeObject* type);

// Allocates an instance of `subtype` (T's class or a subclass of it) and hands it `value`, a
// new Object<T> (taken over, also on failure: `destroy` deletes it). Returns a new reference, or
// nullptr with the Python error set.
PyObject* adopt_new_instance(PyTypeObject* subtype, const std::type_info& object_type, void* value,
                             void (*destroy)(void*));

// Makes `new_slot` the type's tp_new and __new__ (with the given docstring), and __init__ a
// function that accepts anything and does nothing.
void install_new(py::handle cls, newfunc new_slot, const std::string& new_doc);

// Hands a new record to a new instance of `subtype`: a new reference, or nullptr with the
// Python error set.
template <class T>
PyObject* adopt_record(PyTypeObject* subtype, std::unique_ptr<Object<T>> object) {
    return adopt_new_instance(subtype, typeid(Object<T>), object.release(), PythonClass<T>::kind.destroy);
}

// The tp_new of T's class.
template <class T>
PyObject* new_object(PyTypeObject* subtype, PyObject* args, PyObject* kwargs) {
    std::unique_ptr<Object<T>> object;
    bool built = run_guarded([&] {
        if (!Construction<T>::build) refuse_construction(subtype);
        object.reset(new Object<T>{.value = Construction<T>::build(args, kwargs)});
        if (Construction<T>::finish) Construction<T>::finish(object->value);
    });
    return built ? adopt_record(subtype, std::move(object)) : nullptr;
}

}  // namespace vevuruvu::boundary
