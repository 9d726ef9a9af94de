// A test-only extension module that exercises the boundary conventions through one small class
// and a few functions. Never part of marvane.
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "hcm/common/error.hpp"
#include "vevuruvu/boundary/kit.hpp"

namespace py = pybind11;
using namespace vevuruvu::boundary;

namespace {

struct Counter {
    double total = 0.0;
    std::string label = "counter";
};

}  // namespace

VEVURUVU_PYTHON_CLASS(Counter);

PYBIND11_MODULE(marvane_boundary_test, m) {
    ClassDef<Counter>(m, "Counter", "Counter(start=0.0, label=None)\n--\n\nA running total.")
        .constructor(params(def<double>("start", 0.0), opt<std::string>("label")),
                     [](double start, std::optional<std::string> label) {
                         return Counter{start, label.value_or("counter")};
                     })
        .method("total", "total()\n--\n\nThe running total.", [](const Counter& c) { return c.total; })
        .method_mut("add", "add(amount)\n--\n\nAdds an amount (any float-like object).", params(req<double>("amount")),
                    [](Counter& c, double amount) {
                        if (amount < 0) throw hcm::Error("amount must not be negative, got " + std::to_string(amount));
                        c.total += amount;
                    })
        .method("peek", "peek(reader)\n--\n\nCalls reader() while holding a shared borrow.",
                params(req<py::object>("reader")), [](const Counter&, py::object reader) { return reader(); })
        .method_mut("poke", "poke(reader)\n--\n\nCalls reader() while holding an exclusive borrow.",
                    params(req<py::object>("reader")), [](Counter&, py::object reader) { return reader(); })
        .method("panic", "panic(index)\n--\n\nReads an element past the end: a broken invariant.",
                params(req<std::uint64_t>("index")),
                [](const Counter&, std::uint64_t index) { return std::vector<double>{1.0}.at(index); })
        .property<std::string>(
            "label", "The counter's label.", [](const Counter& c) { return c.label; },
            [](Counter& c, std::string label) { c.label = std::move(label); })
        .readonly("doubled", "Twice the total.", [](const Counter& c) { return 2 * c.total; })
        .repr([](const Counter& c) { return "Counter(" + c.label + ")"; });

    add_function(m, "convert",
                 "convert(f, i32, u32, u8, size, flag, text, floats, pair=None, counter=None)\n--\n\n"
                 "Converts each argument and returns them as a tuple.",
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
    add_function(m, "need_three", "need_three(a, b, c, d=1)\n--\n\nFour parameters, three required.",
                 params(req<double>("a"), req<double>("b"), req<double>("c"), def<double>("d", 1.0)),
                 [](double a, double b, double c, double d) { return a + b + c + d; });
    add_function(m, "need_two", "need_two(a, b)\n--\n\nTwo required parameters.",
                 params(req<double>("a"), req<double>("b")), [](double a, double b) { return a * b; });
    add_function(m, "keyword_only", "keyword_only(a, *, b)\n--\n\nA keyword-only parameter.",
                 params(req<double>("a"), req<double>("b").kw_only()), [](double a, double b) { return a - b; });
    add_function(m, "fail", "fail(message)\n--\n\nRaises the computation layer's error.",
                 params(req<std::string>("message")), [](const std::string& message) -> double {
                     throw hcm::Error(message);
                 });
    add_function(m, "fail_undecodable", "fail_undecodable()\n--\n\nRaises an error whose text is not UTF-8.",
                 []() -> double { throw hcm::Error("caf\xE9 au lait"); });
    add_function(m, "broken", "broken()\n--\n\nBreaks an internal invariant without a message of its own.",
                 []() -> double { throw 42; });
    m.attr("PanicException") = panic_exception_type();
}
