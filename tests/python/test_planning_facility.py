import inspect
import json

import pytest

from marvane import PlanningFacility


def document(sections, **fields):
    return json.dumps({"sections": sections, **fields})


# AADT converts one to one into pc/h and the four periods carry equal demand.
FLAT = {"k_factor": 1.0, "phf": 1.0}

# One Basic section of 1 mi, 3 lanes, AADT 100 000 at FFS 60: 9000 pc/h against 6900 pc/h.
SINGLE = document([{"sec_type": "Basic", "length_mi": 1.0, "lanes": 3, "inflow_aadt": 100000}])

SECTION_ACCESSORS = ["dc_ratio", "section_speed", "section_density"]
FACILITY_ACCESSORS = ["facility_speed", "facility_density", "facility_los"]


def analysed(text):
    facility = PlanningFacility(text)
    facility.run_analysis()
    return facility


def test_class_surface():
    assert str(inspect.signature(PlanningFacility)) == "(json=None)"
    assert PlanningFacility.__doc__ == "HCM Chapter 25, Section 6 planning-level freeway facility method."
    docs = {
        "run_analysis": "Run the planning-level analysis (Steps 1-5).",
        "dc_ratio": "Demand-to-capacity ratio for a section and period.",
        "section_speed": "Section space mean speed for a section and period, mi/h.",
        "section_density": "Section density for a section and period, pc/mi/ln.",
        "facility_speed": "Facility space mean speed for one period, mi/h.",
        "facility_density": "Facility average density for one period, pc/mi/ln.",
        "facility_los": "Facility LOS letter for one period (Exhibit 25-17).",
        "to_json": "Serialize the facility (inputs and computed results) to JSON.",
    }
    for name, doc in docs.items():
        assert getattr(PlanningFacility, name).__doc__ == doc, name
    members = [name for name in vars(PlanningFacility) if not name.startswith("_")]
    assert members == ["run_analysis", "num_sections", "total_length_mi", "dc_ratio", "section_speed",
                       "section_density", "facility_speed", "facility_density", "facility_los", "to_json"]
    assert str(inspect.signature(PlanningFacility.dc_ratio)) == "(self, section, period)"
    assert str(inspect.signature(PlanningFacility.facility_los)) == "(self, period)"
    assert "__str__" not in PlanningFacility.__dict__
    facility = PlanningFacility()
    for name in ("num_sections", "total_length_mi"):
        with pytest.raises(AttributeError):
            setattr(facility, name, 1)


def test_default_document():
    facility = PlanningFacility()
    assert facility.num_sections == 0
    assert facility.total_length_mi == 0.0
    assert repr(facility) == str(facility) == "PlanningFacility(sections=0, length=0.00 mi)"
    written = json.loads(facility.to_json())
    assert written == {
        "sections": [], "ffs": 60.0, "k_factor": 0.09, "growth_factor": 1.0, "phf": 0.9, "pct_sut": 0.0,
        "pct_tt": 0.0, "terrain": "Level", "city_type": "Urban", "section_results": [], "facility_results": [],
    }
    assert list(written) == ["sections", "ffs", "k_factor", "growth_factor", "phf", "pct_sut", "pct_tt", "terrain",
                             "city_type", "section_results", "facility_results"]
    assert PlanningFacility("{}").to_json() == PlanningFacility(json=None).to_json() == facility.to_json()


def test_no_sections_fails_and_keeps_the_results():
    text = json.dumps({"facility_results": [[False, 1.0, 60.0, 10.0, 0.0, "A"]]})
    facility = PlanningFacility(text)
    before = facility.to_json()
    with pytest.raises(ValueError, match="^planning facility has no sections$"):
        facility.run_analysis()
    assert facility.to_json() == before
    assert facility.facility_los(0) == "A"


def test_sections_length_and_repr():
    facility = PlanningFacility(json=document([{"length_mi": 1.25}, {"length_mi": 0.5}]))
    assert facility.num_sections == 2
    assert facility.total_length_mi == pytest.approx(1.75)
    assert repr(facility) == "PlanningFacility(sections=2, length=1.75 mi)"
    section = json.loads(PlanningFacility(document([{}])).to_json())["sections"][0]
    assert section == {"sec_type": "Basic", "length_mi": 1.0, "lanes": 3, "inflow_aadt": 0.0, "outflow_aadt": 0.0,
                       "weave_vr": 0.0, "caf_override": None}


