import inspect
import json
import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from marvane import Twsc, analyze_twsc_pedestrian

# The chapter's worked example: two lanes per direction, exclusive major left turns.
DEMAND = {"v1": 100, "v2": 900, "v3": 100, "v4": 80, "v5": 800, "v6": 120, "v7": 60, "v8": 40, "v9": 70,
          "v10": 50, "v11": 30, "v12": 60}
WORKED = json.dumps({"demand": DEMAND, "geometry": {"major_lanes_per_direction": 2}})
# The same with a two-stage NB crossing and two NB lanes.
TWO_LANES_NB = json.dumps({"demand": DEMAND, "geometry": {
    "major_lanes_per_direction": 2, "median_storage_nb": 2, "minor_lanes_nb": "ExclusiveLeftSharedThroughRight"}})
SIGNALS = json.dumps({"cycle_s": 90, "eastbound": {
    "distance_ft": 1200, "progression_speed_mph": 35, "discharges": [[1200, 3600, 0, 30, 30]]}})

MOVEMENT_GETTERS = ["get_flow_rate", "get_conflicting_flow", "get_potential_capacity", "get_movement_capacity",
                    "get_movement_delay", "get_movement_los", "get_movement_queue_95"]


def test_class_surface():
    assert str(inspect.signature(Twsc)) == "(config_json)"
    assert Twsc.__doc__.startswith("HCM Chapter 20 TWSC intersection analysis.\n\n")
    members = [name for name in vars(Twsc) if not name.startswith("_")]
    assert members == ["analyze", "phf", "heavy_vehicle_pct", "analysis_period_h", "set_platoon_blockage",
                       "platoon_blockage", "set_upstream_signals", "clear_upstream_signals", "has_upstream_signals",
                       "set_major_left_config", "get_major_left_config", "rank1_major_delay", *MOVEMENT_GETTERS,
                       "get_lane_count", "get_lane_result", "approach_delays", "intersection_delay", "to_json"]
    assert str(inspect.signature(Twsc.set_major_left_config)) == "(self, approach, config, storage_veh=None)"
    assert str(inspect.signature(Twsc.set_platoon_blockage)) == \
        "(self, pb1, pb4, pb7, pb8, pb9, pb10, pb11, pb12)"
    assert Twsc.analyze.__doc__ == "Run the complete HCM Chapter 20 procedure (Steps 1-13)."
    assert Twsc.get_lane_result.__doc__ == "(capacity veh/h, delay s/veh, LOS, Q95 veh) of a minor approach lane."
    assert Twsc.intersection_delay.__doc__ == ("Intersection control delay, s/veh (Equation 20-65). Note LOS is not\n"
                                               "defined for a TWSC intersection as a whole.")
    assert str(inspect.signature(analyze_twsc_pedestrian)) == "(config_json)"


def test_results_before_and_after_analysis():
    t = Twsc(config_json=TWO_LANES_NB)
    assert repr(t) == "Twsc(three_leg=false, major_lanes=2, intersection_delay=None)"
    assert all(t.get_flow_rate(m) == 0.0 for m in ("1", "1U", "4u", "12"))
    assert all(getattr(t, g)("7") is None for g in MOVEMENT_GETTERS[1:])
    assert (t.rank1_major_delay, t.approach_delays, t.intersection_delay, t.platoon_blockage) == (None,) * 4
    assert t.get_lane_count("nb") == 0
    with pytest.raises(ValueError, match="^no lane 0 on nb$"):
        t.get_lane_result("nb", 0)
    assert t.analyze() is None
    assert repr(t) == f"Twsc(three_leg=false, major_lanes=2, intersection_delay=Some({t.intersection_delay!r}))"
    assert t.get_movement_delay("1") == pytest.approx(10.53, abs=0.005) and t.get_movement_los("1") == "B"
    assert t.get_movement_delay("1u") == t.get_movement_delay("1U")
    assert t.get_conflicting_flow("7") == 1725.0 and t.get_movement_delay("7") is None
    assert len(t.approach_delays) == 4 and t.rank1_major_delay is None
    assert t.get_lane_count("NB") == 2 and t.get_lane_count("sb") == 1
    capacity, delay, los, queue = t.get_lane_result("NB", 1)
    assert capacity > 0 and delay > 0 and los in "ABCDEF" and len(los) == 1 and queue >= 0
    t.heavy_vehicle_pct = 10  # inputs change, results wait for the next analysis
    assert t.get_lane_result("NB", 1) == (capacity, delay, los, queue)
    t.analyze()
    assert t.get_lane_result("NB", 1)[0] < capacity


def test_a_lane_that_is_never_served():
    t = Twsc(WORKED)
    t.analyze()
    assert t.get_lane_result("SB", 0) == (0.0, math.inf, "F", math.inf)
    assert t.approach_delays[3] == math.inf and t.intersection_delay == math.inf
    assert repr(t).endswith("intersection_delay=Some(inf))")


