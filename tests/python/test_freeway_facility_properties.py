"""Invariants of the freeway facility analysis over generated valid facilities: whatever the
demands, the analysis succeeds with physically possible results (no negative or non-finite speed,
density or queue, no speed above the segment's free-flow speed), and the same input gives the
same results."""
import json
import math

from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

from marvane import FreewayFacility

PERIODS = 4
demands = st.lists(st.floats(0, 1500), min_size=PERIODS, max_size=PERIODS)


@st.composite
def segments(draw):
    kind = draw(st.sampled_from(["Basic", "Basic", "Merge", "Diverge", "Weaving"]))
    seg = {"seg_type": kind, "length_ft": draw(st.floats(500, 5000)), "lanes": draw(st.integers(2, 5))}
    if kind in ("Merge", "Weaving"):
        seg["on_ramp_demand"] = draw(demands)
    if kind in ("Diverge", "Weaving"):
        seg["off_ramp_demand"] = draw(demands)
    if kind == "Merge" and draw(st.booleans()):
        seg["ramp_metering"] = draw(st.lists(st.floats(0, 1800), min_size=PERIODS, max_size=PERIODS))
    if kind == "Weaving":
        seg["length_ft"] = draw(st.floats(1000, 3000))
    return seg


@st.composite
def facilities(draw):
    segs = draw(st.lists(segments(), min_size=1, max_size=8))
    # A facility begins and ends with a basic segment; ramps sit at the nodes between.
    for end in (0, -1):
        segs[end] = {key: value for key, value in segs[end].items() if key in ("length_ft", "lanes")}
        segs[end]["seg_type"] = "Basic"
    mainline = draw(st.lists(st.floats(500, 9000), min_size=PERIODS, max_size=PERIODS))
    return {"segments": segs, "mainline_demand": mainline, "ffs": draw(st.sampled_from([55.0, 60.0, 65.0, 70.0]))}


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(facilities())
def test_results_are_physically_possible(doc):
    facility = FreewayFacility(json.dumps(doc))
    facility.run_analysis()
    n, p = facility.num_segments, facility.num_periods
    for name in ("speed", "density_veh", "density_pc", "volume_served", "queue_length_ft", "capacity"):
        matrix = getattr(facility, name)()
        assert len(matrix) == n and all(len(row) == p for row in matrix), name
        for row in matrix:
            assert all(math.isfinite(x) and x >= 0 for x in row), (name, row)
    ffs = doc["ffs"]
    for row in facility.speed():
        assert all(x <= ffs + 1e-9 for x in row), row
    for period in range(p):
        assert facility.facility_los(period) in "ABCDEF"
        assert 0 <= facility.facility_speed(period) <= ffs + 1e-9
    written = facility.to_json()
    assert len(json.loads(written)["speed"]) == n
    again = FreewayFacility(json.dumps(doc))
    again.run_analysis()
    assert again.to_json() == written
