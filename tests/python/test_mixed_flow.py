"""analyze_mixed_flow and analyze_composite_grade: the JSON documents, their checks, and one worked
example of each, its values worked out by hand from the Chapter 25 and 26 equations."""

import inspect
import json
import math

import pytest

import marvane

# ---- inputs --------------------------------------------------------------------------------------

MIXED = {"ffs": 65, "length": 1.5, "grade": 3, "v_mix": 1400, "p_sut": 0.04, "p_tt": 0.08}
COMPOSITE = {"ffs": 65, "v_mix": 1300, "p_sut": 0.05, "p_tt": 0.10,
             "segments": [{"length": 0.25, "grade": 2}, {"length": 0.25, "grade": 5}, {"length": 1.0, "grade": 0}]}

MIXED_KEYS = ["caf_t_mix", "rho_g_mix", "caf_g_mix", "caf_mix", "capacity_ao", "capacity_mix", "tau_sut_kin",
              "tau_tt_kin", "tau_a_ffs", "tau_mix_ffs", "ffs_mix", "saf_mix", "bp_ao", "bp_mix", "s_calib_cap",
              "s_calib_90cap", "phi_mix", "s_mix", "d_mix", "oversaturated"]
COMPOSITE_KEYS = ["segments", "capacity_mix", "governing_segment", "entry_spot_speeds", "total_length",
                  "total_travel_time", "s_mix_overall", "overall_space_speeds", "oversaturated"]
SEGMENT_KEYS = ["caf_g_mix", "caf_mix", "capacity_mix", "s_ao", "d_tau_ti", "tau_f_sut_kin", "tau_f_tt_kin",
                "tau_s_sut_kin", "tau_s_tt_kin", "tau_f_a", "tau_s_a", "decelerating", "tau_mix", "s_mix",
                "travel_time", "spot_speeds", "space_speeds"]


def mixed(**changes):
    return json.loads(marvane.analyze_mixed_flow(json.dumps({**MIXED, **changes})))


def composite(**changes):
    return json.loads(marvane.analyze_composite_grade(json.dumps({**COMPOSITE, **changes})))


# ---- registration ---------------------------------------------------------------------------------


def test_registered_in_order_with_text_signatures():
    names = marvane.__all__
    i = names.index("analyze_mixed_flow")
    assert names[i + 1] == "analyze_composite_grade"
    for fn in (marvane.analyze_mixed_flow, marvane.analyze_composite_grade):
        assert str(inspect.signature(fn)) == "(config_json)"
    assert marvane.analyze_mixed_flow.__doc__.startswith(
        "Analyze a single grade with the HCM Chapter 26 mixed-flow model.\n\nArgs:\n")
    assert marvane.analyze_composite_grade.__doc__.endswith(
        "chain reaches a grade or entry speed outside the digitised truck curves.")


def test_argument_errors():
    with pytest.raises(TypeError, match=r"analyze_mixed_flow\(\) missing 1 required positional argument: 'config_json'"):
        marvane.analyze_mixed_flow()
    with pytest.raises(TypeError, match="argument 'config_json'"):
        marvane.analyze_composite_grade(3)
    assert "caf_mix" in marvane.analyze_mixed_flow(config_json=json.dumps(MIXED))


# ---- worked examples, by hand from the HCM equations -------------------------------------------


