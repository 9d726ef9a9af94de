import inspect
import json

import pytest

import marvane
from marvane import UrbanReliability, adaptive_signal_sat_flow_adjustment

SEGMENT = {"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
           "control": "Signalized", "cycle_length_s": 100, "effective_green_s": 45, "sat_flow_veh_h_ln": 1900,
           "through_capacity_veh_h": 1710, "through_control_delay_s": 20}
WEATHER = [{"total_precip_in": 3.0, "days_with_precip": 9, "mean_temp_f": 22 + 4 * m, "precip_rate_in_h": 0.08}
           for m in range(12)]


def document(segments=2, **config):
    base = {"months": [1, 2], "analysis_periods_per_day": 4, "weather": WEATHER, "boundary_signals": [{}] * segments,
            "incidents": {"segment_crash_frequencies": [5.0] * segments,
                          "intersection_crash_frequencies": [8.0] * (segments + 1)}}
    return json.dumps({"facility": {"segments": [SEGMENT] * segments}, "config": {**base, **config}})


RESULT_KEYS = ["num_scenarios", "base_free_flow_travel_time_s", "mean_travel_time_s", "metrics",
               "reliability_rating_urban", "total_vhd", "num_weather_events", "num_incidents", "pct_nondry_scenarios"]


def test_class_surface_before_a_run():
    start = marvane.__all__.index("UrbanReliability")
    assert marvane.__all__[start:start + 2] == ["UrbanReliability", "adaptive_signal_sat_flow_adjustment"]
    assert str(inspect.signature(UrbanReliability)) == "(config_json)"
    assert str(inspect.signature(UrbanReliability.tti_percentile)) == "(self, p)"
    assert str(inspect.signature(adaptive_signal_sat_flow_adjustment)) == "(target_delay_reduction_pct=None)"
    assert UrbanReliability.__doc__.startswith("HCM Chapter 17 urban street reliability analysis")
    u = UrbanReliability(document())
    assert str(u) == "Urban street reliability analysis with 0 scenarios"
    assert repr(u) == "UrbanReliability(segments=2, scenarios=0, incidents=0)"
    assert (u.num_scenarios, u.num_weather_events, u.num_incidents) == (0, 0, 0)
    assert (u.base_free_flow_travel_time_s, u.mean_travel_time_s, u.total_vhd) == (None, None, None)
    assert (u.tti_mean(), u.reliability_rating(), u.tti_percentile(95)) == (0.0, 0.0, 0.0)
    assert (u.scenario_travel_times(), u.scenario_tti()) == ([], [])
    with pytest.raises(ValueError, match=r"^run\(\) must be called first$"):
        u.results()
    with pytest.raises(AttributeError):
        u.num_scenarios = 3
    with pytest.raises(TypeError, match="^argument 'p': "):
        u.tti_percentile("95")


@pytest.mark.parametrize("text, message", [
    ('{"facility": {"segments": []}}', "missing field `config` at line 1 column 30"),
    ('{"config": {}}', "missing field `facility` at line 1 column 14"),
    ('{"facility": {"segments": []}, "config": {"functional_class": "Local"}}', "unknown variant `Local`"),
    ('[{"segments": []}]', "invalid length 1, expected struct UrbanReliability with 3 elements"),
])
def test_constructor_errors(text, message):
    with pytest.raises(ValueError, match="^invalid UrbanReliability JSON: " + message):
        UrbanReliability(text)


def test_document_without_strategies_constructs_and_runs():
    u = UrbanReliability(document())
    assert u.run() is None
    assert str(u) == f"Urban street reliability analysis with {u.num_scenarios} scenarios"
    assert repr(u) == f"UrbanReliability(segments=2, scenarios={u.num_scenarios}, incidents={u.num_incidents})"
    assert u.num_scenarios == len(u.scenario_tti()) == len(u.scenario_travel_times()) == 4 * 42
    assert u.num_weather_events > 0 and u.num_incidents > 0
    summary = json.loads(u.results())
    assert list(summary) == RESULT_KEYS and isinstance(summary["metrics"], dict)
    assert summary["metrics"]["tti_mean"] == pytest.approx(u.tti_mean())
    assert summary["reliability_rating_urban"] == pytest.approx(u.reliability_rating())
    assert summary["mean_travel_time_s"] == pytest.approx(u.mean_travel_time_s)
    assert 1.0 <= u.tti_percentile(50) <= u.tti_percentile(95) <= max(u.scenario_tti())


def test_two_objects_from_one_document_give_identical_results():
    text = json.dumps({**json.loads(document()),
                       "atdm_strategies": [{"name": "adaptive", "periods": [1, 2],
                                            "sat_flow_adjustment": adaptive_signal_sat_flow_adjustment(10)}]})
    a, b = UrbanReliability(text), UrbanReliability(text)
    a.run()
    b.run()
    assert a.results() == b.results()
    assert a.scenario_tti() == b.scenario_tti()
    a.run()  # a second run repeats the first
    assert a.results() == b.results()


def test_failed_run_keeps_the_previous_results():
    u = UrbanReliability(document(boundary_signals=[{"cycle_length_s": 1.5}, {}]))
    with pytest.raises(ValueError, match=r"^boundary_signals entry 0: cycle_length_s must be at least 2$"):
        u.run()
    assert u.num_scenarios == 0
    u = UrbanReliability(document(analysis_periods_per_day=10**9))
    with pytest.raises(ValueError, match=r"^study would build 42000000000 scenarios"):
        u.run()
    with pytest.raises(ValueError, match=r"^boundary_signals has 1 entries for 2 segments$"):
        UrbanReliability(document(boundary_signals=[{}])).run()


def test_adaptive_signal_adjustment():
    assert adaptive_signal_sat_flow_adjustment() == adaptive_signal_sat_flow_adjustment(None) == pytest.approx(100 / 86.5)
    assert adaptive_signal_sat_flow_adjustment(target_delay_reduction_pct=50) == pytest.approx(100 / 76)
    assert adaptive_signal_sat_flow_adjustment(0) == adaptive_signal_sat_flow_adjustment(-5) == pytest.approx(100 / 97)
    with pytest.raises(TypeError, match="^argument 'target_delay_reduction_pct': "):
        adaptive_signal_sat_flow_adjustment("10")
