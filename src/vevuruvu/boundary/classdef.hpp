#pragma once
// Declarative Python classes and functions. A chapter's binding file reads like a table:
//
//   VEVURUVU_PYTHON_CLASS(BasicFreeways);            // at global scope
//   void register_(py::module_& m) {
//       ClassDef<BasicFreeways>(m, "BasicFreeways", "BasicFreeways(bffs=None, lane_count=None)\n--\n\n...")
//           .constructor(params(opt<double>("bffs"), opt<std::uint32_t>("lane_count")), make_basic_freeways)
//           .method_mut("run_operational_analysis", "run_operational_analysis()\n--\n\n...", run)
//           .method("ffs", "ffs()\n--\n\nFree-flow speed, mi/h.", [](const BasicFreeways& r) { return r.ffs; })
//           .method("e_t", "e_t(length_mi)\n--\n\n...", params(req<double>("length_mi")),
//                   [](const BasicFreeways& r, double len) { return r.e_t(len); })
//           .property("version", "...", get_version, set_version)   // deletion refused
//           .repr([](const BasicFreeways& r) { return describe(r); });
//       add_function(m, "service_volumes", "service_volumes(segment, split)\n--\n\n...",
//                    params(req<WeavingSegment>("segment"), req<std::array<double, 4>>("split")), service_volumes);
//   }
//
// Docstrings start with the text signature ("name(args)", a line "--", a blank line) so that
// inspect.signature works; methods get "self" inserted as their first parameter (not "$self":
// pybind11 functions carry a capsule as __self__, which would make inspect drop it twice). `method` borrows
// the object shared, `method_mut` exclusively (see object.hpp). Callables take the record
// (const T& or T&) and then the converted arguments; their result converts with to_py (void
// gives None). hcm::Error becomes ValueError; other C++ exceptions PanicException.
#include <pybind11/pybind11.h>

#include <string>
#include <type_traits>
#include <utility>

#include "vevuruvu/boundary/args.hpp"
#include "vevuruvu/boundary/convert.hpp"
#include "vevuruvu/boundary/errors.hpp"
#include "vevuruvu/boundary/module.hpp"
#include "vevuruvu/boundary/object.hpp"

namespace vevuruvu::boundary {

// "name(a, b)\n--\n\n..." -> "name(self, a, b)\n--\n\n..." (unchanged if it has no signature).
std::string method_doc(const char* name, const char* doc);
// The constructor's __init__ docstring from the class docstring "Class(a, b)\n--\n\n...".
std::string init_doc(const char* class_name, const char* class_doc);
// A docstring, or None when there is none.
inline py::object doc_or_none(const char* doc) { return doc ? py::object(py::str(doc)) : py::object(py::none()); }
// A property whose deletion raises AttributeError "can't delete attribute".
void set_property(py::handle cls, const char* name, const char* doc, py::cpp_function getter,
                  py::cpp_function setter);

template <class F, class... Args>
py::object call_to_py(F& fn, Args&&... args) {
    using R = std::invoke_result_t<F&, Args...>;
    if constexpr (std::is_void_v<R>) {
        fn(std::forward<Args>(args)...);
        return py::none();
    } else {
        return to_py(fn(std::forward<Args>(args)...));
    }
}

template <class T>
class ClassDef {
public:
    using Obj = Object<T>;

    ClassDef(py::module_& m, const char* name, const char* doc) : name_(name), doc_(doc), cls_(make_class(m, name, doc)) {
        PythonClass<T>::name = name;
        add(m, name, cls_);
    }

