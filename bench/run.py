"""Times the heavy analysis paths through the Python API on generated inputs.

Prints one line per case: name, work size, seconds, work per second; the facility cases add the
segment-steps their oversaturated engine runs and the nanoseconds per segment-step (the whole
analysis over those steps). Run with `make bench`; `bench/run.py NAME ...` runs only the cases whose
names start with one of the NAMEs (e.g. `freeway_facility`). The to_json cases take the output's
bytes as their work and add the peak memory of one call.
"""

import ctypes
import json
import math
import sys
import time

import marvane


def freeway_facility_document(segments, periods):
    """A facility of repeating interchange groups (merge, basic, diverge, weave) with a lane drop in
    every sixth group, and a demand profile whose peak overloads the lane drops."""
    pattern = ["Basic", "Merge", "Basic", "Diverge", "Basic", "Weaving"]
    segs = []
    for i in range(segments):
        kind = "Basic" if i in (0, segments - 1) else pattern[i % len(pattern)]
        seg = {"seg_type": kind, "length_ft": 1500 + 250 * (i % 4), "lanes": 3}
        if kind == "Merge":
            seg["on_ramp_demand"] = [500 + 300 * math.sin(math.pi * p / periods) for p in range(periods)]
            if i % 4 == 1:
                seg["ramp_metering"] = [900] * periods
        elif kind == "Diverge":
            seg["off_ramp_demand"] = [450 + 250 * math.sin(math.pi * p / periods) for p in range(periods)]
        elif kind == "Weaving":
            seg["length_ft"] = 2000
            seg["lanes"] = 4
            seg["on_ramp_demand"] = [400] * periods
            seg["off_ramp_demand"] = [350] * periods
            seg["ramp_to_ramp_demand"] = [50] * periods
        elif i % 17 == 8:
            seg["lanes"] = 2  # lane drop: the bottleneck of the peak
        segs.append(seg)
    mainline = [3200 + 2400 * math.sin(math.pi * p / periods) ** 2 for p in range(periods)]
    return json.dumps({"segments": segs, "mainline_demand": mainline})


def engine_segment_steps(document, first_oversat_period):
    """Segment-steps of the oversaturated engine in one analysis: segments x steps per period x
    periods from the first oversaturated one."""
    if first_oversat_period is None:
        raise SystemExit("benchmark facility is not oversaturated")
    steps = math.floor(900 / document.get("time_step_s", 15.0) + 0.5)
    periods = len(document["mainline_demand"]) - first_oversat_period
    return len(document["segments"]) * steps * periods


def time_case(name, work, run, repeat=3, segment_steps=None, note=""):
    best = math.inf
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    line = f"{name:<40} {work:>10} {best:>10.4f} s {work / best:>14.0f} /s"
    if segment_steps:
        line += f" {segment_steps:>10} segment-steps {best / segment_steps * 1e9:>7.1f} ns/segment-step"
    print(line + note)


def bench_freeway_facility(segments, periods):
    text = freeway_facility_document(segments, periods)
    probe = marvane.FreewayFacility(text)
    probe.run_analysis()
    steps = engine_segment_steps(json.loads(text), json.loads(probe.to_json())["first_oversat_period"])

    def run():
        marvane.FreewayFacility(text).run_analysis()

    time_case(f"freeway_facility {segments}seg x {periods}per", segments * periods, run, repeat=5,
              segment_steps=steps)


def bench_two_lane_highway(segments):
    """A two-lane highway of passing zones with a passing lane every fifth segment and curves on
    every third, run through every step to the facility LOS."""
    curve = [marvane.SubSegment(length=1320), marvane.SubSegment(length=1320, design_rad=800, sup_ele=4)]
    segs = []
    for i in range(segments):
        kind = 2 if i % 5 == 4 else 1
        segs.append(marvane.Segment(kind, 1.0, (i % 7) - 3.0, 55.0, volume=700 + 10 * (i % 9), volume_op=500,
                                    phv=6, is_hc=i % 3 == 0, subsegments=curve + curve))

    def run():
        f = marvane.TwoLaneHighways(segs, lane_width=12, shoulder_width=4, apd=5, pmhvfl=0.5)
        for i, seg in enumerate(segs):
            f.determine_vertical_alignment(i)
            f.determine_demand_flow(i)
            f.determine_free_flow_speed(i)
            f.estimate_average_speed(i)
            f.estimate_percent_followers(i)
            if seg.passing_type == 2:
                f.determine_follower_density_pl(i)
            else:
                f.determine_follower_density_pc_pz(i)
            f.determine_segment_los(i, 55.0, 1700)
        f.determine_facility_los(f.determine_facility_follower_density(), 55.0)

    time_case(f"two_lane_highway {segments}seg", segments, run)


