import inspect

import pytest

import marvane

FUNCTIONS = ["planning_reliability", "shoulder_lane_caf", "shoulder_lane_default_capacity_veh_h_ln",
             "ramp_metered_merge_caf", "alinea_metering_rate"]


def test_registered_in_order_after_the_facility_classes():
    names = marvane.__all__
    start = names.index("planning_reliability")
    assert names[start:start + 5] == FUNCTIONS
    assert names.index("PlanningFacility") < start


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