    template <class P, class F>
    ClassDef& constructor(P signature, F make) {
        if (reused_) return *this;
        std::string callee = name_ + ".__new__()";
        auto init = [signature, make, callee](py::args args, py::kwargs kwargs) {
            return call_guarded([&] {
                auto values = signature.convert(signature.bind(callee, args.ptr(), kwargs.ptr()));
                return new Obj{std::apply(make, std::move(values))};
            });
        };
        py::options options;
        options.disable_function_signatures();
        cls_.def(py::init(init), keep(init_doc(name_.c_str(), doc_.c_str())));
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

    // A property with a setter: get(const T&) -> R, set(T&, V); deleting it is refused.
    template <class V, class G, class S>
    ClassDef& property(const char* name, const char* doc, G get, S set) {
        if (reused_) return *this;
        auto getter = [get](Obj& self) {
            return call_guarded([&] {
                SharedBorrow borrow(self.borrow);
                return call_to_py(get, std::as_const(self.value));
            });
        };
        auto setter = [set](Obj& self, py::handle value) {
            call_guarded([&] {
                ExclusiveBorrow borrow(self.borrow);
                auto converted = req<V>("value").convert(value.ptr());
                set(self.value, std::move(converted));
                return 0;
            });
        };
        py::options options;
        options.disable_function_signatures();
        set_property(cls_, name, doc, py::cpp_function(getter), py::cpp_function(setter));
        return *this;
    }

    // A read-only property: get(const T&) -> R.
    template <class G>
    ClassDef& readonly(const char* name, const char* doc, G get) {
        if (reused_) return *this;
        auto getter = [get](Obj& self) {
            return call_guarded([&] {
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
    template <bool Exclusive, class P, class F>
    ClassDef& def_method(const char* name, const char* doc, P signature, F fn) {
        if (reused_) return *this;
        std::string callee = name_ + "." + name + "()";
        auto body = [signature, fn, callee](Obj& self, py::args args, py::kwargs kwargs) mutable {
            return call_guarded([&] {
                auto slots = signature.bind(callee, args.ptr(), kwargs.ptr());
                if constexpr (Exclusive) {
                    ExclusiveBorrow borrow(self.borrow);
                    auto values = signature.convert(slots);
                    return std::apply([&](auto&&... xs) { return call_to_py(fn, self.value, std::move(xs)...); },
                                      std::move(values));
                } else {
                    SharedBorrow borrow(self.borrow);
                    auto values = signature.convert(slots);
                    return std::apply(
                        [&](auto&&... xs) { return call_to_py(fn, std::as_const(self.value), std::move(xs)...); },
                        std::move(values));
                }
            });
        };
        py::options options;
        options.disable_function_signatures();
        cls_.def(name, std::move(body), keep(method_doc(name, doc)));
        return *this;
    }

    template <class F>
    ClassDef& text_slot(const char* slot, F fn) {
        if (reused_) return *this;
        auto body = [fn](Obj& self) {
            return call_guarded([&] {
                SharedBorrow borrow(self.borrow);
                return py::str(fn(std::as_const(self.value)));
            });
        };
        cls_.def(slot, std::move(body));
        return *this;
    }

    py::class_<Obj> make_class(py::module_& m, const char* name, const char* doc) {
        if (py::detail::get_type_info(typeid(Obj)) != nullptr) {
            // Built by an earlier import attempt in this process: reuse the type object as it is.
            reused_ = true;
            return py::reinterpret_borrow<py::class_<Obj>>(py::type::of<Obj>());
        }
        py::options options;
        options.disable_function_signatures();
        py::class_<Obj> cls(m, name, keep(doc));
        // A docstring that is only the text signature leaves the class without a docstring.
        if (std::string_view(doc).ends_with("\n--\n\n")) cls.attr("__doc__") = py::none();
        return cls;
    }

    // pybind11 keeps docstrings by pointer: give them the life of the process.
    static const char* keep(const std::string& text) { return (new std::string(text))->c_str(); }

    std::string name_;
    std::string doc_;
    bool reused_ = false;
    py::class_<Obj> cls_;
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
    add(m, name, py::cpp_function(body, py::name(name), py::doc(doc), py::scope(m)));
}

template <class F>
void add_function(py::module_& m, const char* name, const char* doc, F fn) {
    add_function(m, name, doc, no_params(), std::move(fn));
}

}  // namespace vevuruvu::boundary