def test_mixed_flow_worked_example_on_a_level_grade():
    # FFS 65 mi/h, a level grade of 10,000 ft (1.893939 mi), 1,200 veh/h/ln, 5 % SUT, 10 % TT.
    # P_T = 0.15: CAF_T = 0.53 x 0.15^0.72 = 0.1352264; rho = 0.126 - 0.03 x 0.15 = 0.1215; a level
    # grade adds no grade term: CAF_mix = 0.8647736, c_mix = 2350 x 0.8647736 = 2032.218.
    # The level Chapter 26 curves read 92.39 s (SUT) and 93.86 s (TT) at 10,000 ft: 48.78192 and
    # 49.55808 s/mi, below 36/FFS x 100 = 55.38462, so automobiles keep t_ff = 55.38462 s/mi at
    # low flow: tau_mix,ffs = 0.10 x 49.55808 + 0.05 x 48.78192 + 0.85 x 55.38462 = 54.47183,
    # S0 = 66.08921 mi/h.
    # BP_ao = 1000 + 40 x 10 = 1400; BP_mix = 1400 (1 - 0.4 x 0.15^0.1 x 2 x 10000^0.01) = 384.1557.
    # At c_mix: u = 2350, t = 3600 / (2350/45) = 68.93617, delay factor 3 (1/CAF - 1) + 1 =
    # 1.469116, delta = 19.90881; tau_mix = 0.10 x 69.46689 + 0.05 x 68.69073 + 0.85 x 75.29343
    # = 74.38064, S_c = 48.39969. At 0.9 c_mix: u = 2115, t = 62.32474, delta = 10.19585,
    # S_90 = 55.66923.
    # phi = 1.195 ln(10.41998 / 17.68952) / ln(1444.840 / 1648.062) = 4.805807.
    # S = 66.08921 - 17.68952 x (815.8443 / 1648.062)^4.805807 = 65.48639 mi/h; D = 18.32442.
    result = mixed(length=10000 / 5280, grade=0, v_mix=1200, p_sut=0.05, p_tt=0.10)
    assert list(result) == MIXED_KEYS
    expected = {
        "caf_t_mix": 0.1352264279, "rho_g_mix": 0.1215, "caf_mix": 0.8647735721, "capacity_ao": 2350,
        "capacity_mix": 2032.217894, "tau_sut_kin": 48.78192, "tau_tt_kin": 49.55808, "tau_a_ffs": 55.38461538,
        "tau_mix_ffs": 54.47182708, "ffs_mix": 66.08920966, "saf_mix": 66.08920966 / 65, "bp_ao": 1400,
        "bp_mix": 384.1556988, "s_calib_cap": 48.39969391, "s_calib_90cap": 55.66923252,
        "phi_mix": 4.805807455, "s_mix": 65.48639439, "d_mix": 18.32441702,
    }
    for key, value in expected.items():
        assert result[key] == pytest.approx(value, rel=1e-9), key
    assert result["caf_g_mix"] == 0.0
    assert result["oversaturated"] is False


def test_composite_grade_worked_example_on_level_grades():
    # FFS 65 mi/h, 1,600 veh/h/ln, 5 % SUT and 10 % TT over 0.5 mi level and 1.0 mi at -5 %
    # (read on the level curves; a downgrade adds no grade term). Both segments: CAF_mix =
    # 0.8647736, c_mix = 2032.218; the first governs on the tie.
    # u = 1600 / 0.8647736 = 1850.195 pc/h/ln, past BP_ao = 1400:
    # S_ao = 65 - (65 - 2350/45) x (450.195 / 950)^2 = 62.13047 mi/h, t = 57.94258 s/mi,
    # delta = 1.469116 x (57.94258 - 55.38462) = 3.757947, tau_ao = 59.14256, E = 60.86987 mi/h.
    # Trucks entering at t_ff on level curves would run faster than FFS: every truck rate is held
    # at t_ff = 55.38462 s/mi, their excess over 36/FFS is 0, and every automobile and truck rate
    # of the segment is tau_ao = t_ff + delta: s_mix = 60.86987 mi/h, travel times 29.57128 s and
    # 59.14256 s, 88.71384 s in all.
    result = composite(v_mix=1600, segments=[{"length": 0.5, "grade": 0}, {"length": 1.0, "grade": -5}])
    assert list(result) == COMPOSITE_KEYS
    free_flow_rate = 3600 / 65
    for segment, travel_time in zip(result["segments"], (29.5712812, 59.14256241)):
        assert list(segment) == SEGMENT_KEYS
        assert segment["caf_g_mix"] == 0.0
        assert segment["caf_mix"] == pytest.approx(0.8647735721, rel=1e-9)
        assert segment["capacity_mix"] == pytest.approx(2032.217894, rel=1e-9)
        assert segment["s_ao"] == pytest.approx(62.13047484, rel=1e-9)
        assert segment["d_tau_ti"] == pytest.approx(3.757947021, rel=1e-9)
        for key in ("tau_f_sut_kin", "tau_f_tt_kin", "tau_s_sut_kin", "tau_s_tt_kin"):
            assert segment[key] == pytest.approx(free_flow_rate, rel=1e-12), key
        for key in ("tau_f_a", "tau_s_a", "tau_mix"):
            assert segment[key] == pytest.approx(59.14256241, rel=1e-9), key
        assert segment["s_mix"] == pytest.approx(60.86986856, rel=1e-9)
        assert segment["spot_speeds"] == pytest.approx([60.86986856] * 3, rel=1e-9)
        assert segment["space_speeds"] == pytest.approx([60.86986856] * 3, rel=1e-9)
        assert segment["travel_time"] == pytest.approx(travel_time, rel=1e-9)
        assert segment["decelerating"] is False
    assert result["governing_segment"] == 0
    assert result["capacity_mix"] == pytest.approx(2032.217894, rel=1e-9)
    assert result["entry_spot_speeds"] == pytest.approx([60.86986856] * 3, rel=1e-9)
    assert result["total_length"] == 1.5
    assert result["total_travel_time"] == pytest.approx(88.71384361, rel=1e-9)
    assert result["s_mix_overall"] == pytest.approx(60.86986856, rel=1e-9)
    assert result["overall_space_speeds"] == pytest.approx([60.86986856] * 3, rel=1e-9)
    assert result["oversaturated"] is False


