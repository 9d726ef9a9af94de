import json
import math

import pytest

import marvane
from marvane import WeavingSegment

STEPS = [
    "determine_demand_flow",
    "determine_configuration_characteristics",
    "determine_max_weaving_length",
    "determine_capacity",
    "determine_lane_changing_rates",
    "estimate_speed",
    "determine_density",
    "determine_los",
]

FLOAT_RESULTS = [
    "flow_weaving", "flow_nonweaving", "flow_total", "volume_ratio", "lc_min", "l_max", "capacity",
    "vc_ratio", "lc_all", "speed_weaving", "speed_nonweaving", "speed_avg", "density",
]


def test_registered_in_order():
    names = marvane.__all__
    start = names.index("WeavingSegment")
    assert names[start:start + 4] == [
        "WeavingSegment", "cross_weave_gp_capacity", "service_flow_rate_ideal", "service_volumes"]


def test_results_before_and_after_a_run():
    seg = WeavingSegment()
    assert all(getattr(seg, name) == 0.0 for name in FLOAT_RESULTS)
    assert seg.is_weaving is False
    assert seg.los is None

    assert seg.run_analysis() == "C"
    to_pc = 1.05 / 0.94  # 1 / (PHF f_HV) at 5 % heavy vehicles on level terrain
    assert seg.flow_weaving == pytest.approx(1000 * to_pc)
    assert seg.flow_total == pytest.approx(4100 * to_pc)
    assert seg.l_max == pytest.approx(4989.965124, rel=1e-9)
    assert seg.is_weaving is True
    assert seg.density == pytest.approx(20.226836774, rel=1e-9)
    assert seg.los == "C"


def test_steps_one_at_a_time_match_the_whole_run():
    whole = WeavingSegment(v_ff=3600, length_short=1200)
    whole.run_analysis()
    seg = WeavingSegment(v_ff=3600, length_short=1200)
    v_w, v_nw, v = seg.determine_demand_flow()
    assert v == pytest.approx(v_w + v_nw)
    assert seg.determine_configuration_characteristics() == whole.lc_min
    assert seg.determine_max_weaving_length() == whole.l_max
    assert seg.determine_capacity() == whole.capacity
    assert seg.determine_lane_changing_rates() == whole.lc_all
    assert seg.estimate_speed() == (whole.speed_weaving, whole.speed_nonweaving, whole.speed_avg)
    assert seg.determine_density() == whole.density
    assert seg.determine_los() == whole.los


def test_density_step_without_speed_is_infinite():
    assert WeavingSegment().determine_density() == math.inf


@pytest.mark.parametrize("kwargs, error", [
    ({"weaving_type": "one sided"}, "unknown weaving_type: one sided"),
    ({"weaving_type": "Two-Way"}, "unknown weaving_type: two-way"),
    ({"facility_type": "Arterial"}, "unknown facility_type: arterial"),
    ({"terrain": " level"}, "unknown terrain:  level"),
    ({"version": "7.2"}, 'unknown HCM version "7.2"; expected one of "7" or "7.1"'),
    ({"weaving_type": "x", "terrain": "y", "facility_type": "z"}, "unknown weaving_type: x"),
    ({"terrain": "y", "version": "8", "facility_type": "z"}, "unknown facility_type: z"),
    ({"version": "8", "terrain": "y"}, "unknown terrain: y"),
])
def test_option_word_errors(kwargs, error):
    with pytest.raises(ValueError) as info:
        WeavingSegment(**kwargs)
    assert str(info.value) == error


def test_option_words_are_lower_cased():
    assert repr(WeavingSegment(weaving_type="Two_Sided")).startswith("WeavingSegment(type=TwoSided,")
    assert WeavingSegment(weaving_type="One-Sided", terrain="MOUNTAINOUS", version="HCM 7.1").version == "7.1"
    # Density 30.5 pc/mi/ln: D on a freeway weave, C on the multilane / C-D table.
    kwargs = dict(v_ff=4800, length_short=1000)
    freeway, cd = WeavingSegment(**kwargs), WeavingSegment(facility_type="CD", **kwargs)
    assert freeway.run_analysis() == "D"
    assert cd.run_analysis() == "C"
    assert cd.density == freeway.density


def test_argument_conversion():
    with pytest.raises(OverflowError):
        WeavingSegment(num_lanes=-1)
    with pytest.raises(TypeError, match="argument 'ffs'"):
        WeavingSegment(ffs="fast")
    assert WeavingSegment(None, None, 1200).run_analysis() == WeavingSegment(length_short=1200.0).run_analysis()


def test_version_property():
    seg = WeavingSegment()
    assert seg.version == "7"
    seg.run_analysis()
    speed = seg.speed_avg
    seg.version = "hcm 7.1"
    assert seg.version == "7.1"
    assert seg.speed_avg == speed  # results are not cleared
    with pytest.raises(ValueError, match='unknown HCM version "7.10"'):
        seg.version = "7.10"
    assert seg.version == "7.1"
    with pytest.raises(TypeError):
        seg.version = 7.1
    with pytest.raises(AttributeError, match="can't delete attribute"):
        del seg.version
    seg.version = "V7"
    assert seg.version == "7"


@pytest.mark.parametrize("step", STEPS)
def test_steps_refused_in_7_1(step):
    seg = WeavingSegment(version="7.1")
    with pytest.raises(ValueError) as info:
        getattr(seg, step)()
    assert str(info.value) == (
        f'{step}() implements the 7th Edition step structure, but this segment is version "7.1". '
        "Use run_analysis() or analysis_v7_1() instead.")
    assert seg.flow_total == 0.0 and seg.los is None