def bench_managed_lane_facility(segments, periods):
    """The oversaturated benchmark facility as the GP lane group, with a managed lane beside every
    segment (the five separation types in turn), ML access ramps every sixth segment and a
    cross-weave on every merge segment."""
    gp = json.loads(freeway_facility_document(segments, periods))
    types = ["ContinuousAccess", "Buffer1", "Buffer2", "Barrier1", "Barrier2"]
    ml, cross_weave = [], []
    for i, seg in enumerate(gp["segments"]):
        entry = {"lane_type": types[i % len(types)], "ffs": 65}
        if i % 6 == 2:
            entry["on_ramp_demand"] = [150] * periods
        elif i % 6 == 5:
            entry["off_ramp_demand"] = [150] * periods
        ml.append(entry)
        merge = seg["seg_type"] == "Merge"
        cross_weave.append({"cw_demand_pc": [300] * periods, "l_cw_min_ft": 1500} if merge else None)
    entry_demand = [900 + 700 * math.sin(math.pi * p / periods) ** 2 for p in range(periods)]
    text = json.dumps({"gp": gp, "ml": ml, "ml_entry_demand": entry_demand, "cross_weave": cross_weave})

    probe = marvane.ManagedLaneFacility(text)
    probe.run_analysis()
    steps = engine_segment_steps(gp, json.loads(probe.to_json())["gp"]["first_oversat_period"])

    def run():
        marvane.ManagedLaneFacility(text).run_analysis()

    time_case(f"managed_lane_facility {segments}seg x {periods}per", segments * periods, run, repeat=5,
              segment_steps=steps)


def reliability_document(segments, periods, months=None, replications=4):
    """The congested benchmark facility as the seed of a reliability study: seasonal weather (snow
    in winter) and incidents from a crash rate, Monday to Friday of the given months (all twelve by
    default) with the given replications."""
    winter = [1, 1, 0.6, 0.2, 0, 0, 0, 0, 0, 0.2, 0.6, 1]
    probabilities = [[0.06, 0.015, 0.04 * w, 0.02 * w, 0.01 * w, 0.004 * w, 0.02 * w, 0.01, 0.004, 0.002]
                     for w in winter]
    generation = {
        "replications": replications,
        "weather": {"probabilities_by_month": probabilities,
                    "durations_min": [75, 45, 120, 150, 180, 240, 360, 90, 60, 45]},
        "incidents": {"crash_rate_per_100mvmt": 40.0},
        "rng_seed": 2024,
    }
    if months is not None:
        generation["months"] = months
    facility = json.loads(freeway_facility_document(segments, periods))
    return json.dumps({"facility": facility, "scenario_generation": generation})


# Chapter 11 incident capacity factors of the open lanes by lanes (2 to 8) and lanes closed.
INCIDENT_CAF = {2: [0.81, 0.70], 3: [0.83, 0.74, 0.51], 4: [0.85, 0.77, 0.50, 0.52],
                5: [0.87, 0.81, 0.67, 0.50, 0.50], 6: [0.89, 0.85, 0.75, 0.52, 0.52],
                7: [0.91, 0.88, 0.80, 0.63, 0.63], 8: [0.93, 0.89, 0.84, 0.66, 0.66]}
LANES_CLOSED = {"Shoulder": 0, "OneLane": 1, "TwoLanes": 2, "ThreeLanes": 3, "FourPlusLanes": 4}


