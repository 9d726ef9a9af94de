"""Every analysed document reads back, as an analysed object. Extreme inputs (a peak hour factor
of 1e-308, a demand near the largest double, no green, an analysis period of 0, ...) can drive
results to infinity or NaN, which to_json() writes as null; reading that text back and writing it
again must give the same text, and the object read back must say what the analysed one says:
every read-out equal where it was finite, not finite (NaN: the text cannot tell an infinity from
NaN) where it was not, None where it was None. Each class is driven from a small working document
with every number in it replaced, one at a time, by each extreme."""
import inspect
import itertools
import json
import math
import pathlib
import re

import pytest

import marvane

EXTREMES = [1e-308, 5e-324, 1.7976931348623157e308, -1.7976931348623157e308, 0.0]

LANE_GROUP = {"yellow_all_red_s": 4.0, "control": "Signalized", "pct_heavy_vehicles": 2.0, "grade_pct": 0.0,
              "lane_width_ft": 12.0, "bus_stops_h": 0.0, "arrival_type": 3, "overlap_lost_time_s": 0.0,
              "start_up_lost_time_s": 2.0, "extension_of_green_s": 2.0, "speed_limit_mph": 35.0,
              "initial_queue_veh": 1.0}
INTERCHANGE = {
    "form": "Diamond", "cycle_length_s": 100.0, "analysis_period_h": 0.25, "base_saturation_flow": 1900.0,
    "area_type_cbd": False, "peak_hour_factor": 0.92, "distance_between_intersections_ft": 600.0,
    "queue_spacing_ft": 25.0, "od": dict(zip("abcdefghijklmn", (100, 150, 120, 200, 150, 100, 80, 160, 500, 450, 10,
                                                                50, 30, 40))),
    "eb_external_right_shared": False, "wb_external_right_shared": False,
    "extra_distances": [{"distance_ft": 100.0, "accel_decel_s": 2.0}]
    + [{"distance_ft": 0.0, "accel_decel_s": 0.0}] * 13,
    "extra_distance_speed_mph": 30.0,
    "lane_groups": [{"movement": m, "lanes": n, "greens": [{"begin_s": b, "duration_s": d}], **LANE_GROUP}
                    for m, n, b, d in [("EbExtThrough", 2, 0, 40), ("EbExtRight", 1, 0, 40), ("EbIntThrough", 2, 0, 40),
                                       ("EbIntLeft", 1, 45, 20), ("WbExtThrough", 2, 0, 40), ("WbExtRight", 1, 0, 40),
                                       ("WbIntThrough", 2, 0, 40), ("WbIntLeft", 1, 45, 20), ("NbRampLeft", 1, 70, 25),
                                       ("NbRampRight", 1, 70, 25), ("SbRampLeft", 1, 70, 25),
                                       ("SbRampRight", 1, 70, 25)]],
}


def signal_approach(direction, left, through, right, through_phase, left_phase):
    return {"direction": direction, "volume_left": left, "volume_through": through, "volume_right": right,
            "volume_rtor": 10, "peak_hour_factor": 0.92, "pct_heavy_vehicles_left": 2, "pct_heavy_vehicles_through": 2,
            "platoon_ratio_left": 1.0, "platoon_ratio_through": 1.0, "upstream_filtering_i": 1.0,
            "initial_queue_through_veh": 2, "initial_queue_left_veh": 0, "ped_flow_ph": 50, "bike_flow_ph": 20,
            "exclusive_left_lanes": 1, "through_lanes": 1, "exclusive_right_lanes": 0,
            "shared_left_through_lane": False, "shared_right_through_lane": True, "lane_width_ft": 12,
            "grade_pct": 0, "receiving_lanes": 2, "parking_present": False, "parking_maneuvers_h": 0,
            "bus_stops_h": 0, "storage_left_ft": 200, "storage_through_ft": 800, "speed_limit_mph": 35,
            "opposing_right_turn_influences_gaps": True, "left_turn_mode": "ProtectedPermitted",
            "left_turn_sequence": "LeadLead", "left_phase": left_phase, "through_phase": through_phase}


def signal_phase(n, duration, **fields):
    return {"phase_no": n, "duration_s": duration, "yellow_s": 4, "red_clearance_s": 1, **fields}


SIGNALIZED = {"cycle_length_s": 100, "analysis_period_h": 0.25, "base_saturation_flow": 1900, "area_type_cbd": False,
              "control": "ActuatedSignal", "sneakers_per_cycle": 2,
              "approaches": [signal_approach("NB", 120, 600, 100, signal_phase(2, 40, max_green_s=40, passage_time_s=3,
                                                                               walk_s=7, ped_clear_s=12),
                                             signal_phase(5, 15, max_green_s=15, passage_time_s=2.5)),
                             signal_approach("SB", 100, 550, 90, signal_phase(6, 40), signal_phase(1, 15))]}
