#pragma once
// Declarative Python classes and functions. A chapter's binding file reads like a table:
//
//   VEVURUVU_PYTHON_CLASS(BasicFreeways);            // at global scope
//   void register_(py::module_& m) {
//       ClassDef<BasicFreeways>(m, "BasicFreeways", "Prose of the class docstring (may be empty).")
//           .init(parameters::basic_freeways())  // declared_fields.hpp, or the declarations inline
//           .method_mut("run_operational_analysis", "Runs ...", &BasicFreeways::run_operational_analysis)
//           .method("ffs", "Free-flow speed, mi/h.", &BasicFreeways::ffs)
//           .method("e_t", "...", params(req<double>("length_mi")),
//                   [](const BasicFreeways& r, double len) { return r.e_t(len); })
//           .readonly("speed", "Space mean speed (mi/h).", &BasicFreeways::speed)
//           .property<std::string>("version", "...", get_version, set_version)   // deletion refused
//           .repr([](const BasicFreeways& r) { return describe(r); });
//       ClassDef<FreewayFacility>(m, "FreewayFacility", "")
//           .json_document({.read = ff::read_facility, .read_error = "invalid facility JSON: ", ...});
//       add_function(m, "service_volumes", "...",
//                    params(req<WeavingSegment>("segment"), req<std::array<double, 4>>("split")), service_volumes);
//   }
//
// The constructor (`init` or `json_document`) is the type's __new__ (construct.hpp). A docstring
// argument is prose alone: the class, method or function docstring starts with the text signature
// generated from the declared parameters ("name(args)", a line "--", a blank line; signed_doc), so
// that inspect.signature works and no signature is typed twice. Methods get "self" as their first
// parameter (not "$self": pybind11 functions carry a capsule as __self__, which would make inspect
// drop it twice). `method` converts its arguments and then borrows the object shared, `method_mut`
// exclusively (see object.hpp). Callables take the record (const T& or T&) and then the converted
// arguments, or are member pointers (a field or a member function); their result converts with
// to_py (void gives None). hcm::Error becomes ValueError, std::bad_alloc MemoryError; other C++
// exceptions PanicException (errors.hpp). Once declared, the class is immutable (make_immutable).
// Every method, property and slot takes its object's record through self_record (object.hpp), so
// that no change of a Python subclass's bases or of an object's __class__ hands C++ the record of
// another class: TypeError instead, before anything is converted or borrowed.
#include <pybind11/pybind11.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "vevuruvu/boundary/args.hpp"
#include "vevuruvu/boundary/construct.hpp"
#include "vevuruvu/boundary/convert.hpp"
#include "vevuruvu/boundary/errors.hpp"
#include "vevuruvu/boundary/fields.hpp"
#include "vevuruvu/boundary/json_document.hpp"
#include "vevuruvu/boundary/module.hpp"
#include "vevuruvu/boundary/object.hpp"

namespace vevuruvu::boundary {

// "{name}({parameters})\n--\n\n{prose}": a docstring led by the text signature Python reads.
std::string signed_doc(std::string_view name, std::string_view parameters, std::string_view prose);
// A method's parameters as its text signature shows them: "self", then the declared ones.
std::string method_parameters(const std::string& declared);
// pybind11 keeps docstrings by pointer: give them the life of the process.
inline const char* keep(const std::string& text) { return (new std::string(text))->c_str(); }
// A docstring, or None when there is none.
inline py::object doc_or_none(const char* doc) { return doc ? py::object(py::str(doc)) : py::object(py::none()); }
// A property whose deletion raises AttributeError "can't delete attribute".
void set_property(py::handle cls, const char* name, const char* doc, py::cpp_function getter,
                  py::cpp_function setter);
// Makes a complete class immutable, as the interpreter's own classes are, a layout of its own and
// alive for the whole process. Every class shares one
// instance layout, so the interpreter would otherwise accept `obj.__class__ = Other` between two
// of them and hand the record to the other class's getters and destructor; now that assignment,
// to or from the class, raises TypeError and leaves the object as it was. Setting or deleting an
// attribute of the class is refused the same way (instances are not affected).
void make_immutable(py::handle cls);
// The class docstring "{name}({parameters})\n--\n\n{prose}" (the text signature Python reads),
// with __doc__ the prose alone, or None when there is none.
void set_class_doc(py::handle cls, const std::string& name, const std::string& parameters, const std::string& prose);

template <class F, class... Args>
py::object call_to_py(F& fn, Args&&... args) {
    using R = std::invoke_result_t<F&, Args...>;
    if constexpr (std::is_void_v<R>) {
        std::invoke(fn, std::forward<Args>(args)...);
        return py::none();
    } else {
        return to_py(std::invoke(fn, std::forward<Args>(args)...));
    }
}

template <class T>
class ClassDef {
public:
    using Obj = Object<T>;
    using PyClass = py::class_<Obj, RecordHolder<T>>;

