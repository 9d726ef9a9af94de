"""A short tour of marvane: one section per HCM chapter."""

import json

import marvane

print(f"marvane {marvane.__version__}")

# --- Editions and input constraints ------------------------------------------------------------
print(f"HCM editions {marvane.hcm_versions()}, latest {marvane.hcm_latest_version()}; "
      f"7.1 changes Chapter 13: {marvane.hcm_version_changes_chapter('7.1', 13)}")
print(f"validate_input(lane_width=8.0) -> {marvane.validate_input(lane_width=8.0)}")

# --- Chapter 12: basic freeway, multilane highway and managed-lane segments -------------------
print("\nChapter 12: basic freeway segment")
seg = marvane.BasicFreeways(lane_count=3, lane_width=11.0, lc_r=2.0, trd=1, demand_flow_i=4500.0, phf=0.94,
                            p_t=0.10, terrain_type="rolling")
los = seg.run_operational_analysis()
print(f"  FFS {seg.ffs():.1f} mi/h, capacity {seg.capacity():.0f} pc/h/ln, E_T {seg.e_t()}, f_HV {seg.f_hv():.3f}")
print(f"  speed {seg.speed():.1f} mi/h, density {seg.density():.1f} pc/mi/ln, v/c {seg.vc_ratio():.2f}, LOS {los}")
seg.set_target_los("C")
lanes, unrounded = seg.estimate_number_of_lanes()
print(f"  design for LOS C: {lanes} lanes ({unrounded:.2f} before rounding up)")

ml = marvane.ManagedLanes(lane_type="buffer1", ffs=65.0, demand=1400.0, gp_density=40.0)
print(f"  managed lane {ml!r}: LOS {ml.run_analysis()}, speed {ml.speed:.1f} mi/h, "
      f"friction active {ml.is_friction_active()}")

# --- Chapter 13: freeway weaving segments, in both editions ----------------------------------
print("\nChapter 13: one-sided freeway weave between an on-ramp and an off-ramp")
weave = marvane.WeavingSegment(length_short=1200, num_lanes=4, ffs=65, v_ff=3800, v_rf=650, v_fr=500, v_rr=100)
los = weave.run_analysis()
print(f"  {weave!r}")
print(f"  HCM 7:   LOS {los}, speed {weave.speed_avg:.1f} mi/h, density {weave.density:.1f} pc/mi/ln, "
      f"capacity {weave.capacity:.0f} veh/h, L_MAX {weave.l_max:.0f} ft")
weave.version = "7.1"
los = weave.run_analysis()
print(f"  HCM 7.1: LOS {los}, speed {weave.speed_avg:.1f} mi/h, density {weave.density:.1f} pc/mi/ln")
sfi = marvane.service_flow_rate_ideal(weave, (0.75, 0.13, 0.10, 0.02), 25.0)
print("  LOS C service flow rate (ideal, SF, SV, DSV): "
      + ", ".join(f"{x:.0f}" for x in marvane.service_volumes(sfi, 0.95, 0.94, 0.09, 0.55)))

# --- Chapter 14: freeway merge and diverge segments -------------------------------------------
print("\nChapter 14: merge and diverge segments")
ramp = marvane.RampSegment(ramp_type="on-ramp", freeway_lanes=3, freeway_ffs=70.0, ramp_ffs=35.0,
                           accel_lane_length=800.0, freeway_demand=4000.0, ramp_demand=500.0)
print(f"  {ramp!r}")
print(f"  edition 7:   LOS {ramp.run_analysis()}, P_FM {ramp.p_f:.4f}, v12 {ramp.v12:.0f} pc/h, "
      f"density {ramp.density:.1f} pc/mi/ln, speed {ramp.speed_avg:.1f} mi/h")
ramp.version = "7.1"
print(f"  edition 7.1: LOS {ramp.run_analysis()}, density {ramp.density:.1f} pc/mi/ln, "
      f"speed {ramp.speed_avg:.1f} mi/h")
sfi = marvane.ramp_service_flow_rate_ideal(ramp, 25.0, ramp_fraction=0.125)
sf, sv = marvane.ramp_service_volumes(sfi, 0.952, 1.0, 0.94)
print(f"  LOS C limit: ideal freeway flow {sfi:.0f} pc/h, service volume {sv:.0f} veh/h")

# --- Chapter 10: freeway facility core method -------------------------------------------------------
print("\nChapter 10: freeway facility (merge, lane drop, diverge) over four 15-min periods")

