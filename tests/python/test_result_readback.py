"""Every analysed document reads back. Extreme inputs (a peak hour factor of 1e-308, a demand near
the largest double, ...) can drive results to infinity or NaN, which to_json() writes as null;
reading that text back and writing it again must give the same text. Each class is driven from a
small working document with every number in it replaced, one at a time, by each extreme."""
import json

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
    "UrbanFacility": {"segments": [URBAN_SEGMENT, {**URBAN_SEGMENT, "through_demand_veh_h": 600}]},
}


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
    base = cls(json.dumps(document))
    base.analyze()
    base_nulls = base.to_json().count("null")
    analysed, non_finite, failures = 0, 0, []
    for path in number_paths(document):
        for number in EXTREMES:
            try:
                x = cls(json.dumps(replaced(document, path, number)))
                x.analyze()
            except ValueError:
                continue  # refused input: nothing to write
            text = x.to_json()
            analysed += 1
            non_finite += text.count("null") > base_nulls
            try:
                again = cls(text).to_json()
            except ValueError as e:
                failures.append((path, number, str(e)))
                continue
            if again != text:
                failures.append((path, number, "written differently after reading back"))
    assert failures == []
    assert analysed > 0 and non_finite > 0
