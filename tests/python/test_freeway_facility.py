import json
import math

import pytest

from marvane import FreewayFacility


def segment(seg_type="Basic", **fields):
    return {"seg_type": seg_type, **fields}


def document(segments, mainline, **fields):
    return json.dumps({"segments": segments, "mainline_demand": mainline, **fields})


# Basic, Merge, Basic, Diverge, Weaving, Basic: 1500 ft each; the lane drop on segment 2 makes
# the third and fourth periods oversaturated.
RAMPS = [
    segment(),
    segment("Merge", on_ramp_demand=[400, 600, 900, 300], ramp_metering=[2000, 2000, 500]),
    segment(lanes=2),
    segment("Diverge", off_ramp_demand=[300, 300, 400, 200]),
    segment(
        "Weaving",
        length_ft=2000,
        on_ramp_demand=[300, 300, 300, 300],
        off_ramp_demand=[200, 200, 200, 200],
        ramp_to_ramp_demand=[50, 50, 50, 50],
    ),
    segment(),
]
MAINLINE = [3000, 3600, 4800, 2000]


@pytest.fixture
def analysed():
    facility = FreewayFacility(document(RAMPS, MAINLINE))
    facility.run_analysis()
    return facility


def test_class_surface():
    import inspect

    assert str(inspect.signature(FreewayFacility)) == "(json=None)"
    assert not FreewayFacility.__doc__
    methods = ["run_analysis", "demand", "capacity", "dc_ratio", "volume_served", "speed", "density_veh",
               "density_pc", "los", "queue_length_ft", "facility_speed", "facility_density_veh", "facility_los",
               "overall_speed", "overall_density_veh", "to_json"]
    for name in methods:
        assert callable(getattr(FreewayFacility, name)), name
    assert str(inspect.signature(FreewayFacility.facility_los)) == "(self, period)"
    assert FreewayFacility.run_analysis.__doc__ == "Run the full core methodology (Steps A-1 through A-17)."
    facility = FreewayFacility()
    for name in ("num_segments", "num_periods", "total_length_mi", "oversaturated"):
        with pytest.raises(AttributeError):
            setattr(facility, name, 1)
    with pytest.raises(TypeError):
        FreewayFacility(3)
    with pytest.raises(TypeError):
        FreewayFacility(json="{}", other=1)


def test_default_facility():
    facility = FreewayFacility()
    assert facility.num_segments == 0
    assert facility.num_periods == 0
    assert facility.total_length_mi == 0.0
    assert facility.oversaturated is False
    with pytest.raises(ValueError, match="^facility has no segments$"):
        facility.run_analysis()
    assert FreewayFacility("{}").to_json() == facility.to_json()
    assert FreewayFacility(json=None).num_segments == 0


def test_default_document_writes_every_key_in_order():
    written = json.loads(FreewayFacility("[]").to_json())
    assert list(written) == [
        "segments", "mainline_demand", "ffs", "heavy_vehicle_pct", "terrain", "city_type", "phf",
        "jam_density_pc", "queue_discharge_drop", "total_ramp_density", "interchange_density",
        "c_ifl_override", "time_step_s", "demand", "capacity", "dc_ratio", "volume_served", "vc_ratio",
        "speed", "density_veh", "density_pc", "los", "demand_based_los", "queue_length_ft", "had_queue",
        "on_ramp_queue", "unserved_entry_veh", "facility_performance", "oversaturated", "first_oversat_period",
    ]
    assert written["ffs"] == 60.0 and written["terrain"] == "Level" and written["city_type"] == "Urban"
    assert written["interchange_density"] is None and written["first_oversat_period"] is None


def test_default_segment_round_trips_with_all_keys():
    written = json.loads(FreewayFacility(document([{}], [1000])).to_json())["segments"][0]
    assert written == {
        "seg_type": "Basic", "length_ft": 1500.0, "lanes": 3, "ffs": None, "caf": 1.0, "saf": 1.0, "daf": 1.0,
        "caf_schedule": None, "saf_schedule": None, "work_zone": None, "on_ramp_demand": [],
        "off_ramp_demand": [], "ramp_to_ramp_demand": [], "ramp_ffs": 40.0, "accel_lane_ft": 500.0,
        "decel_lane_ft": 500.0, "ramp_metering": None, "short_length_ft": None, "num_weaving_lanes": 2,
        "lc_rf": 1, "lc_fr": 1,
    }


