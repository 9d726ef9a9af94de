// A test-only extension module that exercises the boundary conventions.
#include <pybind11/pybind11.h>

PYBIND11_MODULE(marvane_boundary_test, m) { m.doc() = "boundary conventions under test"; }
