"""RampSegment and the ramp service functions (HCM Chapter 14)."""
import json
import math

import pytest

import marvane
from marvane import RampSegment

STEP_METHODS = ["determine_demand_flow", "estimate_v12", "determine_capacity", "determine_density",
                "determine_los", "estimate_speed"]

V71_KEYS = ["flow_freeway", "flow_ramp", "flow_influence", "flow_per_lane", "ffs_adj", "capacity_basic_adj",
            "breakpoint_adj", "speed_basic", "speed_impedance", "speed_avg", "capacity_per_lane", "dc_ratio",
            "capacity_neighboring_freeway", "capacity_ramp_roadway", "demand_exceeds_capacity", "density", "los"]


def test_registered_in_order():
    names = marvane.__all__
    i = names.index("RampSegment")
    assert names[i:i + 3] == ["RampSegment", "ramp_service_flow_rate_ideal", "ramp_service_volumes"]


def test_class_docstring_is_its_signature():
    assert RampSegment.__text_signature__.startswith("(ramp_type=None, ramp_side=None, ramp_lanes=None,")
    assert RampSegment.__text_signature__.endswith("caf=None, saf=None, version=None)")
    assert RampSegment.__doc__ is None
    assert RampSegment.run_analysis.__text_signature__ == "(self)"
    assert RampSegment.run_analysis.__doc__.startswith("Runs the whole procedure")


def test_results_before_and_after_a_run():
    seg = RampSegment()
    assert seg.version == "7"
    assert repr(seg) == "RampSegment(type=OnRamp, side=Right, lanes=3, ffs=70, ramp_ffs=35)"
    zero = ["flow_freeway", "flow_ramp", "v12", "vr12", "capacity_freeway", "capacity_ramp", "vc_ratio", "density",
            "speed_ramp", "speed_avg"]
    none = ["p_f", "demand_exceeds_capacity", "exceeds_max_desirable", "speed_outer", "los"]
    for name in zero:
        assert getattr(seg, name) == 0.0, name
    for name in none:
        assert getattr(seg, name) is None, name
    assert seg.analysis_v7_1() is None

    assert seg.run_analysis() == "C"
    assert seg.p_f == pytest.approx(0.5999, abs=1e-12)
    assert seg.flow_freeway == pytest.approx(4000 * 1.05 / 0.94)
    assert seg.capacity_freeway == 7200.0 and seg.capacity_ramp == 2000.0
    assert seg.demand_exceeds_capacity is False and seg.exceeds_max_desirable is False
    assert seg.density == pytest.approx(25.4656212766, rel=1e-9)
    assert seg.speed_avg == pytest.approx(61.6633876012, rel=1e-9)
    assert seg.speed_outer == pytest.approx(65.3643489362, rel=1e-9)
    assert seg.los == "C"
    assert seg.analysis_v7_1() is None  # no 7.1 run yet


def test_steps_one_at_a_time_match_the_whole_run():
    whole = RampSegment(ramp_type="off-ramp", freeway_lanes=4, freeway_demand=5000.0, ramp_demand=700.0)
    whole.run_analysis()
    seg = RampSegment(ramp_type="off-ramp", freeway_lanes=4, freeway_demand=5000.0, ramp_demand=700.0)
    flows = seg.determine_demand_flow()
    assert flows == (whole.flow_freeway, whole.flow_ramp)
    assert seg.estimate_v12() == whole.v12
    assert seg.determine_capacity() == whole.capacity_freeway
    assert seg.determine_density() == whole.density
    assert seg.determine_los() == whole.los
    s_r, s_o, s = seg.estimate_speed()
    assert (s_r, s_o, s) == (whole.speed_ramp, whole.speed_outer, whole.speed_avg)


def test_major_merge_has_no_density_or_los_within_capacity():
    seg = RampSegment(ramp_type="Major_Merge")
    assert seg.run_analysis() is None
    assert seg.density == 0.0 and seg.los is None
    assert seg.determine_density() == 0.0
    assert seg.determine_los() is None
    over = RampSegment(ramp_type="major_merge", freeway_demand=7000.0, ramp_demand=2000.0)
    assert over.run_analysis() == "F"


