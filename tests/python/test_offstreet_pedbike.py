import inspect
import math

import pytest
from hypothesis import given, settings, strategies as st

import marvane
from marvane import ExclusivePedestrianFacility, OffStreetBicycleFacility, SharedUsePathPedestrian


def test_registered_in_order():
    start = marvane.__all__.index("ExclusivePedestrianFacility")
    assert marvane.__all__[start:start + 3] == ["ExclusivePedestrianFacility", "SharedUsePathPedestrian",
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
    assert str(inspect.signature(cls.analyze)) == "(self)"


def test_method_docstring_first_lines():
    assert ExclusivePedestrianFacility.determine_los.__doc__ == \
        'Step 4: Determine LOS (Exhibits 24-1, 24-2, or 24-3). Returns "A"-"F".'
    assert ExclusivePedestrianFacility.calculate_pedestrian_flow_rate.__doc__.startswith(
        "Step 2: Calculate the pedestrian unit flow rate v_p (p/ft/min).\nHCM Equations 24-2 and 24-3.")
    assert OffStreetBicycleFacility.weighted_events_per_minute.__doc__ == \
        "Weighted events per minute E = M_T + 10 \u00d7 A_T, if computed."


@pytest.mark.parametrize("obj, names", [
    (ExclusivePedestrianFacility(10.0, pedestrian_demand=500.0),
     ["effective_width", "flow_rate_15min", "unit_flow_rate", "pedestrian_space", "vc_ratio", "los"]),
    (SharedUsePathPedestrian(), ["passing_events", "meeting_events", "total_events", "los"]),
    (OffStreetBicycleFacility(10.0, 1.0),
     ["subject_flow_rates", "opposing_flow_rates", "active_passings_by_mode", "active_passings_per_minute",
      "meetings_per_minute", "effective_lanes", "total_probability_delayed_passing", "delayed_passings_per_minute",
      "weighted_events_per_minute", "blos_score", "los"]),
], ids=["pedestrian", "shared_path", "bicycle"])
def test_properties_none_until_computed_and_read_only(obj, names):
    for name in names:
        assert getattr(obj, name) is None
        with pytest.raises(AttributeError):
            setattr(obj, name, 1.0)
    assert obj.analyze() in tuple("ABCDEF")
    assert all(getattr(obj, name) is not None for name in names)


def test_exclusive_pedestrian_facility():
    f = ExclusivePedestrianFacility(10.0, pedestrian_demand=1000.0, facility_type="Cross_Flow", flow_type="PLATOON")
    assert repr(f) == "ExclusivePedestrianFacility(width=10.0 ft, space=None ft2/p, los=None)"
    assert f.determine_los() == "B"  # cross-flow above 13 ft2/p: the platooned walkway criteria
    assert f.vc_ratio is None and isinstance(f.pedestrian_space, float)
    assert repr(f) == "ExclusivePedestrianFacility(width=10.0 ft, space=Some(153.0) ft2/p, los=Some('B'))"
    empty = ExclusivePedestrianFacility(6.0, fixed_object_width=8.0)
    assert empty.calculate_average_pedestrian_space() == math.inf and empty.pedestrian_space is None


@pytest.mark.parametrize("kwargs, error, message", [
    ({"facility_type": "cross flows"}, ValueError,
     "^unknown facility_type 'crossflows'; expected 'walkway', 'cross_flow', or 'stairway'$"),
    ({"flow_type": "platoon-ed"}, ValueError, "^unknown flow_type 'platoon-ed'; expected 'random' or 'platooned'$"),
    ({"facility_type": "bridge", "flow_type": "bad"}, ValueError, "unknown facility_type 'bridge'"),
    ({"fixed_object_width": None}, TypeError, "argument 'fixed_object_width'"),
    ({"phf": "0.9"}, TypeError, "argument 'phf'"),
    ({"facility_type": 1}, TypeError, "argument 'facility_type'"),
])
def test_exclusive_pedestrian_argument_errors(kwargs, error, message):
    with pytest.raises(error, match=message):
        ExclusivePedestrianFacility(**{"total_walkway_width": 10.0, **kwargs})


def test_shared_use_path_pedestrian():
    p = SharedUsePathPedestrian(100.0, 80.0)
    assert repr(p) == "SharedUsePathPedestrian(total_events=None events/h, los=None)"
    events = p.calculate_bicycle_passing_and_meeting_events()
    assert isinstance(events, tuple) and events == (p.passing_events, p.meeting_events, p.total_events)
    assert p.los is None and p.determine_los() == "E"
    assert repr(p) == f"SharedUsePathPedestrian(total_events=Some({p.total_events!r}) events/h, los=Some('E'))"
    with pytest.raises(TypeError, match="argument 'is_one_way'"):
        SharedUsePathPedestrian(is_one_way=1)


def test_off_street_bicycle_facility():
    b = OffStreetBicycleFacility(10.0, 1.0, two_way_demand=300.0)
    assert repr(b) == "OffStreetBicycleFacility(width=10.0 ft, length=1.00 mi, blos=None, los=None)"
    subject, opposing = b.calculate_directional_flow_rates()
    assert len(subject) == len(opposing) == 5 and subject == b.subject_flow_rates
    assert b.determine_number_of_effective_lanes() == 2 and isinstance(b.effective_lanes, int)
    assert b.analyze() == "D"
    assert repr(b) == f"OffStreetBicycleFacility(width=10.0 ft, length=1.00 mi, blos=Some({b.blos_score!r}), los=Some('D'))"
    for length in (1e9, math.inf):  # a huge or infinite path still finishes, with a finite score
        assert math.isfinite(OffStreetBicycleFacility(10.0, length, two_way_demand=300.0).determine_blos())


@pytest.mark.parametrize("kwargs, error, message", [
    ({"mode_speeds": [12.8, 3.4, 6.5, 10.1]}, ValueError,
     r"^mode_speeds must contain exactly 5 values \(bicycle, pedestrian, runner, inline skater, child bicyclist\)$"),
    ({"mode_splits": [1.0] * 6, "mode_speeds": [1.0]}, ValueError, "^mode_splits must contain exactly 5 values"),
    ({"mode_speed_sds": "abcde"}, TypeError, "argument 'mode_speed_sds': Can't extract `str` to `Vec`"),
    ({"mode_splits": [1, 2, 3, 4, "x"]}, TypeError, "argument 'mode_splits'"),
    ({"has_centerline": None}, TypeError, "argument 'has_centerline'"),
])
def test_off_street_bicycle_argument_errors(kwargs, error, message):
    with pytest.raises(error, match=message):
        OffStreetBicycleFacility(**{"path_width": 10.0, "segment_length": 1.0, **kwargs})


@settings(max_examples=40, deadline=None)
@given(width=st.floats(6.0, 20.0), length=st.floats(0.05, 3.0), demand=st.floats(0.0, 2000.0),
       extra=st.floats(1.0, 500.0), centerline=st.booleans())
def test_more_users_never_raise_the_blos_score(width, length, demand, extra, centerline):
    def score(v):
        return OffStreetBicycleFacility(width, length, has_centerline=centerline, two_way_demand=v).determine_blos()
    assert score(demand + extra) <= score(demand) + 1e-12
