import inspect
import math

import pytest
from hypothesis import given, settings, strategies as st

import marvane
from marvane import ExclusivePedestrianFacility, OffStreetBicycleFacility, SharedUsePathPedestrian

CLASSES = (ExclusivePedestrianFacility, SharedUsePathPedestrian, OffStreetBicycleFacility)


def test_registered_in_order():
    names = marvane.__all__
    start = names.index("ExclusivePedestrianFacility")
    assert names[start:start + 3] == ["ExclusivePedestrianFacility", "SharedUsePathPedestrian",
                                      "OffStreetBicycleFacility"]


@pytest.mark.parametrize("cls, signature, doc", [
    (ExclusivePedestrianFacility,
     "(total_walkway_width, fixed_object_width=0.0, pedestrian_demand=None, peak_15min_volume=None, phf=None, "
     "pedestrian_speed=None, facility_type='walkway', flow_type='random')",
     "Exclusive off-street pedestrian facility analysis (HCM Chapter 24)."),
    (SharedUsePathPedestrian,
     "(bicycle_demand_same_direction=None, bicycle_demand_opposing=None, phf=None, pedestrian_speed=None, "
     "bicycle_speed=None, bicycle_flow_rate_same_direction=None, bicycle_flow_rate_opposing=None, is_one_way=False)",
     "Pedestrian LOS analysis on a shared-use path (HCM Chapter 24)."),
    (OffStreetBicycleFacility,
     "(path_width, segment_length, has_centerline=False, two_way_demand=None, directional_split=None, phf=None, "
     "subject_demand=None, opposing_demand=None, is_one_way=False, mode_splits=None, mode_speeds=None, "
     "mode_speed_sds=None)",
     "Bicycle LOS (BLOS) analysis on a shared-use or exclusive off-street bicycle\nfacility (HCM Chapter 24)."),
])
def test_signatures_and_docstrings(cls, signature, doc):
    assert str(inspect.signature(cls)) == signature
    assert cls.__doc__ == doc


@pytest.mark.parametrize("method, first_line", [
    (ExclusivePedestrianFacility.determine_effective_walkway_width,
     "Step 1: Determine effective walkway width W_E (ft). HCM Equation 24-1."),
    (ExclusivePedestrianFacility.calculate_average_pedestrian_space,
     "Step 3: Calculate average pedestrian space A_p (ft\u00b2/p). HCM Equation 24-4."),
    (ExclusivePedestrianFacility.determine_los, 'Step 4: Determine LOS (Exhibits 24-1, 24-2, or 24-3). Returns "A"-"F".'),
    (SharedUsePathPedestrian.calculate_bicycle_passing_and_meeting_events,
     "Step 2: Calculate bicycle passing and meeting events."),
    (OffStreetBicycleFacility.calculate_directional_flow_rates,
     "Step 1: Calculate hourly directional flow rates by mode (HCM Equation"),
    (OffStreetBicycleFacility.analyze, "Run the complete methodology (Steps 1-8) and return the LOS letter."),
])
def test_method_docstrings(method, first_line):
    assert method.__doc__.split("\n")[0] == first_line
    assert str(inspect.signature(method)) == "(self)"


@pytest.mark.parametrize("obj, names", [
    (ExclusivePedestrianFacility(10.0, pedestrian_demand=500.0),
     ["effective_width", "flow_rate_15min", "unit_flow_rate", "pedestrian_space", "vc_ratio", "los"]),
    (SharedUsePathPedestrian(), ["passing_events", "meeting_events", "total_events", "los"]),
    (OffStreetBicycleFacility(10.0, 1.0),
     ["subject_flow_rates", "opposing_flow_rates", "active_passings_by_mode", "active_passings_per_minute",
      "meetings_per_minute", "effective_lanes", "total_probability_delayed_passing", "delayed_passings_per_minute",
      "weighted_events_per_minute", "blos_score", "los"]),
], ids=lambda v: type(v).__name__ if not isinstance(v, list) else "")
def test_properties_none_until_computed_and_read_only(obj, names):
    for name in names:
        assert getattr(obj, name) is None
        with pytest.raises(AttributeError):
            setattr(obj, name, 1.0)
    obj.analyze()
    for name in names:
        assert getattr(obj, name) is not None


def test_exclusive_pedestrian_worked_example():
    f = ExclusivePedestrianFacility(10.0, pedestrian_demand=1000.0)
    assert repr(f) == "ExclusivePedestrianFacility(width=10.0 ft, space=None ft2/p, los=None)"
    assert f.analyze() == "A"
    assert (f.effective_width, f.pedestrian_space) == (10.0, pytest.approx(153.0))
    assert repr(f) == "ExclusivePedestrianFacility(width=10.0 ft, space=Some(153.0) ft2/p, los=Some('A'))"


def test_exclusive_pedestrian_step_by_step():
    f = ExclusivePedestrianFacility(10.0, 2.0, pedestrian_demand=900.0, peak_15min_volume=480.0, phf=0.5,
                                    pedestrian_speed=60.0, facility_type="Stairway", flow_type="PLATOON")
    assert f.determine_los() == "C"  # the measured volume: v_p = 480 / (15 x 8) = 4, A_p = 60 / 4 = 15
    assert (f.flow_rate_15min, f.unit_flow_rate, f.pedestrian_space) == (480.0, 4.0, 15.0)
    assert f.vc_ratio is None
    assert f.calculate_volume_to_capacity_ratio() == pytest.approx(4.0 / 15.0)


def test_zero_demand_space_is_infinite_but_not_stored():
    f = ExclusivePedestrianFacility(6.0, fixed_object_width=8.0)
    assert f.calculate_average_pedestrian_space() == math.inf
    assert f.pedestrian_space is None
    assert f.determine_los() == "A"