def test_segment_array_form_and_empty_work_zone():
    text = json.dumps({"segments": [["Merge", 2000], {"work_zone": {}}], "mainline_demand": [1]})
    segments = json.loads(FreewayFacility(text).to_json())["segments"]
    assert segments[0]["seg_type"] == "Merge" and segments[0]["length_ft"] == 2000.0
    assert segments[0]["lanes"] == 3
    assert segments[1]["work_zone"] == {
        "total_lanes": 3, "open_lanes": 2, "soft_barrier": False, "rural": False, "lateral_distance_ft": 6.0,
        "night": False, "speed_ratio": 1.0, "speed_limit_mi_h": 55.0, "total_ramp_density": 1.0,
        "queue_discharge_drop": 0.134,
    }


@pytest.mark.parametrize(
    "text, message",
    [
        ("[", "invalid facility JSON: EOF while parsing a list at line 1 column 1"),
        ('{"terrain": "level"}',
         "invalid facility JSON: unknown variant `level`, expected one of `Level`, `Rolling`, `Mountainous` "
         "at line 1 column 19"),
        ('{"ffs": null}', "invalid facility JSON: invalid type: null, expected f64 at line 1 column 12"),
        ('{"ffs": 1, "ffs": 2}', "invalid facility JSON: duplicate field `ffs` at line 1 column 16"),
        ('{"segments": [{"seg_type": "basic"}]}',
         "invalid facility JSON: unknown variant `basic`, expected one of `Basic`, `Merge`, `Diverge`, `Weaving`, "
         "`OverlappingRamp` at line 1 column 34"),
        ('{"segments": [{"lanes": 2.5}]}', "invalid facility JSON: invalid type: floating point `2.5`, expected u32 "
         "at line 1 column 27"),
        ('{"segments": [{"lanes": -1}]}',
         "invalid facility JSON: invalid value: integer `-1`, expected u32 at line 1 column 26"),
        ('{"facility_performance": [{"space_mean_speed": 1}]}',
         "invalid facility JSON: missing field `avg_density_veh` at line 1 column 49"),
        ('{} x', "invalid facility JSON: trailing characters at line 1 column 4"),
    ],
)
def test_read_errors(text, message):
    with pytest.raises(ValueError) as info:
        FreewayFacility(text)
    assert str(info.value) == message


def test_null_optionals_read_as_absent():
    a = FreewayFacility('{"interchange_density": null, "segments": [{"ffs": null, "work_zone": null}]}')
    b = FreewayFacility('{"segments": [{}]}')
    assert a.to_json() == b.to_json()


def test_str_and_repr():
    facility = FreewayFacility(document([segment()] * 5, [1000, 1000, 1000, 1000]))
    assert str(facility) == "Freeway facility with 5 segments over 4 analysis periods (1.42 mi)"
    assert repr(facility) == "FreewayFacility(segments=5, periods=4, length=1.42 mi, oversaturated=False)"


def test_analysis_fills_every_matrix(analysed):
    assert analysed.num_segments == 6
    assert analysed.num_periods == 4
    assert analysed.total_length_mi == pytest.approx(9500 / 5280)
    assert analysed.oversaturated is True
    for getter in ("demand", "capacity", "dc_ratio", "volume_served", "speed", "density_veh", "density_pc",
                   "los", "queue_length_ft"):
        matrix = getattr(analysed, getter)()
        assert len(matrix) == 6, getter
        assert all(len(row) == 4 for row in matrix), getter
    assert analysed.demand()[1][0] == 3400.0
    assert analysed.demand()[4][0] == 3100 + 300
    assert all(letter in "ABCDEF" for row in analysed.los() for letter in row)
    assert analysed.facility_los(0) in "ABCDEF"
    assert analysed.facility_los(2) == "F"
    assert analysed.facility_speed(0) > 0
    assert analysed.facility_density_veh(0) > 0
    assert "oversaturated=True" in repr(analysed)


def test_getters_return_copies(analysed):
    speeds = analysed.speed()
    speeds[0][0] = -1.0
    assert analysed.speed()[0][0] > 0


def test_overall_measures_weight_cells(analysed):
    data = json.loads(analysed.to_json())
    lengths = [s["length_ft"] for s in data["segments"]]
    lanes = [s["lanes"] for s in data["segments"]]
    density = data["density_veh"]
    num = sum(lengths[i] * lanes[i] * density[i][p] for i in range(6) for p in range(4))
    den = sum(lengths[i] * lanes[i] for i in range(6)) * 4
    assert analysed.overall_density_veh() == pytest.approx(num / den)
    speed, volume = data["speed"], data["volume_served"]
    cells = [(i, p) for i in range(6) for p in range(4) if speed[i][p] > 0]
    expected = sum(volume[i][p] * lengths[i] for i, p in cells) / sum(
        volume[i][p] * lengths[i] / speed[i][p] for i, p in cells
    )
    assert analysed.overall_speed() == pytest.approx(expected)


