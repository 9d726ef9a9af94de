import inspect
import math

import pytest

import marvane
from marvane import BasicFreeways, ManagedLanes


# ---- BasicFreeways --------------------------------------------------------------------------


def test_defaults_run_to_los_a():
    seg = BasicFreeways()
    assert seg.e_t() is None
    assert seg.run_operational_analysis() == "A"
    assert seg.ffs() == 65.0
    assert seg.capacity() == 2350.0
    assert seg.adjusted_capacity() == 2350.0
    assert seg.speed() == 65.0
    assert seg.density() == 0.0
    assert seg.vc_ratio() == 0.0
    assert seg.e_t() == 2.0
    assert seg.f_hv() == 1.0
    assert seg.lane_count() == 2


def worked_inputs():
    return dict(lane_count=3, lane_width=11.0, lc_r=2.0, trd=1, demand_flow_i=4500.0, phf=0.94, p_t=0.10,
                terrain_type="Rolling")


def test_steps_one_by_one_match_the_full_analysis():
    full = BasicFreeways(**worked_inputs())
    los = full.run_operational_analysis()

    steps = BasicFreeways(**worked_inputs())
    ffs = steps.determine_free_flow_speed()
    assert ffs == pytest.approx(65 - 1.9 - 1.6 - 3.22)
    assert steps.estimate_capacity() == 2282.0  # 2282.8 truncated
    assert steps.capacity() == pytest.approx(2282.8)
    v_p = steps.estimate_demand_volume()
    assert v_p == pytest.approx(4500 / (0.94 * 3 * 0.833))
    assert steps.f_hv() == pytest.approx(1 / 1.2)  # unrounded
    assert steps.e_t() == 3.0
    speed = steps.calculate_speed()
    density = steps.estimate_density()
    assert density == pytest.approx(v_p / speed)
    assert steps.calculate_vc_ratio() == pytest.approx(v_p / 2282.8)
    assert steps.determine_segment_los() == los == "D"
    assert steps.speed() == full.speed()
    assert steps.density() == full.density()


def test_steps_before_their_predecessors_use_stored_defaults():
    seg = BasicFreeways(demand_flow_i=9999.0)
    # FFS 65, BP 1000, adjusted capacity 2000, v_p 1000 until the steps run.
    assert seg.calculate_speed() == 65.0
    assert seg.estimate_density() == pytest.approx(1000 / 65)
    assert seg.vc_ratio() == 0.5
    assert seg.determine_segment_los() == "B"


def test_over_capacity_is_f_and_keeps_speed_and_density():
    seg = BasicFreeways(demand_flow_i=6000.0)
    seg.estimate_density()  # from the stored defaults: 1000 pc/h/ln at 65 mi/h
    assert seg.run_operational_analysis() == "F"
    assert seg.speed() == 65.0
    assert seg.density() == pytest.approx(1000 / 65)
    assert seg.vc_ratio() == pytest.approx(3000 / 2350)


def test_a_failed_heavy_vehicle_step_stores_nothing():
    seg = BasicFreeways(bffs=70, sut_percentage=40)
    with pytest.raises(ValueError):
        seg.estimate_demand_volume()
    assert seg.e_t() is None
    with pytest.raises(ValueError):
        seg.run_operational_analysis()
    assert seg.e_t() is None
    assert seg.ffs() == 65.0 and seg.capacity() == 2000.0  # the free-flow speed and capacity steps stored nothing


@pytest.mark.parametrize(
    "kwargs, message",
    [
        (dict(terrain_type="Hilly"),
         'unknown terrain type "hilly"; HCM Exhibit 12-25 defines level and rolling (mountainous requires the '
         "Chapter 25/26 mixed-flow model)"),
        (dict(sut_percentage=40, terrain_type="level"),
         "HCM Chapter 12 tabulates specific-upgrade PCEs only for 30%, 50%, and 70% SUT mixes (Exhibits 12-26 "
         "through 12-28); got 40%. Use general terrain (sut_percentage = 0) or one of the tabulated mixes."),
        (dict(sut_percentage=30, grade=math.inf, length=1.0, p_t=0.1),
         "grade, length, and truck proportion must all be finite, got                  grade inf, length 1, "
         "p_t 0.1"),
    ],
)
def test_heavy_vehicle_errors(kwargs, message):
    for method in ("estimate_demand_volume", "run_operational_analysis"):
        seg = BasicFreeways(**kwargs)
        with pytest.raises(ValueError) as err:
            getattr(seg, method)()
        assert str(err.value) == message


