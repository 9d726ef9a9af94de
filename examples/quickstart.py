"""A short tour of marvane: one section per HCM chapter."""

import marvane

print(f"marvane {marvane.__version__}")

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