    // `doc` is the prose of the class docstring; the constructor's declaration puts its text
    // signature in front of it.
    ClassDef(py::module_& m, const char* name, const char* doc)
        : name_(name), prose_(doc), cls_(make_class(m, name, doc)) {
        PythonClass<T>::kind.class_name = name;
        PythonClass<T>::kind.type = reinterpret_cast<PyTypeObject*>(cls_.ptr());
        add(m, name, cls_);
    }

    // The declaration ends with its full expression: the class is complete and becomes immutable
    // (make_immutable). One ClassDef declares a class, so it is never copied.
    ~ClassDef() { make_immutable(cls_); }
    ClassDef(const ClassDef&) = delete;
    ClassDef& operator=(const ClassDef&) = delete;

    // The constructor from parameters declared as data, each bound to the record field it sets
    // (declared_fields.hpp, turned into parameters by fields.hpp): a record starts with its
    // defaults (T{}) and each argument given sets its field.
    template <class... Fs>
    ClassDef& init(Fs... fields) {
        static_assert((std::is_same_v<typename Fs::record_type, T> && ...), "each field must be one of the record's");
        auto signature = params(field_param(fields)...);
        return define_constructor(signature.text(), [signature, callee = name_ + ".__new__()"](PyObject* args,
                                                                                                 PyObject* kwargs) {
            return build_record(T{}, signature, callee, args, kwargs);
        });
    }

    // The same, from the declaration of the parameters as data (declared_fields.hpp), which
    // programs without Python read too.
    template <class... Ds>
    ClassDef& init(const std::tuple<Ds...>& table) {
        return std::apply([this](const auto&... d) -> ClassDef& { return init(d...); }, table);
    }

    // Runs fn(T&) on each new record once its fields are set, for records whose other members
    // follow from those fields.
    template <class F>
    ClassDef& after_init(F fn) {
        Construction<T>::finish = std::move(fn);
        return *this;
    }

    // The constructor, and to_json() and from_json() where declared, of a class built from a
    // JSON document (json_document.hpp).
    ClassDef& json_document(const JsonDocument<T>& doc) {
        if (doc.read == nullptr) throw std::logic_error(name_ + ": a JSON-document class needs a reader");
        // The document parameter is required or optional: two signature types, one declaration.
        auto declare = [&](auto signature) {
            std::string text = signature.text();
            define_json_document(doc, std::move(signature));
            return text;
        };
        const std::string parameters = doc.required ? declare(params(req<std::string>(doc.param)))
                                                    : declare(params(opt<std::string>(doc.param)));
        // __new__ gives the constructor's own signature and where the document's keys are described.
        if (!reused_)
            install_new(cls_, new_object<T>,
                        signed_doc("__new__", "$type, " + parameters,
                                   "Creates a new " + name_ + " from the JSON text `" + doc.param +
                                       "`.\nThe document's keys, units, defaults and words: docs/json-reference.md, " +
                                       "section " + name_ + "."));
        if (doc.write != nullptr)
            method("to_json", doc.to_json ? doc.to_json : "",
                   [doc](const T& record) { return write_document(doc, record); });
        return *this;
    }

    // A read-only method without arguments (typically a getter).
    template <class F>
    ClassDef& method(const char* name, const char* doc, F fn) {
        return method(name, doc, no_params(), std::move(fn));
    }
    template <class P, class F>
    ClassDef& method(const char* name, const char* doc, P signature, F fn) {
        return def_method<false>(name, doc, std::move(signature), std::move(fn));
    }
    template <class F>
    ClassDef& method_mut(const char* name, const char* doc, F fn) {
        return method_mut(name, doc, no_params(), std::move(fn));
    }
    template <class P, class F>
    ClassDef& method_mut(const char* name, const char* doc, P signature, F fn) {
        return def_method<true>(name, doc, std::move(signature), std::move(fn));
    }

