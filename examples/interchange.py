"""A diamond interchange from its origin-destination demands (HCM Chapter 23), and how much
demand growth it can take.

An interchange ramp terminal is evaluated by its O-D movements rather than by its lane groups:
each O-D movement's experienced travel time (ETT) adds the control delays of the lane groups on
its path and any extra distance travel time, and its LOS follows from the ETT (Exhibit 23-10).
The demands are given once, per O-D letter; the lane-group demands follow from the paths.

The arterial runs east-west; the freeway ramps arrive from the north (SB off-ramp, west
intersection) and the south (NB off-ramp, east intersection). The O-D letters of a diamond:

    A  NB off-ramp, left, to the west       B  NB off-ramp, right, to the east
    C  SB off-ramp, right, to the west      D  SB off-ramp, left, to the east
    E  EB arterial, left onto the on-ramp   F  EB arterial, right onto the on-ramp
    G  WB arterial, right onto the on-ramp  H  WB arterial, left onto the on-ramp
    I  EB arterial through                  J  WB arterial through
    K  NB ramp straight across              L  (never used)
    M, N  off-ramp back onto the freeway (U-turn through both intersections)

Run it with `PYTHONPATH=build python examples/interchange.py`.
"""

import json

import marvane

# Today's PM peak-hour O-D demands, veh/h (all fourteen letters are required; L is never used).
OD_DEMANDS = {"a": 110, "b": 160, "c": 120, "d": 210, "e": 150, "f": 100, "g": 80, "h": 170,
              "i": 520, "j": 460, "k": 0, "l": 0, "m": 30, "n": 40}
CYCLE_S = 100.0


def lane_group(movement, lanes, green_begin, green_duration, storage_ft=None):
    """One signalized lane group, named approach + leg + turn (e.g. "EbIntLeft" is the eastbound
    left turn at the downstream, internal approach). Its green is one window of the cycle."""
    group = {"movement": movement, "lanes": lanes,
             "greens": [{"begin_s": green_begin, "duration_s": green_duration}],
             "yellow_all_red_s": 4.0, "control": "Signalized", "pct_heavy_vehicles": 3.0, "grade_pct": 0.0,
             "lane_width_ft": 12.0, "bus_stops_h": 0.0, "arrival_type": 4, "overlap_lost_time_s": 0.0,
             "start_up_lost_time_s": 2.0, "extension_of_green_s": 2.0, "speed_limit_mph": 40.0,
             "initial_queue_veh": 0.0}
    if storage_ft is not None:
        group["storage_ft"] = storage_ft  # gives the group a queue storage ratio
    return group


def interchange_document(od):
    return {
        "form": "Diamond", "cycle_length_s": CYCLE_S, "analysis_period_h": 0.25,
        "base_saturation_flow": 1900.0, "area_type_cbd": False, "peak_hour_factor": 0.92,
        "distance_between_intersections_ft": 500.0, "queue_spacing_ft": 25.0,
        "od": od,
        "eb_external_right_shared": False, "wb_external_right_shared": False,
        # No O-D path is longer than the direct one here: one zero entry per letter A to N.
        "extra_distances": [{"distance_ft": 0.0, "accel_decel_s": 0.0}] * 14,
        "extra_distance_speed_mph": 30.0,
        # Arterial throughs and external rights 0-40 s, internal lefts 45-65 s, ramps 70-95 s.
        "lane_groups": [
            lane_group("EbExtThrough", 2, 0, 40), lane_group("EbExtRight", 1, 0, 40),
            lane_group("EbIntThrough", 2, 0, 40, storage_ft=500), lane_group("EbIntLeft", 1, 45, 20, storage_ft=250),
            lane_group("WbExtThrough", 2, 0, 40), lane_group("WbExtRight", 1, 0, 40),
            lane_group("WbIntThrough", 2, 0, 40, storage_ft=500), lane_group("WbIntLeft", 1, 45, 20, storage_ft=250),
            lane_group("NbRampLeft", 1, 70, 25, storage_ft=800), lane_group("NbRampRight", 1, 70, 25),
            lane_group("SbRampLeft", 1, 70, 25, storage_ft=800), lane_group("SbRampRight", 1, 70, 25),
        ],
    }


def analyse(growth):
    ix = marvane.Interchange(json.dumps(interchange_document({k: v * growth for k, v in OD_DEMANDS.items()})))
    ix.analyze()
    return ix


# The lane groups by name, in the document's order (the same at every growth step).
LANE_GROUPS = [group["movement"] for group in interchange_document(OD_DEMANDS)["lane_groups"]]


# --- Today: every O-D movement and every lane group -------------------------------------------
today = analyse(1.0)
print(f"Diamond interchange, {CYCLE_S:.0f} s cycle: {today!r}")
print(f"  interchange ETT {today.interchange_ett:.1f} s/veh, LOS {today.interchange_los}")
print("  O-D  demand veh/h  delay s  EDTT s  ETT s  LOS")
for letter in today.get_od_movements():  # only the letters with demand and a path
    demand, delay, edtt, ett, los = today.get_od_result(letter)
    print(f"  {letter:>3}  {demand:>12.0f}  {delay:>7.1f}  {edtt:>6.1f}  {ett:>5.1f}  {los:>3}")
print("  lane group     flow veh/h  capacity veh/h   v/c  delay s  queue/storage")
for name in LANE_GROUPS:
    flow, _, _, capacity, vc, delay = today.get_lane_group_result(name)
    ratio = today.get_queue_storage_ratio(name)  # None without a storage length
    print(f"  {name:<13}  {flow:>10.0f}  {capacity:>14.0f}  {vc:>4.2f}  {delay:>7.1f}  "
          f"{'-' if ratio is None else f'{ratio:.2f}':>13}")

# --- Growth: raise every O-D demand by 10 % steps until a movement or the interchange fails ----
print("\n  growth  interchange ETT  LOS  worst O-D (ETT, LOS)  highest v/c")
for step in range(0, 11):
    growth = 1.0 + 0.1 * step
    ix = analyse(growth)
    worst = max(ix.get_od_movements(), key=lambda letter: ix.get_od_result(letter)[3])
    _, _, _, worst_ett, worst_los = ix.get_od_result(worst)
    critical = max(LANE_GROUPS, key=lambda name: ix.get_lane_group_result(name)[4])
    worst_text = f"{worst} ({worst_ett:.1f} s, {worst_los})"
    print(f"  {growth:>6.1f}  {ix.interchange_ett:>15.1f}  {ix.interchange_los:>3}  {worst_text:<20}  "
          f"{critical} {ix.get_lane_group_result(critical)[4]:.2f}")
    if worst_los in "EF" or ix.interchange_los in "EF":
        print(f"  at {growth:.1f} x today's demand O-D movement {worst} reaches LOS {worst_los}: "
              f"retime or widen before then")
        break
else:
    print("  the interchange carries twice today's demand at LOS D or better")