def test_composite_grade_walk():
    result = composite()
    up2, up5, level = result["segments"]
    assert result["governing_segment"] == 1
    assert result["capacity_mix"] == up5["capacity_mix"]
    # trucks slow on the 5 % grade and recover on the level
    assert up5["decelerating"] and not level["decelerating"]
    assert up5["tau_f_tt_kin"] > up2["tau_f_tt_kin"] > 3600 / 65
    assert level["tau_f_tt_kin"] < up5["tau_f_tt_kin"]
    entry = 3600 / (3600 / 65 + up2["d_tau_ti"])
    assert up2["s_ao"] < 65 and result["entry_spot_speeds"] == [entry, entry, entry]
    assert result["total_length"] == 1.5
    assert result["total_travel_time"] == pytest.approx(sum(s["travel_time"] for s in result["segments"]))
    assert result["oversaturated"] is False


# ---- documents: forms, keys, errors ---------------------------------------------------------------


def test_array_forms():
    as_object = marvane.analyze_mixed_flow(json.dumps(MIXED))
    assert marvane.analyze_mixed_flow("[65, 1.5, 3, 1400, 0.04, 0.08]") == as_object
    assert marvane.analyze_mixed_flow("[65, 1.5, 3, 1400, 0.04, 0.08, 1.0]") == as_object
    assert marvane.analyze_mixed_flow("  \n" + json.dumps(MIXED) + " \n\t") == as_object
    as_object = marvane.analyze_composite_grade(json.dumps(COMPOSITE))
    assert marvane.analyze_composite_grade(
        '[65, 1300, 0.05, 0.1, 1.0, [[0.25, 2], {"length": 0.25, "grade": 5}, [1.0, 0]]]') == as_object


MIXED_PREFIX = "invalid mixed-flow config: "
COMPOSITE_PREFIX = "invalid composite-grade config: "


@pytest.mark.parametrize("text, message", [
    ('{"ffs": 65, "Grade": 3}',
     "unknown field `Grade`, expected one of `ffs`, `length`, `grade`, `v_mix`, `p_sut`, `p_tt`, `caf_ao`"
     " at line 1 column 19"),
    ('{"ffs": 65, "ffs": 60}', "duplicate field `ffs` at line 1 column 17"),
    ('{"ffs": 65, "length": 1, "grade": 0, "v_mix": 1, "p_tt": 0}', "missing field `p_sut` at line 1 column 59"),
    ("[65, 1, 0, 1000, 0.1]", "invalid length 5, expected struct MixedFlowSegment with 7 elements at line 1 column 21"),
    ('{"ffs": "65"}', 'invalid type: string "65", expected f64 at line 1 column 12'),
    (json.dumps(MIXED) + " {}", "trailing characters at line 1 column 84"),
    ("", "EOF while parsing a value at line 1 column 0"),
])
def test_mixed_flow_reader_errors(text, message):
    with pytest.raises(ValueError) as e:
        marvane.analyze_mixed_flow(text)
    assert str(e.value) == MIXED_PREFIX + message


