import inspect
import json

import pytest

import marvane
from marvane import FreewayReliability

FUNCTIONS = ["planning_reliability", "shoulder_lane_caf", "shoulder_lane_default_capacity_veh_h_ln",
             "ramp_metered_merge_caf", "alinea_metering_rate"]


def test_registered_in_order_after_the_facility_classes():
    names = marvane.__all__
    start = names.index("FreewayReliability")
    assert names[start - 1:start + 6] == ["PlanningFacility", "FreewayReliability"] + FUNCTIONS


def test_text_signatures():
    assert str(inspect.signature(marvane.planning_reliability)) == "(ffs, peak_speed, lanes, vc_ratio)"
    assert str(inspect.signature(marvane.ramp_metered_merge_caf)) == "()"
    assert str(inspect.signature(marvane.alinea_metering_rate)) == (
        "(downstream_capacity_veh_h, upstream_volume_veh_h, ramp_volume_veh_h, ramp_queue_prev_veh, "
        "ramp_queue_storage_veh, metered_lanes, min_rate_veh_h_ln=None, max_rate_veh_h_ln=None)")
    assert marvane.planning_reliability.__doc__.splitlines()[0] == (
        "Chapter 11 planning-level reliability method (Equations 11-1 through")


def test_planning_reliability():
    assert marvane.planning_reliability(60, 60, 2, 0) == (1.0, 1.0, 0.0)
    tti_mean, tti_95, pt_45 = marvane.planning_reliability(65.0, 50.0, 3, 0.9)
    assert 1.0 < tti_mean < tti_95 and 0.0 < pt_45 < 1.0
    assert marvane.planning_reliability(60, 55, 2, 1.5) == marvane.planning_reliability(60, 55, 2, 1.0)


def test_chapter_37_factors():
    assert marvane.shoulder_lane_caf(1100, 2200, 2) == 1.25
    assert marvane.shoulder_lane_caf(1100, 0, 2) == 1.0
    assert marvane.shoulder_lane_caf(1100, 2200, 0) == 1.0
    assert marvane.shoulder_lane_default_capacity_veh_h_ln(2200) == 1100.0
    assert marvane.ramp_metered_merge_caf() == 1.03


def test_alinea_metering_rate():
    assert marvane.alinea_metering_rate(4000, 3000, 600, 0, 50, 1) == 900.0
    assert marvane.alinea_metering_rate(4000, 3000, 600, 0, 50, 0, max_rate_veh_h_ln=700) == 700.0
    assert marvane.alinea_metering_rate(4000, 3900, 200, 0, 100, 1, None, None) == 240.0
    assert marvane.alinea_metering_rate(4000, 3900, 200, 0, 100, 1, min_rate_veh_h_ln=150) == 150.0
    with pytest.raises(ValueError, match="minimum metering rate 950 veh/h/ln exceeds the maximum 900 veh/h/ln"):
        marvane.alinea_metering_rate(4000, 3000, 600, 0, 50, 1, 950, 900)


@pytest.mark.parametrize("call, error, text", [
    (lambda: marvane.planning_reliability(60, 60, -1, 0), OverflowError, "out of range integral type"),
    (lambda: marvane.planning_reliability(60, 60, 2**32, 0), OverflowError, "out of range integral type"),
    (lambda: marvane.planning_reliability(60, 60, 2.0, 0), TypeError, "argument 'lanes'"),
    (lambda: marvane.planning_reliability("60", 60, 2, 0), TypeError, "argument 'ffs'"),
    (lambda: marvane.planning_reliability(60, 60, 2), TypeError, "missing 1 required positional argument: 'vc_ratio'"),
    (lambda: marvane.shoulder_lane_caf(1100, 2200, mixed_flow_lanes=-2), OverflowError, "out of range"),
    (lambda: marvane.shoulder_lane_default_capacity_veh_h_ln(None), TypeError,
     "argument 'mixed_flow_capacity_veh_h_ln'"),
    (lambda: marvane.ramp_metered_merge_caf(1), TypeError, "takes 0 positional arguments but 1 was given"),
    (lambda: marvane.alinea_metering_rate(1, 1, 1, 1, 1, 1.5), TypeError, "argument 'metered_lanes'"),
    (lambda: marvane.alinea_metering_rate(1, 1, 1, 1, 1, 1, min_rate="x"), TypeError, "unexpected keyword"),
])
def test_argument_errors(call, error, text):
    with pytest.raises(error, match=text):
        call()


# ---- FreewayReliability ------------------------------------------------------------------------------

# Two one-mile basic segments over two periods; January Mondays and Fridays, one replication each,
# with a Friday work zone halving the second segment's speed (TTI 1.5 on Fridays).
STUDY = json.dumps({
    "facility": {"segments": [{"length_ft": 5280}, {"length_ft": 5280}], "mainline_demand": [1000, 2000]},
    "scenario_generation": {"months": [1], "weekdays": ["Monday", "Friday"], "replications": 1,
                            "work_zones": [{"months": [1], "weekdays": ["Friday"], "segments": [1], "saf": 0.5}]},
})

PROPERTIES = ["num_scenarios", "num_observations", "free_flow_travel_time_min", "expected_vhd"]
MEASURES = ["tti_mean", "misery_index", "reliability_rating", "semi_std_dev"]