@pytest.mark.parametrize(
    "kwargs, vc_ratio, over",
    [
        # v_F 10000 is reduced to 7500 for v12, but c_F = 5 x 2400 carries all of it: 11500 / 12000
        (dict(freeway_demand=10000.0, ramp_demand=1500.0), 11500 / 12000, False),
        (dict(freeway_demand=11000.0, ramp_demand=1500.0), 12500 / 12000, True),
        (dict(ramp_type="off-ramp", freeway_demand=12500.0, ramp_demand=1000.0), 12500 / 12000, True),
    ],
)
def test_five_lane_capacity_check_uses_the_whole_freeway_flow(kwargs, vc_ratio, over):
    seg = RampSegment(freeway_lanes=5, phf=1.0, heavy_vehicle_pct=0.0, **kwargs)
    los = seg.run_analysis()
    assert seg.flow_freeway < kwargs["freeway_demand"]  # the four-lane flow of the lane distribution
    assert seg.capacity_freeway == 12000.0
    assert seg.vc_ratio == pytest.approx(vc_ratio, rel=1e-12)
    assert seg.demand_exceeds_capacity is over
    assert (los == "F") is over


def test_two_lane_freeway_has_no_outer_speed():
    seg = RampSegment(freeway_lanes=2, freeway_demand=2000.0)
    seg.run_analysis()
    assert seg.speed_outer is None
    assert seg.estimate_speed()[1] is None
    assert seg.speed_avg == seg.speed_ramp


@pytest.mark.parametrize(
    "kwargs, expected",
    [
        ({"ramp_type": "On-Ramp"}, "OnRamp"), ({"ramp_type": "MERGE"}, "OnRamp"), ({"ramp_type": "off_ramp"}, "OffRamp"),
        ({"ramp_type": "Diverge"}, "OffRamp"), ({"ramp_type": "major_diverge"}, "MajorDiverge"),
        ({"ramp_side": "LEFT"}, "Left"),
    ],
)
def test_option_words_are_lower_cased(kwargs, expected):
    assert expected in repr(RampSegment(**kwargs))


@pytest.mark.parametrize("word", ["Off", "offramp", "OFF_RAMP", "off-ramp"])
def test_adjacent_off_ramp_spellings(word):
    # An upstream off-ramp within reach lowers P_FM below the isolated-ramp value.
    seg = RampSegment(adjacent_upstream=word, upstream_distance=500.0)
    seg.run_analysis()
    assert seg.p_f < 0.5999


@pytest.mark.parametrize(
    "kwargs, message",
    [
        ({"ramp_type": "On Ramp"}, "unknown ramp_type: on ramp"),
        ({"ramp_type": " merge"}, "unknown ramp_type:  merge"),
        ({"ramp_side": "Centre"}, "unknown ramp_side: centre"),
        ({"ramp_lanes": 3}, "ramp_lanes must be 1 or 2, got 3"),
        ({"ramp_lanes": 0}, "ramp_lanes must be 1 or 2, got 0"),
        ({"terrain": "Flat"}, "unknown terrain: flat"),
        ({"adjacent_upstream": ""}, "unknown adjacent ramp type: "),
        ({"adjacent_downstream": "Both"}, "unknown adjacent ramp type: both"),
        ({"version": "7.2"}, 'unknown HCM version "7.2"; expected one of "7" or "7.1"'),
        # the first bad text in the order ramp_type, ramp_side, ramp_lanes, terrain, adjacent, version
        ({"version": "8", "ramp_type": "x"}, "unknown ramp_type: x"),
        ({"terrain": "x", "ramp_lanes": 3}, "ramp_lanes must be 1 or 2, got 3"),
        ({"adjacent_upstream": "x", "terrain": "y"}, "unknown terrain: y"),
        ({"adjacent_downstream": "x", "adjacent_upstream": "y"}, "unknown adjacent ramp type: y"),
    ],
)
def test_option_errors(kwargs, message):
    with pytest.raises(ValueError) as err:
        RampSegment(**kwargs)
    assert str(err.value) == message


