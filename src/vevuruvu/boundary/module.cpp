#include "vevuruvu/boundary/module.hpp"

#include "vevuruvu/boundary/sealed.hpp"

namespace py = pybind11;

namespace vevuruvu::boundary {

void add(py::module_& m, const char* name, py::handle value) {
    seal_pybind11_types();
    if (!py::hasattr(m, "__all__")) m.attr("__all__") = py::list();
    py::list all = m.attr("__all__");
    all.append(py::str(name));
    m.attr(name) = value;
}

}  // namespace vevuruvu::boundary