URBAN_SEGMENT = {"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
                 "control": "Signalized", "cycle_length_s": 100, "effective_green_s": 45,
                 "through_capacity_veh_h": 1600, "through_control_delay_s": 20,
                 "access_point_approaches": [[60, 900, 80, 1, 0, 1, 700, False, False, 0, 0, 3]],
                 "upstream_discharge_profiles": [[900, 3600, 0, 40, 15]]}
RELIABILITY_SEGMENT = {"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35,
                       "through_demand_veh_h": 900, "control": "Signalized", "cycle_length_s": 100,
                       "effective_green_s": 45, "sat_flow_veh_h_ln": 1900, "through_capacity_veh_h": 1710,
                       "through_control_delay_s": 20}
URBAN_RELIABILITY = {
    "facility": {"segments": [RELIABILITY_SEGMENT]},
    "config": {"months": [1], "analysis_periods_per_day": 1,
               "weather": [{"total_precip_in": 3.0, "days_with_precip": 9, "mean_temp_f": 30.0,
                            "precip_rate_in_h": 0.08}] * 12,
               "boundary_signals": [{}],
               "incidents": {"segment_crash_frequencies": [5.0], "intersection_crash_frequencies": [8.0, 8.0]}},
}

# Each class that reads its own analysed document, with a small document it analyses without error.
DOCUMENTS = {
    "Interchange": INTERCHANGE,
    "SignalizedIntersection": SIGNALIZED,
    "Twsc": {"demand": {"v1": 100, "v2": 900, "v3": 100, "v4": 80, "v5": 800, "v6": 120, "v7": 60, "v8": 40,
                        "v9": 70, "v10": 50, "v11": 30, "v12": 60},
             "geometry": {"major_lanes_per_direction": 2, "median_storage_nb": 2}, "phf": 0.92,
             "conflicting_flow_overrides": [{"movement": "7", "stage": "stage1", "value": 500}],
             "upstream_signals": {"cycle_s": 90, "eastbound": {"distance_ft": 1200, "progression_speed_mph": 35,
                                                               "discharges": [[1200, 3600, 0, 30, 30]]}}},
    "Awsc": {"eb": {"lanes": [{"volume_left": 60, "volume_through": 240, "volume_right": 20}]},
             "wb": {"lanes": [{"volume_through": 300, "volume_right": 40}], "heavy_vehicle_pct": 5},
             "nb": {"lanes": [{"volume_left": 50, "volume_through": 150}]},
             "sb": {"lanes": [{"volume_through": 180, "volume_right": 70}]}, "phf": 0.92},
    "Roundabouts": {
        "nb": {"v_l": 150, "v_t": 500, "v_r": 200, "entry_lanes": 2, "circulating_lanes": 2, "bypass": "Yielding"},
        "sb": {"v_u": 10, "v_l": 120, "v_t": 450, "v_r": 90, "entry_lanes": 2, "circulating_lanes": 2},
        "eb": {"v_l": 80, "v_t": 300, "v_r": 100, "heavy_vehicle_pct": 4, "n_ped": 60},
        "wb": {"v_l": 90, "v_t": 280, "v_r": 60, "bypass": "NonYielding"}, "phf": 0.95,
        "calibration": [1380.0, 0.00102]},
    "UrbanSegment": URBAN_SEGMENT,
    "UrbanFacility": {"segments": [URBAN_SEGMENT, {**URBAN_SEGMENT, "through_demand_veh_h": 600,
                                                   "prop_left_turn_lanes": 0.5, "stopped_vehicles_veh_ln": 4,
                                                   "sat_flow_veh_h_ln": 1800}],
                      "prop_left_turn_lanes": 0.5},
    "FreewayFacility": {"segments": [{"length_ft": 5280}, {"seg_type": "Merge", "length_ft": 1500,
                                                           "on_ramp_demand": [500, 700]}, {"length_ft": 5280}],
                        "mainline_demand": [3000, 4200]},
    "ManagedLaneFacility": {"gp": {"segments": [{}, {"lanes": 4}, {}], "mainline_demand": [3000, 4500, 6500]},
                            "ml": [{"ffs": 65}, None, {"lane_type": "Barrier2", "ffs": 65,
                                                       "on_ramp_demand": [0, 0, 100]}],
                            "ml_entry_demand": [1000, 1200, 1400],
                            "cross_weave": [None, {"cw_demand_pc": [0, 500], "l_cw_min_ft": 2000}, None]},
    "PlanningFacility": {"sections": [{"sec_type": "Basic", "length_mi": 1.0, "lanes": 3, "inflow_aadt": 100000}]},
}
ANALYSIS = {"FreewayFacility": "run_analysis", "ManagedLaneFacility": "run_analysis",
            "PlanningFacility": "run_analysis"}