def scenario_facility(facility, generation, scenario):
    """The facility document of one scenario with weather and incidents (the study's demand,
    capacity and speed factors applied as its run applies them), to count its engine steps."""
    segments, periods = facility["segments"], len(facility["mainline_demand"])
    demand = [scenario["daf"]] * periods
    caf = [[1.0] * periods for _ in segments]
    saf = [[1.0] * periods for _ in segments]
    weather_daf = generation.get("weather", {}).get("daf", 1.0)
    incident_daf = generation.get("incidents", {}).get("daf", 1.0)
    for event in scenario["weather_events"]:
        for p in range(event["start_period"], min(periods, event["start_period"] + event["duration_periods"])):
            for g in range(len(segments)):
                caf[g][p] *= event["caf"]
                saf[g][p] *= event["saf"]
            demand[p] *= weather_daf
    for incident in scenario["incidents"]:
        g = min(incident["segment"], len(segments) - 1)
        lanes, closed = segments[g].get("lanes", 3), LANES_CLOSED[incident["severity"]]
        row = INCIDENT_CAF[min(max(lanes, 2), 8)]
        factor = row[closed] * (lanes - closed) / lanes if lanes > closed and closed < len(row) else 1.0
        for p in range(incident["start_period"],
                       min(periods, incident["start_period"] + incident["duration_periods"])):
            caf[g][p] *= factor
            demand[p] *= incident_daf
    out = json.loads(json.dumps(facility))
    out["mainline_demand"] = [d * demand[p] for p, d in enumerate(facility["mainline_demand"])]
    for g, seg in enumerate(out["segments"]):
        for key in ("on_ramp_demand", "off_ramp_demand", "ramp_to_ramp_demand"):
            seg[key] = [v * demand[i] if i < periods else v for i, v in enumerate(seg.get(key, []))]
        seg["caf_schedule"] = [seg.get("caf", 1.0) * caf[g][p] for p in range(periods)]
        seg["saf_schedule"] = [seg.get("saf", 1.0) * saf[g][p] for p in range(periods)]
    return out


def bench_freeway_reliability(months, replications):
    """A reliability study of the congested benchmark facility (30 segments x 24 periods): one
    facility run per scenario. The segment-steps are those of every scenario's engine."""
    text = reliability_document(30, 24, months, replications)
    probe = marvane.FreewayReliability(text)
    probe.run()
    document = json.loads(text)
    steps = 0
    for scenario in json.loads(probe.scenario_set_json())["scenarios"]:
        if scenario["work_zones"] or scenario["special_events"]:
            raise SystemExit("the segment-step count covers weather and incidents only")
        facility = scenario_facility(document["facility"], document["scenario_generation"], scenario)
        run = marvane.FreewayFacility(json.dumps(facility))
        run.run_analysis()
        first = json.loads(run.to_json())["first_oversat_period"]
        steps += engine_segment_steps(facility, first) if first is not None else 0

    def run():
        marvane.FreewayReliability(text).run()

    time_case(f"freeway_reliability {probe.num_scenarios} scenarios", probe.num_scenarios, run, repeat=5,
              segment_steps=steps)


def bench_awsc(with_capacity):
    """A four-leg all-way STOP with a three-lane approach (all 512 occupancy combinations per
    lane), two two-lane approaches and a one-lane approach, with turns and heavy vehicles."""
    lane = lambda left, through, right: {"volume_left": left, "volume_through": through, "volume_right": right}
    text = json.dumps({
        "eb": {"lanes": [lane(80, 120, 0), lane(0, 220, 0), lane(0, 150, 90)], "heavy_vehicle_pct": 4},
        "wb": {"lanes": [lane(60, 180, 0), lane(0, 200, 70)]},
        "nb": {"lanes": [lane(40, 160, 0), lane(0, 150, 60)], "heavy_vehicle_pct": 8},
        "sb": {"lanes": [lane(50, 200, 40)]},
        "phf": 0.92})

    a = marvane.Awsc(text)
    if with_capacity:
        n = 20
        time_case("awsc compute_lane_capacity", n, lambda: [a.compute_lane_capacity("SB", 0) for _ in range(n)])
    else:
        n = 1000
        time_case("awsc analyze", n, lambda: [a.analyze() for _ in range(n)])


