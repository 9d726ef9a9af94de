"""A short tour of marvane: one section per HCM chapter."""

import marvane

print(f"marvane {marvane.__version__}")

# Chapter 13: a one-sided freeway weave between an on-ramp and an off-ramp, in both editions.
print("\nChapter 13 - freeway weaving segment")
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