def test_edition_7_1_run():
    seg = WeavingSegment(version="7.1")
    assert seg.run_analysis() == "B"
    assert seg.density == pytest.approx(17.0627972705, rel=1e-9)
    assert seg.speed_avg == pytest.approx(67.1019405762, rel=1e-9)
    assert seg.capacity == 0.0 and seg.l_max == 0.0 and seg.is_weaving is False  # edition 7 only


def test_repr():
    seg = WeavingSegment(length_short=1234.6, num_lanes=5, num_weaving_lanes=3, ffs=62.5)
    assert repr(seg) == "WeavingSegment(type=OneSided, L_S=1235 ft, N=5, N_WL=3, ffs=62)"


def test_cross_weave_gp_capacity():
    crf, caf, c_gpa = marvane.cross_weave_gp_capacity(1, 1000, 3, 2000)
    assert crf == pytest.approx(-0.0897 - 0.01453 + 0.008901, abs=1e-15)
    assert caf == 1 - crf and c_gpa == caf * 2000
    with pytest.raises(ValueError, match=r"^cross-weave demand flow rate \(cw\) must be > 0$"):
        marvane.cross_weave_gp_capacity(0, 1000, 3, 2000)
    with pytest.raises(OverflowError):
        marvane.cross_weave_gp_capacity(100, 1000, -3, 2000)


def test_service_volumes():
    assert marvane.service_volumes(6000, 0.95, 0.9, 0.09, 0.5) == pytest.approx(
        (6000, 5700, 5130, 5130 / 0.045))
    assert marvane.service_volumes(6000, 0.95, 0.9, 0, 0.5)[3] == math.inf
    with pytest.raises(TypeError, match="missing 1 required positional argument: 'd'"):
        marvane.service_volumes(6000, 0.95, 0.9, 0.09)


def test_service_flow_rate_ideal():
    seg = WeavingSegment(phf=0.9, heavy_vehicle_pct=0.1)
    split = (0.7, 0.12, 0.12, 0.06)
    sfi = marvane.service_flow_rate_ideal(seg, split, 28.0)
    assert seg.density == 0.0  # the segment itself is not run
    ideal = WeavingSegment(phf=1.0, heavy_vehicle_pct=0.0,
                           **{k: sfi * s for k, s in zip(("v_ff", "v_rf", "v_fr", "v_rr"), split)})
    ideal.run_analysis()
    assert ideal.density == pytest.approx(28.0, rel=1e-9)
    assert marvane.service_flow_rate_ideal(segment=seg, split=split, target_density=28.0) == sfi


@pytest.mark.parametrize("args, error, text", [
    ((WeavingSegment(), [0.7, 0.1, 0.1, 0.1], 28.0), TypeError, "argument 'split'.*PyTuple"),
    ((WeavingSegment(), (0.7, 0.3, 0.0), 28.0), ValueError, "expected tuple of length 4, but got tuple of length 3"),
    (("segment", (0.7, 0.1, 0.1, 0.1), 28.0), TypeError, "argument 'segment'.*WeavingSegment"),
    ((WeavingSegment(), (0, 0, 0, 0), 28.0), ValueError,
     "^target density 28 pc/mi/ln cannot be reached: the segment's density stays below it"),
    ((WeavingSegment(version="7.1"), (0, 0, 0, 0), 25.0), ValueError, "^target density 25 pc/mi/ln cannot be reached"),
    ((WeavingSegment(), (0.7, 0.1, 0.1, 0.1), math.nan), ValueError, "^target density must be a finite number, got NaN$"),
])
def test_service_flow_rate_ideal_errors(args, error, text):
    with pytest.raises(error, match=text):
        marvane.service_flow_rate_ideal(*args)


V7_1_KEYS = [
    "class", "f_hv", "flows", "flow_total", "flow_per_lane", "ffs_adj", "capacity_basic_adj", "breakpoint_adj",
    "speed_basic", "weaving_intensity", "speed_impedance", "speed_avg", "capacity_per_lane", "capacity_total",
    "dc_ratio", "demand_exceeds_capacity", "density", "los",
]


def test_analysis_v7_1_json():
    seg = WeavingSegment()
    assert seg.analysis_v7_1() is None
    seg.run_analysis()
    assert seg.analysis_v7_1() is None  # an edition-7 run writes no 7.1 record

    seg.version = "7.1"
    seg.run_analysis()
    text = seg.analysis_v7_1()
    assert " " not in text and '"ffs_adj":70.0,' in text
    doc = json.loads(text)
    assert list(doc) == V7_1_KEYS
    assert list(doc["flows"]) == ["v_rf", "v_rr", "v_fr", "v_ff"]
    assert doc["class"] == "Simple" and doc["los"] == "B" and doc["demand_exceeds_capacity"] is False
    assert doc["density"] == seg.density and doc["speed_avg"] == seg.speed_avg
    assert doc["capacity_total"] == pytest.approx(4 * doc["capacity_per_lane"])


@pytest.mark.parametrize("kwargs, cls", [
    ({"lc_rf": 2}, "Complex"),
    ({"nw_fr": 0}, "Complex"),
    ({"weaving_type": "two-sided"}, "TwoSided"),
])
def test_analysis_v7_1_classes(kwargs, cls):
    seg = WeavingSegment(version="7.1", **kwargs)
    seg.run_analysis()
    assert json.loads(seg.analysis_v7_1())["class"] == cls


def test_analysis_v7_1_over_capacity_writes_null():
    seg = WeavingSegment(version="7.1", v_ff=9000)
    assert seg.run_analysis() == "F"
    doc = json.loads(seg.analysis_v7_1())
    assert doc["speed_avg"] is None and doc["density"] is None  # speed 0, density infinite
    assert doc["demand_exceeds_capacity"] is True and doc["dc_ratio"] > 1
    assert seg.speed_avg == 0.0 and seg.density == math.inf