@pytest.mark.parametrize(
    "text, message",
    [
        (document([{"sec_type": "basic"}]),
         "unknown variant `basic`, expected one of `Basic`, `Weave`, `Ramp` at line 1 column 34"),
        (json.dumps({"terrain": "level"}),
         "unknown variant `level`, expected one of `Level`, `Rolling`, `Mountainous` at line 1 column 19"),
        ('{"phf": 0.9, "phf": 0.8}', "duplicate field `phf` at line 1 column 18"),
        (json.dumps({"facility_results": [{"oversaturated": False, "travel_time_min": 1, "space_mean_speed": 60,
                                           "avg_density": 10, "total_queue_mi": 0}]}),
         "missing field `los` at line 1 column 132"),
        ('{"sections": [{"lanes": -2}]}', "invalid value: integer `-2`, expected u32 at line 1 column 26"),
        ('"x"', 'invalid type: string "x", expected struct PlanningFacility at line 1 column 3'),
    ],
)
def test_invalid_documents(text, message):
    with pytest.raises(ValueError) as caught:
        PlanningFacility(text)
    assert str(caught.value) == "invalid planning facility JSON: " + message


def test_incomplete_document():
    with pytest.raises(ValueError) as caught:
        PlanningFacility("[")
    assert str(caught.value).startswith("invalid planning facility JSON: ")
    assert str(caught.value).endswith(" at line 1 column 1")


@pytest.mark.parametrize("argument", [3, b"{}", ["{}"]])
def test_json_argument_must_be_a_string(argument):
    with pytest.raises(TypeError):
        PlanningFacility(argument)


def test_single_section_worked_example():
    facility = analysed(SINGLE)
    x = [9000 / 6900, 12100 / 6900, 14200 / 6900, 15300 / 6900]
    written = json.loads(facility.to_json())
    for p in range(4):
        assert facility.dc_ratio(0, p) == pytest.approx(x[p], rel=1e-12)
        delay = 121.35 * x[p] ** 3 - 184.84 * x[p] ** 2 + 83.21 * x[p] - 9.33
        speed = 3600 / (60 + delay)
        assert facility.section_speed(0, p) == pytest.approx(speed, rel=1e-12)
        density = facility.section_density(0, p)
        assert density == pytest.approx(x[p] * 6900 / (speed * 3), rel=1e-12)
        assert facility.facility_speed(p) == pytest.approx(speed, rel=1e-12)
        assert facility.facility_density(p) == pytest.approx(density, rel=1e-12)
        assert facility.facility_los(p) == "F"
        assert written["facility_results"][p]["oversaturated"] is True
    assert facility.dc_ratio(0, 0) == pytest.approx(1.304, abs=5e-4)
    assert [r["demand_pc"] for r in written["section_results"][0]] == pytest.approx([9000, 12100, 14200, 15300])
    assert written["section_results"][0][0]["queue_length_mi"] == pytest.approx(
        2100 / (facility.section_density(0, 0) * 3))


@pytest.mark.parametrize(
    "ffs, capacity, delay_at_capacity",
    [(75, 2400, 19.24), (70, 2400, 15.90), (65, 2350, 13.46), (60, 2300, 10.39), (55, 2250, 6.52),
     (80, 2400, 6.52), (50, 2200, 6.52), (62.5, 2325, 13.46), (57.5, 2275, 10.39)],
)
def test_delay_rate_regression_of_each_speed_class(ffs, capacity, delay_at_capacity):
    facility = analysed(document([{"lanes": 1, "inflow_aadt": capacity}], ffs=ffs, **FLAT))
    assert facility.dc_ratio(0, 0) == 1.0
    assert facility.section_speed(0, 0) == pytest.approx(3600 / (3600 / ffs + delay_at_capacity), rel=1e-9)


