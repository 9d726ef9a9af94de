"""The signalized intersection functions from Python: pedestrian, bicycle and two-stage crossing
methods (their argument errors, messages, JSON forms and one worked example each; the numbers
are pinned in the C++ tests), and a bound on the two-stage delay over generated crossings."""
import inspect
import json
import math

import pytest
from hypothesis import given, settings
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
@settings(deadline=None)
@given(st.floats(30, 240), st.floats(0, 20), st.floats(0, 20), st.floats(0, 200), st.floats(-500, 500), st.floats(-500, 500))
def test_two_stage_wait_is_less_than_two_cycles(cycle, walk_x, walk_y, distance, start_x, start_y):
    config = [cycle, walk_x, walk_y, distance, 3.5, start_x, start_y]
    delay = marvane.signalized_two_stage_crossing_delay(json.dumps(config))
    assert 0 <= delay < 2 * cycle


# --- SignalizedIntersection -------------------------------------------------------------------

def phase(number, duration, yellow=4.0, red=1.0, **settings):
    return {"phase_no": number, "duration_s": duration, "yellow_s": yellow, "red_clearance_s": red, **settings}


def approach(direction, left, through, right, through_phase, left_phase=None, **fields):
    """An approach with an exclusive left lane (protected-permitted when it has a left phase), one
    through lane and a shared right-through lane."""
    a = {"direction": direction, "volume_left": left, "volume_through": through, "volume_right": right,
         "volume_rtor": 0, "peak_hour_factor": 0.92, "pct_heavy_vehicles_left": 2, "pct_heavy_vehicles_through": 3,
         "platoon_ratio_left": 1.0, "platoon_ratio_through": 1.0, "upstream_filtering_i": 1.0,
         "initial_queue_through_veh": 0, "initial_queue_left_veh": 0, "ped_flow_ph": 50, "bike_flow_ph": 20,
         "exclusive_left_lanes": 1, "through_lanes": 1, "exclusive_right_lanes": 0,
         "shared_left_through_lane": False, "shared_right_through_lane": True, "lane_width_ft": 12, "grade_pct": 0,
         "receiving_lanes": 2, "parking_present": False, "parking_maneuvers_h": 0, "bus_stops_h": 0,
         "storage_left_ft": 200, "storage_through_ft": 800, "speed_limit_mph": 35,
         "opposing_right_turn_influences_gaps": True,
         "left_turn_mode": "ProtectedPermitted" if left_phase else "Permitted", "left_turn_sequence": "LeadLead",
         "left_phase": left_phase, "through_phase": through_phase}
    a.update(fields)
    return a


def document(**fields):
    """Four legs, eight actuated phases, protected-permitted lefts, 120 s cycle."""
    left = lambda n: phase(n, 15, 3, 1, max_green_s=15, passage_time_s=2.5)
    through = lambda n: phase(n, 45, max_green_s=40, passage_time_s=3, walk_s=7, ped_clear_s=12)
    doc = {"cycle_length_s": 120, "analysis_period_h": 0.25, "base_saturation_flow": 1900, "area_type_cbd": False,
           "control": "ActuatedSignal", "sneakers_per_cycle": 2,
           "approaches": [approach("NB", 120, 600, 100, through(2), left(5)),
                          approach("SB", 100, 550, 90, through(6), left(1)),
                          approach("EB", 90, 450, 80, through(4), left(7)),
                          approach("WB", 80, 500, 70, through(8), left(3))]}
    doc.update(fields)
    return json.dumps(doc)


def test_intersection_registration_and_surface():
    i = marvane.__all__.index("SignalizedIntersection")
    assert marvane.__all__[i + 1:i + 4] == FUNCTIONS
    cls = marvane.SignalizedIntersection
    assert str(inspect.signature(cls)) == "(json)" and cls.__doc__ is None
    assert str(inspect.signature(cls.from_json)) == "(json)"
    assert cls.from_json.__doc__ == "Alias constructor mirroring `SignalizedIntersection(json)`."
    assert str(inspect.signature(cls.actuated_timings_json)) == "(self, simultaneous_gap_out)"
    assert cls.apply_rtor_estimates.__doc__.startswith("Populate each approach's RTOR flow rate")
    assert cls.approach_los.__doc__ == "Approach LOS letter for a direction (HCM Exhibit 19-8)."
    assert cls.critical_vc_ratio.__doc__ == "Critical intersection volume-to-capacity ratio X_c\n(HCM Equation 19-30)."


def test_results_before_and_after_analysis():
    x = marvane.SignalizedIntersection(document())
    assert (x.cycle_length_s, x.analysis_period_h, x.num_lane_groups) == (120.0, 0.25, 0)
    assert (x.intersection_delay_s, x.intersection_los, x.critical_vc_ratio) == (None, None, None)
    assert str(x) == "Signalized intersection (not yet analyzed)"
    assert repr(x) == "SignalizedIntersection(cycle=120.0s, approaches=4, delay=None, los=None)"
    assert x.lane_groups_json() == "[]" and x.actuated_timings_json(True) == "[]"
    with pytest.raises(ValueError, match="^no approach nb$"):
        x.approach_los("nb")
    assert x.analyze() is None
    assert x.num_lane_groups == 12 and isinstance(x.critical_vc_ratio, float)
    assert x.intersection_los in "ABCDEF" and x.intersection_delay_s > 0
    assert str(x) == f"Signalized intersection: control delay {x.intersection_delay_s:.1f} s/veh, " \
                     f"LOS {x.intersection_los}"
    assert repr(x) == f"SignalizedIntersection(cycle=120.0s, approaches=4, delay=Some({x.intersection_delay_s!r}), " \
                      f"los=Some({x.intersection_los}))"
    assert x.approach_los("nb") == x.approach_los("NB") in "ABCDEF"
    assert isinstance(x.approach_delay_s("Wb"), float)
    with pytest.raises(ValueError, match="^no approach north$"):
        x.approach_delay_s("north")
    groups = json.loads(x.lane_groups_json())
    assert [g["kind"] for g in groups[:3]] == ["ExclusiveLeft", "ExclusiveThrough", "SharedRightThrough"]
    phases = json.loads(x.actuated_timings_json(simultaneous_gap_out=False))
    assert [p["phase_no"] for p in phases] == list(range(1, 9))
    assert list(phases[0]) == ["phase_no", "duration_s", "green_s", "queue_service_s", "green_extension_s",
                               "mah_star_s", "prob_max_out", "prob_call"]