@pytest.mark.parametrize(
    "kwargs, error, text",
    [
        ({"freeway_lanes": -1}, OverflowError, "out of range integral type conversion attempted"),
        ({"ramp_lanes": 2**32}, OverflowError, "out of range integral type conversion attempted"),
        ({"freeway_ffs": "70"}, TypeError, "argument 'freeway_ffs': "),
        ({"ramp_type": 1}, TypeError, "argument 'ramp_type': 'int' object cannot be converted to 'PyString'"),
        ({"freeway_lanes": 3.0}, TypeError, "argument 'freeway_lanes': "),
    ],
)
def test_argument_conversion_errors(kwargs, error, text):
    with pytest.raises(error) as err:
        RampSegment(**kwargs)
    assert str(err.value).startswith(text)


def test_positional_arguments_in_signature_order():
    seg = RampSegment("off-ramp", "left", 2, 4, 65.0, 45.0)
    assert repr(seg) == "RampSegment(type=OffRamp, side=Left, lanes=4, ffs=65, ramp_ffs=45)"
    with pytest.raises(TypeError, match="got an unexpected keyword argument 'lanes'"):
        RampSegment(lanes=3)


def test_repr_rounds_speeds():
    seg = RampSegment(freeway_ffs=64.6, ramp_ffs=35.4, freeway_lanes=5, ramp_type="major_diverge")
    assert repr(seg) == "RampSegment(type=MajorDiverge, side=Right, lanes=5, ffs=65, ramp_ffs=35)"


def test_version_property():
    seg = RampSegment(version="HCM 7.0")
    assert seg.version == "7"
    seg.run_analysis()
    density7 = seg.density
    seg.version = "hcm 7.1"
    assert seg.version == "7.1"
    assert seg.density == density7  # switching keeps the results
    with pytest.raises(ValueError) as err:
        seg.version = "7.10"
    assert str(err.value) == 'unknown HCM version "7.10"; expected one of "7" or "7.1"'
    assert seg.version == "7.1"
    with pytest.raises(TypeError):
        seg.version = 7.1
    with pytest.raises(AttributeError) as err:
        del seg.version
    assert str(err.value) == "can't delete attribute"
    assert seg.version == "7.1"


@pytest.mark.parametrize("name", STEP_METHODS)
def test_step_methods_refused_in_7_1(name):
    seg = RampSegment(version="7.1")
    seg.run_analysis()
    before = (seg.flow_freeway, seg.p_f, seg.density, seg.speed_avg, seg.los, seg.analysis_v7_1())
    with pytest.raises(ValueError) as err:
        getattr(seg, name)()
    assert str(err.value) == (
        f'{name}() implements the 7th Edition step structure, but this segment is version "7.1". '
        "Use run_analysis() or analysis_v7_1() instead."
    )
    assert (seg.flow_freeway, seg.p_f, seg.density, seg.speed_avg, seg.los, seg.analysis_v7_1()) == before


def test_analysis_v7_1_json():
    seg = RampSegment()
    seg.version = "7.1"
    assert seg.analysis_v7_1() is None
    assert seg.run_analysis() == "D"
    text = seg.analysis_v7_1()
    assert " " not in text  # compact
    record = json.loads(text)
    assert list(record) == V71_KEYS
    assert record["los"] == "D"
    assert record["demand_exceeds_capacity"] is False
    assert record["ffs_adj"] == 70.0 and record["breakpoint_adj"] == 1200.0
    assert record["density"] == pytest.approx(26.1661392249, rel=1e-9)
    assert record["capacity_per_lane"] == pytest.approx(2023.44425756, rel=1e-9)
    assert seg.density == record["density"] and seg.vc_ratio == record["dc_ratio"]
    assert seg.p_f is None and seg.speed_outer is None and seg.exceeds_max_desirable is None