def test_zero_demand_analyses():
    t = Twsc('{"demand": {}, "geometry": {"major_lanes_per_direction": 1, "is_three_leg": true}}')
    assert t.analyze() is None
    assert t.approach_delays == [0.0] * 4 and t.intersection_delay == 0.0
    assert t.get_lane_count("SB") == 0


@pytest.mark.parametrize("call, error, message", [
    (lambda t: t.get_movement_delay("13"), ValueError, "unknown TWSC movement label: 13"),
    (lambda t: t.get_movement_los("01"), ValueError, "unknown TWSC movement label: 01"),
    (lambda t: t.get_flow_rate(" 1"), ValueError, "unknown TWSC movement label:  1"),
    (lambda t: t.get_flow_rate(7), TypeError, "argument 'movement'"),
    (lambda t: t.get_lane_count("eb"), ValueError, "TWSC minor approach must be NB or SB, got EB"),
    (lambda t: t.get_lane_result("nb", 2), ValueError, "no lane 2 on nb"),
    (lambda t: t.get_lane_result("nb", -1), OverflowError, None),
    (lambda t: t.get_major_left_config("nb"), ValueError, "unknown major approach: NB (expected EB or WB)"),
    (lambda t: t.set_major_left_config("EB", "short_pocket"), ValueError,
     "short_pocket major-left config requires storage_veh"),
    (lambda t: t.set_major_left_config("NB", "pocket"), ValueError,
     "unknown major-left lane config: pocket (expected exclusive|shared|short_pocket)"),
    (lambda t: t.set_major_left_config("NB", "shared"), ValueError, "unknown major approach: NB (expected EB or WB)"),
    (lambda t: t.set_major_left_config("EB", "short_pocket", 2 ** 32), OverflowError, None),
    (lambda t: t.set_upstream_signals("{}"), ValueError,
     "invalid upstream_signals JSON: missing field `cycle_s` at line 1 column 2"),
    (lambda t: t.set_upstream_signals('{"cycle_s": 90} x'), ValueError,
     "invalid upstream_signals JSON: trailing characters at line 1 column 17"),
])
def test_query_and_setter_failures_leave_the_object_unchanged(call, error, message):
    t = Twsc(TWO_LANES_NB)
    t.analyze()
    before = t.to_json()
    with pytest.raises(error) as raised:
        call(t)
    if message is not None:
        assert str(raised.value).startswith(message)
    assert t.to_json() == before and not t.has_upstream_signals


def test_major_left_configuration():
    t = Twsc(WORKED)
    assert t.get_major_left_config("eb") == ("exclusive", None)
    t.set_major_left_config("wb", "Short_POCKET", 4)
    assert t.get_major_left_config("WB") == ("short_pocket", 4)
    t.set_major_left_config("wb", "SharedShortPocket", storage_veh=2)
    assert t.get_major_left_config("WB") == ("short_pocket", 2)
    t.set_major_left_config("EB", "shared", 5)
    assert t.get_major_left_config("EB") == ("shared", None)
    t.analyze()
    assert t.rank1_major_delay[0] == pytest.approx(1.63, abs=0.005)
    assert json.loads(t.to_json())["geometry"]["major_left_wb"] == {"SharedShortPocket": {"storage_veh": 2}}


def test_properties():
    t = Twsc(WORKED)
    t.phf = 0.9
    t.phf = None
    assert t.phf is None
    t.analysis_period_h = 1
    assert t.analysis_period_h == 1.0
    for name in ("phf", "heavy_vehicle_pct", "analysis_period_h"):
        with pytest.raises(AttributeError, match="^can't delete attribute$"):
            delattr(t, name)
    for name, param in (("phf", "phf"), ("heavy_vehicle_pct", "pct"), ("analysis_period_h", "t")):
        with pytest.raises(TypeError, match=f"^argument '{param}'"):
            setattr(t, name, "x")
    with pytest.raises(AttributeError):
        t.platoon_blockage = None


def test_platoon_blockage_from_upstream_signals_is_computed_once():
    t = Twsc(WORKED)
    t.set_upstream_signals(SIGNALS)
    assert t.has_upstream_signals and t.platoon_blockage is None
    t.analyze()
    computed = t.platoon_blockage
    assert len(computed) == 8 and 0 < computed[2] < 1
    first = t.to_json()
    t.set_upstream_signals('{"cycle_s": 90}')
    t.clear_upstream_signals()
    assert not t.has_upstream_signals
    t.analyze()
    assert t.platoon_blockage == computed
    assert json.loads(t.to_json())["movements"] == json.loads(first)["movements"]
    t.set_platoon_blockage(0, 0, 0, 0, 0, 0, 0, 0)
    assert t.platoon_blockage == (0.0,) * 8