facility = marvane.FreewayFacility(json.dumps({
    "segments": [
        {"seg_type": "Basic", "length_ft": 2000},
        {"seg_type": "Merge", "length_ft": 1500, "on_ramp_demand": [500, 700, 900, 400]},
        {"seg_type": "Basic", "length_ft": 2500, "lanes": 2},
        {"seg_type": "Diverge", "length_ft": 1500, "off_ramp_demand": [300, 400, 500, 300]},
        {"seg_type": "Basic", "length_ft": 2000},
    ],
    "mainline_demand": [3200, 3600, 4200, 2600],
    "ffs": 65.0,
}))
facility.run_analysis()
print(f"  {facility}; oversaturated: {facility.oversaturated}")
for p in range(facility.num_periods):
    print(f"  period {p}: speed {facility.facility_speed(p):5.1f} mi/h, "
          f"density {facility.facility_density_veh(p):5.1f} veh/mi/ln, LOS {facility.facility_los(p)}, "
          f"segment LOS {''.join(row[p] for row in facility.los())}, "
          f"queues (ft) {[round(row[p]) for row in facility.queue_length_ft()]}")
print(f"  overall: {facility.overall_speed():.1f} mi/h, {facility.overall_density_veh():.1f} veh/mi/ln")

print("\nChapter 10: managed lane beside the general-purpose lanes, with a cross-weave")
managed = marvane.ManagedLaneFacility(json.dumps({
    "gp": {"segments": [{}, {"lanes": 4}, {}], "mainline_demand": [3000, 4500, 6500]},
    "ml": [{"ffs": 65}, None, {"lane_type": "Barrier2", "ffs": 65, "on_ramp_demand": [0, 0, 100]}],
    "ml_entry_demand": [1000, 1200, 1400],
    "cross_weave": [None, {"cw_demand_pc": [0, 500], "l_cw_min_ft": 2000}, None],
}))
managed.run_analysis()
for p in range(managed.num_periods):
    print(f"  period {p}: facility {managed.facility_speed(p):5.1f} mi/h LOS {managed.facility_los(p)}; "
          f"managed-lane speeds {[round(s, 1) for s in (row[p] for row in managed.ml_speed())]}")

print("\nPlanning-level method: one section, four 15-min periods of the peak hour")
planning = marvane.PlanningFacility(json.dumps({
    "sections": [{"sec_type": "Basic", "length_mi": 1.0, "lanes": 3, "inflow_aadt": 60000}],
}))
planning.run_analysis()
for p in range(4):
    print(f"  period {p}: d/c {planning.dc_ratio(0, p):.2f}, speed {planning.facility_speed(p):5.1f} mi/h, "
          f"LOS {planning.facility_los(p)}")

# --- Chapter 11: freeway reliability -------------------------------------------------------------
print("\nChapter 11: reliability of the facility above over a year of weekdays, with weather and incidents")
study = marvane.FreewayReliability(json.dumps({
    "facility": json.loads(facility.to_json()),
    "scenario_generation": {
        "weather": {"probabilities_by_month": [[0.08, 0.02, 0.03, 0, 0, 0, 0, 0.01, 0, 0]] * 12,
                    "durations_min": [90, 45, 120, 0, 0, 0, 0, 60, 0, 0]},
        "incidents": {"monthly_frequencies": [0.3] * 12},
    },
}))
study.run()
print(f"  {study.num_scenarios} scenarios, free-flow travel time {study.free_flow_travel_time_min:.2f} min: "
      f"TTI mean {study.tti_mean():.2f}, 95th percentile {study.tti_percentile(95):.2f}, "
      f"reliability rating {study.reliability_rating():.1f}%, "
      f"{study.failure_pct_below_speed(45.0):.1f}% below 45 mi/h, expected delay {study.expected_vhd:.1f} veh-h")

# --- Chapters 11 and 37: planning-level reliability and ATDM factors -----------------------------
print("\nChapters 11 and 37: planning-level reliability, shoulder lane and ramp metering")
tti_mean, tti_95, pt_45 = marvane.planning_reliability(65.0, 48.0, 3, 0.95)
print(f"  65 mi/h facility at 48 mi/h, v/c 0.95: TTI mean {tti_mean:.2f}, TTI 95 {tti_95:.2f}, "
      f"{pt_45:.0%} of trips below 45 mi/h")
shoulder = marvane.shoulder_lane_default_capacity_veh_h_ln(2200.0)
caf = marvane.shoulder_lane_caf(shoulder, 2200.0, 3)
print(f"  shoulder lane of {shoulder:.0f} veh/h/ln beside 3 lanes: CAF {caf:.3f}; "
      f"metered merge CAF {marvane.ramp_metered_merge_caf()}")
