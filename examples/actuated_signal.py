"""Settle the timing of a fully actuated signal (HCM Chapters 19 and 31).

An actuated controller has no fixed cycle: its phases run between their minimum and maximum
greens as the detectors call for them. The HCM estimates the average phase durations from the
controller settings and the traffic (Chapter 31, Section 2), but the traffic analysis of
Chapter 19 itself needs phase durations to start from. So the two are iterated:

    1. analyse the intersection with the current phase durations;
    2. estimate the average actuated durations with `actuated_timings_json()`;
    3. write those durations back into the phases (and their ring sum into the cycle length);
    4. repeat until the cycle length stops changing.

The intersection: four legs, one exclusive left-turn lane, one through lane and one shared
through-right lane per approach. The major street (north-south) has protected-permitted lefts
on phases 1/5 with its throughs on 2/6; the minor street (east-west) has permitted lefts and
runs on phases 4/8. Phases 2/6 and 4/8 carry pedestrian timing.

Run it with `PYTHONPATH=build python examples/actuated_signal.py`.
"""

import json

import marvane

TOLERANCE_S = 0.1  # stop when the cycle length changes by less than this, s
MAX_ITERATIONS = 20  # and never iterate longer than this


def phase(number, duration, yellow, max_green, pedestrians=False):
    """One controller phase. `duration_s` (green + yellow + red clearance) is only the starting
    guess: the loop below replaces it. Give `max_green_s` explicitly: without it the estimate takes
    the maximum green as duration - yellow - red clearance, so each pass would shrink the maximum
    green along with the duration and the cycle would never settle."""
    timing = {"phase_no": number, "duration_s": duration, "yellow_s": yellow, "red_clearance_s": 1.0,
              "max_green_s": max_green, "min_green_s": 5.0, "passage_time_s": 3.0, "detector_length_ft": 40.0}
    if pedestrians:
        timing.update(walk_s=7.0, ped_clear_s=14.0)  # walk and flashing don't-walk, s
    return timing


def approach(direction, left, through, right, through_phase, left_phase=None):
    """One approach: volumes in veh/h, then geometry and the phases serving it. Every key except
    `peak_hour_factor`, `storage_left_ft`, `storage_through_ft` and `left_phase` is required."""
    return {
        "direction": direction,
        "volume_left": left, "volume_through": through, "volume_right": right, "volume_rtor": 0,
        "peak_hour_factor": 0.92,
        "pct_heavy_vehicles_left": 2, "pct_heavy_vehicles_through": 3,  # percent
        "platoon_ratio_left": 1.0, "platoon_ratio_through": 1.0,  # random arrivals
        "upstream_filtering_i": 1.0,  # isolated intersection
        "initial_queue_through_veh": 0, "initial_queue_left_veh": 0,
        "ped_flow_ph": 60, "bike_flow_ph": 10,
        "exclusive_left_lanes": 1, "through_lanes": 1, "exclusive_right_lanes": 0,
        "shared_left_through_lane": False, "shared_right_through_lane": True,
        "lane_width_ft": 12, "grade_pct": 0, "receiving_lanes": 2,
        "parking_present": False, "parking_maneuvers_h": 0, "bus_stops_h": 0,
        "storage_left_ft": 200, "storage_through_ft": 800,  # for the queue storage ratios
        "speed_limit_mph": 40,
        "opposing_right_turn_influences_gaps": True,
        # "ProtectedPermitted" needs a left phase; "Permitted" lefts run in the through phase
        "left_turn_mode": "ProtectedPermitted" if left_phase else "Permitted",
        "left_turn_sequence": "LeadLead" if left_phase else "PermPerm",
        "left_phase": left_phase,
        "through_phase": through_phase,
    }


document = {
    "cycle_length_s": 100.0,  # starting guess, replaced by the loop
    "analysis_period_h": 0.25,
    "base_saturation_flow": 1900,  # pc/h/ln
    "area_type_cbd": False,
    "control": "ActuatedSignal",
    "sneakers_per_cycle": 2,
    "approaches": [
        approach("NB", 180, 820, 120, phase(2, 40, 4.0, 45, True), phase(5, 12, 3.0, 20)),
        approach("SB", 150, 760, 100, phase(6, 40, 4.0, 45, True), phase(1, 12, 3.0, 20)),
        approach("EB", 90, 520, 80, phase(4, 35, 4.0, 35, True)),
        approach("WB", 80, 560, 70, phase(8, 35, 4.0, 35, True)),
    ],
}

print("Actuated signal: feeding the estimated phase durations back until the cycle settles")
print(f"  tolerance {TOLERANCE_S} s, at most {MAX_ITERATIONS} iterations\n")
print(f"  {'iter':>4}  {'cycle in':>8}  {'cycle out':>9}  {'delay s/veh':>11}  LOS  phase durations (s)")

converged = False
for iteration in range(1, MAX_ITERATIONS + 1):
    # The object has no setters for the timing: each pass builds it again from the edited document.
    signal = marvane.SignalizedIntersection(json.dumps(document))
    signal.analyze()  # the actuated estimate reads the lane groups of this analysis
    # One record per phase, in ascending phase number: duration_s, green_s, queue_service_s,
    # green_extension_s, mah_star_s, prob_max_out, prob_call.
    phases = json.loads(signal.actuated_timings_json(simultaneous_gap_out=True))
    durations = {p["phase_no"]: p["duration_s"] for p in phases}

    # Ring 1 runs phases 1-2 | 3-4; the barriers make ring 2 (5-6 | 7-8) the same length.
    new_cycle = sum(durations.get(n, 0.0) for n in (1, 2, 3, 4))
    change = new_cycle - document["cycle_length_s"]
    print(f"  {iteration:>4}  {document['cycle_length_s']:>8.1f}  {new_cycle:>9.1f}  "
          f"{signal.intersection_delay_s:>11.1f}  {signal.intersection_los:>3}  "
          + " ".join(f"{n}:{d:.1f}" for n, d in durations.items()))

    # Write the estimate back: every phase of every approach gets its average duration.
    for a in document["approaches"]:
        for key in ("left_phase", "through_phase"):
            if a[key] is not None:
                a[key]["duration_s"] = durations[a[key]["phase_no"]]
    document["cycle_length_s"] = new_cycle

    if abs(change) < TOLERANCE_S:
        converged = True
        break

if converged:
    print(f"\n  converged after {iteration} iterations: cycle {document['cycle_length_s']:.1f} s")
else:
    print(f"\n  not converged after {MAX_ITERATIONS} iterations: last cycle {document['cycle_length_s']:.1f} s")

# Final analysis with the settled timing: intersection, approaches and the per-phase estimate.
signal = marvane.SignalizedIntersection(json.dumps(document))
signal.analyze()
print(f"  {signal}, critical v/c {signal.critical_vc_ratio:.2f}")
for direction in ("NB", "SB", "EB", "WB"):
    print(f"  {direction}: {signal.approach_delay_s(direction):5.1f} s/veh, LOS {signal.approach_los(direction)}")
print("  phase  duration  green  queue service  extension  P(max-out)  P(call)")
for p in json.loads(signal.actuated_timings_json(simultaneous_gap_out=True)):
    print(f"  {p['phase_no']:>5}  {p['duration_s']:>8.1f}  {p['green_s']:>5.1f}  {p['queue_service_s']:>13.1f}  "
          f"{p['green_extension_s']:>9.1f}  {p['prob_max_out']:>10.2f}  {p['prob_call']:>7.2f}")
