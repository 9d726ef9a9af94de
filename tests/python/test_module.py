import importlib
import inspect
import os
import pathlib
import sys
import tomllib

import pytest

import marvane


def test_version_and_doc():
    assert marvane.__version__ == "0.3.7"
    doc = marvane.__doc__
    assert "Provides capacity and level-of-service analysis per Highway Capacity Manual\n" in doc
    assert "procedures, one set of classes per HCM chapter.\n" in doc
    blocks = doc.split("\n\n")
    title = blocks[0]
    assert "\n" not in title and title.endswith("analysis library implementing the HCM 7th Edition methodologies.")
    assert blocks[2].startswith("Main Classes:\n- SubSegment, Segment, TwoLaneHighways: HCM Chapter 15")
    assert blocks[3] == (
        "Constraint Functions:\n"
        "- get_constraints(): Get all parameter constraints as JSON\n"
        "- validate_input(): Validate input parameters against HCM/AASHTO constraints"
    )
    assert blocks[4].splitlines() == [
        "Example Usage:",
        ">>> from marvane import Segment, TwoLaneHighways",
        ">>> segment = Segment(passing_type=1, length=2.5, grade=3.0, spl=55.0)",
        ">>> highway = TwoLaneHighways([segment])",
    ]


# Every name the module body adds, in its fixed order; chapters not yet built add nothing.
REGISTRATION_ORDER = [
    "FreewayFacility", "ManagedLaneFacility", "PlanningFacility", "FreewayReliability",
    "planning_reliability", "shoulder_lane_caf", "shoulder_lane_default_capacity_veh_h_ln", "ramp_metered_merge_caf",
    "alinea_metering_rate",
    "BasicFreeways", "ManagedLanes",
    "analyze_mixed_flow", "analyze_composite_grade",
    "WeavingSegment", "cross_weave_gp_capacity", "service_flow_rate_ideal", "service_volumes",
    "RampSegment", "ramp_service_flow_rate_ideal", "ramp_service_volumes",
    "SubSegment", "Segment", "TwoLaneHighways", "BicycleLOS", "analyze_bicycle_los",
    "UrbanFacility", "facility_pedestrian_or_bicycle_los_score", "facility_transit_los_score_py",
    "facility_pedestrian_los", "facility_bicycle_los", "facility_transit_los",
    "UrbanReliability", "adaptive_signal_sat_flow_adjustment",
    "UrbanSegment", "analyze_pedestrian_segment", "analyze_bicycle_segment", "analyze_transit_segment",
    "SignalizedIntersection", "analyze_signalized_bicycle", "analyze_signalized_pedestrian",
    "signalized_two_stage_crossing_delay",
    "Twsc", "analyze_twsc_pedestrian", "Awsc", "Roundabouts",
    "Interchange", "AlternativeIntersection", "DisplacedLeftTurn", "dlt_offset",
    "ExclusivePedestrianFacility", "SharedUsePathPedestrian", "OffStreetBicycleFacility",
    "hcm_versions", "hcm_latest_version", "hcm_version_changes_chapter", "get_constraints", "validate_input",
    "__doc__", "__version__",
]


def test_version_is_the_packages():
    pyproject = pathlib.Path(__file__).resolve().parents[2] / "pyproject.toml"
    assert marvane.__version__ == tomllib.loads(pyproject.read_text())["project"]["version"]


def test_all_follows_the_registration_order():
    assert len(REGISTRATION_ORDER) == 59
    names = marvane.__all__
    assert set(names) <= set(REGISTRATION_ORDER)
    assert names == [n for n in REGISTRATION_ORDER if n in names]
    built = ["FreewayFacility", "ManagedLaneFacility", "PlanningFacility", "BasicFreeways", "ManagedLanes",
             "analyze_mixed_flow", "analyze_composite_grade", "WeavingSegment", "RampSegment"]
    assert all(n in names for n in built)


def test_all_lists_every_name_once_in_registration_order():
    names = marvane.__all__
    assert len(names) == len(set(names))
    assert names[-2:] == ["__doc__", "__version__"]
    support = ["hcm_versions", "hcm_latest_version", "hcm_version_changes_chapter", "get_constraints", "validate_input"]
    assert names[-7:-2] == support
    for name in names:
        assert hasattr(marvane, name)


def test_second_import_gives_same_module():
    first = marvane
    del sys.modules["marvane"]
    again = importlib.import_module("marvane")
    assert again is first
    assert again.__all__.count("__version__") == 1


def test_function_text_signatures():
    assert marvane.hcm_version_changes_chapter.__text_signature__ == "(version, chapter)"
    params = inspect.signature(marvane.validate_input).parameters
    assert list(params) == ["lane_width", "shoulder_width", "passing_type", "hor_class", "grade", "phf", "phv", "spl"]
    assert all(p.default is None for p in params.values())
    assert str(inspect.signature(marvane.hcm_versions)) == "()"


def test_import_in_a_sub_interpreter_is_refused():
    testcapi = pytest.importorskip("_testcapi")
    read_end, write_end = os.pipe()
    code = (
        "import os\n"
        "try:\n"
        "    import marvane\n"
        "    outcome = 'imported'\n"
        "except ImportError as e:\n"
        "    outcome = 'ImportError: ' + str(e)\n"
        f"os.write({write_end}, outcome.encode())\n"
    )
    try:
        assert testcapi.run_in_subinterp(code) == 0
    finally:
        os.close(write_end)
    with os.fdopen(read_end) as pipe:
        outcome = pipe.read()
    assert outcome.startswith("ImportError: ") and "sub-interpreters" in outcome
    # The main interpreter's module is untouched.
    assert marvane.hcm_latest_version() == "7.1"