def test_too_many_profile_steps_are_refused():
    t = Twsc(WORKED)
    t.analyze()
    t.set_upstream_signals(json.dumps({"cycle_s": 90, "time_step_s": 1e-5}))
    before = t.to_json()
    with pytest.raises(ValueError, match=r"^too many platoon-profile steps: 9000000$"):
        t.analyze()
    assert t.to_json() == before


def test_json_round_trip_after_analysis():
    for text in (TWO_LANES_NB, WORKED):
        t = Twsc(text)
        t.analyze()
        back = Twsc(t.to_json())
        assert back.to_json() == t.to_json()
        assert back.get_lane_result("nb", 0) == t.get_lane_result("nb", 0)
    # The never-served SB lane of the worked example reads back as not a number, and so does the
    # intersection delay it makes infinite.
    assert math.isnan(back.get_lane_result("sb", 0)[1]) and math.isnan(back.approach_delays[3])
    assert math.isinf(t.intersection_delay) and math.isnan(back.intersection_delay)
    written = json.loads(t.to_json())
    assert list(written) == ["demand", "geometry", "phf", "analysis_period_h", "heavy_vehicle_pct",
                             "conflicting_flow_overrides", "platoon_blockage", "upstream_signals", "movements",
                             "lanes_nb", "lanes_sb", "approach_delays", "intersection_delay", "rank1_major_delay"]
    assert len(written["movements"]) == 14 and written["lanes_sb"][0]["movements"] == ["M10", "M11", "M12"]


@pytest.mark.parametrize("text, message", [
    ('{"geometry": {"major_lanes_per_direction": 2}}', "invalid TWSC JSON: missing field `demand` at line 1 column 46"),
    ('{"demand": {}, "geometry": {"major_lanes_per_direction": 2}}\nx',
     "invalid TWSC JSON: trailing characters at line 2 column 1"),
])
def test_constructor_failures(text, message):
    with pytest.raises(ValueError) as raised:
        Twsc(text)
    assert str(raised.value) == message
    with pytest.raises(TypeError, match="argument 'config_json'"):
        Twsc(5)


def test_pedestrian_crossing():
    out = json.loads(analyze_twsc_pedestrian(json.dumps(
        {"stages": [{"crossing_length_ft": 24, "conflicting_flow_veh_h": 600}], "motorist_yield_rate": 0.4})))
    stage = out["stages"][0]
    assert stage["yield_events"] == 5 and len(stage["prob_yield"]) == 6 and stage["prob_yield"][0] == 0.0
    assert out["los"] in "ABCDEF" and out["delay"] == stage["delay"] < stage["gap_delay"]
    with pytest.raises(ValueError, match="^invalid pedestrian crossing config: expected value at line 1 column 1$"):
        analyze_twsc_pedestrian("x")
    with pytest.raises(ValueError, match="^too many yielding events: "):
        analyze_twsc_pedestrian('{"stages": [[240, 1600]]}')
    with pytest.raises(ValueError, match="^too many yielding events over the crossing's stages: 195094 by stage 2$"):
        analyze_twsc_pedestrian(json.dumps({"stages": [[86, 1500]] * 10_000}))
    with pytest.raises(TypeError, match="argument 'config_json'"):
        analyze_twsc_pedestrian(None)


@settings(max_examples=60, deadline=None)
@given(volumes=st.lists(st.integers(0, 1500), min_size=12, max_size=12), lanes=st.integers(1, 3),
       storage=st.integers(0, 3), phf=st.floats(0.7, 1.0))
def test_capacities_never_exceed_potential_and_delays_are_at_least_the_service_time(volumes, lanes, storage, phf):
    keys = ["v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9", "v10", "v11", "v12"]
    t = Twsc(json.dumps({"demand": dict(zip(keys, volumes)), "phf": phf, "geometry": {
        "major_lanes_per_direction": lanes, "median_storage_sb": storage, "major_left_wb": "Shared"}}))
    t.analyze()
    for m in ("1", "1U", "4", "4U", "7", "9", "12"):  # one-stage movements: impedance only reduces
        assert 0 <= t.get_movement_capacity(m) <= t.get_potential_capacity(m)
    for approach in ("NB", "SB"):
        for lane in range(t.get_lane_count(approach)):
            capacity, delay, los, _ = t.get_lane_result(approach, lane)
            unevaluated = delay == 0.0 and los == "A" and not capacity > 0
            assert los in "ABCDEF" and (unevaluated or delay >= 5.0)
    assert all(d >= 0 for d in t.approach_delays)
    again = Twsc(t.to_json())
    again.analyze()
    assert again.to_json() == t.to_json()
