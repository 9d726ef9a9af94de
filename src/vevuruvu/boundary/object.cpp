#include "vevuruvu/boundary/object.hpp"

#include <string>

#include "vevuruvu/boundary/convert.hpp"

namespace vevuruvu::boundary {

SharedBorrow::SharedBorrow(BorrowFlag& flag) : flag_(flag) {
    if (flag_.state < 0) raise(PyExc_RuntimeError, "Already mutably borrowed");
    ++flag_.state;
}

ExclusiveBorrow::ExclusiveBorrow(BorrowFlag& flag) : flag_(flag) {
    if (flag_.state != 0) raise(PyExc_RuntimeError, "Already borrowed");
    flag_.state = -1;
}

void* held_record(PyObject* object, PyTypeObject* type) {
    PyTypeObject* actual = Py_TYPE(object);
    if (type == nullptr || (actual != type && !PyType_IsSubtype(actual, type))) return nullptr;
    // An instance of a module class (or of a Python subclass): its first value pointer.
    return reinterpret_cast<pybind11::detail::instance*>(object)->get_value_and_holder().value_ptr();
}

void refuse_self(PyObject* self, const RecordKind& kind, const char* member) {
    const char* class_name = kind.type != nullptr ? kind.type->tp_name : "object";
    std::string message = std::string("descriptor '") + member + "' for '" + class_name +
                          "' objects doesn't apply to a '" + Py_TYPE(self)->tp_name + "' object";
    if (kind.type != nullptr && PyObject_TypeCheck(self, kind.type))
        message += ": it holds the record of another class (its class, or its class's bases, changed after it was made)";
    raise(PyExc_TypeError, message);
}

}  // namespace vevuruvu::boundary