def test_class_surface():
    assert str(inspect.signature(FreewayReliability)) == "(json=None)"
    assert FreewayReliability.__doc__ is None
    members = [name for name in vars(FreewayReliability) if not name.startswith("_")]
    assert members == ["run", "num_scenarios", "num_observations", "free_flow_travel_time_min", "expected_vhd",
                       "metrics", "tti_mean", "tti_percentile", "misery_index", "reliability_rating",
                       "semi_std_dev", "failure_pct_below_speed", "scenario_tti", "scenario_probabilities",
                       "scenario_set_json"]
    assert FreewayReliability.run.__doc__ == "Run the full reliability methodology (Steps B-1 through B-13)."
    assert FreewayReliability.expected_vhd.__doc__ == (
        "Probability-weighted expected vehicle hours of delay per study\nperiod, veh-h.")
    assert str(inspect.signature(FreewayReliability.tti_percentile)) == "(self, p)"
    assert str(inspect.signature(FreewayReliability.failure_pct_below_speed)) == "(self, target_speed_mi_h)"
    study = FreewayReliability()
    for name in PROPERTIES:
        with pytest.raises(AttributeError):
            setattr(study, name, 1)


def test_before_a_run():
    study = FreewayReliability(None)
    assert repr(study) == "FreewayReliability(scenarios=0, observations=0, fftt=0.00 min)"
    assert str(study) == "Freeway reliability analysis with 0 scenarios"
    for name in ("metrics", "scenario_set_json"):
        with pytest.raises(ValueError, match=r"^run\(\) must be called first$"):
            getattr(study, name)()
    assert [getattr(study, name)() for name in MEASURES] == [0.0] * 4
    assert study.tti_percentile(95) == 0.0 and study.failure_pct_below_speed(50) == 0.0
    assert study.scenario_tti() == [] and study.scenario_probabilities() == []
    assert (study.num_scenarios, study.num_observations) == (0, 0)
    assert (study.free_flow_travel_time_min, study.expected_vhd) == (0.0, 0.0)
    with pytest.raises(ValueError, match="^facility has no segments$"):
        study.run()
    with pytest.raises(ValueError, match=r"^run\(\) must be called first$"):
        study.metrics()


@pytest.mark.parametrize("text, message", [
    ('{"facility": {}, "facility": {}}', "duplicate field `facility` at line 1 column 27"),
    ("[1]", "invalid type: integer `1`, expected struct FreewayFacility at line 1 column 2"),
    ('{"scenario_generation": {"seed_weekday": "monday"}}', "unknown variant `monday`"),
    ("{", "EOF while parsing an object at line 1 column 1"),
])
def test_document_errors(text, message):
    with pytest.raises(ValueError, match="^invalid reliability JSON: " + message):
        FreewayReliability(text)


@pytest.mark.parametrize("call, text", [
    (lambda: FreewayReliability(3), "argument 'json'"),
    (lambda: FreewayReliability().tti_percentile("95"), "argument 'p'"),
    (lambda: FreewayReliability().failure_pct_below_speed(None), "argument 'target_speed_mi_h'"),
])
def test_argument_types(call, text):
    with pytest.raises(TypeError, match=text):
        call()


def test_worked_study():
    study = FreewayReliability(STUDY)
    study.run()
    assert (study.num_scenarios, study.num_observations) == (2, 4)
    assert study.free_flow_travel_time_min == pytest.approx(2.0)
    assert study.scenario_probabilities() == [0.5, 0.5]
    tti = study.scenario_tti()
    assert tti[0] == [1.0, 1.0] and tti[1] == pytest.approx([1.5, 1.5])
    assert study.expected_vhd == pytest.approx(7.3125)  # Friday: (1170 + 2340) x 0.25 / 60 veh-h, half the time
    metrics = json.loads(study.metrics())
    assert list(metrics) == ["tti_mean", "tti_50", "tti_80", "tti_95", "tti_max", "misery_index",
                             "reliability_rating", "semi_std_dev", "std_dev", "pct_tti_above_2",
                             "num_observations", "total_weight"]
    assert metrics["num_observations"] == 4 and metrics["tti_max"] == pytest.approx(1.5)
    assert study.tti_mean() == metrics["tti_mean"] and study.tti_percentile(95) == metrics["tti_95"]
    assert study.reliability_rating() == metrics["reliability_rating"]
    assert study.failure_pct_below_speed(60) == pytest.approx(100 * 877.5 / 1627.5)
    assert repr(study) == "FreewayReliability(scenarios=2, observations=4, fftt=2.00 min)"
    assert str(study) == "Freeway reliability analysis with 2 scenarios"
    scenarios = json.loads(study.scenario_set_json())
    assert [(s["id"], s["weekday"], s["work_zones"]) for s in scenarios["scenarios"]] == [
        (0, "Monday", []), (1, "Friday", [0])]


def test_same_document_same_metrics():
    first, second = FreewayReliability(STUDY), FreewayReliability(STUDY)
    first.run()
    second.run()
    assert first.metrics() == second.metrics()
    assert first.scenario_set_json() == second.scenario_set_json()
    assert first.scenario_tti() == second.scenario_tti()


def test_weighted_by_probability_alone():
    study = FreewayReliability(json.dumps({**json.loads(STUDY), "vmt_weighted": False}))
    study.run()
    assert json.loads(study.metrics())["total_weight"] == 2.0
    assert study.tti_mean() == pytest.approx(1.25)


def test_a_study_of_more_than_a_million_scenarios_is_refused_before_generation():
    study = FreewayReliability(json.dumps({"facility": {"segments": [{}], "mainline_demand": [1000]},
                                           "scenario_generation": {"replications": 300000}}))
    with pytest.raises(ValueError, match=r"^study would build 18000000 scenarios \(months x weekdays x "
                                         r"replications\); at most 1000000 are allowed$"):
        study.run()
    assert study.num_scenarios == 0
