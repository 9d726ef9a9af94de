import inspect
import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import marvane
from marvane import (UrbanFacility, facility_bicycle_los, facility_pedestrian_los,
                     facility_pedestrian_or_bicycle_los_score, facility_transit_los, facility_transit_los_score_py)

SEGMENT = {"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 600,
           "control": "Signalized", "through_capacity_veh_h": 1800, "through_control_delay_s": 5}
SUPPLIED = {**SEGMENT, "base_ffs_mph": 40.0, "travel_speed_mph": 30.0, "spatial_stop_rate_stops_mi": 2.0}
RESULTS = ["base_free_flow_speed_mph", "travel_speed_mph", "spatial_stop_rate", "critical_vc_ratio", "los",
           "poorest_segment_los", "perception_score", "spillback_flags"]


def facility(segments=(SEGMENT, SEGMENT), **fields):
    return UrbanFacility(json.dumps({"segments": list(segments), **fields}))


def test_class_surface_and_fresh_object():
    start = marvane.__all__.index("UrbanFacility")
    assert marvane.__all__[start:start + 6] == [
        "UrbanFacility", "facility_pedestrian_or_bicycle_los_score", "facility_transit_los_score_py",
        "facility_pedestrian_los", "facility_bicycle_los", "facility_transit_los"]
    assert str(inspect.signature(UrbanFacility)) == "(config_json)"
    assert str(inspect.signature(facility_pedestrian_los)) == "(score, pedestrian_space)"
    assert UrbanFacility.__doc__.startswith("HCM Chapter 16 urban street facility analysis")
    f = facility(segments=[SEGMENT] * 3)
    assert str(f) == "Urban street facility with 3 segments"
    assert repr(facility()) == "UrbanFacility(segments=2, length=2640 ft, los=None)"
    assert all(getattr(f, name) is None for name in RESULTS)
    assert (f.num_segments, f.length_ft, f.segment_travel_speeds()) == (3, 3960.0, [None, None, None])
    for name in RESULTS + ["num_segments", "length_ft"]:
        with pytest.raises(AttributeError):
            setattr(f, name, 1.0)
    with pytest.raises(TypeError, match="^argument 'config_json': "):
        UrbanFacility(b"{}")
    with pytest.raises(ValueError, match=r"^invalid UrbanFacility JSON: missing field `segments` at line 1 column 2$"):
        UrbanFacility("{}")


def test_aggregate_needs_segment_results_and_analyze_supplies_them():
    f = facility()
    with pytest.raises(ValueError, match=r"^segment 0: base free-flow speed not computed$"):
        f.aggregate()
    assert f.analyze() is None
    assert (f.los, f.poorest_segment_los) == ("B", "B")
    assert repr(f) == "UrbanFacility(segments=2, length=2640 ft, los=Some(B))"
    speeds = f.segment_travel_speeds()
    assert f.travel_speed_mph == pytest.approx(speeds[0]) and isinstance(speeds[1], float)
    assert f.critical_vc_ratio == pytest.approx(600 / 1800)
    assert f.spatial_stop_rate is None and f.perception_score is None and f.spillback_flags is None


def test_supplied_results_and_spillback_flags():
    storage = [{"available_storage_ft": 0, "back_of_queue_veh_ln": 1}, [250, 10]]
    f = facility(segments=[SUPPLIED, SUPPLIED], prop_left_turn_lanes=0.5, spillback_inputs=storage)
    assert f.aggregate() is None
    assert (f.base_free_flow_speed_mph, f.travel_speed_mph, f.spatial_stop_rate) == (40.0, 30.0, 2.0)
    assert isinstance(f.perception_score, float)
    flags = f.spillback_flags
    assert flags == [True, False]
    flags.clear()  # a copy: the record keeps its flags
    assert f.spillback_flags == [True, False]
    short = facility(segments=[SUPPLIED, SUPPLIED], spillback_inputs=storage[:1])
    with pytest.raises(ValueError, match=r"^spillback_inputs has 1 entries for 2 segments$"):
        short.aggregate()
    assert short.los is None


def test_pretty_json_round_trip():
    f = facility(spillback_inputs=[[300, 4], [300, 20]])
    assert json.loads(f.to_json())["spillback_inputs"][0] == {
        "available_storage_ft": 300.0, "back_of_queue_veh_ln": 4.0, "avg_vehicle_spacing_ft": 25.0}
    f.analyze()
    text = f.to_json()
    assert text.startswith('{\n  "segments": [\n    {\n      "segment_length_ft": 1320.0,\n')
    assert list(json.loads(text)) == ["segments", "prop_left_turn_lanes", "spillback_inputs", "results",
                                      "spillback_flags"]
    again = UrbanFacility(text)
    assert again.to_json() == text
    assert all(getattr(again, name) == getattr(f, name) for name in RESULTS)


def test_facility_mode_functions():
    # One call each, by position and keyword (the C++ tests pin the scores and letters).
    assert facility_transit_los_score_py([(1000, 2.0), (3000, 4.0)]) == 3.5
    assert facility_pedestrian_or_bicycle_los_score(segments=[(1320, 30.0, 2.7)]) == pytest.approx(2.7)
    assert facility_pedestrian_los(score=1.5, pedestrian_space=30.0) == "C"
    assert (facility_bicycle_los(5.01), facility_transit_los(2.0)) == ("F", "A")


@pytest.mark.parametrize("call, message", [
    (lambda: facility_transit_los_score_py("ab"), "argument 'segments': Can't extract `str` to `Vec`"),
    (lambda: facility_pedestrian_or_bicycle_los_score([(1.0, 2.0)]),
     "argument 'segments': expected tuple of length 3, but got tuple of length 2"),
    (lambda: facility_pedestrian_or_bicycle_los_score([(1.0, "x", 2.0)]), "argument 'segments': "),
    (lambda: facility_pedestrian_los(2.0, "wide"), "argument 'pedestrian_space': "),
])
def test_function_argument_errors(call, message):
    with pytest.raises(TypeError) as raised:
        call()
    assert str(raised.value).startswith(message)


@settings(max_examples=60, deadline=None)
@given(st.lists(st.tuples(st.floats(1, 10000), st.floats(1, 70), st.floats(1, 70)), min_size=1, max_size=6))
def test_facility_travel_is_the_sum_of_its_segments(segments):
    f = facility(segments=[{**SEGMENT, "segment_length_ft": length, "base_ffs_mph": ffs, "travel_speed_mph": speed}
                           for length, ffs, speed in segments])
    f.aggregate()
    speeds = [speed for _, _, speed in segments]
    # The facility speed lies between its segments' speeds, and its travel time is theirs summed.
    assert min(speeds) * (1 - 1e-12) <= f.travel_speed_mph <= max(speeds) * (1 + 1e-12)
    travel_time_s = json.loads(f.to_json())["results"]["travel_time_s"]
    assert travel_time_s == pytest.approx(sum(3600 * length / (5280 * speed) for length, _, speed in segments))