# The arguments the read-outs that take some are called with, by parameter name: every approach,
# lane, movement, O-D letter, period and section these documents have, and a few they lack (the
# read-out then raises the same error on both objects). Not the actuated-timing estimate: it
# computes afresh from the stored lane groups, where an infinite flow can give a finite
# probability that NaN, all the text can give back, does not.
INTERCHANGE_MOVEMENTS = [g["movement"] for g in INTERCHANGE["lane_groups"]]
ARGUMENTS = {
    "direction": ["NB", "SB", "EB", "WB"], "approach": ["NB", "SB", "EB", "WB"], "entry": ["NB", "SB", "EB", "WB"],
    "lane": [0, 1, 2], "movement": ["1", "1U", "2", "3", "4", "4U", "5", "6", "7", "8", "9", "10", "11", "12"]
    + INTERCHANGE_MOVEMENTS, "letter": list("ABCDEFGHIJKLMN"), "period": [0, 1, 2, 3], "section": [0, 1],
}
# Methods that change the object (or build another): not read-outs.
CHANGES = re.compile(r"^(analyze|run|run_analysis|aggregate|to_json|from_json|(apply|set|clear|compute)_\w+)$")


def readouts(obj):
    """Every read-out of an object: its properties, its methods without arguments and those whose
    arguments ARGUMENTS names, called with each combination; a refusal counts as its message."""
    out = {"str": str(obj), "repr": repr(obj)}
    cls = type(obj)
    for name in dir(cls):
        if name.startswith("_") or CHANGES.match(name):
            continue
        if isinstance(inspect.getattr_static(cls, name), property):
            calls = [((), lambda: getattr(obj, name))]
        else:
            method = getattr(obj, name)
            params = list(inspect.signature(method).parameters)
            if not all(p in ARGUMENTS for p in params):
                continue
            combinations = itertools.product(*(ARGUMENTS[p] for p in params))
            calls = [(args, lambda m=method, a=args: m(*a)) for args in combinations]
        for args, call in calls:
            key = (name, *args) if args else name
            try:
                out[key] = call()
            except (ValueError, IndexError, KeyError) as e:
                out[key] = f"{type(e).__name__}: {e}"
    return out


NON_FINITE = re.compile(r"-?\b(inf|NaN|nan)\b")


def differences(before, after, where="read-outs"):
    """Where `after` does not say what `before` says: equal finite values, non-finite for non-finite
    (any of NaN and the infinities), None for None; texts alike up to the spelling of non-finite
    numbers; JSON texts, lists, tuples and dicts item by item."""
    if isinstance(before, float) and not math.isfinite(before):
        return [] if isinstance(after, float) and not math.isfinite(after) else [f"{where}: {before!r} -> {after!r}"]
    if isinstance(before, str) and isinstance(after, str) and before != after:
        if before[:1] in "[{" and after[:1] in "[{":
            return differences(json.loads(before), json.loads(after), where)
        same = NON_FINITE.sub("?", before) == NON_FINITE.sub("?", after)
        return [] if same else [f"{where}: {before!r} -> {after!r}"]
    if isinstance(before, (list, tuple)) and type(after) is type(before) and len(after) == len(before):
        return [d for i, (b, a) in enumerate(zip(before, after)) for d in differences(b, a, f"{where}[{i}]")]
    if isinstance(before, dict) and isinstance(after, dict) and before.keys() == after.keys():
        return [d for k in before for d in differences(before[k], after[k], f"{where}[{k!r}]")]
    return [] if type(after) is type(before) and after == before else [f"{where}: {before!r} -> {after!r}"]


def analysed(name, document):
    x = getattr(marvane, name)(json.dumps(document))
    getattr(x, ANALYSIS.get(name, "analyze"))()
    return x


def number_paths(value, path=()):
    """The path of every number (not boolean) in a document, the first of equal list items only."""
    if isinstance(value, bool):
        return
    if isinstance(value, (int, float)):
        yield path
    elif isinstance(value, dict):
        for key, item in value.items():
            yield from number_paths(item, path + (key,))
    elif isinstance(value, list):
        seen = []
        for i, item in enumerate(value):
            if item not in seen:
                seen.append(item)
                yield from number_paths(item, path + (i,))


def replaced(document, path, number):
    doc = json.loads(json.dumps(document))
    target = doc
    for step in path[:-1]:
        target = target[step]
    target[path[-1]] = number
    return doc