def test_argument_and_document_errors():
    cls = marvane.SignalizedIntersection
    with pytest.raises(TypeError, match=r"missing 1 required positional argument: 'json'"):
        cls()
    with pytest.raises(TypeError, match="^argument 'json': "):
        cls.from_json(42)
    with pytest.raises(ValueError, match=r"^invalid type: integer `42`, expected struct SignalizedIntersection "
                                         r"at line 1 column 2$"):
        cls("42")
    with pytest.raises(ValueError, match=r"^missing field `through_phase` at line 1 column \d+$"):
        cls.from_json(document(approaches=[{k: v for k, v in json.loads(document())["approaches"][0].items()
                                            if k != "through_phase"}]))
    x = cls(document())
    with pytest.raises(TypeError, match="^argument 'simultaneous_gap_out': "):
        x.actuated_timings_json(1)
    with pytest.raises(ValueError, match="^unknown direction X$"):
        x.estimate_rtor_volume("x")


def test_right_turn_on_red_estimates():
    doc = json.loads(document())
    doc["approaches"][0].update(exclusive_right_lanes=1, shared_right_through_lane=False, volume_right=200,
                                peak_hour_factor=0.9)
    doc["approaches"][3].update(left_turn_mode="Protected", volume_left=150, peak_hour_factor=None)
    x = marvane.SignalizedIntersection(json.dumps(doc))
    assert x.estimate_rtor_volume("nb") == 150.0 and x.estimate_rtor_volume("SB") == 0.0
    assert x.apply_rtor_estimates() is None
    rtor = [a["volume_rtor"] for a in json.loads(x.to_json())["approaches"]]
    assert rtor == [150.0, 0.0, 0.0, 0.0]


def test_document_round_trip_after_analysis():
    x = marvane.SignalizedIntersection(document())
    x.analyze()
    text = x.to_json()
    back = marvane.SignalizedIntersection.from_json(text)
    assert back.to_json() == text
    assert (back.intersection_delay_s, back.num_lane_groups) == (x.intersection_delay_s, 12)
    assert list(json.loads(text)) == ["cycle_length_s", "analysis_period_h", "base_saturation_flow", "area_type_cbd",
                                      "control", "sneakers_per_cycle", "approaches", "lane_groups",
                                      "approach_results", "intersection_delay_s", "intersection_los",
                                      "critical_vc_ratio"]


LEFT_MODES = ["NotPresent", "Protected", "Permitted", "ProtectedPermitted"]
SEQUENCES = ["LeadLead", "LeadLag", "LagLead", "LagLag", "PermLead", "PermLag", "PermPerm"]


@st.composite
def intersections(draw):
    def generated_approach(direction, number):
        volume = st.integers(0, 1200)
        return approach(
            direction, draw(volume), draw(volume), draw(volume),
            phase(number, draw(st.floats(10, 70)), max_green_s=draw(st.floats(5, 60)), passage_time_s=2.0),
            phase(number + 4, draw(st.floats(8, 25)), 3, 1, max_green_s=12, passage_time_s=2.0),
            left_turn_mode=draw(st.sampled_from(LEFT_MODES)), left_turn_sequence=draw(st.sampled_from(SEQUENCES)),
            exclusive_left_lanes=draw(st.integers(0, 2)), through_lanes=draw(st.integers(0, 3)),
            exclusive_right_lanes=draw(st.integers(0, 2)), shared_left_through_lane=draw(st.booleans()),
            shared_right_through_lane=draw(st.booleans()), platoon_ratio_left=draw(st.floats(0.333, 2.0)),
            platoon_ratio_through=draw(st.floats(0.333, 2.0)), ped_flow_ph=draw(st.floats(0, 400)),
            initial_queue_through_veh=draw(st.floats(0, 20)), peak_hour_factor=draw(st.floats(0.7, 1.0)))
    legs = draw(st.lists(st.sampled_from(["NB", "SB", "EB", "WB"]), min_size=1, max_size=4, unique=True))
    return document(cycle_length_s=draw(st.floats(40, 180)), control=draw(st.sampled_from(["PretimedSignal",
                                                                                            "ActuatedSignal"])),
                    approaches=[generated_approach(d, i + 1) for i, d in enumerate(legs)])


# Delays are numbers and never negative (beyond rounding), and the analysed document reads back as
# written.
@settings(deadline=None)
@given(intersections())
def test_delays_are_finite_and_non_negative(text):
    x = marvane.SignalizedIntersection(text)
    x.analyze()
    doc = json.loads(x.to_json())
    for g in doc["lane_groups"]:
        assert all(g[k] >= -1e-9 for k in ("uniform_delay_s", "incremental_delay_s", "initial_queue_delay_s",
                                       "control_delay_s")), g
    for r in doc["approach_results"]:
        assert r["control_delay_s"] >= 0 and r["flow_rate"] >= 0
    assert math.isfinite(x.intersection_delay_s) and x.intersection_delay_s >= 0
    assert marvane.SignalizedIntersection(x.to_json()).to_json() == x.to_json()