@pytest.mark.parametrize("text, message", [
    ('{"ffs": 65, "lenght": 1}',
     "unknown field `lenght`, expected one of `ffs`, `v_mix`, `p_sut`, `p_tt`, `caf_ao`, `segments`"
     " at line 1 column 20"),
    ('{"ffs": 65, "v_mix": 1, "p_sut": 0, "p_tt": 0, "segments": [{"length": 1, "grade": 0, "g": 1}]}',
     "unknown field `g`, expected `length` or `grade` at line 1 column 89"),
    ('{"ffs": 65, "v_mix": 1, "p_sut": 0, "p_tt": 0, "segments": [{"length": 1, "length": 1}]}',
     "duplicate field `length` at line 1 column 82"),
    ('{"ffs": 65, "v_mix": 1, "p_sut": 0, "p_tt": 0, "segments": [{"length": 1}]}',
     "missing field `grade` at line 1 column 73"),
    ('{"ffs": 65, "v_mix": 1, "p_sut": 0, "p_tt": 0}', "missing field `segments` at line 1 column 46"),
    ('{"ffs": 65, "v_mix": 1, "p_sut": 0, "p_tt": 0, "segments": [[1]]}',
     "invalid length 1, expected struct GradeSegment with 2 elements at line 1 column 63"),
    ("[65, 1, 0, 0, 1]", "invalid length 5, expected struct CompositeGrade with 6 elements at line 1 column 16"),
])
def test_composite_grade_reader_errors(text, message):
    with pytest.raises(ValueError) as e:
        marvane.analyze_composite_grade(text)
    assert str(e.value) == COMPOSITE_PREFIX + message


MIXED_FAIL = "mixed-flow analysis failed: "


@pytest.mark.parametrize("changes, message", [
    ({"ffs": 0}, "FFS must be positive, got 0 mi/h"),
    ({"ffs": -65, "length": 0}, "FFS must be positive, got -65 mi/h"),
    ({"length": 0}, "length must be positive, got 0 mi"),
    ({"v_mix": -0.5}, "v_mix must be non-negative, got -0.5"),
    ({"p_sut": -0.1}, "truck proportions must be non-negative and sum below 1, got p_sut -0.1 and p_tt 0.08"),
    ({"p_sut": 0.3, "p_tt": 0.7}, "truck proportions must be non-negative and sum below 1, got p_sut 0.3 and p_tt 0.7"),
    ({"caf_ao": 0.15}, "mixed-flow CAF came out at -0.0328, which is not a usable capacity adjustment; check the truck"
                      " proportions (0.120) and grade (3%)"),
    ({"grade": 4}, "grade 4% is not digitised in Stage 1 of the mixed-flow truck curves (available: -5, 0, 2, 3, 5);"
                   " the travel time exhibit would have to be digitised for it. The curves are not extrapolated"
                   " because each grade settles at its own crawl speed."),
    ({"ffs": 70}, "no Stage-1 travel time curve for Sut at 70 mi/h FFS, 3% grade; the Chapter 26 Appendix A exhibit"
                  " for that combination has not been digitised. Stage 1 covers the combinations the published"
                  " worked examples use: Chapter 25 SUT at 60/65/70 mi/h, Chapter 25 TT at 50/55/65 mi/h, Chapter 26"
                  " at 65 mi/h FFS, each at -5/0/2/3/5% grade."),
    ({"ffs": 65.2, "length": 2.5},
     "FFS 65.2 mi/h is not a column of HCM Exhibit 25-24/25-25 (columns: 50, 55, 60, 65, 70, 75)"),
])
def test_mixed_flow_check_messages(changes, message):
    with pytest.raises(ValueError) as e:
        mixed(**changes)
    assert str(e.value) == MIXED_FAIL + message


def test_mixed_flow_number_overflow_is_a_config_error():
    with pytest.raises(ValueError, match=r"^invalid mixed-flow config: .* at line 1 column \d+$"):
        marvane.analyze_mixed_flow('{"ffs": 1e400, "length": 1, "grade": 0, "v_mix": 1, "p_sut": 0, "p_tt": 0}')


COMPOSITE_FAIL = "composite-grade analysis failed: "


