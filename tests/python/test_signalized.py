"""The signalized intersection functions from Python: pedestrian, bicycle and two-stage crossing
methods (their argument errors, messages, JSON forms and one worked example each; the numbers
are pinned in the C++ tests), and a bound on the two-stage delay over generated crossings."""
import inspect
import json
import math

import pytest
from hypothesis import given
from hypothesis import strategies as st

import marvane

FUNCTIONS = ["analyze_signalized_bicycle", "analyze_signalized_pedestrian", "signalized_two_stage_crossing_delay"]


def test_registration_and_signatures():
    i = marvane.__all__.index("analyze_signalized_bicycle")
    assert marvane.__all__[i:i + 3] == FUNCTIONS
    for name in FUNCTIONS:
        assert str(inspect.signature(getattr(marvane, name))) == "(config_json)"
    assert marvane.analyze_signalized_pedestrian.__doc__.endswith(
        "a JSON `PedestrianIntersectionAnalysis` (delay, LOS score, LOS).")


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
    ("", "EOF while parsing a value at line 1 column 0"),
])
def test_json_failures_carry_the_function_prefix(name, prefix, text, message):
    with pytest.raises(ValueError) as err:
        getattr(marvane, name)(text)
    assert str(err.value) == prefix + message


def test_worked_examples_and_json_forms():
    config = {"cycle_length_s": 90, "lanes_crossed": 4, "v_rtor": 50, "v_lt_perm": 100, "num_rtci": 1,
              "crossed_street_volume_sum": 1800, "speed_85_mph": 40, "note": "unknown keys are skipped"}
    crosswalk = json.loads(marvane.analyze_signalized_pedestrian(json.dumps(config)))
    assert list(crosswalk) == ["effective_walk_s", "delay", "n15_per_lane", "f_w", "f_v", "f_s", "f_delay",
                               "los_score", "los"]
    assert (round(crosswalk["delay"], 2), round(crosswalk["los_score"], 2), crosswalk["los"]) == (34.67, 3.10, "C")

    bike_lane = json.loads(marvane.analyze_signalized_bicycle(json.dumps(
        {"effective_green_s": 40, "cycle_length_s": 100, "bicycle_flow": 120, "cross_street_width_ft": 48,
         "total_width_ft": 16, "v_left": 50, "v_through": 600, "v_right": 100, "num_through_lanes": 2})))
    assert list(bike_lane) == ["capacity", "delay", "f_w", "f_v", "los_score", "los"]
    assert (bike_lane["capacity"], round(bike_lane["delay"], 2), bike_lane["los"]) == (800.0, 19.15, "B")
    zero_lanes = json.loads(marvane.analyze_signalized_bicycle('{"num_through_lanes": 0, "v_through": 10}'))
    assert zero_lanes["los_score"] is None and zero_lanes["los"] == "F"

    assert marvane.signalized_two_stage_crossing_delay('{"cycle_length_s": 100, "walk_start_y_s": 30}') == \
        pytest.approx(71.0)
    assert math.isnan(marvane.signalized_two_stage_crossing_delay("{}"))


# Each stage waits less than a cycle.
@given(st.floats(30, 240), st.floats(0, 20), st.floats(0, 20), st.floats(0, 200), st.floats(-500, 500), st.floats(-500, 500))
def test_two_stage_wait_is_less_than_two_cycles(cycle, walk_x, walk_y, distance, start_x, start_y):
    config = [cycle, walk_x, walk_y, distance, 3.5, start_x, start_y]
    delay = marvane.signalized_two_stage_crossing_delay(json.dumps(config))
    assert 0 <= delay < 2 * cycle
