#include "vevuruvu/boundary/construct.hpp"

#include <pybind11/detail/class.h>

#include "vevuruvu/boundary/convert.hpp"

namespace vevuruvu::boundary {

void refuse_construction(PyTypeObject* type) {
    raise(PyExc_TypeError, std::string("cannot create '") + type->tp_name + "' instances");
}

PyObject* adopt_new_instance(PyTypeObject* subtype, const std::type_info& object_type, void* value,
                             void (*destroy)(void*)) {
    PyObject* self = nullptr;
    bool adopted = run_guarded([&] {
        auto* info = py::detail::get_type_info(object_type);
        // A Python class deriving from two of the module's classes would leave the other's
        // record unbuilt.
        const auto& classes = py::detail::all_type_info(subtype);
        if (info == nullptr || classes.size() != 1) {
            raise(PyExc_TypeError, std::string("cannot create '") + subtype->tp_name +
                                       "' instances: it derives from more than one class of this module");
        }
        // The class its instances are freed and converted as is fixed at its first instance; a
        // Python subclass whose bases were changed since would hold records of two classes.
        if (classes.front() != info) {
            raise(PyExc_TypeError, std::string("cannot create '") + subtype->tp_name +
                                       "' instances: its bases changed after its first instance was made");
        }
        self = subtype->tp_alloc(subtype, 0);
        if (self == nullptr) throw py::error_already_set();
        auto* instance = reinterpret_cast<py::detail::instance*>(self);
        instance->allocate_layout();
        auto holder = instance->get_value_and_holder(info);
        holder.value_ptr() = value;
        value = nullptr;  // owned by the instance from here on, freed by its holder
        info->init_instance(instance, nullptr);
    });
    if (adopted) return self;
    if (value != nullptr) destroy(value);
    Py_XDECREF(self);
    return nullptr;
}

namespace {

// Type.__new__(subtype, *args, **kwargs), with the checks of the interpreter's own __new__.
PyObject* new_entry(PyObject* type, PyObject* args, PyObject* kwargs) {
    auto* cls = reinterpret_cast<PyTypeObject*>(type);
    Py_ssize_t n = PyTuple_GET_SIZE(args);
    if (n < 1) {
        PyErr_Format(PyExc_TypeError, "%s.__new__(): not enough arguments", cls->tp_name);
        return nullptr;
    }
    PyObject* first = PyTuple_GET_ITEM(args, 0);
    if (!PyType_Check(first)) {
        PyErr_Format(PyExc_TypeError, "%s.__new__(X): X is not a type object (%s)", cls->tp_name,
                     Py_TYPE(first)->tp_name);
        return nullptr;
    }
    auto* subtype = reinterpret_cast<PyTypeObject*>(first);
    if (!PyType_IsSubtype(subtype, cls)) {
        PyErr_Format(PyExc_TypeError, "%s.__new__(%s): %s is not a subtype of %s", cls->tp_name, subtype->tp_name,
                     subtype->tp_name, cls->tp_name);
        return nullptr;
    }
    PyObject* rest = PyTuple_GetSlice(args, 1, n);
    if (rest == nullptr) return nullptr;
    PyObject* result = cls->tp_new(subtype, rest, kwargs);
    Py_DECREF(rest);
    return result;
}

PyObject* init_entry(PyObject*, PyObject*, PyObject*) { Py_RETURN_NONE; }

int init_slot(PyObject*, PyObject*, PyObject*) { return 0; }

PyMethodDef init_def{"__init__", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(init_entry)),
                     METH_VARARGS | METH_KEYWORDS,
                     "__init__($self, /, *args, **kwargs)\n--\n\n"
                     "Does nothing: the object is built by __new__."};

}  // namespace

void install_new(py::handle cls, newfunc new_slot, const std::string& new_doc) {
    // The method table entries and their docstrings live as long as the type: the process.
    auto* new_def = new PyMethodDef{"__new__", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(new_entry)),
                                    METH_VARARGS | METH_KEYWORDS, (new std::string(new_doc))->c_str()};
    py::object new_function = py::reinterpret_steal<py::object>(PyCFunction_NewEx(new_def, cls.ptr(), nullptr));
    py::object init_function = py::reinterpret_steal<py::object>(PyCFunction_NewEx(&init_def, nullptr, nullptr));
    if (!new_function || !init_function) throw py::error_already_set();
    // Setting the attributes points the slots at generic dispatchers; then the slots are set to
    // the functions themselves, so that the interpreter's safety check refuses object.__new__(Cls)
    // and its base's __new__, which would only allocate.
    cls.attr("__new__") = new_function;
    cls.attr("__init__") = init_function;
    auto* type = reinterpret_cast<PyTypeObject*>(cls.ptr());
    type->tp_new = new_slot;
    type->tp_init = init_slot;
    PyType_Modified(type);
}

}  // namespace vevuruvu::boundary
