#pragma once
// Conversions between Python values and the computation layer's values, with the boundary's
// error texts. `from_py<T>` raises (as pybind11::error_already_set):
//   float            any float, or an object with __float__ / __index__; TypeError otherwise
//   int32/uint32/u8  an int or __index__; OverflowError "out of range integral type conversion
//                    attempted" outside the type's range
//   uint64 (size)    an int or __index__; OverflowError with the interpreter's text when negative/huge
//   bool             True/False or a NumPy bool scalar; ints refused
//   std::string      a str
//   std::vector<T>   any sequence but str ("Can't extract `str` to `Vec`")
//   std::array<T,N>  a tuple of exactly N elements (ValueError on another length)
//   std::tuple<Ts..> a tuple of exactly as many elements (TypeError on another length, so that
//                    an argument's message names the argument)
//   std::optional<T> None -> no value
//   an enumeration   its variant name as a str
//   a record T       an instance of T's Python class (a copy of its record)
// `to_py` converts results back: numbers, bool, str, None, list (from a vector or an array), tuple,
// LOS letters, records.
#include <pybind11/pybind11.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/enum_names.hpp"
#include "hcm/common/common.hpp"
#include "vevuruvu/boundary/object.hpp"

namespace vevuruvu::boundary {

namespace py = pybind11;

// Raises (as error_already_set) a Python exception of the given type with the given text.
[[noreturn]] void raise(PyObject* type, const std::string& message);
// "'{type of value}' object cannot be converted to '{expected}'"
[[noreturn]] void raise_cannot_convert(py::handle value, const char* expected);

double float_from_py(py::handle h);
std::int64_t int_in_range(py::handle h, std::int64_t lo, std::int64_t hi);
std::uint64_t size_from_py(py::handle h);
bool bool_from_py(py::handle h);
std::string str_from_py(py::handle h);
// Checks that h is a sequence but not a str ("Can't extract `str` to `Vec`" for a str).
void check_sequence(py::handle h);
// check_sequence, then the sequence's length.
std::size_t sequence_length(py::handle h);
// A tuple of exactly n elements: "expected tuple of length {}, but got tuple of length {}" as
// `wrong_length` (ValueError or TypeError) otherwise.
void check_tuple_length(py::handle h, std::size_t n, PyObject* wrong_length = PyExc_ValueError);

template <class T>
struct FromPy;

template <class T>
T from_py(py::handle h) {
    return FromPy<T>::convert(h);
}

template <>
struct FromPy<double> {
    static double convert(py::handle h) { return float_from_py(h); }
};
template <>
struct FromPy<bool> {
    static bool convert(py::handle h) { return bool_from_py(h); }
};
template <>
struct FromPy<std::string> {
    static std::string convert(py::handle h) { return str_from_py(h); }
};
// Any Python object, taken as it is (for callables and other values the chapter handles itself).
template <>
struct FromPy<py::object> {
    static py::object convert(py::handle h) { return py::reinterpret_borrow<py::object>(h); }
};
template <>
struct FromPy<std::uint64_t> {
    static std::uint64_t convert(py::handle h) { return size_from_py(h); }
};

template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && sizeof(T) <= 4)
struct FromPy<T> {
    static T convert(py::handle h) {
        return static_cast<T>(int_in_range(h, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
    }
};

template <class T>
struct FromPy<std::optional<T>> {
    static std::optional<T> convert(py::handle h) {
        if (h.is_none()) return std::nullopt;
        return from_py<T>(h);
    }
};

// Iterates the sequence rather than trusting its __len__: a length that is wrong, huge or fails
// changes nothing but the allocation hint.
template <class T>
struct FromPy<std::vector<T>> {
    static std::vector<T> convert(py::handle h) {
        check_sequence(h);
        std::vector<T> out;
        if (PyList_Check(h.ptr()) || PyTuple_Check(h.ptr())) out.reserve(static_cast<std::size_t>(Py_SIZE(h.ptr())));
        py::object items = py::reinterpret_steal<py::object>(PyObject_GetIter(h.ptr()));
        if (!items) throw py::error_already_set();
        while (PyObject* next = PyIter_Next(items.ptr())) {
            py::object item = py::reinterpret_steal<py::object>(next);
            out.push_back(from_py<T>(item));
        }
        if (PyErr_Occurred()) throw py::error_already_set();
        return out;
    }
};

template <class T, std::size_t N>
struct FromPy<std::array<T, N>> {
    static std::array<T, N> convert(py::handle h) {
        check_tuple_length(h, N);
        std::array<T, N> out{};
        for (std::size_t i = 0; i < N; ++i) out[i] = from_py<T>(PyTuple_GET_ITEM(h.ptr(), static_cast<Py_ssize_t>(i)));
        return out;
    }
};

template <class... Ts>
struct FromPy<std::tuple<Ts...>> {
    static std::tuple<Ts...> convert(py::handle h) {
        check_tuple_length(h, sizeof...(Ts), PyExc_TypeError);
        // Braced initialisation converts the items in order.
        return [h]<std::size_t... I>(std::index_sequence<I...>) {
            return std::tuple<Ts...>{from_py<Ts>(PyTuple_GET_ITEM(h.ptr(), static_cast<Py_ssize_t>(I)))...};
        }(std::index_sequence_for<Ts...>{});
    }
};

template <base::NamedEnum E>
struct FromPy<E> {
    static E convert(py::handle h) {
        std::string name = str_from_py(h);
        if (auto v = base::enum_from_name<E>(name)) return *v;
        raise(PyExc_ValueError, "unknown value '" + name + "'");
    }
};

// An instance of one of the module's classes: the argument's record, copied under a shared borrow.
template <class T>
    requires HasPythonClass<T>
struct FromPy<T> {
    static T convert(py::handle h) {
        Object<T>* object = record_of<T>(h.ptr());
        if (object == nullptr) raise_cannot_convert(h, python_class_name<T>());
        SharedBorrow borrow(object->borrow);
        return object->value;
    }
};

// ---- results ----

inline py::object to_py(double v) { return py::float_(v); }
inline py::object to_py(bool v) { return py::bool_(v); }
inline py::object to_py(const std::string& v) { return py::str(v); }
inline py::object to_py(std::string_view v) { return py::str(v.data(), v.size()); }
inline py::object to_py(const char* v) { return py::str(v); }
inline py::object to_py(hcm::common::LevelOfService v) { return py::str(std::string(1, hcm::common::letter(v))); }
inline py::object to_py(py::object v) { return v; }
inline py::object to_py(std::nullopt_t) { return py::none(); }

template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>)
py::object to_py(T v) {
    return py::int_(v);
}

template <base::NamedEnum E>
    requires(!std::is_same_v<E, hcm::common::LevelOfService>)
py::object to_py(E v) {
    return to_py(base::name_of(v));
}

// A record as a new object of its Python class (declared before the containers, which may hold
// records).
template <class T>
    requires HasPythonClass<T>
py::object to_py(T v) {
    return py::cast(Object<T>{.value = std::move(v)});
}

// The containers convert their elements through each other (an optional tuple, an optional array,
// a list of optionals): declared together before any of them is defined.
template <class T>
py::object to_py(const std::optional<T>& v);
template <class T>
py::object to_py(const std::vector<T>& v);
template <class T, std::size_t N>
py::object to_py(const std::array<T, N>& v);
template <class... Ts>
py::object to_py(const std::tuple<Ts...>& t);
template <class A, class B>
py::object to_py(const std::pair<A, B>& p);

template <class T>
py::object to_py(const std::optional<T>& v) {
    return v ? to_py(*v) : py::none();
}

template <class T>
py::object to_py(const std::vector<T>& v) {
    py::list out(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) out[i] = to_py(v[i]);
    return out;
}

// A fixed-size array as a list.
template <class T, std::size_t N>
py::object to_py(const std::array<T, N>& v) {
    py::list out(N);
    for (std::size_t i = 0; i < N; ++i) out[i] = to_py(v[i]);
    return out;
}

template <class... Ts>
py::object to_py(const std::tuple<Ts...>& t) {
    return std::apply([](const auto&... xs) { return py::object(py::make_tuple(to_py(xs)...)); }, t);
}

template <class A, class B>
py::object to_py(const std::pair<A, B>& p) {
    return py::make_tuple(to_py(p.first), to_py(p.second));
}

}  // namespace vevuruvu::boundary