def test_below_the_breakpoint_runs_at_free_flow_speed():
    # Ratio 0.5 is above the class-75 breakpoint (0.44) and below the last row's (0.82).
    seventy_five = analysed(document([{"lanes": 1, "inflow_aadt": 1200}], ffs=75, **FLAT))
    eighty = analysed(document([{"lanes": 1, "inflow_aadt": 1200}], ffs=80, **FLAT))
    assert seventy_five.section_speed(0, 0) < 75
    assert eighty.section_speed(0, 0) == 80.0
    assert eighty.section_density(0, 0) == 15.0
    assert eighty.facility_los(0) == "B"


@pytest.mark.parametrize(
    "section, caf",
    [
        ({"sec_type": "Basic", "weave_vr": 0.9}, 1.0),
        ({"sec_type": "Weave", "length_mi": 0.5, "weave_vr": 0.3}, 0.925592),
        ({"sec_type": "Weave", "length_mi": 2.0, "weave_vr": 0.1}, 1.0),
        ({"sec_type": "Ramp"}, 0.9),
        ({"sec_type": "Ramp", "caf_override": 1.0}, 1.0),
        ({"sec_type": "Weave", "weave_vr": 0.3, "caf_override": 0.8}, 0.8),
    ],
)
def test_capacity_adjustment_factors(section, caf):
    facility = analysed(document([{**section, "lanes": 2, "inflow_aadt": 1000}], **FLAT))
    assert facility.dc_ratio(0, 0) == pytest.approx(1000 / (2300 * caf * 2), rel=1e-12)


def test_zero_lanes_queue_everything():
    facility = analysed(document([{"lanes": 0, "inflow_aadt": 1200}], **FLAT))
    written = json.loads(facility.to_json())
    for p in range(4):
        demand = 1200 * (p + 1)
        assert facility.dc_ratio(0, p) == 0.0
        assert facility.section_speed(0, p) == 60.0
        assert facility.section_density(0, p) == pytest.approx(demand / 60)
        assert written["section_results"][0][p]["demand_pc"] == pytest.approx(demand)
        assert written["facility_results"][p]["oversaturated"] is False


def test_outflow_beyond_the_running_demand_is_cut_to_zero():
    facility = analysed(document([{"inflow_aadt": 1000}, {"outflow_aadt": 1500}, {"inflow_aadt": 700}], **FLAT))
    assert facility.section_density(1, 0) == 0.0
    assert facility.dc_ratio(1, 0) == 0.0
    assert facility.dc_ratio(2, 0) == pytest.approx(700 / 6900)


@pytest.mark.parametrize(
    "city, demand, los",
    [("Urban", 1500, "C"), ("Rural", 1500, "D"), ("Urban", 660, "A"), ("Urban", 661, "B"),
     ("Rural", 360, "A"), ("Rural", 361, "B"), ("Rural", 1300, "C")],
)
def test_facility_los_by_city_type(city, demand, los):
    # One lane at FFS 60 below the breakpoint: density = demand / 60 pc/mi/ln.
    facility = analysed(document([{"lanes": 1, "inflow_aadt": demand}], city_type=city, **FLAT))
    assert facility.facility_density(0) == pytest.approx(demand / 60)
    assert facility.facility_los(0) == los


@pytest.mark.parametrize("demand, los", [(2300, "E"), (2300.23, "F")])
def test_a_ratio_of_exactly_one_is_not_oversaturated(demand, los):
    facility = analysed(document([{"lanes": 1, "inflow_aadt": demand}], **FLAT))
    assert facility.facility_los(0) == los
    assert json.loads(facility.to_json())["facility_results"][0]["oversaturated"] is (los == "F")


@pytest.mark.parametrize("terrain, excess", [("Level", 1.0), ("Rolling", 2.0), ("Mountainous", 2.0)])
def test_trucks_by_terrain(terrain, excess):
    facility = analysed(document([{"inflow_aadt": 50000}], pct_sut=0.04, pct_tt=0.06, growth_factor=1.2,
                                 terrain=terrain))
    assert facility.dc_ratio(0, 0) == pytest.approx(50000 * 0.09 * 1.2 * (1 + 0.1 * excess) / 6900, rel=1e-12)


