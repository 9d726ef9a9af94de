"""The signalized intersection functions from Python: pedestrian, bicycle and two-stage crossing
methods (their argument errors, messages, JSON forms and one worked example each; the numbers
are pinned in the C++ tests), and a property of the delays over generated inputs."""
import inspect
import json
import math

import pytest
from hypothesis import given
from hypothesis import strategies as st

import marvane

FUNCTIONS = ["analyze_signalized_bicycle", "analyze_signalized_pedestrian", "signalized_two_stage_crossing_delay"]


def test_registration_signatures_and_docs():
    names = marvane.__all__
    i = names.index("analyze_signalized_bicycle")
    assert names[i:i + 3] == FUNCTIONS
    for name in FUNCTIONS:
        assert str(inspect.signature(getattr(marvane, name))) == "(config_json)"
    assert marvane.analyze_signalized_pedestrian.__doc__ == (
        "Evaluate the pedestrian LOS at a signalized intersection - HCM Chapter 19,\n"
        "Section 5 (Steps 1-3). Takes a JSON `PedestrianIntersection` config; returns\n"
        "a JSON `PedestrianIntersectionAnalysis` (delay, LOS score, LOS).")
    assert marvane.analyze_signalized_bicycle.__doc__.endswith("(capacity, delay, LOS score, LOS).")
    assert marvane.signalized_two_stage_crossing_delay.__doc__.startswith(
        "Pedestrian delay for a two-stage crossing of one intersection leg\n")


@pytest.mark.parametrize("name", FUNCTIONS)
def test_argument_errors(name):
    fn = getattr(marvane, name)
    with pytest.raises(TypeError, match=rf"^{name}\(\) missing 1 required positional argument: 'config_json'$"):
        fn()
    with pytest.raises(TypeError, match="^argument 'config_json': "):
        fn(b"{}")
    with pytest.raises(TypeError, match="unexpected keyword argument 'json'"):
        fn(json="{}")
    fn(config_json="{}")


@pytest.mark.parametrize("name, prefix", [
    ("analyze_signalized_bicycle", "invalid bicycle config: "),
    ("analyze_signalized_pedestrian", "invalid pedestrian config: "),
    ("signalized_two_stage_crossing_delay", "invalid two-stage config: "),
])
@pytest.mark.parametrize("text, message", [
    ('{"cycle_length_s": 90, "cycle_length_s": 90}', "duplicate field `cycle_length_s` at line 1 column 39"),
    ('{"cycle_length_s": null}', "invalid type: null, expected f64 at line 1 column 23"),
    ("{} x", "trailing characters at line 1 column 4"),
    ("", "EOF while parsing a value at line 1 column 0"),
])
def test_json_failures_carry_the_function_prefix(name, prefix, text, message):
    with pytest.raises(ValueError) as err:
        getattr(marvane, name)(text)
    assert str(err.value) == prefix + message


def test_pedestrian_worked_crosswalk():
    config = {"cycle_length_s": 90, "lanes_crossed": 4, "v_rtor": 50, "v_lt_perm": 100, "num_rtci": 1,
              "crossed_street_volume_sum": 1800, "speed_85_mph": 40, "note": "unknown keys are skipped"}
    result = json.loads(marvane.analyze_signalized_pedestrian(json.dumps(config)))
    assert list(result) == ["effective_walk_s", "delay", "n15_per_lane", "f_w", "f_v", "f_s", "f_delay",
                            "los_score", "los"]
    assert result["delay"] == pytest.approx(34.6722, abs=1e-4)
    assert result["los_score"] == pytest.approx(3.1011, abs=1e-4)
    assert result["los"] == "C"
    # the array form gives the values in key order
    as_array = [config[k] if k in config else d for k, d in [
        ("cycle_length_s", 0), ("walk_setting_s", 7.0), ("lanes_crossed", 2.0), ("v_rtor", 0), ("v_lt_perm", 0),
        ("num_rtci", 0), ("crossed_street_volume_sum", 0), ("crossed_street_lanes", 2.0), ("speed_85_mph", 0)]]
    assert json.loads(marvane.analyze_signalized_pedestrian(json.dumps(as_array))) == result


def test_bicycle_worked_approach_and_unbounded_values():
    config = {"effective_green_s": 40, "cycle_length_s": 100, "bicycle_flow": 120, "cross_street_width_ft": 48,
              "total_width_ft": 16, "v_left": 50, "v_through": 600, "v_right": 100, "num_through_lanes": 2}
    result = json.loads(marvane.analyze_signalized_bicycle(json.dumps(config)))
    assert list(result) == ["capacity", "delay", "f_w", "f_v", "los_score", "los"]
    assert result["capacity"] == 800.0
    assert result["delay"] == pytest.approx(19.1489, abs=1e-4)
    assert result["los"] == "B"
    # a bicycle that always has green does not wait, even at capacity
    assert json.loads(marvane.analyze_signalized_bicycle('{"effective_green_s": 90, "cycle_length_s": 90, '
                                                         '"bicycle_flow": 2000}'))["delay"] == 0.0
    # no through lanes: no finite score, written as null, LOS F
    zero_lanes = json.loads(marvane.analyze_signalized_bicycle('{"num_through_lanes": 0, "v_through": 10}'))
    assert zero_lanes["los_score"] is None and zero_lanes["los"] == "F"


def test_two_stage_crossing():
    assert marvane.signalized_two_stage_crossing_delay('{"cycle_length_s": 100}') == pytest.approx(41.405)
    later = marvane.signalized_two_stage_crossing_delay('{"cycle_length_s": 100, "walk_start_y_s": 30}')
    assert later == pytest.approx(71.0)
    assert marvane.signalized_two_stage_crossing_delay("[100, 5, 5, 0, 3.5, 0, -70]") == pytest.approx(later)
    assert math.isnan(marvane.signalized_two_stage_crossing_delay("{}"))


cycles = st.floats(30, 240)


@given(cycles, st.floats(0, 1), st.floats(0, 5000), st.floats(100, 4000))
def test_bicycle_delay_is_at_most_half_a_cycle(cycle, green_share, flow, sat_flow):
    config = {"cycle_length_s": cycle, "effective_green_s": green_share * cycle, "bicycle_flow": flow,
              "saturation_flow": sat_flow}
    delay = json.loads(marvane.analyze_signalized_bicycle(json.dumps(config)))["delay"]
    assert 0 <= delay <= 0.5 * cycle + 1e-9


@given(cycles, st.floats(0, 20), st.floats(0, 20), st.floats(0, 200), st.floats(-500, 500), st.floats(-500, 500))
def test_two_stage_wait_is_less_than_two_cycles(cycle, walk_x, walk_y, distance, start_x, start_y):
    config = [cycle, walk_x, walk_y, distance, 3.5, start_x, start_y]
    delay = marvane.signalized_two_stage_crossing_delay(json.dumps(config))
    assert 0 <= delay < 2 * cycle
