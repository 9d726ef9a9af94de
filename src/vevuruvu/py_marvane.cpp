// The module frame: PyInit_marvane and the module body that fills the module chapter by chapter.
#include <Python.h>

#include <atomic>
#include <cstdint>

#include "vevuruvu/boundary/errors.hpp"
#include "vevuruvu/boundary/module.hpp"
#include "vevuruvu/chapters.hpp"

namespace py = pybind11;

namespace vevuruvu::py_marvane {

const char* const MODULE_DOC =
    "Highway Capacity Manual analysis library implementing the HCM 7th Edition methodologies.\n"
    "\n"
    "Provides capacity and level-of-service analysis per Highway Capacity Manual\n"
    "procedures, one set of classes per HCM chapter.\n"
    "\n"
    "Main Classes:\n"
    "- SubSegment, Segment, TwoLaneHighways: HCM Chapter 15 (two-lane highways)\n"
    "- BicycleLOS, analyze_bicycle_los: HCM Chapter 15 Section 4 (bicycle mode on two-lane and multilane\n"
    "highways)\n"
    "- BasicFreeways, ManagedLanes: HCM Chapter 12 (basic freeway, multilane highway, and basic managed\n"
    "lane segments)\n"
    "- analyze_mixed_flow, analyze_composite_grade: HCM Chapters 26 and 25 (mixed-flow model for single\n"
    "and composite grades)\n"
    "- WeavingSegment: HCM Chapter 13 (freeway weaving segments)\n"
    "- RampSegment: HCM Chapter 14 (freeway merge and diverge segments)\n"
    "- FreewayFacility: HCM Chapter 10 (freeway facilities core methodology)\n"
    "- FreewayReliability: HCM Chapter 11 (freeway reliability analysis)\n"
    "- UrbanFacility: HCM Chapter 16 (urban street facilities)\n"
    "- UrbanReliability: HCM Chapter 17 (urban street reliability and ATDM)\n"
    "- UrbanSegment: HCM Chapter 18 (urban street segments)\n"
    "- SignalizedIntersection: HCM Chapter 19 (signalized intersections)\n"
    "- Twsc: HCM Chapter 20 (two-way STOP-controlled intersections)\n"
    "- Awsc: HCM Chapter 21 (all-way STOP-controlled intersections)\n"
    "- Roundabouts: HCM Chapter 22 (roundabouts)\n"
    "- Interchange: HCM Chapter 23 (interchange ramp terminals)\n"
    "- ExclusivePedestrianFacility, SharedUsePathPedestrian, OffStreetBicycleFacility: HCM Chapter 24\n"
    "(off-street pedestrian and bicycle facilities)\n"
    "\n"
    "Constraint Functions:\n"
    "- get_constraints(): Get all parameter constraints as JSON\n"
    "- validate_input(): Validate input parameters against HCM/AASHTO constraints\n"
    "\n"
    "Example Usage:\n"
    ">>> from marvane import Segment, TwoLaneHighways\n"
    ">>> segment = Segment(passing_type=1, length=2.5, grade=3.0, spl=55.0)\n"
    ">>> highway = TwoLaneHighways([segment])\n";

// The package version, compiled in from pyproject.toml (CMakeLists.txt).
const char* const VERSION = MARVANE_VERSION;

// The module body: every class and function in the fixed order that __all__ records.
void marvane(py::module_& m) {
    freeway_facilities::register_(m);   // FreewayFacility, ManagedLaneFacility, PlanningFacility
    freeway_reliability::register_(m);  // FreewayReliability and the Chapter 11 / 37 functions
    basicfreeways::register_(m);
    mixed_flow::register_(m);
    weaving::register_(m);
    merge_diverge::register_(m);
    twolanehighways::register_(m);
    urban_facilities::register_(m);
    urban_reliability::register_(m);
    urban_segments::register_(m);
    signalized::register_(m);
    twsc::register_(m);
    awsc::register_(m);
    roundabouts::register_(m);
    ramp_terminals::register_(m);
    offstreet_pedbike::register_(m);
    support::register_(m);
    boundary::add(m, "__doc__", py::str(MODULE_DOC));
    boundary::add(m, "__version__", py::str(VERSION));
}

}  // namespace vevuruvu::py_marvane

namespace {

// m_size 0 (not -1) makes a re-import call PyInit_marvane again, which returns the cached module.
PyModuleDef module_def = {PyModuleDef_HEAD_INIT, "marvane", nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr};

std::atomic<std::int64_t> first_interpreter{-1};
PyObject* module_cell = nullptr;

}  // namespace

extern "C" PYBIND11_EXPORT PyObject* PyInit_marvane() {
    PyInterpreterState* interp = PyInterpreterState_Get();
    std::int64_t id = PyInterpreterState_GetID(interp);
    if (id == -1) {
        if (!PyErr_Occurred()) PyErr_SetString(PyExc_SystemError, "no exception set while reading the interpreter id");
        return nullptr;
    }
    std::int64_t expected = -1;
    if (!first_interpreter.compare_exchange_strong(expected, id) && expected != id) {
        PyErr_SetString(PyExc_ImportError,
                        "marvane does not yet support sub-interpreters; import it in the main interpreter only");
        return nullptr;
    }
    if (module_cell != nullptr) return Py_NewRef(module_cell);

    PyObject* raw = PyModule_Create(&module_def);
    if (raw == nullptr) return nullptr;
    auto m = py::reinterpret_steal<py::module_>(raw);
    if (!vevuruvu::boundary::run_guarded([&] { vevuruvu::py_marvane::marvane(m); })) return nullptr;
    module_cell = m.release().ptr();
    return Py_NewRef(module_cell);
}