    // A property with a setter: get(const T&) -> R, set(T&, V); deleting it is refused. The
    // value converts before the object is borrowed (a __float__ may read the object), and a value
    // that does not convert raises TypeError "argument '{param}': ...".
    template <class V, class G, class S>
    ClassDef& property(const char* name, const char* doc, G get, S set, const char* param = "value") {
        if (reused_) return *this;
        auto getter = [get, name = std::string(name)](py::handle object) {
            return call_guarded([&] {
                Obj& self = self_record<T>(object, name.c_str());
                SharedBorrow borrow(self.borrow);
                return call_to_py(get, std::as_const(self.value));
            });
        };
        auto setter = [set, param, name = std::string(name)](py::handle object, py::handle value) {
            call_guarded([&] {
                Obj& self = self_record<T>(object, name.c_str());
                auto converted = req<V>(param).convert(value.ptr());
                ExclusiveBorrow borrow(self.borrow);
                set(self.value, std::move(converted));
                return 0;
            });
        };
        py::options options;
        options.disable_function_signatures();
        set_property(cls_, name, doc, py::cpp_function(getter), py::cpp_function(setter));
        return *this;
    }

    // A property that reads and sets a field; deleting it is refused.
    template <class M>
    ClassDef& property(const char* name, const char* doc, M T::* member, const char* param = "value") {
        return property<M>(
            name, doc, member, [member](T& record, M value) { record.*member = std::move(value); }, param);
    }

    // A read-only property: get(const T&) -> R, or a member pointer.
    template <class G>
    ClassDef& readonly(const char* name, const char* doc, G get) {
        if (reused_) return *this;
        auto getter = [get, name = std::string(name)](py::handle object) {
            return call_guarded([&] {
                Obj& self = self_record<T>(object, name.c_str());
                SharedBorrow borrow(self.borrow);
                return call_to_py(get, std::as_const(self.value));
            });
        };
        py::options options;
        options.disable_function_signatures();
        cls_.attr(name) = py::module_::import("builtins").attr("property")(py::cpp_function(getter), py::none(),
                                                                           py::none(), doc_or_none(doc));
        return *this;
    }

    // Equality with another instance of the class: fn(const T&, const T&) -> bool. Any other
    // operand is declined (NotImplemented, so Python's fallback applies); != follows from it,
    // ordering stays undefined, and instances are unhashable, as for a Python class that defines
    // __eq__ without __hash__.
    template <class F>
    ClassDef& equality(F fn) {
        if (reused_) return *this;
        auto body = [fn](py::handle object, py::handle other) {
            return call_guarded([&]() -> py::object {
                Obj& self = self_record<T>(object, "__eq__");
                Obj* rhs = record_of<T>(other.ptr());
                if (rhs == nullptr) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                SharedBorrow left(self.borrow);
                SharedBorrow right(rhs->borrow);
                return py::bool_(fn(std::as_const(self.value), std::as_const(rhs->value)));
            });
        };
        py::options options;
        options.disable_function_signatures();
        cls_.def("__eq__", std::move(body), keep(signed_doc("__eq__", "self, value, /", "Return self==value.")));
        cls_.attr("__hash__") = py::none();
        return *this;
    }

    template <class F>
    ClassDef& repr(F fn) {
        return text_slot("__repr__", std::move(fn));
    }
    template <class F>
    ClassDef& str(F fn) {
        return text_slot("__str__", std::move(fn));
    }

    py::handle type() const { return cls_; }

private:
    ClassDef& define_constructor(const std::string& parameters, std::function<T(PyObject*, PyObject*)> build) {
        if (reused_) return *this;
        Construction<T>::build = std::move(build);
        set_class_doc(cls_, name_, parameters, prose_);
        return *this;
    }

    template <class P>
    void define_json_document(const JsonDocument<T>& doc, P signature) {
        auto read = [doc, signature](const std::string& callee, PyObject* args, PyObject* kwargs) {
            auto [text] = signature.convert(signature.bind(callee, args, kwargs));
            if constexpr (std::is_same_v<decltype(text), std::string>) {
                return read_document(doc, text);
            } else {
                return read_document(doc, text ? std::string_view(*text) : std::string_view("{}"));
            }
        };
        define_constructor(signature.text(), [read, callee = name_ + ".__new__()"](PyObject* args, PyObject* kwargs) {
            return read(callee, args, kwargs);
        });
        if (doc.from_json == nullptr || reused_) return;
        auto from_json = [read, callee = name_ + ".from_json()", type = reinterpret_cast<PyTypeObject*>(cls_.ptr())](
                             py::args args, py::kwargs kwargs) {
            return call_guarded([&] {
                PyObject* self =
                    adopt_record(type, std::unique_ptr<Obj>(new Obj{.value = read(callee, args.ptr(), kwargs.ptr())}));
                if (self == nullptr) throw py::error_already_set();
                return py::reinterpret_steal<py::object>(self);
            });
        };
        std::string alias_doc = signed_doc("from_json", signature.text(), doc.from_json);
        py::options options;
        options.disable_function_signatures();
        cls_.attr("from_json") =
            py::staticmethod(py::cpp_function(std::move(from_json), py::name("from_json"), py::doc(keep(alias_doc))));
    }