def test_accessors_before_a_run():
    facility = PlanningFacility(SINGLE)
    before = facility.to_json()
    for name in SECTION_ACCESSORS:
        with pytest.raises(ValueError, match="^section index 0 is out of range: the results hold 0 sections$"):
            getattr(facility, name)(0, 0)
    for name in FACILITY_ACCESSORS:
        with pytest.raises(ValueError, match="^period index 0 is out of range: the facility results hold 0 periods$"):
            getattr(facility, name)(0)
    assert facility.to_json() == before


@pytest.mark.parametrize("name", SECTION_ACCESSORS)
def test_section_accessor_bounds(name):
    facility = analysed(document([{"inflow_aadt": 5000}, {"inflow_aadt": 500}]))
    before = facility.to_json()
    accessor = getattr(facility, name)
    assert isinstance(accessor(1, 3), float)
    with pytest.raises(ValueError, match="^section index 2 is out of range: the results hold 2 sections$"):
        accessor(2, 0)
    with pytest.raises(ValueError, match="^period index 4 is out of range: the results of section 1 hold 4 periods$"):
        accessor(1, 4)
    with pytest.raises(OverflowError):
        accessor(-1, 0)
    with pytest.raises(TypeError):
        accessor(0, 1.0)
    with pytest.raises(TypeError):
        accessor(0)
    assert accessor(section=1, period=2) == accessor(1, 2)
    assert facility.to_json() == before


@pytest.mark.parametrize("name", FACILITY_ACCESSORS)
def test_facility_accessor_bounds(name):
    facility = analysed(SINGLE)
    accessor = getattr(facility, name)
    with pytest.raises(ValueError, match="^period index 4 is out of range: the facility results hold 4 periods$"):
        accessor(4)
    with pytest.raises(OverflowError):
        accessor(-1)
    with pytest.raises(TypeError):
        accessor()
    assert accessor(period=3) == accessor(3)


def test_facility_los_is_one_letter():
    facility = analysed(document([{"inflow_aadt": 20000}, {"sec_type": "Ramp", "inflow_aadt": 3000}]))
    for p in range(4):
        los = facility.facility_los(p)
        assert isinstance(los, str) and len(los) == 1 and los in "ABCDEF"


def test_round_trip_answers_without_a_new_run():
    text = document(
        [{"inflow_aadt": 80000}, {"sec_type": "Weave", "length_mi": 0.4, "weave_vr": 0.2, "inflow_aadt": 9000,
                                  "outflow_aadt": 7000},
         {"sec_type": "Ramp", "length_mi": 0.3, "lanes": 2, "outflow_aadt": 6000}, {"length_mi": 2.0}],
        ffs=65, city_type="Rural", terrain="Rolling", pct_tt=0.08)
    facility = analysed(text)
    written = facility.to_json()
    assert written.endswith("}]}")
    assert json.loads(written)["facility_results"][-1]["los"] == facility.facility_los(3)
    copy = PlanningFacility(written)
    assert copy.to_json() == written
    for p in range(4):
        for name in FACILITY_ACCESSORS:
            assert getattr(copy, name)(p) == getattr(facility, name)(p)
        for s in range(4):
            for name in SECTION_ACCESSORS:
                assert getattr(copy, name)(s, p) == getattr(facility, name)(s, p)
    # A second run on unchanged inputs gives the same document.
    copy.run_analysis()
    assert copy.to_json() == written


def test_non_finite_results_are_written_as_null():
    # FFS 0 makes the free-flow travel rate infinite; a section of length 0 then has an undefined
    # travel time.
    facility = analysed(document([{"length_mi": 0.0, "inflow_aadt": 1000}], ffs=0, **FLAT))
    written = facility.to_json()
    results = json.loads(written)["section_results"][0][0]
    assert results["travel_rate"] is None and results["travel_time_s"] is None
    assert json.loads(written)["facility_results"][0]["travel_time_min"] is None
    assert PlanningFacility(written).to_json() == written  # null reads back as NaN
