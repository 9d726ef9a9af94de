"""analyze_pedestrian_segment, analyze_bicycle_segment and analyze_transit_segment: the surface of
the three segment-mode functions (their numbers are pinned in the C++ tests)."""
import inspect
import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import marvane

PEDESTRIAN_KEYS = ["effective_sidewalk_width", "flow_per_width", "walking_speed", "pedestrian_space", "travel_speed",
                   "f_w", "f_v", "f_s", "link_score", "link_los", "crossing_score", "segment_score", "segment_los"]
BICYCLE_KEYS = ["running_time_s", "travel_speed", "effective_width", "f_w", "f_v", "f_s", "f_p", "link_score",
                "link_los", "f_c", "segment_score", "segment_los"]
TRANSIT_KEYS = ["running_speed", "delay_accel_decel", "delay_passenger_service", "delay_stop", "running_time",
                "travel_speed", "headway_factor", "perceived_travel_time_rate", "travel_time_factor",
                "wait_ride_score", "segment_score", "segment_los"]

MODES = [
    (marvane.analyze_pedestrian_segment, "pedestrian", "PedestrianSegment", PEDESTRIAN_KEYS, "curb_present"),
    (marvane.analyze_bicycle_segment, "bicycle", "BicycleSegment", BICYCLE_KEYS, "median_divided"),
    (marvane.analyze_transit_segment, "transit", "TransitSegment", TRANSIT_KEYS, "near_side_signalized_stop"),
]
IDS = ["pedestrian", "bicycle", "transit"]


def test_registered_after_urban_segment():
    i = marvane.__all__.index("UrbanSegment")
    assert marvane.__all__[i + 1:i + 4] == ["analyze_pedestrian_segment", "analyze_bicycle_segment",
                                            "analyze_transit_segment"]


@pytest.mark.parametrize("fn, mode, record, keys, flag", MODES, ids=IDS)
def test_signature_docstring_and_defaults(fn, mode, record, keys, flag):
    assert str(inspect.signature(fn)) == "(config_json)"
    assert fn.__doc__.startswith(f"Evaluate the {mode} LOS of an urban street segment - HCM Chapter 18,\nSection ")
    assert f"Takes a JSON `{record}` config" in fn.__doc__
    result = json.loads(fn("{}"))
    assert list(result) == keys
    assert result["segment_los"] == "A"
    # The array form, trailing fields defaulted; keys outside the record are ignored.
    assert fn("[1320]") == fn(config_json='{"unknown": [1, 2], "length_ft": 1320.0}') == fn(" {} \n")


@pytest.mark.parametrize("fn, mode, record, keys, flag", MODES, ids=IDS)
@pytest.mark.parametrize("text, message", [
    ("{", "EOF while parsing an object at line 1 column 1"),
    ('{"length_ft": 1, "length_ft": 2}', "duplicate field `length_ft` at line 1 column 28"),
    ('{"length_ft": "long"}', 'invalid type: string "long", expected f64 at line 1 column 20'),
    ("{} []", "trailing characters at line 1 column 4"),
    ("{FLAG: null}", "invalid type: null, expected a boolean at line 1 column LAST"),
])
def test_config_errors(fn, mode, record, keys, flag, text, message):
    text = text.replace("FLAG", json.dumps(flag))
    message = message.replace("LAST", str(len(text) - 1))
    with pytest.raises(ValueError) as e:
        fn(text)
    assert str(e.value) == f"invalid {mode} config: {message}"


@pytest.mark.parametrize("fn, mode, record, keys, flag", MODES, ids=IDS)
def test_argument_and_record_type_errors(fn, mode, record, keys, flag):
    with pytest.raises(TypeError, match=rf"{fn.__name__}\(\) missing 1 required positional argument: 'config_json'"):
        fn()
    with pytest.raises(TypeError, match="^argument 'config_json': "):
        fn(b"{}")
    with pytest.raises(ValueError, match=rf"^invalid {mode} config: invalid type: string \"x\", expected struct {record}"):
        fn('"x"')


@settings(max_examples=100, deadline=None)
@given(flow=st.floats(0, 5000), width=st.floats(0, 30), delay=st.floats(0, 300), free=st.floats(2.5, 6))
def test_pedestrians_never_walk_faster_than_free_flow(flow, width, delay, free):
    r = json.loads(marvane.analyze_pedestrian_segment(json.dumps(
        {"ped_flow_rate": flow, "width_sidewalk_ft": width, "ped_delay_parallel": delay,
         "free_flow_walk_speed": free})))
    assert 0.5 * free <= r["walking_speed"] <= free
    assert r["travel_speed"] <= r["walking_speed"] * (1 + 1e-12)  # L / (L / S_p) may round up
    assert r["segment_los"] in tuple("ABCDEF")
