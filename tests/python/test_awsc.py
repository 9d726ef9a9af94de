import inspect
import json

import pytest

from marvane import Awsc


def approach(*lanes, **fields):
    return {"lanes": [dict(lane) for lane in lanes], **fields}


# A four-leg intersection: a two-lane eastbound approach, one lane on the others.
FOUR_LEG = json.dumps({
    "eb": approach({"volume_left": 60, "volume_through": 240}, {"volume_through": 200, "volume_right": 90}),
    "wb": approach({"volume_through": 300, "volume_right": 40}, heavy_vehicle_pct=5),
    "nb": approach({"volume_left": 50, "volume_through": 150}),
    "sb": approach({"volume_through": 180, "volume_right": 70}),
    "phf": 0.92,
})
# No southbound leg.
T_INTERSECTION = json.dumps({"eb": approach({}), "wb": approach({}), "nb": approach({}, {}), "sb": approach()})

LANE_GETTERS = ["get_departure_headway", "get_degree_of_utilization", "get_service_time", "get_lane_delay",
                "get_lane_los", "get_lane_queue_95"]


def test_class_surface():
    assert str(inspect.signature(Awsc)) == "(config_json)"
    assert Awsc.__doc__.startswith("HCM Chapter 21 AWSC intersection analysis.\n\n")
    assert str(inspect.signature(Awsc.get_lane_delay)) == "(self, approach, lane)"
    assert Awsc.get_lane_count.__doc__ == 'Number of lanes on an approach ("EB"/"WB"/"NB"/"SB").'
    assert Awsc.analyze.__doc__ == ("Run the HCM Chapter 21 procedure (Steps 1-16 except the Step 12\n"
                                    "capacity search; see `compute_lane_capacity`).")
    assert Awsc.intersection_los.__doc__ == "Intersection LOS letter (Exhibit 21-8)."
    members = [name for name in vars(Awsc) if not name.startswith("_")]
    assert members == ["analyze", "phf", "analysis_period_h", "iterations", "get_lane_count", *LANE_GETTERS,
                       "compute_lane_capacity", "get_approach_delay", "get_approach_los", "intersection_delay",
                       "intersection_los", "to_json"]


def test_results_before_and_after_analysis():
    a = Awsc(config_json=FOUR_LEG)
    assert (a.iterations, a.intersection_delay, a.intersection_los) == (None, None, None)
    assert repr(a) == "Awsc(four_leg=true, intersection_delay=None, los=None)"
    assert all(getattr(a, name)("EB", 1) is None for name in LANE_GETTERS)
    assert a.get_approach_delay("wb") is None
    assert a.analyze() is None
    assert 1 <= a.iterations <= 100
    assert a.intersection_los in "ABCDEF" and a.intersection_delay > 0
    assert repr(a) == f"Awsc(four_leg=true, intersection_delay=Some({a.intersection_delay!r}), " \
                      f"los=Some('{a.intersection_los}'))"
    assert isinstance(a.get_lane_delay("eb", 1), float) and a.get_lane_los("Eb", 0) in "ABCDEF"
    assert a.get_approach_los("SB") in "ABCDEF"


def test_worked_example_reads_back_with_its_results():
    a = Awsc(FOUR_LEG)
    a.analyze()
    back = Awsc(a.to_json())
    assert back.to_json() == a.to_json()
    assert back.intersection_delay == a.intersection_delay
    assert back.get_lane_queue_95("nb", 0) == a.get_lane_queue_95("nb", 0)
    written = json.loads(a.to_json())
    assert list(written) == ["eb", "wb", "nb", "sb", "phf", "analysis_period_h", "intersection_delay",
                             "intersection_los", "iterations"]
    assert written["eb"]["geometry_group"] == "G5"


def test_lane_capacity_updates_steps_one_to_four_only():
    a = Awsc(FOUR_LEG)
    capacity = a.compute_lane_capacity("nb", 0)
    assert 0 < capacity < 3600
    assert a.get_departure_headway("nb", 0) is None
    lane = json.loads(a.to_json())["nb"]["lanes"][0]
    assert lane["flow_rate"] == pytest.approx(200 / 0.92) and lane["headway_adjustment"] is not None
    assert lane["capacity"] is None


def test_properties_set_inputs_without_checks():
    a = Awsc(FOUR_LEG)
    a.phf = None
    a.analysis_period_h = 0.5
    assert (a.phf, a.analysis_period_h) == (None, 0.5)
    a.analyze()
    assert json.loads(a.to_json())["eb"]["lanes"][0]["flow_rate"] == 300.0
    for name in ("phf", "analysis_period_h"):
        with pytest.raises(AttributeError, match="^can't delete attribute$"):
            delattr(a, name)
    with pytest.raises(TypeError, match="^argument 'value'"):
        a.analysis_period_h = "long"
    with pytest.raises(AttributeError):
        a.iterations = 3


@pytest.mark.parametrize("call, error, message", [
    (lambda a: a.get_lane_delay(" eb", 0), ValueError, "approach must be EB/WB/NB/SB, got  EB"),
    (lambda a: a.get_approach_los("north"), ValueError, "approach must be EB/WB/NB/SB, got NORTH"),
    (lambda a: a.get_lane_delay("nb", 2), ValueError, "no lane 2 on nb"),
    (lambda a: a.get_lane_los("SB", 0), ValueError, "no lane 0 on SB"),
    (lambda a: a.compute_lane_capacity("sb", 0), ValueError, "no lane 0 on sb"),
    (lambda a: a.get_lane_delay("nb", -1), OverflowError, None),
    (lambda a: a.get_lane_delay(1, 0), TypeError, "argument 'approach'"),
])
def test_query_failures(call, error, message):
    a = Awsc(T_INTERSECTION)
    assert a.get_lane_count("sb") == 0 and a.get_lane_count("nb") == 2
    assert repr(a) == "Awsc(four_leg=false, intersection_delay=None, los=None)"
    with pytest.raises(error) as raised:
        call(a)
    if message is not None:
        assert str(raised.value).startswith(message)


@pytest.mark.parametrize("text, message", [
    ('{"eb":{"lanes":[]},"wb":{"lanes":[]},"nb":{"lanes":[]}}',
     "invalid AWSC JSON: missing field `sb` at line 1 column 55"),
    ("not json", "invalid AWSC JSON: expected ident at line 1 column 2"),
])
def test_constructor_failures(text, message):
    with pytest.raises(ValueError) as raised:
        Awsc(text)
    assert str(raised.value) == message
    with pytest.raises(TypeError):
        Awsc()
