#pragma once
// The module "add" operation: every class, function and attribute of the module goes through it.
#include <pybind11/pybind11.h>

namespace vevuruvu::boundary {

// Appends `name` to the module's __all__ (created empty on first use), then sets the attribute.
// The first call seals pybind11's own types (sealed.hpp).
void add(pybind11::module_& m, const char* name, pybind11::handle value);

}  // namespace vevuruvu::boundary
