import inspect
import json

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import marvane
from marvane import UrbanSegment

REQUIRED = {"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
            "control": "Signalized"}
RESULTS = ["base_free_flow_speed_mph", "free_flow_speed_mph", "running_time_s", "running_speed_mph",
           "proportion_arriving_green", "access_point_delay_total_s", "access_point_delays_computed", "through_delay_s",
           "full_stop_rate", "travel_speed_mph", "spatial_stop_rate", "vc_ratio", "los", "perception_score"]
APPROACH = [60, 900, 80, 1, 0, 1, 700, False, False, 0, 0, 3]


def signalized(**fields):
    return UrbanSegment(json.dumps({**REQUIRED, "cycle_length_s": 100, "effective_green_s": 45,
                                    "through_capacity_veh_h": 1600, "through_control_delay_s": 20, **fields}))


def test_class_surface():
    assert "UrbanSegment" in marvane.__all__
    assert str(inspect.signature(UrbanSegment)) == "(config_json)"
    assert UrbanSegment.__doc__.startswith(
        "HCM Chapter 18 urban street segment analysis (motorized vehicle\nmethodology, one direction of travel).")
    assert str(inspect.signature(UrbanSegment.analyze)) == "(self)"
    assert UrbanSegment.to_json.__doc__ == "Full analysis (inputs + results) as JSON."
    assert UrbanSegment.los.__doc__ == "Segment LOS letter (Exhibit 18-1)."
    segment = UrbanSegment(config_json=json.dumps(REQUIRED))
    for name in RESULTS:
        with pytest.raises(AttributeError):
            setattr(segment, name, 1.0)
    with pytest.raises(TypeError):
        UrbanSegment()
    with pytest.raises(TypeError, match="^argument 'config_json': "):
        UrbanSegment(b"{}")


def test_fresh_object_and_read_errors():
    segment = UrbanSegment(json.dumps(REQUIRED))
    assert all(getattr(segment, name) is None for name in RESULTS)
    assert str(segment) == repr(segment) == (
        "UrbanSegment(length_ft=1320, control=Signalized, travel_speed_mph=None, los=None)")
    with pytest.raises(ValueError, match=r"^invalid UrbanSegment JSON: missing field `segment_length_ft` "
                                         r"at line 1 column 2$"):
        UrbanSegment("{}")
    with pytest.raises(ValueError, match="^invalid UrbanSegment JSON: unknown variant `signalized`"):
        UrbanSegment(json.dumps({**REQUIRED, "control": "signalized"}))


def test_analyze_results_and_repeatability():
    segment = signalized(access_point_approaches=[APPROACH, APPROACH])
    assert segment.analyze() is None
    first = segment.to_json()
    segment.analyze()
    assert segment.to_json() == first
    delays = segment.access_point_delays_computed
    assert len(delays) == 2 and all(isinstance(d, tuple) and len(d) == 4 for d in delays)
    assert segment.access_point_delay_total_s == pytest.approx(2 * delays[0][2])
    delays.clear()  # a copy: the record keeps its list
    assert len(segment.access_point_delays_computed) == 2
    assert repr(segment) == (f"UrbanSegment(length_ft=1320, control=Signalized, "
                             f"travel_speed_mph=Some({segment.travel_speed_mph!r}), los=Some({segment.los}))")
    plain = signalized()
    plain.analyze()
    assert plain.access_point_delays_computed is None
    assert isinstance(plain.access_point_delay_total_s, float)
    # One worked example (the C++ tests pin every step): 41.58 mi/h base FFS, 20.1 mi/h travel speed.
    assert plain.base_free_flow_speed_mph == pytest.approx(41.58)
    assert plain.proportion_arriving_green == pytest.approx(0.45)
    assert plain.los == "D"


def test_setters():
    segment = signalized()
    segment.analyze()
    speed = segment.travel_speed_mph
    segment.segment_length_ft = 2640
    assert segment.segment_length_ft == 2640.0 and isinstance(segment.segment_length_ft, float)
    segment.through_demand_veh_h = 1500
    assert segment.travel_speed_mph == speed  # stale until the next analysis
    for name, param in (("segment_length_ft", "l"), ("speed_limit_mph", "s"), ("through_demand_veh_h", "v")):
        with pytest.raises(TypeError, match=f"^argument '{param}': "):
            setattr(segment, name, "fast")
        with pytest.raises(AttributeError, match="^can't delete attribute$"):
            delattr(segment, name)

    class ReadsTheSegment:  # converted before the setter borrows the object
        def __float__(self):
            return segment.speed_limit_mph + 5.0

    segment.speed_limit_mph = ReadsTheSegment()
    assert segment.speed_limit_mph == 40.0