print(f"  ALINEA rate: {marvane.alinea_metering_rate(4400.0, 3900.0, 700.0, 20.0, 60.0, 1):.0f} veh/h/ln")

# --- Chapters 25 and 26: mixed-flow truck model on a single and a composite grade -------------
print("\nChapters 25 and 26: trucks on grades (mixed-flow model)")

single = json.loads(marvane.analyze_mixed_flow(json.dumps(
    {"ffs": 65, "length": 1.5, "grade": 3, "v_mix": 1400, "p_sut": 0.04, "p_tt": 0.08})))
print(f"  3% grade, 1.5 mi: CAF {single['caf_mix']:.3f}, capacity {single['capacity_mix']:.0f} veh/h/ln, "
      f"truck rates SUT {single['tau_sut_kin']:.1f} / TT {single['tau_tt_kin']:.1f} s/mi, "
      f"speed {single['s_mix']:.1f} mi/h, density {single['d_mix']:.1f} veh/mi/ln")
climb = json.loads(marvane.analyze_composite_grade(json.dumps(
    {"ffs": 65, "v_mix": 1300, "p_sut": 0.05, "p_tt": 0.10,
     "segments": [{"length": 0.25, "grade": 2}, {"length": 0.25, "grade": 5}, {"length": 1.0, "grade": 0}]})))
for i, s in enumerate(climb["segments"]):
    print(f"  segment {i}: capacity {s['capacity_mix']:.0f} veh/h/ln, mixed speed {s['s_mix']:.1f} mi/h, "
          f"spot speeds auto/SUT/TT " + "/".join(f"{v:.1f}" for v in s["spot_speeds"]))
print(f"  governing segment {climb['governing_segment']}, {climb['capacity_mix']:.0f} veh/h/ln; overall "
      f"{climb['s_mix_overall']:.1f} mi/h over {climb['total_length']} mi in {climb['total_travel_time']:.1f} s")

# --- Chapter 15: two-lane highways and highway bicycle LOS -------------------------------------
print("\nChapter 15: two-lane highway, passing zone - passing lane - curvy passing zone")
curves = [marvane.SubSegment(length=2640), marvane.SubSegment(length=1320, design_rad=700, sup_ele=4),
          marvane.SubSegment(length=1320)]
highway = marvane.TwoLaneHighways(
    [marvane.Segment(1, 1.5, 2.0, 55.0, volume=800, volume_op=600, phv=8),
     marvane.Segment(2, 1.0, 1.0, 55.0, volume=800, phv=8),
     marvane.Segment(1, 1.0, 0.0, 55.0, volume=800, volume_op=600, phv=8, is_hc=True, subsegments=curves)],
    lane_width=12, shoulder_width=4, apd=6, pmhvfl=0.5)
for i, seg in enumerate(highway.segments):
    highway.determine_vertical_alignment(i)
    highway.determine_demand_flow(i)
    ffs = highway.determine_free_flow_speed(i)
    speed, _ = highway.estimate_average_speed(i)
    pf = highway.estimate_percent_followers(i)
    fd = highway.determine_follower_density_pl(i)[1] if seg.passing_type == 2 else \
        highway.determine_follower_density_pc_pz(i)
    print(f"  segment {i}: FFS {ffs:.1f} mi/h, speed {speed:.1f} mi/h, {pf:.1f}% followers, "
          f"{fd:.1f} followers/mi/ln, LOS {highway.determine_segment_los(i, 55.0, 1700)}")
facility_fd = highway.determine_facility_follower_density()
print(f"  {highway}: {facility_fd:.1f} followers/mi/ln, LOS {highway.determine_facility_los(facility_fd, 55.0)}")
bike = json.loads(marvane.analyze_bicycle_los(json.dumps(
    {"lane_width": 12, "shoulder_width": 4, "speed_limit": 55, "num_lanes": 1, "pavement_condition": 4,
     "hourly_volume": 800, "phf": 0.95, "heavy_vehicle_pct": 0.08, "pct_on_highway_parking": 0})))
print(f"  bicycle: score {bike['blos_score']:.2f}, LOS {bike['los']} "
      f"({bike['effective_width']:.1f} ft effective width)")

