import inspect
import json

import pytest

from marvane import Roundabouts

EMPTY = json.dumps({"nb": {}, "sb": {}, "eb": {}, "wb": {}})
# A two-lane roundabout: two-lane entries with a yielding bypass on NB, pedestrians on EB.
TWO_LANE = json.dumps({
    "nb": {"v_l": 150, "v_t": 500, "v_r": 200, "entry_lanes": 2, "circulating_lanes": 2, "bypass": "Yielding"},
    "sb": {"v_u": 10, "v_l": 120, "v_t": 450, "v_r": 90, "entry_lanes": 2, "circulating_lanes": 2},
    "eb": {"v_l": 80, "v_t": 300, "v_r": 100, "heavy_vehicle_pct": 4, "n_ped": 60},
    "wb": {"v_l": 90, "v_t": 280, "v_r": 60, "bypass": "NonYielding"},
    "phf": 0.95,
})


def test_class_surface():
    assert str(inspect.signature(Roundabouts)) == "(config_json)"
    assert Roundabouts.__doc__.startswith("HCM Chapter 22 roundabout analysis.\n\n")
    assert str(inspect.signature(Roundabouts.set_calibration)) == "(self, a, b)"
    assert str(inspect.signature(Roundabouts.get_lane_result)) == "(self, entry, lane)"
    assert Roundabouts.get_lane_result.__doc__ == (
        "(flow veh/h, capacity veh/h, v/c, delay s/veh, LOS, Q95 veh) of an\nentry lane (0 = left/only lane).")
    assert Roundabouts.phf.__doc__ == "Peak hour factor (None if volumes are flow rates)."


def test_results_before_and_after_analysis():
    r = Roundabouts(config_json=TWO_LANE)
    assert repr(r) == "Roundabouts(intersection_delay=None, los=None)"
    assert (r.intersection_delay, r.intersection_los) == (None, None)
    for query in ("get_bypass_result", "get_approach_delay", "get_approach_los", "get_circulating_flow_pce"):
        assert getattr(r, query)("NB") is None
    assert r.get_lane_count("nb") == 0
    with pytest.raises(ValueError, match="^no lane 0 on nb$"):
        r.get_lane_result("nb", 0)
    assert r.analyze() is None
    assert repr(r) == f"Roundabouts(intersection_delay=Some({r.intersection_delay!r}), " \
                      f"los=Some('{r.intersection_los}'))"
    assert r.get_lane_count("NB") == 2 and r.get_lane_count("eb") == 1
    flow, capacity, vc, delay, los, queue = r.get_lane_result("nb", 1)
    assert flow > 0 and capacity > flow and vc == pytest.approx(flow / capacity) and los in "ABCDEF"
    assert r.get_bypass_result("nb")[4] in "ABCDEF" and r.get_bypass_result("sb") is None
    assert r.get_bypass_result("wb")[1:4] == (0.0, 0.0, 0.0)
    assert r.get_circulating_flow_pce("sb") > 0 and r.get_approach_los("wb") in "ABCDEF"


def test_worked_example_reads_back_with_its_results():
    r = Roundabouts(TWO_LANE)
    r.analyze()
    back = Roundabouts(r.to_json())
    assert back.to_json() == r.to_json()
    assert back.get_lane_result("sb", 0) == r.get_lane_result("sb", 0)
    assert list(json.loads(r.to_json())) == ["nb", "sb", "eb", "wb", "phf", "analysis_period_h", "calibration",
                                             "intersection_delay", "intersection_los"]


def test_zero_capacity_lanes_read_back():
    r = Roundabouts(json.dumps({"nb": {"v_t": 300, "entry_lanes": 2, "n_ped": 5000}, "sb": {}, "eb": {}, "wb": {}}))
    r.analyze()
    back = Roundabouts(r.to_json())
    delay = back.get_lane_result("nb", 0)[3]
    assert delay != delay  # NaN: the infinite delay written as null
    assert back.to_json() == r.to_json()


def test_setters_and_calibration_change_inputs_only():
    r = Roundabouts(TWO_LANE)
    r.analyze()
    before = r.intersection_delay
    r.phf = None
    r.analysis_period_h = 1.0
    r.set_calibration(1380.0, 0.00102)
    assert (r.phf, r.analysis_period_h, r.intersection_delay) == (None, 1.0, before)
    written = json.loads(r.to_json())
    assert written["phf"] is None and written["calibration"] == [1380.0, 0.00102]
    r.analyze()
    assert r.intersection_delay != before
    with pytest.raises(TypeError, match="^argument 'phf'"):
        r.phf = "high"
    with pytest.raises(TypeError, match="^argument 't'"):
        r.analysis_period_h = None
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        del r.phf
    with pytest.raises(AttributeError):
        r.intersection_los = "A"


@pytest.mark.parametrize("call, error, message", [
    (lambda r: r.get_approach_delay("north"), ValueError, "entry must be NB/SB/EB/WB, got NORTH"),
    (lambda r: r.get_lane_result("eb", 1), ValueError, "no lane 1 on eb"),
    (lambda r: r.get_lane_result("eb", -1), OverflowError, None),
    (lambda r: r.get_lane_count(None), TypeError, "argument 'entry'"),
    (lambda r: r.set_calibration("a", 1.0), TypeError, "argument 'a'"),
])
def test_query_failures(call, error, message):
    r = Roundabouts(EMPTY)
    r.analyze()
    with pytest.raises(error) as raised:
        call(r)
    if message is not None:
        assert str(raised.value).startswith(message)


def test_constructor_failures():
    with pytest.raises(ValueError, match="^invalid roundabout JSON: missing field `wb` at line 1 column 25$"):
        Roundabouts('{"nb":{},"sb":{},"eb":{}}')
    with pytest.raises(ValueError, match="^invalid roundabout JSON: unknown variant `Sometimes`"):
        Roundabouts(EMPTY.replace('"nb": {}', '"nb": {"bypass": "Sometimes"}'))
    with pytest.raises(TypeError):
        Roundabouts(None)