def bench_roundabouts():
    """A two-lane roundabout: two-lane entries, yielding and non-yielding bypass lanes, pedestrians."""
    text = json.dumps({
        "nb": {"v_l": 150, "v_t": 500, "v_r": 200, "entry_lanes": 2, "circulating_lanes": 2, "bypass": "Yielding",
               "n_ped": 50},
        "sb": {"v_u": 10, "v_l": 120, "v_t": 450, "v_r": 90, "entry_lanes": 2, "circulating_lanes": 2,
               "bypass": "NonYielding", "n_ped": 120},
        "eb": {"v_l": 80, "v_t": 300, "v_r": 100, "entry_lanes": 2, "circulating_lanes": 2, "heavy_vehicle_pct": 4,
               "lane_assignment": "LeftAndThroughRight", "n_ped": 200},
        "wb": {"v_l": 90, "v_t": 280, "v_r": 160, "entry_lanes": 2, "circulating_lanes": 2, "bypass": "Yielding",
               "exiting_lanes": 2},
        "phf": 0.95})
    r = marvane.Roundabouts(text)
    n = 20000
    time_case("roundabouts analyze", n, lambda: [r.analyze() for _ in range(n)])
def kilobytes(field):
    """A memory figure of this process from /proc/self/status (kB), or None where there is none."""
    try:
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def peak_memory_of(call):
    """Peak resident memory (bytes) that `call` adds to the process, or None where Linux cannot reset
    the peak. The result of the call is kept alive until the peak is read."""
    try:
        ctypes.CDLL(None).malloc_trim(0)  # hands freed heap pages back, so that reusing them counts
    except (OSError, AttributeError):
        return None
    try:
        with open("/proc/self/clear_refs", "w") as refs:
            refs.write("5")  # resets the peak resident set size
    except OSError:
        return None
    before = kilobytes("VmRSS")
    result = call()
    peak = kilobytes("VmHWM")
    del result
    return None if before is None or peak is None else (peak - before) * 1024


def bench_to_json(segments, periods):
    """to_json() of the analysed benchmark facility; work is the output's size in bytes. The peak
    memory counts the Python string made from the text too (one output's size)."""
    facility = marvane.FreewayFacility(freeway_facility_document(segments, periods))
    facility.run_analysis()
    size = len(facility.to_json())
    peak = peak_memory_of(facility.to_json)
    memory = "" if peak is None else f"   peak memory {peak / size:.1f} x output"
    time_case(f"to_json {segments}seg x {periods}per (bytes)", size, facility.to_json, repeat=20, note=memory)


def urban_segment_document():
    """A signalized segment whose arrivals come from three upstream movements dispersed over the
    segment, with four access-point approaches of the Chapter 30 model."""
    approach = [60, 900, 80, 1, 0, 1, 700, False, False, 0, 0.0, 3.0]
    return json.dumps({
        "segment_length_ft": 1800, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 1100,
        "control": "Signalized", "through_capacity_veh_h": 1750, "through_control_delay_s": 22.0,
        "cycle_length_s": 120, "effective_green_s": 55, "downstream_green_start_s": 40,
        "stopped_vehicles_veh_ln": 7, "queue2_veh_ln": 1.2, "sat_flow_veh_h_ln": 1800, "prop_left_turn_lanes": 0.5,
        "upstream_discharge_profiles": [[900, 3600, 0, 50, 20], [200, 1800, 55, 15, 8], [150, 1700, 75, 20, 5]],
        "arrival_uniform_volume_veh_h": 80,
        "access_point_approaches": [approach, approach[:7] + [True, False, 1, 100.0, 3.0],
                                    approach[:7] + [False, True, 0, 0.0, 3.0], approach],
    })


def bench_urban_segment(analyses=20000):
    segment = marvane.UrbanSegment(urban_segment_document())

    def run():
        for _ in range(analyses):
            segment.analyze()

    time_case("urban_segment analyze()", analyses, run)


def bench_urban_facility(segments, analyses=1000):
    """A facility of `segments` copies of the urban segment case with its spillback check:
    analyze() runs every segment and aggregates; aggregate() alone is the facility step."""
    segment = json.loads(urban_segment_document())
    facility = marvane.UrbanFacility(json.dumps({"segments": [segment] * segments, "prop_left_turn_lanes": 0.5,
                                                 "spillback_inputs": [[300, 8]] * segments}))

    def analyze():
        for _ in range(analyses):
            facility.analyze()

    def aggregate():
        for _ in range(20 * analyses):
            facility.aggregate()

    time_case(f"urban_facility {segments}seg analyze() (segments)", analyses * segments, analyze)
    time_case(f"urban_facility {segments}seg aggregate() (segments)", 20 * analyses * segments, aggregate)


