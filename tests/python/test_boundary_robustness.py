"""Every class of marvane against a hostile caller: no object changes class, running out of memory
is a MemoryError, error messages arrive whole, and no JSON document may start with a byte-order
mark."""
import json
import subprocess
import sys
import textwrap

import pytest

import marvane

CLASSES = [getattr(marvane, name) for name in marvane.__all__ if isinstance(getattr(marvane, name), type)]

SEGMENT = {"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
           "control": "Signalized"}
# A small valid document for each class built from one.
DOCUMENTS = {
    "UrbanSegment": SEGMENT,
    "UrbanFacility": {"segments": [SEGMENT]},
    "UrbanReliability": {"facility": {"segments": [SEGMENT]}, "config": {}},
    "SignalizedIntersection": {"control": "PretimedSignal", "approaches": [], "cycle_length_s": 0,
                               "analysis_period_h": 0, "base_saturation_flow": 0, "area_type_cbd": False,
                               "sneakers_per_cycle": 0},
    "Twsc": {"demand": {}, "geometry": {"major_lanes_per_direction": 2}},
    "Awsc": {leg: {"lanes": []} for leg in ("eb", "wb", "nb", "sb")},
    "Roundabouts": {leg: {} for leg in ("nb", "sb", "eb", "wb")},
    "Interchange": {"form": "Diamond", "od": [0] * 14, "extra_distances": [[0, 0]] * 14, "cycle_length_s": 100,
                    "analysis_period_h": 0.25, "base_saturation_flow": 1900, "area_type_cbd": False,
                    "peak_hour_factor": 0.92, "distance_between_intersections_ft": 600, "queue_spacing_ft": 25,
                    "eb_external_right_shared": False, "wb_external_right_shared": False,
                    "extra_distance_speed_mph": 30, "lane_groups": []},
    "AlternativeIntersection": {"form": "MutThreeLeg", "movements": []},
    "DisplacedLeftTurn": {"form": "DltPartial", "cells": [[500, 20]], "total_od_demand_veh_h": 0},
    "FreewayFacility": {"segments": [{}], "mainline_demand": [1000]},
    "FreewayReliability": {"facility": {"segments": [{}], "mainline_demand": [1000]}},
}
# Arguments for the classes whose constructor has required parameters.
ARGUMENTS = {
    "Segment": lambda: (1, 1.0, 0.0, 55.0),
    "TwoLaneHighways": lambda: ([marvane.Segment(1, 1.0, 0.0, 55.0)],),
    "BicycleLOS": lambda: (12.0, 4.0, 55.0, 2, 4.0, 500.0, 0.9, 5.0, 0.0),
    "ExclusivePedestrianFacility": lambda: (10.0,),
    "OffStreetBicycleFacility": lambda: (10.0, 1.0),
    **{name: (lambda doc=doc: (json.dumps(doc),)) for name, doc in DOCUMENTS.items()},
}


def make(cls):
    return cls(*ARGUMENTS.get(cls.__name__, tuple)())


# ---- no object changes class ----------------------------------------------------------------------

@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_class_assignment_to_another_class_is_refused(cls):
    obj = make(cls)
    before = repr(obj)
    for other in CLASSES:
        if other is cls:
            continue
        try:
            obj.__class__ = other
        except TypeError:
            assert type(obj) is cls
            continue
        obj.__class__ = cls  # back before the object is read or freed as the other class's
        pytest.fail(f"{cls.__name__} instance accepted __class__ = {other.__name__}")
    assert repr(obj) == before


# ---- memory exhaustion --------------------------------------------------------------------------

# Runs under an address-space limit a little above what the process already uses, so that the
# large allocations of the computation fail.
MEMORY_SCRIPT = textwrap.dedent("""
    import resource
    import marvane

    def limit_memory(extra_mib):
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        with open("/proc/self/status") as status:
            used = next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize"))
        resource.setrlimit(resource.RLIMIT_AS, (used + extra_mib * 2**20, hard))
        return lambda: resource.setrlimit(resource.RLIMIT_AS, (soft, hard))

    def outcome(call):
        try:
            call()
        except MemoryError:
            return "MemoryError"
        except BaseException as e:
            return type(e).__name__ + ": " + str(e)
        return "no error"

    # A document whose tree does not fit.
    text = '{"segments": [{}], "mainline_demand": [' + "1," * 5_000_000 + '1]}'
    restore = limit_memory(64)
    print(outcome(lambda: marvane.FreewayFacility(text)))
    restore()

    # A run whose results do not fit: the facility stays as it was.
    facility = marvane.FreewayFacility(
        '{"segments": [' + ",".join(["{}"] * 1000) + '], "mainline_demand": [' + ",".join(["3e3"] * 1000) + "]}")
    before = facility.to_json()
    restore = limit_memory(64)
    print(outcome(facility.run_analysis))
    restore()
    print(facility.to_json() == before)
""")


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads the process size from /proc")
def test_running_out_of_memory_is_a_memory_error_and_leaves_the_object_unchanged():
    done = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split("\n")[:3] == ["MemoryError", "MemoryError", "True"]


# ---- whole messages -----------------------------------------------------------------------------

def test_option_word_message_keeps_text_after_a_nul():
    with pytest.raises(ValueError) as err:
        marvane.ManagedLanes(lane_type="buffer9\x00 (typo)")
    assert str(err.value) == "unknown lane_type: buffer9\x00 (typo)"


def test_json_message_keeps_text_after_a_nul_and_its_position():
    text = json.dumps({**SEGMENT, "control": "Sig\x00nalized"})
    with pytest.raises(ValueError) as err:
        marvane.UrbanSegment(text)
    message = str(err.value)
    assert message.startswith("invalid UrbanSegment JSON: unknown variant `Sig\x00nalized`, expected one of ")
    closing_quote = text.index('"', text.index("Sig")) + 1
    assert message.endswith(f" at line 1 column {closing_quote}")


# ---- byte-order mark ----------------------------------------------------------------------------

@pytest.mark.parametrize("name", sorted(DOCUMENTS))
def test_document_starting_with_a_byte_order_mark_is_refused(name):
    cls = getattr(marvane, name)
    text = json.dumps(DOCUMENTS[name])
    cls(text)
    with pytest.raises(ValueError) as err:
        cls("\ufeff" + text)
    assert str(err.value).endswith("expected value at line 1 column 1")
