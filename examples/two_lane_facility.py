"""A two-lane highway facility taken through the HCM Chapter 15 steps in order, and what a
passing lane does for it.

A two-lane facility is a chain of segments, each passing constrained (type 0), a passing zone
(type 1) or a passing lane (type 2). `TwoLaneHighways` does not run in one call: each HCM step is
a method taking the segment index, which stores its result in the facility's own copy of the
segment (read back through `facility.segments`) and returns it. Each step reads what the steps
before it stored, so they must run in this order for every segment:

    1. determine_vertical_alignment   vertical alignment class (Exhibit 15-11)
       identify_vertical_class        the segment-length limits of that class (a check)
    2. determine_demand_flow          demand flow rates and capacity
    3. determine_free_flow_speed      free-flow speed
    4. estimate_average_speed         average speed (and the speed on each horizontal curve)
    5. estimate_percent_followers     percent followers
    6. determine_follower_density_pc_pz (types 0 and 1) or determine_follower_density_pl (type 2)
    7. determine_adjustment_to_follower_density   follower density downstream of a passing lane
                                   (on the passing lane itself it sets the effective length of its
                                   downstream effect, which the segments after it read)
    8. determine_segment_los

and then, once for the facility, determine_facility_follower_density (which applies the
downstream effect of a passing lane) and determine_facility_los. Parameters, units and what each
step stores: docs/class-reference.md, sections Segment, SubSegment and TwoLaneHighways.

Run it with `PYTHONPATH=build python examples/two_lane_facility.py`.
"""

from marvane import Segment, SubSegment, TwoLaneHighways

SPEED_LIMIT = 55.0  # mi/h, the LOS thresholds depend on it
TRAFFIC = {"volume": 800, "volume_op": 700, "phf": 0.94, "phv": 6}  # veh/h each way, PHF, % heavy vehicles

# A 1-mile climb with a 800-ft-radius curve in its middle: tangent, curve, tangent (lengths in ft,
# radius in ft, superelevation in percent).
CLIMB = [SubSegment(length=1584), SubSegment(length=1056, design_rad=800, central_angle=30, sup_ele=6),
         SubSegment(length=2640)]


def segments(third_segment_type):
    """Five segments in travel order: passing zone, curvy passing-constrained climb, the
    segment under study, a level passing zone and a passing-constrained descent.
    Segment(passing_type, length mi, grade %, speed limit mi/h, ...)."""
    return [Segment(1, 1.5, 1.0, SPEED_LIMIT, **TRAFFIC),
            Segment(0, 1.0, 4.0, SPEED_LIMIT, is_hc=True, subsegments=CLIMB, **TRAFFIC),
            Segment(third_segment_type, 1.5, 2.0, SPEED_LIMIT, **TRAFFIC),
            Segment(1, 2.0, 0.0, SPEED_LIMIT, **TRAFFIC),
            Segment(0, 1.5, -3.0, SPEED_LIMIT, **TRAFFIC)]


def analyse(title, segment_list):
    facility = TwoLaneHighways(segment_list, lane_width=12, shoulder_width=4, apd=5,  # access points/mi
                               pmhvfl=0.5)  # share of the heavy vehicles using a passing lane's faster lane
    print(f"\n{title}: {facility}")
    print("  seg  type              class  v_d veh/h  cap veh/h  FFS mi/h  speed mi/h  followers %  FD /mi/ln  LOS")
    for i, seg in enumerate(facility.segments):
        vertical_class = facility.determine_vertical_alignment(i)  # step 1
        shortest, longest = facility.identify_vertical_class(i)  # the length limits of that class
        if not shortest <= seg.length <= longest:
            print(f"  note: segment {i} is {seg.length} mi, outside {shortest}-{longest} mi for class {vertical_class}")
        demand, _, capacity = facility.determine_demand_flow(i)  # step 2: [v_d, v_o, capacity]
        ffs = facility.determine_free_flow_speed(i)  # step 3
        speed, _ = facility.estimate_average_speed(i)  # step 4: [speed, horizontal-curve term]
        followers = facility.estimate_percent_followers(i)  # step 5
        if seg.passing_type == 2:  # step 6; a passing lane is graded by the density at its middle
            _, density = facility.determine_follower_density_pl(i)  # [FD, FD at mid-lane]
        else:
            density = facility.determine_follower_density_pc_pz(i)
        adjusted = facility.determine_adjustment_to_follower_density(i)  # step 7: 0 when none applies
        los = facility.determine_segment_los(i, SPEED_LIMIT, int(capacity))  # step 8
        kind = ("passing constrained", "passing zone", "passing lane")[seg.passing_type]
        print(f"  {i:>3}  {kind:<19} {vertical_class:>3}  {demand:>9.0f}  {capacity:>9.0f}  {ffs:>8.1f}  "
              f"{speed:>10.1f}  {followers:>11.1f}  {density:>9.1f}  {los:>3}")
        if adjusted > 0.0 and seg.passing_type != 2:
            print(f"       downstream of the passing lane: {adjusted:.1f} followers/mi/ln")

    # The steps stored their results in the facility's copies: the curve speeds, for instance.
    for j, sub in enumerate(facility.segments[1].subsegments):
        print(f"  segment 1, piece {j}: {sub.length:.0f} ft, horizontal class {sub.hor_class}, "
              f"{sub.avg_speed:.1f} mi/h")

    density = facility.determine_facility_follower_density()  # call once, after every segment's steps
    los = facility.determine_facility_los(density, SPEED_LIMIT)
    print(f"  facility: {facility.total_length:.1f} mi, {density:.1f} followers/mi/ln, LOS {los}")
    return density, los


without = analyse("Two-lane highway with a passing zone on segment 2", segments(1))
with_lane = analyse("The same highway with a passing lane on segment 2", segments(2))
print(f"\nPassing lane on segment 2: facility follower density {without[0]:.1f} -> {with_lane[0]:.1f} "
      f"followers/mi/ln, LOS {without[1]} -> {with_lane[1]}")