def bench_twsc(analyses=20000):
    """A four-leg TWSC: a flared NB approach, an exclusive-left SB approach, two-stage crossings, a
    shared EB left turn, pedestrians, and platoon blockage computed from two upstream signals (a
    fresh object per analysis: the computed blockage is stored by the first analysis)."""
    text = json.dumps({
        "demand": {"v1": 90, "v1u": 10, "v2": 850, "v3": 90, "v4": 70, "v5": 780, "v6": 110, "v7": 50, "v8": 30,
                   "v9": 80, "v10": 40, "v11": 25, "v12": 60, "v13": 20, "v16": 15},
        "geometry": {"major_lanes_per_direction": 2, "major_left_eb": "Shared", "minor_lanes_nb": "SingleShared",
                     "flare_storage_nb": 2, "minor_lanes_sb": "ExclusiveLeftSharedThroughRight",
                     "median_storage_nb": 2, "median_storage_sb": 1, "grade_minor_nb_pct": 2},
        "phf": 0.92, "heavy_vehicle_pct": 4,
        "upstream_signals": {"cycle_s": 100,
                             "eastbound": {"distance_ft": 1500, "progression_speed_mph": 35,
                                           "discharges": [[700, 3600, 0, 45, 18], [120, 1800, 50, 12, 6]]},
                             "westbound": {"distance_ft": 1100, "progression_speed_mph": 35,
                                           "discharges": [[650, 3600, 30, 40, 16]], "uniform_volume_veh_h": 60}}})

    def run():
        for _ in range(analyses):
            marvane.Twsc(text).analyze()

    time_case("twsc Twsc() + analyze()", analyses, run)


def bench_offstreet_bicycle(paths):
    """Off-street paths of 0.5 to 3 mi and 100 to 1,500 users/h, each analysed through all eight
    steps (the passing and meeting integrals dominate)."""
    inputs = [(8.0 + i % 10, 0.5 + (i % 26) * 0.1, 100.0 + (i * 37) % 1400, i % 2 == 0) for i in range(paths)]

    def run():
        for width, length, demand, centerline in inputs:
            marvane.OffStreetBicycleFacility(width, length, has_centerline=centerline,
                                             two_way_demand=demand).analyze()

    time_case(f"offstreet_bicycle {paths}paths", paths, run)


def interchange_document(form):
    """A diamond (or DDI) with every lane group a diamond has, two-lane arterial through groups and
    a 100 s cycle; the DDI's external approaches use the three-lane shared configuration."""
    def group(movement, lanes, begin, duration):
        return {"movement": movement, "lanes": lanes, "greens": [{"begin_s": begin, "duration_s": duration}],
                "yellow_all_red_s": 4.0, "control": "Signalized", "pct_heavy_vehicles": 3.0, "grade_pct": 0.0,
                "lane_width_ft": 12.0, "bus_stops_h": 0.0, "arrival_type": 4, "overlap_lost_time_s": 0.0,
                "start_up_lost_time_s": 2.0, "extension_of_green_s": 2.0, "speed_limit_mph": 40.0,
                "initial_queue_veh": 2.0, "storage_ft": 300.0, "turn_radius_ft": 40.0}
    groups = [("EbExtThrough", 2, 0, 40), ("EbExtRight", 1, 0, 40), ("EbIntThrough", 2, 0, 40),
              ("EbIntLeft", 1, 45, 20), ("WbExtThrough", 2, 0, 40), ("WbExtRight", 1, 0, 40),
              ("WbIntThrough", 2, 0, 40), ("WbIntLeft", 1, 45, 20), ("NbRampLeft", 1, 70, 25),
              ("NbRampRight", 1, 70, 25), ("SbRampLeft", 1, 70, 25), ("SbRampRight", 1, 70, 25)]
    demands = [100, 150, 120, 200, 150, 100, 80, 160, 500, 450, 0, 50, 30, 40]
    return json.dumps({
        "form": form, "cycle_length_s": 100.0, "analysis_period_h": 0.25, "base_saturation_flow": 1900.0,
        "area_type_cbd": False, "peak_hour_factor": 0.92, "distance_between_intersections_ft": 500.0,
        "queue_spacing_ft": 25.0, "od": dict(zip("abcdefghijklmn", demands)),
        "eb_external_right_shared": False, "wb_external_right_shared": False,
        "ddi_eb_lane_config": "ThreeLaneShared" if form == "Ddi" else None,
        "ddi_wb_lane_config": "ThreeLaneShared" if form == "Ddi" else None,
        "extra_distances": [{"distance_ft": 150.0, "accel_decel_s": 3.0}] * 14, "extra_distance_speed_mph": 30.0,
        "lane_groups": [group(*g) for g in groups]})


