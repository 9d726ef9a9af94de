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


if __name__ == "__main__":
    main()
