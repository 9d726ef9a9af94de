// A test-only extension module that exercises the boundary conventions through a few small
// classes and functions. Never part of marvane.
#include <array>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/options.hpp"
#include "hcm/common/error.hpp"
#include "json/jsonio.hpp"
#include "vevuruvu/boundary/kit.hpp"

namespace py = pybind11;
using namespace vevuruvu::boundary;

namespace {

struct Counter {
    double total = 0.0;
    std::string label = "counter";
};

// A record whose constructor covers every kind of field-bound parameter.
enum class Surface { Walkway, Stairway };

struct Walkway {
    double width = 0.0;
    double fixed_object_width = 0.0;
    Surface surface = Surface::Walkway;
    bool is_one_way = false;
    std::optional<double> demand;
    double phf = 0.85;
    std::array<double, 3> speeds{4.0, 3.5, 3.0};
    std::uint32_t lanes = 1;
    double effective_width = 0.0;  // derived once the fields are set
};

inline constexpr base::OptionTable<Surface, 2> SURFACE_WORDS{
    base::Normalise::Lower,
    "unknown facility_type: {}",
    {{{"walkway", Surface::Walkway}, {"stairway", Surface::Stairway}}}};

std::array<double, 3> three_speeds(const std::vector<double>& values) {
    if (values.size() != 3) throw hcm::Error("speeds must contain exactly 3 values");
    return {values[0], values[1], values[2]};
}

// Walkway's parameters declared as data, as marvane's keyword classes declare theirs.
auto walkway_parameters() {
    namespace d = declared;
    return std::tuple{d::req("width", &Walkway::width), d::def("fixed_object_width", &Walkway::fixed_object_width, 0.0),
                      d::def("facility_type", &Walkway::surface, "walkway", SURFACE_WORDS),
                      d::def("is_one_way", &Walkway::is_one_way, false), d::opt("demand", &Walkway::demand),
                      d::opt("phf", &Walkway::phf), d::opt("speeds", &Walkway::speeds, three_speeds),
                      d::def("lanes", &Walkway::lanes, 1u).kw_only()};
}

// A class with no constructor: Python cannot create one.
struct Opaque {
    int value = 7;
};

// Documents of four JSON-document classes, one record type each.
template <int N>
struct Doc {
    double x = 1.0;
    std::string name = "doc";
};

template <int N>
const jsonio::Record<Doc<N>>& json_record(jsonio::Tag<Doc<N>>) {
    static const jsonio::Record<Doc<N>> record{"Doc",
                                               {
                                                   jsonio::with_default("x", &Doc<N>::x, 1.0),
                                                   jsonio::with_default("name", &Doc<N>::name, std::string("doc")),
                                               }};
    return record;
}

template <int N>
Doc<N> read_doc(std::string_view text) {
    return jsonio::read_document<Doc<N>>(text);
}
template <int N>
std::string write_doc(const Doc<N>& doc) {
    return jsonio::write_document(doc);
}
template <int N>
std::string write_doc_pretty(const Doc<N>& doc) {
    return jsonio::write_document_pretty(doc);
}

using Optional = Doc<0>;  // Optional(json=None), prefix, compact writer
using Strict = Doc<1>;    // Strict(json), the parser's message alone, from_json alias, compact writer
using Pretty = Doc<2>;    // Pretty(config_json), prefix, pretty writer
using ReadOnly = Doc<3>;  // ReadOnly(json=None), no writer

// A text that is not UTF-8 makes the writer fail.
template <class D>
void corrupt(D& doc) {
    doc.name = "caf\xE9";
}

}  // namespace

VEVURUVU_PYTHON_CLASS(Counter);
VEVURUVU_PYTHON_CLASS(Opaque);