def bench_interchange(form, analyses=2000):
    interchange = marvane.Interchange(interchange_document(form))

    def run():
        for _ in range(analyses):
            interchange.analyze()

    time_case(f"interchange analyze {form} (analyses)", analyses, run, repeat=5)


def bench_signalized_modes(calls):
    """The Chapter 19 pedestrian, bicycle and two-stage crossing functions, called as a screening
    study would call them: once per crosswalk or approach, each with its own JSON document."""
    crosswalks = [json.dumps({"cycle_length_s": 60 + i % 90, "lanes_crossed": 2 + i % 5, "v_rtor": i % 120,
                              "crossed_street_volume_sum": 400 + i % 2000, "speed_85_mph": 25 + i % 20})
                  for i in range(calls)]
    approaches = [json.dumps({"effective_green_s": 20 + i % 40, "cycle_length_s": 90, "bicycle_flow": i % 300,
                              "total_width_ft": 12 + i % 8, "v_through": 200 + i % 900}) for i in range(calls)]
    crossings = [json.dumps({"cycle_length_s": 90, "walk_start_y_s": i % 90, "first_stage_distance_ft": 30})
                 for i in range(calls)]

    def run():
        for c, a, x in zip(crosswalks, approaches, crossings):
            marvane.analyze_signalized_pedestrian(c)
            marvane.analyze_signalized_bicycle(a)
            marvane.signalized_two_stage_crossing_delay(x)

    time_case("signalized ped+bike+two-stage calls", 3 * calls, run)


def signalized_document(protected_permitted):
    """A four-leg intersection, 120 s cycle: exclusive left lanes, two through lanes and a shared
    right-through lane per approach. Eight actuated phases with protected-permitted lefts (each
    left group runs the time-stepped queue polygon), or pretimed protected lefts (no polygon)."""
    def phase(number, duration, yellow, **settings):
        return {"phase_no": number, "duration_s": duration, "yellow_s": yellow, "red_clearance_s": 1, **settings}

    def approach(direction, left, through, right, left_no, through_no):
        return {"direction": direction, "volume_left": left, "volume_through": through, "volume_right": right,
                "volume_rtor": 0, "peak_hour_factor": 0.92, "pct_heavy_vehicles_left": 2,
                "pct_heavy_vehicles_through": 3, "platoon_ratio_left": 1.0, "platoon_ratio_through": 1.0,
                "upstream_filtering_i": 1.0, "initial_queue_through_veh": 2, "initial_queue_left_veh": 0,
                "ped_flow_ph": 60, "bike_flow_ph": 20, "exclusive_left_lanes": 1, "through_lanes": 2,
                "exclusive_right_lanes": 0, "shared_left_through_lane": False, "shared_right_through_lane": True,
                "lane_width_ft": 12, "grade_pct": 0, "receiving_lanes": 3, "parking_present": False,
                "parking_maneuvers_h": 0, "bus_stops_h": 0, "storage_left_ft": 250, "storage_through_ft": 900,
                "speed_limit_mph": 40, "opposing_right_turn_influences_gaps": True,
                "left_turn_mode": "ProtectedPermitted" if protected_permitted else "Protected",
                "left_turn_sequence": "LeadLead",
                "left_phase": phase(left_no, 16, 3, max_green_s=15, passage_time_s=2.5),
                "through_phase": phase(through_no, 44, 4, max_green_s=45, passage_time_s=3, walk_s=7,
                                       ped_clear_s=15)}

    return json.dumps({"cycle_length_s": 120, "analysis_period_h": 0.25, "base_saturation_flow": 1900,
                       "area_type_cbd": False, "control": "ActuatedSignal" if protected_permitted else "PretimedSignal",
                       "sneakers_per_cycle": 2,
                       "approaches": [approach("NB", 180, 1100, 150, 5, 2), approach("SB", 150, 1000, 120, 1, 6),
                                      approach("EB", 120, 800, 100, 7, 4), approach("WB", 100, 900, 90, 3, 8)]})