# --- Chapter 18: urban street segments ----------------------------------------------------------
print("\nChapter 18: a signalized urban street segment fed by an upstream signal, with two driveways")
segment = marvane.UrbanSegment(json.dumps({
    "segment_length_ft": 1800, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 1100,
    "control": "Signalized", "through_capacity_veh_h": 1750, "through_control_delay_s": 22.0,
    "cycle_length_s": 120, "effective_green_s": 55, "downstream_green_start_s": 40,
    "stopped_vehicles_veh_ln": 7, "sat_flow_veh_h_ln": 1800, "prop_left_turn_lanes": 0.5,
    # the upstream signal's through and turning movements: volume, saturation flow, green start and
    # duration, queue service time
    "upstream_discharge_profiles": [[900, 3600, 0, 50, 20], [200, 1800, 55, 15, 8]],
    "access_point_approaches": [
        {"v_lt": 60, "v_th": 900, "v_rt": 80, "n_sl": 1, "n_t": 0, "n_sr": 1, "opposing_flow_veh_h": 700,
         "left_turn_bay": False, "right_turn_bay": False, "n_lt_lanes": 0, "left_bay_storage_ft": 0,
         "pct_heavy_veh": 3},
        {"v_lt": 40, "v_th": 950, "v_rt": 50, "n_sl": 0, "n_t": 1, "n_sr": 1, "opposing_flow_veh_h": 600,
         "left_turn_bay": True, "right_turn_bay": False, "n_lt_lanes": 1, "left_bay_storage_ft": 100,
         "pct_heavy_veh": 3},
    ],
}))
segment.analyze()
print(f"  {segment!r}")
print(f"  free-flow speed {segment.free_flow_speed_mph:.1f} mi/h, running time {segment.running_time_s:.1f} s, "
      f"access-point delay {segment.access_point_delay_total_s:.3f} s/veh")
print(f"  arriving on green {segment.proportion_arriving_green:.2f}, through delay {segment.through_delay_s:.1f} s, "
      f"{segment.full_stop_rate:.2f} stops/veh ({segment.spatial_stop_rate:.2f} stops/mi)")
print(f"  travel speed {segment.travel_speed_mph:.1f} mi/h, LOS {segment.los}, "
      f"perception score {segment.perception_score:.2f}")
print("  the same segment for pedestrians, bicyclists and transit riders:")
modes = {"length_ft": 1800, "midseg_flow_rate": 1000, "motor_running_speed": segment.running_speed_mph}
ped = json.loads(marvane.analyze_pedestrian_segment(json.dumps(
    {**modes, "ped_flow_rate": 300, "width_sidewalk_ft": 8, "width_buffer_ft": 3, "ped_delay_parallel": 25,
     "ped_los_score_intersection": 2.6, "ped_delay_crossing_uncontrolled": 30})))
bike = json.loads(marvane.analyze_bicycle_segment(json.dumps(
    {**modes, "pct_heavy_vehicles": 3, "width_bike_lane_ft": 5, "num_access_points_right": 2,
     "bicycle_control_delay": 20, "bicycle_los_score_intersection": 2.9})))
bus = json.loads(marvane.analyze_transit_segment(json.dumps(
    {**modes, "num_transit_stops": 1, "transit_frequency": 6, "through_delay_s": segment.through_delay_s, "passenger_load_factor": 0.6,
     "ped_los_score_link": ped["link_score"]})))
for mode, r in (("pedestrian", ped), ("bicycle", bike), ("transit", bus)):
    print(f"    {mode}: segment score {r['segment_score']:.2f}, LOS {r['segment_los']}")

# --- Chapter 16: urban street facilities --------------------------------------------------------
print("\nChapter 16: three signalized segments as one urban street facility, and its multimodal LOS")
signal = {"n_through_lanes": 2, "speed_limit_mph": 35, "control": "Signalized", "through_capacity_veh_h": 1700,
          "cycle_length_s": 100, "effective_green_s": 45, "sat_flow_veh_h_ln": 1800}
street = marvane.UrbanFacility(json.dumps({
    "segments": [
        {**signal, "segment_length_ft": 1320, "through_demand_veh_h": 900, "through_control_delay_s": 18,
         "stopped_vehicles_veh_ln": 5},
        {**signal, "segment_length_ft": 2640, "through_demand_veh_h": 1200, "through_control_delay_s": 31,
         "stopped_vehicles_veh_ln": 8},
        {**signal, "segment_length_ft": 1000, "through_demand_veh_h": 800, "through_control_delay_s": 12,
         "stopped_vehicles_veh_ln": 4},
    ],
    "prop_left_turn_lanes": 0.67,
    # storage between the signals and the back of queue per lane at each downstream signal
    "spillback_inputs": [[250, 9], [600, 14], [180, 8]],
}))
street.analyze()
print(f"  {street!r}")
print(f"  travel speed {street.travel_speed_mph:.1f} mi/h against {street.base_free_flow_speed_mph:.1f} mi/h base "
      f"free-flow, {street.spatial_stop_rate:.2f} stops/mi, critical v/c {street.critical_vc_ratio:.2f}")
