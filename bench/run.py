"""Times the heavy analysis paths through the Python API on generated inputs.

Prints one line per case: name, work size, seconds, work per second. Run with `make bench`.
"""

import json
import math
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


def time_case(name, work, run, repeat=3):
    best = math.inf
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        best = min(best, time.perf_counter() - start)
    print(f"{name:<40} {work:>10} {best:>10.4f} s {work / best:>14.0f} /s")


def bench_freeway_facility(segments, periods):
    text = freeway_facility_document(segments, periods)
    probe = marvane.FreewayFacility(text)
    probe.run_analysis()
    if not probe.oversaturated:
        raise SystemExit(f"benchmark facility {segments}x{periods} is not oversaturated")

    def run():
        marvane.FreewayFacility(text).run_analysis()

    time_case(f"freeway_facility {segments}seg x {periods}per", segments * periods, run)


def main():
    print(f"{'case':<40} {'work':>10} {'seconds':>12} {'work per second':>16}")
    bench_freeway_facility(30, 24)
    bench_freeway_facility(60, 96)
    bench_managed_lane_facility(60, 96)
    bench_signalized_modes(10000)


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

    def run():
        marvane.ManagedLaneFacility(text).run_analysis()

    time_case(f"managed_lane_facility {segments}seg x {periods}per", segments * periods, run)


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


if __name__ == "__main__":
    main()