def bench_signalized(protected_permitted, analyses):
    x = marvane.SignalizedIntersection(signalized_document(protected_permitted))
    name = "signalized analyze " + ("8-phase prot-perm" if protected_permitted else "pretimed")
    time_case(name, analyses, lambda: [x.analyze() for _ in range(analyses)])


def bench_urban_reliability(segments=10):
    """A one-year study (all weekdays, 12 analysis periods a day) of a signalized facility with
    monthly weather, crashes at every segment and intersection and one ATDM strategy; the work is
    the number of scenarios, each analysing every segment."""
    signal = {"n_through_lanes": 2, "speed_limit_mph": 35, "control": "Signalized", "cycle_length_s": 100,
              "effective_green_s": 45, "sat_flow_veh_h_ln": 1800, "through_capacity_veh_h": 1620,
              "through_control_delay_s": 20}
    text = json.dumps({
        "facility": {"segments": [{**signal, "segment_length_ft": 1000 + 200 * (i % 4),
                                   "through_demand_veh_h": 900 + 60 * (i % 5)} for i in range(segments)]},
        "config": {
            "weather": [{"total_precip_in": 3.0, "days_with_precip": 9, "mean_temp_f": 30 + 4 * m,
                         "precip_rate_in_h": 0.08} for m in range(12)],
            "incidents": {"segment_crash_frequencies": [1.0] * segments,
                          "intersection_crash_frequencies": [2.0] * (segments + 1)},
            "boundary_signals": [{"effective_green_s": 45 + 2 * (i % 3)} for i in range(segments)]},
        "atdm_strategies": [{"name": "peak", "periods": [4, 5, 6], "sat_flow_adjustment": 1.05}]})
    scenarios = marvane.UrbanReliability(text)
    scenarios.run()

    def run():
        marvane.UrbanReliability(text).run()

    time_case(f"urban_reliability {segments}seg 1 year (scenarios)", scenarios.num_scenarios, run, repeat=5)


CASES = [
    ("freeway_facility 30seg x 24per", lambda: bench_freeway_facility(30, 24)),
    ("freeway_facility 60seg x 96per", lambda: bench_freeway_facility(60, 96)),
    ("freeway_reliability 240 scenarios", lambda: bench_freeway_reliability(None, 4)),
    ("freeway_reliability 1000 scenarios", lambda: bench_freeway_reliability(list(range(1, 11)), 20)),
    ("managed_lane_facility 60seg x 96per", lambda: bench_managed_lane_facility(60, 96)),
    ("two_lane_highway 200seg", lambda: bench_two_lane_highway(200)),
    ("awsc analyze", lambda: bench_awsc(False)),
    ("awsc compute_lane_capacity", lambda: bench_awsc(True)),
    ("roundabouts analyze", lambda: bench_roundabouts()),
    ("interchange analyze Diamond", lambda: bench_interchange("Diamond")),
    ("interchange analyze Ddi", lambda: bench_interchange("Ddi")),
    ("to_json 30seg x 24per", lambda: bench_to_json(30, 24)),
    ("to_json 60seg x 96per", lambda: bench_to_json(60, 96)),
    ("to_json 240seg x 192per", lambda: bench_to_json(240, 192)),
    ("urban_segment analyze()", lambda: bench_urban_segment()),
    ("urban_facility 20seg", lambda: bench_urban_facility(20)),
    ("urban_reliability 10seg", lambda: bench_urban_reliability(10)),
    ("twsc Twsc() + analyze()", lambda: bench_twsc()),
    ("offstreet_bicycle 1000paths", lambda: bench_offstreet_bicycle(1000)),
    ("signalized ped+bike+two-stage calls", lambda: bench_signalized_modes(10000)),
    ("signalized analyze 8-phase prot-perm", lambda: bench_signalized(True, 5000)),
    ("signalized analyze pretimed", lambda: bench_signalized(False, 20000)),
]


def main(selected):
    print(f"{'case':<40} {'work':>10} {'seconds':>12} {'work per second':>16}")
    for name, bench in CASES:
        if not selected or any(name.startswith(prefix) for prefix in selected):
            bench()


if __name__ == "__main__":
    main(sys.argv[1:])