def test_analysis_v7_1_json_nulls():
    # Above the basic-segment capacity there is no speed: S absent, D infinite -> null.
    seg = RampSegment(version="7.1", freeway_demand=7000.0, ramp_demand=1000.0)
    assert seg.run_analysis() == "F"
    record = json.loads(seg.analysis_v7_1())
    assert record["speed_avg"] is None and record["density"] is None
    assert record["demand_exceeds_capacity"] is True
    assert math.isinf(seg.density) and seg.speed_avg == 0.0
    # Breakpoint meeting capacity: no capacity root, no d/c ratio.
    seg = RampSegment(version="7.1", caf=2.0)
    seg.run_analysis()
    record = json.loads(seg.analysis_v7_1())
    assert record["capacity_per_lane"] is None and record["dc_ratio"] is None
    assert seg.vc_ratio == 0.0


def test_service_flow_rate_cases():
    seg = RampSegment()
    sfi = marvane.ramp_service_flow_rate_ideal(seg, 28.0, ramp_fraction=0.1)
    check = RampSegment(freeway_demand=sfi, ramp_demand=0.1 * sfi, phf=1.0, heavy_vehicle_pct=0.0,
                        ramp_heavy_vehicle_pct=0.0)
    check.run_analysis()
    assert check.density == pytest.approx(28.0, abs=1e-6)
    assert seg.flow_freeway == 0.0  # the segment itself is not run

    vr = marvane.ramp_service_flow_rate_ideal(seg, 28.0, fixed_freeway_vf=3000.0)
    assert vr > 0
    assert marvane.ramp_service_flow_rate_ideal(seg, 20.0, None, 6000.0) is None  # already above at v_R = 0


def test_service_flow_rate_unreachable_target_is_none():
    # A major merge has no influence-area density in edition 7: no flow reaches the target.
    seg = RampSegment(ramp_type="major_merge")
    assert marvane.ramp_service_flow_rate_ideal(seg, 28.0, 0.2) is None
    assert marvane.ramp_service_flow_rate_ideal(seg, 28.0, fixed_freeway_vf=3000.0) is None


@pytest.mark.parametrize("args", [(28.0,), (28.0, 0.1, 3000.0), (28.0, None, None)])
def test_service_flow_rate_needs_exactly_one_basis(args):
    with pytest.raises(ValueError) as err:
        marvane.ramp_service_flow_rate_ideal(RampSegment(), *args)
    assert str(err.value) == "provide exactly one of ramp_fraction (Case 1) or fixed_freeway_vf (Case 2)"


@pytest.mark.parametrize(
    "call, error, text",
    [
        (lambda: marvane.ramp_service_flow_rate_ideal(3, 28.0, 0.1), TypeError,
         "argument 'segment': 'int' object cannot be converted to 'RampSegment'"),
        (lambda: marvane.ramp_service_flow_rate_ideal(RampSegment()), TypeError,
         "ramp_service_flow_rate_ideal() missing 1 required positional argument: 'target_density'"),
        (lambda: marvane.ramp_service_flow_rate_ideal(RampSegment(), "28", 0.1), TypeError,
         "argument 'target_density': "),
        (lambda: marvane.ramp_service_volumes(1.0, 1.0, 1.0), TypeError,
         "ramp_service_volumes() missing 1 required positional argument: 'phf'"),
        (lambda: marvane.ramp_service_volumes(1.0, 1.0, "x", 1.0), TypeError, "argument 'f_p': "),
    ],
)
def test_function_argument_errors(call, error, text):
    with pytest.raises(error) as err:
        call()
    assert str(err.value).startswith(text)


def test_service_volumes():
    sf, sv = marvane.ramp_service_volumes(4000.0, 0.95, 0.9, phf=0.92)
    assert sf == pytest.approx(4000.0 * 0.95 * 0.9)
    assert sv == pytest.approx(sf * 0.92)


def test_function_docstrings():
    doc = marvane.ramp_service_flow_rate_ideal.__doc__
    assert doc.splitlines()[0] == "Service flow rate under ideal conditions (pc/h) at a target ramp-influence"
    assert marvane.ramp_service_flow_rate_ideal.__text_signature__ == (
        "(segment, target_density, ramp_fraction=None, fixed_freeway_vf=None)")
    doc = marvane.ramp_service_volumes.__doc__
    assert doc.splitlines()[0] == "Convert an ideal-conditions service flow rate (pc/h) to a prevailing-"
    assert marvane.ramp_service_volumes.__text_signature__ == "(sfi, f_hv, f_p, phf)"