@pytest.mark.parametrize("method", ["facility_speed", "facility_density_veh", "facility_los"])
def test_period_getters_need_results_and_a_valid_period(method, analysed):
    with pytest.raises(ValueError, match=r"^run\(\) must be called first$"):
        getattr(FreewayFacility(document(RAMPS, MAINLINE)), method)(0)
    with pytest.raises(ValueError, match="^period 4 is out of range"):
        getattr(analysed, method)(4)
    with pytest.raises(OverflowError):
        getattr(analysed, method)(-1)
    with pytest.raises(TypeError):
        getattr(analysed, method)("0")


@pytest.mark.parametrize("method", ["overall_speed", "overall_density_veh"])
def test_overall_measures_need_results(method):
    with pytest.raises(ValueError, match=r"^run\(\) must be called first$"):
        getattr(FreewayFacility(document(RAMPS, MAINLINE)), method)()


def test_json_round_trip_after_analysis(analysed):
    text = analysed.to_json()
    again = FreewayFacility(text)
    assert again.to_json() == text
    assert again.speed() == analysed.speed()
    assert again.facility_los(2) == analysed.facility_los(2)
    assert again.overall_speed() == analysed.overall_speed()
    assert again.oversaturated is True
    data = json.loads(text)
    assert data["first_oversat_period"] == 2
    assert len(data["facility_performance"]) == 4
    assert list(data["facility_performance"][0]) == [
        "space_mean_speed", "avg_density_veh", "avg_density_pc", "los", "vmt_served", "vmt_demand", "vht", "vhd",
    ]


def test_running_twice_gives_the_same_document(analysed):
    before = analysed.to_json()
    analysed.run_analysis()
    assert analysed.to_json() == before


def test_failed_run_keeps_previous_results(analysed):
    data = json.loads(analysed.to_json())
    data["segments"][-1]["seg_type"] = "OverlappingRamp"
    broken = FreewayFacility(json.dumps(data))
    before = broken.to_json()
    with pytest.raises(ValueError, match=r"^first and last segments must be basic freeway segments \(Chapter 10\)$"):
        broken.run_analysis()
    assert broken.to_json() == before


@pytest.mark.parametrize("step", [0, -15, 1801, 0.1])
def test_unusable_time_step_is_refused(step):
    facility = FreewayFacility(document(RAMPS, MAINLINE, time_step_s=step))
    before = facility.to_json()
    with pytest.raises(ValueError, match="^time_step_s must be a number of seconds from 0.25 to 1800"):
        facility.run_analysis()
    assert facility.to_json() == before


def test_queued_segments_never_exceed_free_flow_speed():
    # A merge whose on-ramp fills the mainline: 6000, then 7000, then 3000 veh/h on three lanes.
    segments = [segment(), segment("Merge", on_ramp_demand=[1500, 1500, 1500]), segment()]
    facility = FreewayFacility(document(segments, [6000, 7000, 3000]))
    facility.run_analysis()
    assert facility.oversaturated
    for row in facility.speed():
        for speed in row:
            assert speed <= 60.0 + 1e-9


def test_closed_segment_round_trips():
    facility = FreewayFacility(document([segment(), segment(caf=0.0), segment()], [1000]))
    facility.run_analysis()
    text = facility.to_json()
    assert json.loads(text)["dc_ratio"][1][0] is None  # infinite d/c
    assert math.isinf(facility.dc_ratio()[1][0])
    again = FreewayFacility(text)
    assert math.isnan(again.dc_ratio()[1][0])
    assert again.to_json() == text
    assert again.speed() == facility.speed()


# A temporary capacity loss far downstream (CAF 0.5 in period 0) starts the oversaturated analysis;
# the mainline holds steady at its entry.
@pytest.mark.parametrize(
    "ramp_segment, mainline, queues",
    [
        # Closed by its meter for one period, then metered at 900 veh/h: the 150 vehicles held
        # drain at 900 - 600 veh/h.
        (segment("Merge", on_ramp_demand=[600] * 4, ramp_metering=[0, 900, 900, 900]), 3000, [150, 75, 0, 0]),
        # A weave whose off-ramp (600 veh/h) takes more than its on-ramp (300 veh/h) brings.
        (segment("Weaving", length_ft=2000, on_ramp_demand=[300] * 4, off_ramp_demand=[600] * 4), 3800, [0, 0, 0, 0]),
    ],
)
def test_on_ramp_is_served_where_the_mainline_leaves_room(ramp_segment, mainline, queues):
    segments = [segment(), ramp_segment, segment(), segment(length_ft=5280), segment(caf_schedule=[0.5, 1, 1, 1]),
                segment()]
    facility = FreewayFacility(document(segments, [mainline] * 4))
    facility.run_analysis()
    data = json.loads(facility.to_json())
    assert data["first_oversat_period"] == 0
    assert data["on_ramp_queue"][1] == pytest.approx(queues, abs=1e-9)