    template <bool Exclusive, class P, class F>
    ClassDef& def_method(const char* name, const char* doc, P signature, F fn) {
        if (reused_) return *this;
        std::string callee = name_ + "." + name + "()";
        auto body = [signature, fn, callee, name = std::string(name)](py::handle object, py::args args,
                                                                      py::kwargs kwargs) mutable {
            return call_guarded([&] {
                Obj& self = self_record<T>(object, name.c_str());
                // Every argument converts before the object is borrowed: a conversion may run
                // Python code (__float__, __index__) that reads the object or lets another thread
                // read it.
                auto values = signature.convert(signature.bind(callee, args.ptr(), kwargs.ptr()));
                if constexpr (Exclusive) {
                    ExclusiveBorrow borrow(self.borrow);
                    return std::apply([&](auto&&... xs) { return call_to_py(fn, self.value, std::move(xs)...); },
                                      std::move(values));
                } else {
                    SharedBorrow borrow(self.borrow);
                    return std::apply(
                        [&](auto&&... xs) { return call_to_py(fn, std::as_const(self.value), std::move(xs)...); },
                        std::move(values));
                }
            });
        };
        py::options options;
        options.disable_function_signatures();
        cls_.def(name, std::move(body), keep(signed_doc(name, method_parameters(signature.text()), doc)));
        return *this;
    }

    template <class F>
    ClassDef& text_slot(const char* slot, F fn) {
        if (reused_) return *this;
        auto body = [fn, slot](py::handle object) {
            return call_guarded([&] {
                Obj& self = self_record<T>(object, slot);
                SharedBorrow borrow(self.borrow);
                return py::str(fn(std::as_const(self.value)));
            });
        };
        py::options options;
        options.disable_function_signatures();
        const std::string builtin = std::string(slot).substr(2, std::strlen(slot) - 4);  // "repr", "str"
        cls_.def(slot, std::move(body), keep(signed_doc(slot, "self, /", "Return " + builtin + "(self).")));
        return *this;
    }

    PyClass make_class(py::module_& m, const char* name, const char* doc) {
        if (py::detail::get_type_info(typeid(Obj)) != nullptr) {
            // Built by an earlier import attempt in this process: reuse the type object as it is.
            reused_ = true;
            return py::reinterpret_borrow<PyClass>(py::type::of<Obj>());
        }
        py::options options;
        options.disable_function_signatures();
        PyClass cls(m, name, keep(doc));
        if (*doc == '\0') cls.attr("__doc__") = py::none();
        // Until a constructor is declared, creating an instance is refused.
        install_new(cls, new_object<T>,
                    signed_doc("__new__", "$type, *args, **kwargs",
                               std::string("Creates a new ") + name + "; see help(" + name + ") for its parameters."));
        return cls;
    }

    std::string name_;
    std::string prose_;
    bool reused_ = false;
    PyClass cls_;
};

// Adds a module function through the module "add" operation; fn receives the converted arguments.
template <class P, class F>
void add_function(py::module_& m, const char* name, const char* doc, P signature, F fn) {
    std::string callee = std::string(name) + "()";
    auto body = [signature, fn, callee](py::args args, py::kwargs kwargs) mutable {
        return call_guarded([&] {
            auto values = signature.convert(signature.bind(callee, args.ptr(), kwargs.ptr()));
            return std::apply([&](auto&&... xs) { return call_to_py(fn, std::move(xs)...); }, std::move(values));
        });
    };
    py::options options;
    options.disable_function_signatures();
    std::string text = signed_doc(name, signature.text(), doc);
    add(m, name, py::cpp_function(body, py::name(name), py::doc(keep(text)), py::scope(m)));
}

template <class F>
void add_function(py::module_& m, const char* name, const char* doc, F fn) {
    add_function(m, name, doc, no_params(), std::move(fn));
}

}  // namespace vevuruvu::boundary