def test_design_needs_a_target():
    seg = BasicFreeways()
    with pytest.raises(ValueError) as err:
        seg.estimate_number_of_lanes()
    assert str(err.value) == (
        "LOS F has no maximum service flow rate in Exhibit 12-37; demand exceeding capacity requires the "
        "Chapter 10 methodology"
    )
    seg.set_target_los(" c ")
    seg = BasicFreeways(demand_flow_i=4000.0)
    seg.set_target_los(" c ")
    lanes, unrounded = seg.estimate_number_of_lanes()
    assert unrounded == pytest.approx(4000 / 1660)
    assert lanes == 3
    assert seg.lane_count() == 3


def test_design_result_feeds_a_later_analysis():
    seg = BasicFreeways(demand_flow_i=4000.0)
    seg.run_operational_analysis()
    assert seg.lane_count() == 2
    seg.set_target_los("B")
    assert seg.estimate_number_of_lanes()[0] == 4  # 4000 / 1170 = 3.4
    seg.run_operational_analysis()
    assert seg.lane_count() == 4
    assert seg.density() == pytest.approx(1000 / 65)


def test_design_of_zero_lanes_then_analysis_does_not_crash():
    seg = BasicFreeways()
    seg.set_target_los("A")
    assert seg.estimate_number_of_lanes() == (0, 0.0)
    assert seg.lane_count() == 0
    assert seg.run_operational_analysis() == "F"
    assert seg.density() == 46.0


@pytest.mark.parametrize(
    "text, message",
    [("", "target LOS must be one of A-F"), ("   ", "target LOS must be one of A-F"),
     ("\u00a0\u3000", "target LOS must be one of A-F"),
     ("G", 'target LOS must be one of A-F, got "G"'), (" x1", 'target LOS must be one of A-F, got " x1"')],
)
def test_set_target_los_refusals(text, message):
    with pytest.raises(ValueError) as err:
        BasicFreeways().set_target_los(text)
    assert str(err.value) == message


@pytest.mark.parametrize("text, msf", [("a", 710), ("Best", 1170), ("\tE\n", 2350), ("d", 2060), ("\u00a0C\u2003", 1660)])
def test_set_target_los_first_letter_decides(text, msf):
    seg = BasicFreeways(demand_flow_i=3000.0)
    seg.set_target_los(text)
    assert seg.estimate_number_of_lanes()[1] == pytest.approx(3000 / msf)


def test_set_target_los_needs_a_str():
    with pytest.raises(TypeError):
        BasicFreeways().set_target_los(3)


def test_city_type_in_any_case_changes_no_result():
    rural = BasicFreeways(city_type="RURAL", demand_flow_i=3000.0)
    urban = BasicFreeways(city_type="urban", demand_flow_i=3000.0)
    assert rural.run_operational_analysis() == urban.run_operational_analysis()
    assert rural.speed() == urban.speed() and rural.density() == urban.density()


def test_steps_that_cannot_fail_never_raise():
    seg = BasicFreeways(lane_count=0, phf=0.0, lc_r=math.nan, lane_width=math.inf, bffs=-500.0,
                        highway_type="other", demand_flow_i=100.0)
    assert seg.estimate_capacity() == 2000.0
    seg.determine_free_flow_speed()
    assert seg.estimate_capacity() == 2000.0
    for method in ("calculate_speed", "estimate_density", "calculate_vc_ratio"):
        assert isinstance(getattr(seg, method)(), float)
    assert seg.determine_segment_los() in "ABCDEF"


def test_argument_conversion_errors():
    with pytest.raises(OverflowError):
        BasicFreeways(lane_count=-1)
    with pytest.raises(TypeError):
        BasicFreeways(bffs="fast")
    with pytest.raises(TypeError):
        BasicFreeways(unknown=1)


def test_repr():
    assert repr(BasicFreeways()) == "BasicFreeways(lanes=2, lw=Some(12.0), bffs=65, demand=0)"
    seg = BasicFreeways(lane_count=3, lane_width=11.5, bffs=70.4, demand_flow_i=1234.6)
    assert repr(seg) == "BasicFreeways(lanes=3, lw=Some(11.5), bffs=70, demand=1235)"