def test_pretty_json_round_trip():
    segment = signalized(upstream_discharge_profiles=[[900, 3600, 0, 40, 15]], access_point_approaches=[APPROACH])
    before = json.loads(segment.to_json())
    assert len(before) == 64 and before["los"] is None
    segment.analyze()
    text = segment.to_json()
    assert text.startswith('{\n  "segment_length_ft": 1320.0,\n') and text.endswith("\n}")
    assert list(json.loads(text)) == list(before)
    again = UrbanSegment(text)
    assert again.to_json() == text
    assert all(getattr(again, name) == getattr(segment, name) for name in RESULTS)
    # Delays that overflow to infinity are written null and still read back.
    extreme = signalized(access_point_approaches=[[1e200, 1e200, 0, 0, 1, 0, 0, False, False, 0, 0, 0]])
    extreme.analyze()
    assert UrbanSegment(extreme.to_json()).to_json() == extreme.to_json()


@settings(max_examples=60, deadline=None)
@given(
    length=st.floats(300, 5000), lanes=st.integers(1, 4), limit=st.floats(25, 55), demand=st.floats(0, 2500),
    control=st.sampled_from(["Signalized", "AllWayStop", "YieldControlled", "Roundabout", "Uncontrolled"]),
    delay=st.floats(0, 120), cycle=st.floats(40, 180), green_share=st.floats(0.1, 0.9),
    upstream=st.lists(st.tuples(st.floats(0, 1500), st.floats(1000, 3600), st.floats(-200, 200), st.floats(0, 150),
                                st.floats(0, 60)), max_size=3),
)
def test_physically_possible_results(length, lanes, limit, demand, control, delay, cycle, green_share, upstream):
    segment = UrbanSegment(json.dumps({
        "segment_length_ft": length, "n_through_lanes": lanes, "speed_limit_mph": limit,
        "through_demand_veh_h": demand, "control": control, "through_control_delay_s": delay,
        "through_capacity_veh_h": 1800.0 * lanes, "cycle_length_s": cycle, "effective_green_s": green_share * cycle,
        "upstream_discharge_profiles": [list(u) for u in upstream], "n_access_points_subject": 3,
    }))
    segment.analyze()
    # Delays only slow traffic down: travel speed <= running speed <= free-flow speed >= the limit.
    assert 0.0 < segment.travel_speed_mph <= segment.running_speed_mph <= segment.free_flow_speed_mph
    assert segment.free_flow_speed_mph >= limit
    assert segment.access_point_delay_total_s >= 0.0
    p = segment.proportion_arriving_green
    assert (p is None) == (control != "Signalized")
    assert p is None or 0.0 <= p <= 1.0
    first = segment.to_json()
    segment.analyze()
    assert segment.to_json() == first


# The quickstart's signalized segment fed by an upstream signal (a 120-s cycle: a million profile
# steps of 1.2e-4 s).
PROFILED = {"segment_length_ft": 1800, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 1100,
            "control": "Signalized", "through_capacity_veh_h": 1750, "through_control_delay_s": 22.0,
            "cycle_length_s": 120, "effective_green_s": 55, "downstream_green_start_s": 40,
            "upstream_discharge_profiles": [[900, 3600, 0, 50, 20], [200, 1800, 55, 15, 8]]}


def segment_p(step):
    s = UrbanSegment(json.dumps({**PROFILED, "flow_profile_time_step_s": step}))
    s.analyze()
    return s.proportion_arriving_green


def facility_p(step):
    f = marvane.UrbanFacility(json.dumps({"segments": [{**PROFILED, "flow_profile_time_step_s": step}]}))
    f.analyze()
    return json.loads(f.to_json())["segments"][0]["proportion_arriving_green"]


@pytest.mark.parametrize("proportion", [segment_p, facility_p], ids=["UrbanSegment", "UrbanFacility"])
def test_profile_steps_beyond_the_limit_stay_on_the_dispersion_path(proportion):
    at_limit = proportion(1.2e-4)
    assert abs(at_limit - 55 / 120) > 0.1  # not the ratio path's g/C
    assert proportion(1e-4) == proportion(1e-6) == at_limit  # finer steps are widened to the limit
    assert proportion(2e-4) == pytest.approx(at_limit, abs=1e-3)


def test_reliability_scenarios_widen_the_profile_step_alike():
    def results(step):
        weather = [{"total_precip_in": 3.0, "days_with_precip": 9, "mean_temp_f": 50, "precip_rate_in_h": 0.08}] * 12
        config = {"months": [1], "days_of_week": [1], "analysis_periods_per_day": 1, "weather": weather,
                  "boundary_signals": [{}], "incidents": {"segment_crash_frequencies": [5.0],
                                                          "intersection_crash_frequencies": [8.0, 8.0]}}
        segment = {**PROFILED, "flow_profile_time_step_s": step}
        u = marvane.UrbanReliability(json.dumps({"facility": {"segments": [segment]}, "config": config}))
        u.run()
        return u.results()

    assert results(1e-5) == results(1.2e-4)