print(f"  poorest segment LOS {street.poorest_segment_los}, perception score {street.perception_score:.2f}, "
      f"queues spilling back {street.spillback_flags}")
walk = marvane.facility_pedestrian_or_bicycle_los_score([(1320, 3.1, 2.6), (2640, 2.9, 3.4), (1000, 3.3, 2.2)])
ride = marvane.facility_transit_los_score_py([(1320, 2.8), (2640, 3.9), (1000, 3.1)])
print(f"  pedestrian score {walk:.2f} at 35 ft2/p: LOS {marvane.facility_pedestrian_los(walk, 35.0)}; "
      f"transit score {ride:.2f}: LOS {marvane.facility_transit_los(ride)}")

# --- Chapter 17: urban street reliability --------------------------------------------------------
print("\nChapter 17: a year of weekday peaks on the same street, with weather, crashes and adaptive signals")
study = marvane.UrbanReliability(json.dumps({
    "facility": {"segments": [
        {**signal, "segment_length_ft": 1320, "through_demand_veh_h": 900, "through_control_delay_s": 18},
        {**signal, "segment_length_ft": 2640, "through_demand_veh_h": 1200, "through_control_delay_s": 31},
        {**signal, "segment_length_ft": 1000, "through_demand_veh_h": 800, "through_control_delay_s": 12}]},
    "config": {
        "weather": [{"total_precip_in": 3.2, "days_with_precip": 10, "mean_temp_f": 25 + 5 * m,
                     "precip_rate_in_h": 0.1} for m in range(12)],
        "incidents": {"segment_crash_frequencies": [2.0, 4.0, 1.5], "intersection_crash_frequencies": [3, 5, 4, 3]},
        "boundary_signals": [{"cycle_length_s": 100, "effective_green_s": 45, "sat_flow_veh_h_ln": 1800}] * 3},
    "atdm_strategies": [{"name": "adaptive signals", "periods": [2, 3, 4, 5],
                         "sat_flow_adjustment": marvane.adaptive_signal_sat_flow_adjustment(10)}],
}))
study.run()
print(f"  {study}: {study.num_weather_events} wet days in two years, {study.num_incidents} incidents")
print(f"  mean TTI {study.tti_mean():.2f}, planning time index {study.tti_percentile(95):.2f}, "
      f"{study.reliability_rating():.1f} % of travel at TTI <= 2.5, {study.total_vhd:.0f} veh-h of delay")

# --- Chapter 19: signalized intersection, motorized vehicles ------------------------------------
print("\nChapter 19: four-leg actuated intersection, protected-permitted lefts, 100 s cycle")


def signal_approach(direction, left, through, right, left_phase, through_phase):
    phase = lambda no, d, y: {"phase_no": no, "duration_s": d, "yellow_s": y, "red_clearance_s": 1,
                              "max_green_s": d - y - 1, "passage_time_s": 3}
    return {"direction": direction, "volume_left": left, "volume_through": through, "volume_right": right,
            "volume_rtor": 0, "peak_hour_factor": 0.92, "pct_heavy_vehicles_left": 2, "pct_heavy_vehicles_through": 3,
            "platoon_ratio_left": 1.0, "platoon_ratio_through": 1.0, "upstream_filtering_i": 1.0,
            "initial_queue_through_veh": 0, "initial_queue_left_veh": 0, "ped_flow_ph": 50, "bike_flow_ph": 0,
            "exclusive_left_lanes": 1, "through_lanes": 1, "exclusive_right_lanes": 0,
            "shared_left_through_lane": False, "shared_right_through_lane": True, "lane_width_ft": 12,
            "grade_pct": 0, "receiving_lanes": 2, "parking_present": False, "parking_maneuvers_h": 0,
            "bus_stops_h": 0, "storage_left_ft": 150, "storage_through_ft": 600, "speed_limit_mph": 35,
            "opposing_right_turn_influences_gaps": True, "left_turn_mode": "ProtectedPermitted",
            "left_turn_sequence": "LeadLead", "left_phase": phase(left_phase, 12, 3),
            "through_phase": phase(through_phase, 38, 4)}