def test_blocked_walkway_with_pedestrians_is_f():
    f = ExclusivePedestrianFacility(6.0, fixed_object_width=8.0, pedestrian_demand=100.0)
    assert f.analyze() == "F"
    assert (f.unit_flow_rate, f.pedestrian_space, f.vc_ratio) == (math.inf, 0.0, math.inf)


@pytest.mark.parametrize("kwargs, error, message", [
    ({"facility_type": "cross flows"}, ValueError,
     "unknown facility_type 'crossflows'; expected 'walkway', 'cross_flow', or 'stairway'"),
    ({"flow_type": "platoon-ed"}, ValueError, "unknown flow_type 'platoon-ed'; expected 'random' or 'platooned'"),
    ({"facility_type": "bridge", "flow_type": "bad"}, ValueError, "unknown facility_type 'bridge'"),
    ({"fixed_object_width": None}, TypeError, "argument 'fixed_object_width'"),
    ({"total_walkway_width": None}, TypeError, "argument 'total_walkway_width'"),
    ({"phf": "0.9"}, TypeError, "argument 'phf'"),
    ({"facility_type": 1}, TypeError, "argument 'facility_type'"),
])
def test_exclusive_pedestrian_argument_errors(kwargs, error, message):
    args = {"total_walkway_width": 10.0, **kwargs}
    with pytest.raises(error, match=message):
        ExclusivePedestrianFacility(**args)


def test_shared_use_path_worked_example():
    p = SharedUsePathPedestrian(100.0, 80.0)
    assert repr(p) == "SharedUsePathPedestrian(total_events=None events/h, los=None)"
    f_p, f_m, f = p.calculate_bicycle_passing_and_meeting_events()
    assert f == pytest.approx(f_p + 0.5 * f_m)
    assert p.determine_los() == "E"
    assert repr(p) == f"SharedUsePathPedestrian(total_events=Some({f!r}) events/h, los=Some('E'))"
    assert SharedUsePathPedestrian(100.0, 80.0, is_one_way=True).analyze() == "C"
    assert SharedUsePathPedestrian().analyze() == "A"


def test_shared_use_path_argument_errors():
    with pytest.raises(TypeError, match="argument 'is_one_way'"):
        SharedUsePathPedestrian(is_one_way=1)
    with pytest.raises(TypeError, match="unexpected keyword argument 'speed'"):
        SharedUsePathPedestrian(speed=3.0)


def test_bicycle_facility_worked_example():
    b = OffStreetBicycleFacility(10.0, 1.0, two_way_demand=300.0)
    assert repr(b) == "OffStreetBicycleFacility(width=10.0 ft, length=1.00 mi, blos=None, los=None)"
    subject, opposing = b.calculate_directional_flow_rates()
    assert len(subject) == len(opposing) == 5 and subject == b.subject_flow_rates
    assert b.determine_number_of_effective_lanes() == 2
    assert b.analyze() == "D"
    assert b.effective_lanes == 2 and isinstance(b.active_passings_by_mode, list)
    assert b.weighted_events_per_minute == pytest.approx(b.meetings_per_minute + 10 * b.active_passings_per_minute)
    assert repr(b) == f"OffStreetBicycleFacility(width=10.0 ft, length=1.00 mi, blos=Some({b.blos_score!r}), los=Some('D'))"


def test_bicycle_facility_low_volume_and_mode_lists():
    b = OffStreetBicycleFacility(12.0, 0.5, has_centerline=True, mode_splits=(1, 0, 0, 0, 0),
                                 mode_speeds=[13.0, 3.4, 6.5, 10.1, 7.9], mode_speed_sds=[0.0] * 5)
    assert b.adjust_los_for_low_volume_paths() == "A"
    assert b.blos_score == pytest.approx(5.446 - 15.86 / 12.0 - 0.287)


@pytest.mark.parametrize("kwargs, error, message", [
    ({"mode_speeds": [12.8, 3.4, 6.5, 10.1]}, ValueError,
     r"^mode_speeds must contain exactly 5 values \(bicycle, pedestrian, runner, inline skater, child bicyclist\)$"),
    ({"mode_splits": [1.0] * 6, "mode_speeds": [1.0]}, ValueError, "^mode_splits must contain exactly 5 values"),
    ({"mode_speed_sds": "abcde"}, TypeError, "argument 'mode_speed_sds': Can't extract `str` to `Vec`"),
    ({"mode_splits": [1, 2, 3, 4, "x"]}, TypeError, "argument 'mode_splits'"),
    ({"has_centerline": None}, TypeError, "argument 'has_centerline'"),
    ({"segment_length": None}, TypeError, "argument 'segment_length'"),
])
def test_bicycle_facility_argument_errors(kwargs, error, message):
    args = {"path_width": 10.0, "segment_length": 1.0, **kwargs}
    with pytest.raises(error, match=message):
        OffStreetBicycleFacility(**args)


def test_huge_and_infinite_paths_complete():
    for length in (1e9, math.inf):
        b = OffStreetBicycleFacility(10.0, length, two_way_demand=300.0)
        assert b.analyze() in "ABCDEF"
        assert math.isfinite(b.blos_score)


@settings(max_examples=40, deadline=None)
@given(width=st.floats(6.0, 20.0), length=st.floats(0.05, 3.0), demand=st.floats(0.0, 2000.0),
       extra=st.floats(1.0, 500.0), centerline=st.booleans())
def test_more_users_never_raise_the_blos_score(width, length, demand, extra, centerline):
    def score(v):
        b = OffStreetBicycleFacility(width, length, has_centerline=centerline, two_way_demand=v)
        b.analyze()
        return b.blos_score
    assert score(demand + extra) <= score(demand) + 1e-12
