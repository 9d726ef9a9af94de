#include "vevuruvu/boundary/sealed.hpp"

#include <pybind11/pybind11.h>

#include <stdexcept>
#include <string>

#include "vevuruvu/boundary/construct.hpp"
#include "vevuruvu/boundary/convert.hpp"
#include "vevuruvu/boundary/errors.hpp"

namespace py = pybind11;

namespace vevuruvu::boundary {

namespace {

// The common base as pybind11 made it: its tp_new allocates an instance for a registered class's
// __init__ to build. Its name as Python shows it: "pybind11_builtins.pybind11_object".
PyTypeObject* common_base = nullptr;
newfunc common_base_new = nullptr;
std::string common_base_name;

[[noreturn]] void refuse_common_base(PyTypeObject* type) {
    if (type == common_base) raise(PyExc_TypeError, "cannot create '" + common_base_name + "' instances");
    raise(PyExc_TypeError, std::string("cannot create '") + type->tp_name +
                               "' instances: it derives from none of this module's classes, only from their "
                               "common base '" +
                               common_base_name + "'");
}

// The common base's tp_new, inherited by the Python classes made from it. pybind11's own throws
// through C for a type without a registered class.
PyObject* new_on_common_base(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
    try {
        if (py::detail::all_type_info(type).empty()) refuse_common_base(type);
        return common_base_new(type, args, kwargs);
    } catch (...) {
        set_python_error_from_current_exception();
        return nullptr;
    }
}

// The function-record type's tp_new: pybind11 makes its records without it.
PyObject* refuse_function_record(PyTypeObject* type, PyObject*, PyObject*) {
    run_guarded([type] { refuse_construction(type); });
    return nullptr;
}

// A function record's __reduce_ex__ (a module function pickles as its module's attribute), with
// what pybind11's throws through C raised instead.
PyObject* reduce_function_record(PyObject* self, PyObject* args, PyObject* kwargs) {
    try {
        return py::detail::function_record_PyTypeObject_methods::reduce_ex_impl(self, args, kwargs);
    } catch (...) {
        set_python_error_from_current_exception();
        return nullptr;
    }
}

PyMethodDef reduce_function_record_def{
    "__reduce_ex__", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(reduce_function_record)),
    METH_VARARGS | METH_KEYWORDS, nullptr};

// The metaclass of the classes (a class's type) as pybind11 made it: an attribute set on a class
// goes to the descriptor setter of the attribute it replaces when isinstance calls that attribute a
// static property. isinstance honours a forged __class__, and an object that only claims to be a
// static property has no descriptor setter: the call went through a null pointer. Here only an
// attribute that truly is a static property (its type one of the static-property type's subtypes)
// takes an assignment through its setter; any other is set, replaced or deleted as on any class.
//
// pybind11's rule for a static property is applied here to the attribute looked up here, rather
// than by pybind11's setter, which looks the name up again: a str subclass's __eq__, as a key of a
// class's dictionary, can put another attribute in place between the two lookups. Its setter also
// borrows the property across the isinstance of the value, which may run the value's __class__ and
// delete the property, and takes an error there for "no", replacing the attribute with the error
// pending.
int set_class_attribute(PyObject* cls, PyObject* name, PyObject* value) {
    if (!PyUnicode_Check(name)) return PyType_Type.tp_setattro(cls, name, value);  // TypeError, as on any class
    // Looked up as the exact str a class stores, as any class looks it up: a str subclass's own
    // __hash__ or __eq__ could find another attribute than the one the assignment replaces.
    const auto key = py::reinterpret_steal<py::object>(PyUnicode_FromObject(name));
    if (!key) return -1;
    PyTypeObject* const static_property = py::detail::get_internals().static_property_type;
    PyObject* const found = _PyType_Lookup(reinterpret_cast<PyTypeObject*>(cls), key.ptr());
    if (found == nullptr || value == nullptr || !PyType_IsSubtype(Py_TYPE(found), static_property))
        return PyType_Type.tp_setattro(cls, key.ptr(), value);
    const auto replaced = py::reinterpret_borrow<py::object>(found);  // held through the value's __class__
    // A static property takes the value through its setter, unless the value is a static property
    // itself, which replaces it.
    const int replaces = PyObject_IsInstance(value, reinterpret_cast<PyObject*>(static_property));
    if (replaces < 0) return -1;
    if (replaces) return PyType_Type.tp_setattro(cls, key.ptr(), value);
    return Py_TYPE(replaced.ptr())->tp_descr_set(replaced.ptr(), cls, value);
}

// Puts a slot wrapper calling set_class_attribute in place of the metaclass's `name` (__setattr__ or
// __delattr__, which share the slot), so that calling it by name does not reach pybind11's setter
// either. With both in place, the interpreter sets the slot itself to set_class_attribute.
void wrap_class_attribute_setter(py::handle metaclass, const char* name) {
    py::object wrapper = metaclass.attr("__dict__")[name];
    if (!Py_IS_TYPE(wrapper.ptr(), &PyWrapperDescr_Type))
        throw std::logic_error(std::string("the classes' metaclass has no slot wrapper ") + name);
    PyObject* wrapped = PyDescr_NewWrapper(reinterpret_cast<PyTypeObject*>(metaclass.ptr()),
                                           reinterpret_cast<PyWrapperDescrObject*>(wrapper.ptr())->d_base,
                                           reinterpret_cast<void*>(set_class_attribute));
    if (wrapped == nullptr) throw py::error_already_set();
    metaclass.attr(name) = py::reinterpret_steal<py::object>(wrapped);
}

bool is_sealed(PyTypeObject* type) { return PyType_HasFeature(type, Py_TPFLAGS_IMMUTABLETYPE) != 0; }

void seal(PyTypeObject* type) {
    type->tp_flags |= Py_TPFLAGS_IMMUTABLETYPE;
    PyType_Modified(type);
}

void seal_common_base() {
    auto* base = reinterpret_cast<PyTypeObject*>(py::detail::get_internals().instance_base);
    if (is_sealed(base)) return;
    py::handle type(reinterpret_cast<PyObject*>(base));
    common_base_name = py::str(type.attr("__module__")).cast<std::string>() + "." +
                       py::str(type.attr("__qualname__")).cast<std::string>();
    common_base = base;
    common_base_new = base->tp_new;
    // Its __new__ calls the slot: no entry of its dictionary changes.
    base->tp_new = new_on_common_base;
    seal(base);
}

void seal_function_records() {
    PyTypeObject* records = py::detail::get_function_record_PyTypeObject();
    if (is_sealed(records)) return;
    py::handle type(reinterpret_cast<PyObject*>(records));
    PyObject* reduce = PyDescr_NewMethod(records, &reduce_function_record_def);
    if (reduce == nullptr) throw py::error_already_set();
    type.attr("__reduce_ex__") = py::reinterpret_steal<py::object>(reduce);
    // __init__ becomes object's, which does nothing on a record.
    if (PyObject_DelAttrString(type.ptr(), "__init__") != 0) throw py::error_already_set();
    records->tp_new = refuse_function_record;
    seal(records);
}

void seal_metaclass() {
    PyTypeObject* metaclass = py::detail::get_internals().default_metaclass;
    if (is_sealed(metaclass)) return;
    py::handle type(reinterpret_cast<PyObject*>(metaclass));
    wrap_class_attribute_setter(type, "__setattr__");
    wrap_class_attribute_setter(type, "__delattr__");
    if (metaclass->tp_setattro != set_class_attribute)
        throw std::logic_error("the classes' metaclass did not take the wrapped attribute setter");
    seal(metaclass);
}

}  // namespace

void seal_pybind11_types() {
    static bool sealed = false;  // by this module
    if (sealed) return;
    seal_common_base();
    seal_function_records();
    seal_metaclass();
    sealed = true;
}

}  // namespace vevuruvu::boundary