junction = marvane.SignalizedIntersection(json.dumps({
    "cycle_length_s": 100, "analysis_period_h": 0.25, "base_saturation_flow": 1900, "area_type_cbd": False,
    "control": "ActuatedSignal", "sneakers_per_cycle": 2,
    "approaches": [signal_approach("NB", 110, 520, 90, 5, 2), signal_approach("SB", 90, 480, 70, 1, 6),
                   signal_approach("EB", 70, 380, 60, 7, 4), signal_approach("WB", 60, 420, 50, 3, 8)]}))
junction.analyze()
print(f"  {junction}; X_c {junction.critical_vc_ratio:.2f}, {junction.num_lane_groups} lane groups")
print("  approaches: " + ", ".join(f"{d} {junction.approach_delay_s(d):.1f} s/veh ({junction.approach_los(d)})"
                                    for d in ("NB", "SB", "EB", "WB")))
timing = json.loads(junction.actuated_timings_json(simultaneous_gap_out=True))
print("  actuated phase durations: " + ", ".join(f"{p['phase_no']}: {p['duration_s']:.1f} s" for p in timing))

# --- Chapter 19: signalized intersection, pedestrian and bicycle modes ------------------------
print("\nChapter 19: crosswalk, bicycle lane and two-stage crossing at a signalized intersection")
crosswalk = json.loads(marvane.analyze_signalized_pedestrian(json.dumps(
    {"cycle_length_s": 90, "walk_setting_s": 7, "lanes_crossed": 4, "v_rtor": 50, "v_lt_perm": 100,
     "crossed_street_volume_sum": 1800, "crossed_street_lanes": 2, "speed_85_mph": 40})))
print(f"  crosswalk: delay {crosswalk['delay']:.1f} s/p, score {crosswalk['los_score']:.2f}, LOS {crosswalk['los']}")
bike_lane = json.loads(marvane.analyze_signalized_bicycle(json.dumps(
    {"effective_green_s": 40, "cycle_length_s": 100, "bicycle_flow": 120, "cross_street_width_ft": 48,
     "total_width_ft": 16, "v_left": 50, "v_through": 600, "v_right": 100, "num_through_lanes": 2})))
print(f"  bicycle lane: capacity {bike_lane['capacity']:.0f} bicycles/h, delay {bike_lane['delay']:.1f} s, "
      f"score {bike_lane['los_score']:.2f}, LOS {bike_lane['los']}")
two_stage = marvane.signalized_two_stage_crossing_delay(json.dumps(
    {"cycle_length_s": 100, "first_stage_distance_ft": 35, "walk_start_y_s": 30}))
print(f"  two-stage crossing, second walk 30 s after the first: {two_stage:.1f} s/p")

# --- Chapter 20: two-way STOP-controlled intersection -------------------------------------------
print("\nChapter 20: two-way STOP, two-stage NB crossing, shared EB left turn, platoons from upstream")
twsc = marvane.Twsc(json.dumps({
    "demand": {"v1": 100, "v2": 900, "v3": 100, "v4": 80, "v5": 800, "v6": 120,
               "v7": 60, "v8": 40, "v9": 70, "v10": 50, "v11": 30, "v12": 60},
    "geometry": {"major_lanes_per_direction": 2, "median_storage_nb": 2, "major_left_eb": "Shared",
                 "minor_lanes_sb": "ExclusiveLeftSharedThroughRight"},
    # the upstream signal feeding the eastbound traffic: volume, saturation flow, green start and
    # duration, queue service time of its discharging movement
    "upstream_signals": {"cycle_s": 90, "eastbound": {"distance_ft": 1200, "progression_speed_mph": 35,
                                                      "discharges": [[900, 3600, 0, 40, 20]]}}}))
twsc.analyze()
print("  platoon blockage pb1..pb12: " + ", ".join(f"{p:.2f}" for p in twsc.platoon_blockage))
for m in ("1", "4", "7", "8", "9", "10", "11", "12"):
    print(f"  movement {m:>2}: v_c {twsc.get_conflicting_flow(m):6.0f} veh/h, c_p {twsc.get_potential_capacity(m):6.1f}, "
          f"c_m {twsc.get_movement_capacity(m):6.1f} veh/h")
for code in ("NB", "SB"):
    for i in range(twsc.get_lane_count(code)):
        cap, delay, los, q95 = twsc.get_lane_result(code, i)
        print(f"  {code} lane {i}: {cap:.0f} veh/h, {delay:.1f} s/veh, LOS {los}, Q95 {q95:.1f} veh")
