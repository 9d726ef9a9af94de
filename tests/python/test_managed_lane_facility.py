import inspect
import json

import pytest

from marvane import ManagedLaneFacility

MATRIX_METHODS = [
    "gp_capacity",
    "gp_speed",
    "gp_density_veh",
    "ml_capacity",
    "ml_dc_ratio",
    "ml_speed",
    "ml_density_veh",
    "ml_friction_active",
]
PERIOD_METHODS = ["facility_speed", "facility_density_veh", "facility_los"]


def document(segments, mainline, ml, **fields):
    gp = {"segments": segments, "mainline_demand": mainline}
    gp.update(fields.pop("gp", {}))
    return json.dumps({"gp": gp, "ml": ml, **fields})


# Three Basic GP segments (3, 4, 3 lanes, FFS 60, 5 % heavy vehicles): a continuous-access lane
# beside the first, none beside the second, a Barrier 2 lane beside the third. A cross-weave of
# 500 pc/h crosses the 4-lane segment in the second period. The third period loads the 3-lane
# segments to about 45 pc/mi/ln, which brings friction onto the continuous-access lane.
WORKED = document(
    [{}, {"lanes": 4}, {}],
    [3000, 4500, 6500],
    [{"ffs": 65}, None, {"lane_type": "Barrier2", "ffs": 65, "on_ramp_demand": [0, 0, 100]}],
    ml_entry_demand=[1000, 1200, 1400],
    cross_weave=[None, {"cw_demand_pc": [0, 500], "l_cw_min_ft": 2000}, None],
)


@pytest.fixture
def analysed():
    f = ManagedLaneFacility(WORKED)
    f.run_analysis()
    return f


def test_default_facility_has_nothing_to_analyse():
    f = ManagedLaneFacility()
    assert (f.num_segments, f.num_periods) == (0, 0)
    assert repr(f) == str(f) == "ManagedLaneFacility(segments=0, periods=0)"
    before = f.to_json()
    with pytest.raises(ValueError, match="^facility has no segments$"):
        f.run_analysis()
    assert f.to_json() == before
    assert all(getattr(f, name)() == [] for name in MATRIX_METHODS)
    doc = json.loads(before)
    assert list(doc)[:5] == ["gp", "ml", "ml_entry_demand", "ml_ffs", "cross_weave"]
    assert len(doc) == 16 and len(doc["gp"]) == 30 and doc["ml_ffs"] == 60.0


def test_constructor_errors():
    with pytest.raises(TypeError, match="^argument 'json': 'int' object cannot be converted to 'PyString'$"):
        ManagedLaneFacility(3)
    with pytest.raises(ValueError, match=r"^invalid ML facility JSON: .* at line 1 column 1$"):
        ManagedLaneFacility("[")
    with pytest.raises(ValueError, match="^invalid ML facility JSON: unknown variant `buffer1`"):
        ManagedLaneFacility('{"ml": [{"lane_type": "buffer1"}]}')
    assert ManagedLaneFacility(json="{}  \n").num_periods == 0


@pytest.mark.parametrize(
    "fields, message",
    [
        ({}, "ml has 0 entries but the facility has 2 segments"),
        ({"ml": [None]}, "ml has 1 entries but the facility has 2 segments"),
        ({"ml": [None, None], "cross_weave": [None]}, "cross_weave has 1 entries but the facility has 2 segments"),
    ],
)
def test_entry_counts_must_match_the_segments(fields, message):
    f = ManagedLaneFacility(json.dumps({"gp": {"segments": [{}, {}], "mainline_demand": [1000]}, **fields}))
    before = f.to_json()
    with pytest.raises(ValueError, match=f"^{message}$"):
        f.run_analysis()
    assert f.to_json() == before


def test_gp_failure_is_raised_unchanged_and_changes_nothing():
    f = ManagedLaneFacility(document([{"seg_type": "Merge"}, {}], [1000], [None, None]))
    before = f.to_json()
    with pytest.raises(ValueError, match=r"^first and last segments must be basic freeway segments \(Chapter 10\)$"):
        f.run_analysis()
    assert f.to_json() == before