@pytest.mark.parametrize("name", DOCUMENTS)
def test_analysed_documents_with_extreme_numbers_read_back(name):
    cls = getattr(marvane, name)
    document = DOCUMENTS[name]
    base_nulls = analysed(name, document).to_json().count("null")
    checked, non_finite, failures = 0, 0, []
    for path in number_paths(document):
        for number in EXTREMES:
            try:
                x = analysed(name, replaced(document, path, number))
            except ValueError:
                continue  # refused input: nothing to write
            text = x.to_json()
            checked += 1
            non_finite += text.count("null") > base_nulls
            try:
                back = cls(text)
            except ValueError as e:
                failures.append((path, number, str(e)))
                continue
            if back.to_json() != text:
                failures.append((path, number, "written differently after reading back"))
            failures += [(path, number, d) for d in differences(readouts(x), readouts(back))]
    assert failures == []
    assert checked > 0 and non_finite > 0


def signalized_without_green():
    """The published minimal intersection, its NB approach one through lane group on a 5 s phase:
    all yellow and red clearance, so no green and no capacity."""
    examples = pathlib.Path(__file__).resolve().parents[2] / "docs" / "reference" / "examples"
    document = json.loads((examples / "SignalizedIntersection.minimal.json").read_text())
    nb = document["approaches"][2]
    nb.update(shared_left_through_lane=False, shared_right_through_lane=False, storage_through_ft=100)
    nb["through_phase"]["duration_s"] = 5
    return document


def signalized_without_any_green():
    """Every phase all yellow and red clearance, in a cycle no longer than the lost time."""
    document = signalized_without_green()
    for a in document["approaches"]:
        a["through_phase"]["duration_s"] = 5
    document["cycle_length_s"] = 10
    return document


def interchange_without_green():
    document = json.loads(json.dumps(INTERCHANGE))
    ramp = next(g for g in document["lane_groups"] if g["movement"] == "NbRampRight")
    ramp.update(greens=[], storage_ft=150)
    return document


def twsc_without_capacity():
    document = json.loads(json.dumps(DOCUMENTS["Twsc"]))
    document["demand"]["v2"] = 1e6  # the conflicting flow leaves the minor movements no capacity
    return document


# The reproductions: a document and a read-out that its analysis makes infinite or undefined.
REPRODUCTIONS = [
    ("SignalizedIntersection", signalized_without_green, "intersection_delay_s"),
    ("SignalizedIntersection", signalized_without_any_green, "critical_vc_ratio"),
    ("Interchange", interchange_without_green, "interchange_ett"),
    ("Interchange", interchange_without_green, ("get_queue_storage_ratio", "NbRampRight")),
    ("Twsc", twsc_without_capacity, "intersection_delay"),
    ("UrbanSegment", lambda: {**URBAN_SEGMENT, "segment_length_ft": 1e308, "speed_limit_mph": 1e-300},
     "running_time_s"),
    ("Awsc", lambda: {**DOCUMENTS["Awsc"], "analysis_period_h": 0}, "intersection_delay"),
    ("Roundabouts", lambda: {**DOCUMENTS["Roundabouts"], "analysis_period_h": 0}, "intersection_delay"),
]


# Documents whose analysis leaves a result absent by their shape, and that read-out: it reads back
# absent (None), not NaN.
YIELD_SEGMENT = {**URBAN_SEGMENT, "control": "YieldControlled", "through_capacity_veh_h": 0, "prop_left_turn_lanes": 0.5}
ABSENT_BY_SHAPE = [
    ("Twsc", {**DOCUMENTS["Twsc"], "geometry": {"is_three_leg": True, "major_lanes_per_direction": 2}},
     ("get_movement_capacity", "8")),
    ("UrbanSegment", YIELD_SEGMENT, "full_stop_rate"),
    ("UrbanFacility", {"segments": [YIELD_SEGMENT], "prop_left_turn_lanes": 0.5}, "spatial_stop_rate"),
]


@pytest.mark.parametrize("name, document, readout", ABSENT_BY_SHAPE, ids=[n for n, _, _ in ABSENT_BY_SHAPE])
def test_a_result_the_analysis_leaves_absent_reads_back_absent(name, document, readout):
    x = analysed(name, document)
    back = getattr(marvane, name)(x.to_json())
    before, after = readouts(x), readouts(back)
    assert before[readout] is None
    assert differences(before, after) == []


@pytest.mark.parametrize("name, document, readout", REPRODUCTIONS,
                         ids=[f"{n}-{r if isinstance(r, str) else r[0]}" for n, _, r in REPRODUCTIONS])
def test_a_saved_analysis_reads_back_as_analysed(name, document, readout):
    x = analysed(name, document())
    back = getattr(marvane, name)(x.to_json())
    before, after = readouts(x), readouts(back)
    assert not math.isfinite(before[readout]) and math.isnan(after[readout])
    assert "not yet analyzed" not in after["str"] and "None" not in after["repr"]
    assert differences(before, after) == []
    assert back.to_json() == x.to_json()