print(f"  EB left turn {twsc.get_movement_delay('1'):.1f} s/veh LOS {twsc.get_movement_los('1')}, rank-1 delay "
      f"{twsc.rank1_major_delay[0]:.2f} s/veh; approaches " + ", ".join(f"{d:.1f}" for d in twsc.approach_delays))
print(f"  {twsc!r}")
crossing = json.loads(marvane.analyze_twsc_pedestrian(json.dumps(
    {"stages": [{"crossing_length_ft": 24, "conflicting_flow_veh_h": 600}], "motorist_yield_rate": 0.4,
     "has_marked_crosswalk": True})))
print(f"  pedestrians: {crossing['delay']:.1f} s ({crossing['delay_interpretation']}), "
      f"{crossing['proportion_dissatisfied']:.0%} dissatisfied, LOS {crossing['los']}")

# --- Chapters 21 and 22: all-way STOP intersection and roundabout ------------------------------
print("\nChapter 21: all-way STOP, two-lane eastbound approach, one lane on the others")
awsc = marvane.Awsc(json.dumps({
    "eb": {"lanes": [{"volume_left": 60, "volume_through": 240}, {"volume_through": 200, "volume_right": 90}]},
    "wb": {"lanes": [{"volume_through": 300, "volume_right": 40}], "heavy_vehicle_pct": 5},
    "nb": {"lanes": [{"volume_left": 50, "volume_through": 150}]},
    "sb": {"lanes": [{"volume_through": 180, "volume_right": 70}]},
    "phf": 0.92}))
awsc.analyze()
for code in ("EB", "WB", "NB", "SB"):
    lanes = ", ".join(f"h_d {awsc.get_departure_headway(code, i):.2f} s, "
                      f"x {awsc.get_degree_of_utilization(code, i):.2f}" for i in range(awsc.get_lane_count(code)))
    print(f"  {code}: {awsc.get_approach_delay(code):.1f} s/veh, LOS {awsc.get_approach_los(code)} ({lanes})")
print(f"  {awsc!r} after {awsc.iterations} passes; "
      f"EB lane 0 capacity {awsc.compute_lane_capacity('EB', 0):.0f} veh/h")

print("\nChapter 22: roundabout, two-lane north-south entries, yielding bypass on NB, pedestrians on EB")
roundabout = marvane.Roundabouts(json.dumps({
    "nb": {"v_l": 150, "v_t": 500, "v_r": 200, "entry_lanes": 2, "circulating_lanes": 2, "bypass": "Yielding"},
    "sb": {"v_u": 10, "v_l": 120, "v_t": 450, "v_r": 90, "entry_lanes": 2, "circulating_lanes": 2},
    "eb": {"v_l": 80, "v_t": 300, "v_r": 100, "heavy_vehicle_pct": 4, "n_ped": 60},
    "wb": {"v_l": 90, "v_t": 280, "v_r": 60},
    "phf": 0.95}))
roundabout.analyze()
for code in ("NB", "SB", "EB", "WB"):
    lanes = [roundabout.get_lane_result(code, i) for i in range(roundabout.get_lane_count(code))]
    bypass = roundabout.get_bypass_result(code)
    lanes += [bypass] if bypass else []
    text = ", ".join(f"{flow:.0f}/{cap:.0f} veh/h {delay:.1f} s {los}" for flow, cap, _, delay, los, _ in lanes)
    print(f"  {code}: circulating {roundabout.get_circulating_flow_pce(code):.0f} pc/h, "
          f"{roundabout.get_approach_delay(code):.1f} s/veh LOS {roundabout.get_approach_los(code)} ({text})")
print(f"  {roundabout!r}")
# --- Chapter 23: interchange ramp terminals and alternative intersections -----------------------
print("\nChapter 23: diamond interchange, 100 s cycle, experienced travel time by O-D movement")


def ramp_lane_group(movement, lanes, begin, duration):
    return {"movement": movement, "lanes": lanes, "greens": [{"begin_s": begin, "duration_s": duration}],
            "yellow_all_red_s": 4.0, "control": "Signalized", "pct_heavy_vehicles": 3.0, "grade_pct": 0.0,
            "lane_width_ft": 12.0, "bus_stops_h": 0.0, "arrival_type": 4, "overlap_lost_time_s": 0.0,
            "start_up_lost_time_s": 2.0, "extension_of_green_s": 2.0, "speed_limit_mph": 40.0,
            "initial_queue_veh": 0.0, "storage_ft": 300.0}