def test_worked_facility_with_cross_weave_and_friction(analysed):
    f = analysed
    f_hv = 1 / 1.05
    cr = 0.049716  # 4 lanes, cw 500 pc/h, L_cw,min 2000 ft
    cap = f.gp_capacity()
    assert cap[1][0] == pytest.approx(f_hv * 2300 * 4)
    assert cap[1][1] == pytest.approx(f_hv * 2300 * 4 * (1 - cr), rel=1e-6)
    assert cap[1][2] == pytest.approx(f_hv * 2300 * 4)
    expected = [1700 * f_hv, 0.0, 2000 * f_hv]  # 1619.05 veh/h for continuous access at FFS 65
    assert [row == pytest.approx([c] * 3) for row, c in zip(f.ml_capacity(), expected)] == [True] * 3
    assert f.ml_dc_ratio()[2][2] == pytest.approx(1500 / (2000 * f_hv))
    assert f.ml_dc_ratio()[1] == [0.0, 0.0, 0.0]
    assert f.ml_friction_active() == [[False, False, True], [False] * 3, [False] * 3]
    assert f.ml_speed()[1] == [0.0, 0.0, 0.0]
    # Continuous access without friction: v_p = 1000 x 1.05 = 1050 pc/h/ln, between BP 500 and c 1700.
    x = (1050 - 500) / (1700 - 500)
    assert f.ml_speed()[0][0] == pytest.approx(65 - (65 - 1700 / 30) * x**2.5)
    assert f.ml_density_veh()[0][0] == pytest.approx(1050 / f.ml_speed()[0][0] * f_hv)
    doc = json.loads(f.to_json())
    assert doc["gp"]["segments"][1]["caf_schedule"] == pytest.approx([1.0, 1 - cr, 1.0], rel=1e-6)
    assert doc["ml_demand"] == [[1000, 1200, 1400], [1000, 1200, 1400], [1000, 1200, 1500]]
    for p in range(3):
        perf = doc["facility_performance"][p]
        assert f.facility_speed(p) == perf["space_mean_speed"]
        assert f.facility_density_veh(period=p) == perf["avg_density_veh"]
        assert f.facility_los(p) == perf["los"] and f.facility_los(p) in "ABCDEF"
        assert 0 < f.facility_speed(p) <= 65


def test_every_matrix_has_one_row_per_segment_and_is_a_copy(analysed):
    for name in MATRIX_METHODS:
        m = getattr(analysed, name)()
        assert len(m) == analysed.num_segments == 3
        assert all(len(row) == analysed.num_periods == 3 for row in m)
        m[0][0] = "changed"
        assert getattr(analysed, name)()[0][0] != "changed"


@pytest.mark.parametrize("name", PERIOD_METHODS)
def test_period_methods_refuse_periods_without_results(name, analysed):
    before = analysed.to_json()
    with pytest.raises(ValueError, match="^period 3 is out of range: the facility has results for 3 analysis periods$"):
        getattr(analysed, name)(3)
    with pytest.raises(ValueError, match="^period 0 is out of range: the facility has results for 0 analysis periods$"):
        getattr(ManagedLaneFacility(WORKED), name)(0)
    with pytest.raises(OverflowError):
        getattr(analysed, name)(-1)
    with pytest.raises(TypeError):
        getattr(analysed, name)(0.5)
    assert analysed.to_json() == before
    assert str(inspect.signature(getattr(ManagedLaneFacility, name))) == "(self, period)"


def test_json_round_trip_after_an_analysis(analysed):
    text = analysed.to_json()
    again = ManagedLaneFacility(text)
    assert again.to_json() == text
    assert again.ml_speed() == analysed.ml_speed()
    assert again.facility_los(2) == analysed.facility_los(2)
    assert json.loads(ManagedLaneFacility(document([{}, {}], [1000], [None, None])).to_json())["cross_weave"] == []


def test_non_finite_results_are_written_as_null():
    # A GP segment without capacity has an infinite demand-to-capacity ratio.
    f = ManagedLaneFacility(document([{"caf": 0}, {}], [1000], [None, {}]))
    f.run_analysis()
    doc = json.loads(f.to_json())
    assert doc["gp"]["dc_ratio"][0] == [None]
    assert f.facility_los(0) == "F"
    assert ManagedLaneFacility(f.to_json()).to_json() == f.to_json()  # null reads back as NaN


def test_class_documentation():
    assert ManagedLaneFacility.__doc__.splitlines()[:2] == [
        "HCM Chapter 10 managed-lane freeway facility (Steps A-9/A-13/A-14/A-17):",
        "a general-purpose lane group with a parallel managed-lane lane group.",
    ]
    assert str(inspect.signature(ManagedLaneFacility)) == "(json=None)"
    assert ManagedLaneFacility.num_segments.__doc__ is None and ManagedLaneFacility.num_periods.__doc__ is None
    assert ManagedLaneFacility.run_analysis.__doc__.endswith("Run the full managed-lane facility analysis.")