PYBIND11_MODULE(marvane_boundary_test, m) {
    ClassDef<Counter>(m, "Counter", "A running total.")
        .init(declared::def("start", &Counter::total, 0.0), declared::opt("label", &Counter::label))
        .method("total", "The running total.", &Counter::total)
        .method_mut("add", "Adds an amount (any float-like object).", params(req<double>("amount")),
                    [](Counter& c, double amount) {
                        if (amount < 0) throw hcm::Error("amount must not be negative, got " + std::to_string(amount));
                        c.total += amount;
                    })
        .method("scaled", "The total times a factor, plus an offset.",
                params(def<double>("factor", 2.0), opt<double>("offset").kw_only()),
                [](const Counter& c, double factor, std::optional<double> offset) {
                    return c.total * factor + offset.value_or(0.0);
                })
        .method("peek", "Calls reader() while holding a shared borrow.", params(req<py::object>("reader")),
                [](const Counter&, py::object reader) { return reader(); })
        .method_mut("poke", "Calls reader() while holding an exclusive borrow.", params(req<py::object>("reader")),
                    [](Counter&, py::object reader) { return reader(); })
        .method("panic", "Reads an element past the end: a broken invariant.", params(req<std::uint64_t>("index")),
                [](const Counter&, std::uint64_t index) { return std::vector<double>{1.0}.at(index); })
        .property("label", "The counter's label.", &Counter::label)
        .readonly("doubled", "Twice the total.", [](const Counter& c) { return 2 * c.total; })
        .repr([](const Counter& c) { return "Counter(" + c.label + ")"; });

    ClassDef<Walkway>(m, "Walkway", "")
        .init(walkway_parameters())
        .after_init([](Walkway& w) { w.effective_width = w.width - w.fixed_object_width; })
        .readonly("width", nullptr, &Walkway::width)
        .readonly("fixed_object_width", nullptr, &Walkway::fixed_object_width)
        .readonly("is_stairway", nullptr, [](const Walkway& w) { return w.surface == Surface::Stairway; })
        .readonly("is_one_way", nullptr, &Walkway::is_one_way)
        .readonly("demand", nullptr, &Walkway::demand)
        .readonly("phf", nullptr, &Walkway::phf)
        .readonly("speeds", nullptr,
                  [](const Walkway& w) { return std::vector<double>(w.speeds.begin(), w.speeds.end()); })
        .readonly("lanes", nullptr, &Walkway::lanes)
        .readonly("effective_width", nullptr, &Walkway::effective_width);

    ClassDef<Opaque>(m, "Opaque", "Made only by opaque().").readonly("value", nullptr, &Opaque::value);
    add_function(m, "opaque", "An Opaque object.", [] { return Opaque{}; });

    ClassDef<Optional>(m, "Optional", "")
        .json_document({.read = read_doc<0>,
                        .read_error = "invalid optional JSON: ",
                        .write = write_doc<0>,
                        .write_error = "serialization failed: ",
                        .to_json = "The document, compact."})
        .method_mut("corrupt", "", corrupt<Optional>);
    ClassDef<Strict>(m, "Strict", "")
        .json_document({.required = true,
                        .read = read_doc<1>,
                        .from_json = "Alias constructor mirroring `Strict(json)`.",
                        .write = write_doc<1>,
                        .write_error = "serialization failed: ",
                        .to_json = "The document, compact."})
        .readonly("x", nullptr, &Strict::x);
    ClassDef<Pretty>(m, "Pretty", "A document written pretty.")
        .json_document({.param = "config_json",
                        .required = true,
                        .read = read_doc<2>,
                        .read_error = "invalid pretty config: ",
                        .write = write_doc_pretty<2>,
                        .write_error = "serialize Pretty: ",
                        .to_json = "The document, pretty."})
        .method_mut("corrupt", "", corrupt<Pretty>);
    ClassDef<ReadOnly>(m, "ReadOnly", "")
        .json_document({.read = read_doc<3>, .read_error = "invalid read-only JSON: "})
        .readonly("name", nullptr, &ReadOnly::name);

    add_function(m, "convert", "Converts each argument and returns them as a tuple.",
                 params(req<double>("f"), req<std::int32_t>("i32"), req<std::uint32_t>("u32"),
                        req<std::uint8_t>("u8"), req<std::uint64_t>("size"), req<bool>("flag"),
                        req<std::string>("text"), req<std::vector<double>>("floats"),
                        opt<std::array<double, 2>>("pair"), opt<Counter>("counter")),
                 [](double f, std::int32_t i32, std::uint32_t u32, std::uint8_t u8, std::uint64_t size, bool flag,
                    std::string text, std::vector<double> floats, std::optional<std::array<double, 2>> pair,
                    std::optional<Counter> counter) {
                     py::object p = pair ? py::object(py::make_tuple((*pair)[0], (*pair)[1])) : py::object(py::none());
                     py::object c = counter ? py::object(py::float_(counter->total)) : py::object(py::none());
                     return py::make_tuple(f, i32, u32, u8, size, flag, text, to_py(floats), p, c);
                 });
    add_function(m, "need_three", "Four parameters, three required.",
                 params(req<double>("a"), req<double>("b"), req<double>("c"), def<double>("d", 1.0)),
                 [](double a, double b, double c, double d) { return a + b + c + d; });
    add_function(m, "need_two", "Two required parameters.", params(req<double>("a"), req<double>("b")),
                 [](double a, double b) { return a * b; });
    add_function(m, "keyword_only", "A keyword-only parameter.", params(req<double>("a"), req<double>("b").kw_only()),
                 [](double a, double b) { return a - b; });
    add_function(m, "fail", "Raises the computation layer's error.",
                 params(req<std::string>("message")), [](const std::string& message) -> double {
                     throw hcm::Error(message);
                 });
    add_function(m, "fail_undecodable", "Raises an error whose text is not UTF-8.",
                 []() -> double { throw hcm::Error("caf\xE9 au lait"); });
    add_function(m, "exhaust", "Runs out of memory.", []() -> double { throw std::bad_alloc(); });
    add_function(m, "broken", "Breaks an internal invariant without a message of its own.",
                 []() -> double { throw 42; });
    m.attr("PanicException") = panic_exception_type();
}