def test_signatures_and_docstrings():
    assert BasicFreeways.__text_signature__.startswith("(bffs=None, lane_width=None, lane_count=None,")
    assert BasicFreeways.__text_signature__.endswith("city_type=None, sut_percentage=None)")
    assert str(inspect.signature(BasicFreeways().set_target_los)) == "(los)"
    assert BasicFreeways.calculate_speed.__doc__ == "Step 5a: space mean speed via the speed-flow curve (mi/h)."
    assert BasicFreeways.run_operational_analysis.__doc__.startswith("Run the full HCM Ch.12 operational analysis")
    assert marvane.__all__.index("BasicFreeways") + 1 == marvane.__all__.index("ManagedLanes")


# ---- ManagedLanes ---------------------------------------------------------------------------


def test_managed_lanes_defaults():
    ml = ManagedLanes()
    assert ml.los is None
    assert ml.run_analysis() == "A"
    assert ml.los == "A"
    assert (ml.breakpoint, ml.capacity, ml.speed, ml.density) == (500.0, 1700.0, 65.0, 0.0)


# lane type, BP, capacity, K at capacity, K at capacity with friction (FFS 65 mi/h)
LANE_TYPES = [
    ("continuous", 500.0, 1700.0, 30.0, 45.0),
    ("Continuous_Access", 500.0, 1700.0, 30.0, 45.0),
    ("buffer1", 600.0, 1600.0, 30.0, 42.0),
    ("BUFFER2", 600.0, 1750.0, 45.0, None),
    ("barrier1", 800.0, 1650.0, 35.0, None),
    ("Barrier2", 900.0, 2000.0, 45.0, None),
]


@pytest.mark.parametrize("lane_type, bp, capacity, k_c, k_friction", LANE_TYPES)
@pytest.mark.parametrize("gp_density", [20.0, 40.0])
def test_managed_lane_types_with_and_without_friction(lane_type, bp, capacity, k_c, k_friction, gp_density):
    ml = ManagedLanes(lane_type=lane_type, demand=capacity, gp_density=gp_density)
    assert ml.calculate_breakpoint() == pytest.approx(bp)
    assert ml.calculate_capacity() == pytest.approx(capacity)
    assert ml.has_friction_effect() == (k_friction is not None)
    friction = k_friction is not None and gp_density > 35
    assert ml.is_friction_active() == friction
    assert ml.run_analysis() in "ABCDEF"
    assert ml.speed == pytest.approx(capacity / (k_friction if friction else k_c))
    assert ml.density == pytest.approx(capacity / ml.speed)


@pytest.mark.parametrize("text", ["buffer 1", "Buffer 1", "ContinuousAccess", ""])
def test_unknown_lane_type(text):
    with pytest.raises(ValueError) as err:
        ManagedLanes(lane_type=text)
    assert str(err.value) == "unknown lane_type: " + text.lower()


def test_setters_do_not_clear_results():
    ml = ManagedLanes(demand=1000.0)
    ml.run_analysis()
    speed, density, los = ml.speed, ml.density, ml.los
    ml.set_demand(1650.0)
    ml.set_gp_density(50.0)
    assert (ml.speed, ml.density, ml.los) == (speed, density, los)
    assert ml.is_friction_active()
    ml.run_analysis()
    assert ml.speed < speed


def test_managed_lane_steps():
    ml = ManagedLanes(lane_type="barrier1", demand=700.0)
    assert ml.determine_los() == "F"  # capacity not computed yet (0)
    ml.calculate_capacity()
    assert ml.calculate_speed() == pytest.approx(65 - 0.004 * 700)
    assert ml.calculate_density() == pytest.approx(700 / (65 - 0.004 * 700))
    assert ml.determine_los() == "B"


def test_managed_lane_properties_are_read_only():
    ml = ManagedLanes()
    with pytest.raises(AttributeError):
        ml.speed = 3.0


def test_managed_lanes_repr_and_signature():
    assert repr(ManagedLanes()) == "ManagedLanes(type=ContinuousAccess, ffs=65, demand=0, gp_density=0.0)"
    ml = ManagedLanes("buffer2", ffs=62.6, demand=1200.4, gp_density=37.25)
    assert repr(ml) == "ManagedLanes(type=Buffer2, ffs=63, demand=1200, gp_density=37.2)"
    assert ManagedLanes.__text_signature__ == "(lane_type=None, ffs=None, demand=None, gp_density=None, caf=None, saf=None)"
    assert ManagedLanes.is_friction_active.__doc__ == (
        "Whether friction is active (K_GP > 35 pc/mi/ln on a friction type)."
    )