@pytest.mark.parametrize("changes, message", [
    ({"segments": []}, "a composite grade needs at least one segment"),
    ({"segments": [], "ffs": 0}, "a composite grade needs at least one segment"),
    ({"ffs": 0}, "FFS must be positive, got 0 mi/h"),
    ({"v_mix": -1}, "v_mix must be non-negative, got -1"),
    ({"p_tt": 0.95}, "truck proportions must be non-negative and sum below 1, got p_sut 0.05 and p_tt 0.95"),
    ({"segments": [{"length": 1, "grade": 0}, {"length": -0.2, "grade": 0}]},
     "segment 1 length must be positive, got -0.2 mi"),
    ({"segments": [{"length": 0, "grade": 9}]}, "segment 0 length must be positive, got 0 mi"),
    ({"caf_ao": 0.15}, "mixed-flow CAF came out at -0.0145 on the 5% grade, which is not a usable capacity adjustment"),
    ({"segments": [{"length": 1, "grade": 4}]},
     "grade 4% is not digitised in Stage 1 of the mixed-flow truck curves (available: -5, 0, 2, 3, 5); Exhibit"
     " 25-20/25-21 would have to be digitised for it. The curves are not extrapolated because each grade settles"
     " at its own crawl speed."),
    ({"ffs": 60}, "no Stage-1 Chapter 25 Appendix A curve within 2.5 mi/h of 60.0 mi/h for Tt (digitised: [50, 55, 65]);"
                  " that exhibit would have to be digitised"),
    ({"segments": [{"length": 3, "grade": 5}, {"length": 1, "grade": 0}]},
     "no Stage-1 Chapter 25 Appendix A curve within 2.5 mi/h of 47.0 mi/h for Sut (digitised: [60, 65, 70]);"
     " that exhibit would have to be digitised"),
    ({"v_mix": 4500}, "the automobile speed-flow curve gives no positive speed at 5261.4987718669045 veh/h/ln on the 2% grade;"
                      " demand is far above capacity"),
])
def test_composite_grade_check_messages(changes, message):
    with pytest.raises(ValueError) as e:
        composite(**changes)
    assert str(e.value) == COMPOSITE_FAIL + message


# ---- edge cases ---------------------------------------------------------------------------------------


def test_grade_factor_switches_at_one_percent_trucks():
    assert mixed(p_sut=0.005, p_tt=0.005)["rho_g_mix"] == pytest.approx(0.126 - 0.03 * 0.01)
    assert mixed(p_sut=0.0049, p_tt=0.005)["rho_g_mix"] == pytest.approx(8 * 0.0099)


def test_no_trucks_is_accepted():
    result = mixed(p_sut=0, p_tt=0, v_mix=1000)
    assert result["caf_mix"] == 1.0
    assert result["ffs_mix"] == pytest.approx(65.0)
    assert result["s_mix"] == pytest.approx(65.0)


def test_oversaturated_mixed_flow_keeps_every_field():
    result = mixed(v_mix=2500)
    assert list(result) == MIXED_KEYS
    assert result["oversaturated"] is True
    assert result["s_mix"] is None and result["d_mix"] is None
    assert all(isinstance(result[k], float) for k in MIXED_KEYS[:17])
    text = marvane.analyze_mixed_flow(json.dumps({**MIXED, "v_mix": 2500}))
    assert text.endswith('"s_mix":null,"d_mix":null,"oversaturated":true}')
    assert " " not in text


def test_composite_equal_capacities_govern_from_the_first():
    result = composite(segments=[{"length": 0.3, "grade": 0}, {"length": 0.3, "grade": 0}])
    assert result["segments"][0]["capacity_mix"] == result["segments"][1]["capacity_mix"]
    assert result["governing_segment"] == 0


def test_composite_oversaturated_flag():
    result = composite(v_mix=2100)
    assert result["oversaturated"] is True
    assert result["capacity_mix"] < 2100
    assert all(math.isfinite(s["s_mix"]) for s in result["segments"])


def test_composite_output_is_compact_json():
    text = marvane.analyze_composite_grade(json.dumps(COMPOSITE))
    assert text.startswith('{"segments":[{"caf_g_mix":')
    assert '"governing_segment":1,' in text
    assert text.endswith('"oversaturated":false}')