interchange = marvane.Interchange(json.dumps({
    "form": "Diamond", "cycle_length_s": 100.0, "analysis_period_h": 0.25, "base_saturation_flow": 1900.0,
    "area_type_cbd": False, "peak_hour_factor": 0.92, "distance_between_intersections_ft": 500.0,
    "queue_spacing_ft": 25.0, "eb_external_right_shared": False, "wb_external_right_shared": False,
    "od": dict(zip("abcdefghijklmn", [100, 150, 120, 200, 150, 100, 80, 160, 500, 450, 0, 50, 30, 40])),
    "extra_distances": [{"distance_ft": 0.0, "accel_decel_s": 0.0}] * 14, "extra_distance_speed_mph": 30.0,
    "lane_groups": [ramp_lane_group(*g) for g in [
        ("EbExtThrough", 2, 0, 40), ("EbExtRight", 1, 0, 40), ("EbIntThrough", 2, 0, 40), ("EbIntLeft", 1, 45, 20),
        ("WbExtThrough", 2, 0, 40), ("WbExtRight", 1, 0, 40), ("WbIntThrough", 2, 0, 40), ("WbIntLeft", 1, 45, 20),
        ("NbRampLeft", 1, 70, 25), ("NbRampRight", 1, 70, 25), ("SbRampLeft", 1, 70, 25),
        ("SbRampRight", 1, 70, 25)]]}))
interchange.analyze()
od = {letter: interchange.get_od_result(letter) for letter in interchange.get_od_movements()}
print("  ETT s/veh (LOS): " + ", ".join(f"{k} {r[3]:.1f} ({r[4]})" for k, r in od.items()))
flow, _, green, capacity, vc, delay = interchange.get_lane_group_result("EbIntThrough")
print(f"  EbIntThrough: {flow:.0f} veh/h, g {green:.1f} s, capacity {capacity:.0f} veh/h, v/c {vc:.2f}, "
      f"delay {delay:.1f} s/veh; interchange ETT {interchange.interchange_ett:.1f} s/veh, "
      f"LOS {interchange.interchange_los}")
rcut = marvane.AlternativeIntersection(json.dumps({"form": "RcutFourLeg", "movements": [
    {"label": "minor left", "approach": "Nb", "demand_veh_h": 120, "edtt_s": 18.0,
     "junctions": [{"type": "stop", "flow_veh_h": 120, "conflicting_flow_veh_h": 900, "critical_headway_s": 6.9,
                    "followup_headway_s": 3.3}, {"type": "provided", "control_delay_s": 14.0}]},
    {"label": "major through", "approach": "Eb", "demand_veh_h": 900,
     "junctions": [{"type": "provided", "control_delay_s": 9.0}]}]}))
delay, edtt, ett, los = rcut.get_movement_result("minor left")
print(f"  RCUT minor left: delay {delay:.1f} s + EDTT {edtt:.1f} s = ETT {ett:.1f} s/veh, LOS {los}; "
      f"intersection ETT {rcut.intersection_ett:.1f} s/veh")
tt, _, _, offset = marvane.dlt_offset(600, 35, 5, 8, 0, 20, 110)
print(f"  DLT supplemental offset {offset:.1f} s (travel time {tt:.1f} s)")

# --- Chapter 24: off-street pedestrian and bicycle facilities ------------------------------------
print("\nChapter 24: off-street pedestrian and bicycle facilities")
walkway = marvane.ExclusivePedestrianFacility(12.0, fixed_object_width=2.5, pedestrian_demand=2400, phf=0.9)
print(f"  walkway: LOS {walkway.analyze()}, {walkway.unit_flow_rate:.1f} p/ft/min, "
      f"{walkway.pedestrian_space:.1f} ft2/p, v/c {walkway.vc_ratio:.2f}")
ped = marvane.SharedUsePathPedestrian(bicycle_demand_same_direction=120, bicycle_demand_opposing=90)
print(f"  pedestrian on a shared-use path: LOS {ped.analyze()}, {ped.total_events:.0f} events/h")
path = marvane.OffStreetBicycleFacility(10.0, 1.5, has_centerline=True, two_way_demand=400)
print(f"  bicycle path: LOS {path.analyze()}, score {path.blos_score:.2f}, "
      f"{path.active_passings_per_minute:.2f} passings and {path.meetings_per_minute:.2f} meetings per minute, "
      f"{path.effective_lanes} effective lanes")
