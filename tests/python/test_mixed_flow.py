"""analyze_mixed_flow and analyze_composite_grade: the JSON documents, their checks, and one worked
case of each against an independent transcription of the Chapter 25/26 chains that reads the
committed truck-curve tables."""

import inspect
import json
import math
import re
from pathlib import Path

import pytest

import marvane

ROOT = Path(__file__).resolve().parents[2]

# ---- independent oracle -----------------------------------------------------------------------


def _load_tables():
    data = (ROOT / "src/hcm/common/truck_curve_data.cpp").read_text()
    curves = {
        m.group(1): [float(x) for x in m.group(2).split(",") if x.strip()]
        for m in re.finditer(r"const Curve (\w+) = \{(.*?)\};", data, re.S)
    }
    header = (ROOT / "src/hcm/common/truck_curves.hpp").read_text()
    deltas = {}
    for cls in ("TT", "SUT"):
        body = re.search(r"DeltaTable DELTA_%s = \{\{(.*?)\}\};" % cls, header, re.S).group(1)
        deltas[cls] = [[float(x) for x in row.split(",")] for row in re.findall(r"\{([^{}]*)\}", body)]
    return curves, deltas


CURVES, DELTAS = _load_tables()
DELTA_GRADES = [-5, 0, 2, 3, 4, 5, 6, 7, 8]
DELTA_FFS = [50, 55, 60, 65, 70, 75]


def curve_at(c, d):
    if d <= 0:
        return c[0]
    if d >= 10000:
        return c[-1]
    i = int(d // 250)
    return c[i] + (d - 250 * i) / 250 * (c[i + 1] - c[i])


def col(grade):
    return 0 if grade == -5 else grade


def spot_curve(cls, accel, grade):
    g = col(grade)
    if cls == "TT" and not accel and g == 0:
        return CURVES["SPOT_SUT_DECEL_G0"]
    return CURVES[f"SPOT_{cls}_{'ACCEL' if accel else 'DECEL'}_G{g}"]


def spot_distance(cls, accel, grade, rate):
    v = spot_curve(cls, accel, grade)
    rising = v[-1] > v[0]
    for k in range(40):
        if (v[k] <= rate <= v[k + 1]) if rising else (v[k] >= rate >= v[k + 1]):
            step = v[k + 1] - v[k]
            return 250 * k + (250 * (rate - v[k]) / step if abs(step) >= 1e-12 else 0.0)
    return 0.0 if ((rate <= v[0]) if rising else (rate > v[0])) else 10000.0


def nearest_exhibit(cls, speed):
    speeds = [60, 65, 70] if cls == "SUT" else [50, 55, 65]
    best = min(speeds, key=lambda s: (abs(s - speed), s))
    assert abs(best - speed) <= 2.5
    return best


def travel_time_rate(cls, name, grade, length_mi, ffs):
    c = CURVES[f"FAMB_{cls}_{name}_G{col(grade)}"]
    feet = 5280 * length_mi
    if feet <= 10000:
        return curve_at(c, feet) / length_mi
    delta = DELTAS[cls][DELTA_GRADES.index(grade)][DELTA_FFS.index(ffs)]
    return c[-1] / length_mi + delta * (1 - 10000 / feet) * 5280


def oracle_mixed_flow(ffs, length, grade, v_mix, p_sut, p_tt, caf_ao=1.0):
    pt, g, tff = p_sut + p_tt, grade / 100, 3600 / ffs
    out = {"caf_t_mix": 0.53 * pt**0.72, "rho_g_mix": 8 * pt if pt < 0.01 else 0.126 - 0.03 * pt}
    out["caf_g_mix"] = (out["rho_g_mix"] * max(0.69 * (math.exp(12.9 * g) - 1), 0)
                        * max(1.72 * (1 - 1.71 * math.exp(-3.16 * length)), 0))
    caf = out["caf_mix"] = caf_ao - out["caf_t_mix"] - out["caf_g_mix"]
    cao = out["capacity_ao"] = 2200 + 10 * (ffs - 50)
    cmix = out["capacity_mix"] = cao * caf
    ts = out["tau_sut_kin"] = travel_time_rate("SUT", f"FFS{round(ffs)}", grade, length, ffs)
    tt = out["tau_tt_kin"] = travel_time_rate("TT", f"FFS{round(ffs)}", grade, length, ffs)
    xs, xt = max(ts / 100 - 36 / ffs, 0), max(tt / 100 - 36 / ffs, 0)
    out["tau_a_ffs"] = tff + 4.186202348809108 * p_sut**0.68 * xs**2.76 + 0.009202634363479947 * p_tt**0.62 * xt**1.81
    out["tau_mix_ffs"] = p_tt * tt + p_sut * ts + (1 - pt) * out["tau_a_ffs"]
    s0 = out["ffs_mix"] = 3600 / out["tau_mix_ffs"]
    out["saf_mix"] = s0 / ffs
    bpao = out["bp_ao"] = (1000 + 40 * (75 - ffs)) * caf_ao**2
    bp = out["bp_mix"] = max(bpao * (1 - 0.4 * pt**0.1 * (math.exp(30 * g) + 1) * (5280 * length) ** 0.01), 0)

    def speed_at(q):
        u = q / caf
        t = tff if u <= bpao else 3600 / (ffs - (ffs - cao / 45) * (u - bpao) ** 2 / (cao - bpao) ** 2)
        d = (3 * (1 / caf - 1) + 1) * (t - tff)
        ta = (tff + d + 100.42 * p_sut**0.68 * (q / 1000) ** 0.46 * xs**2.76
              + 110.64 * p_tt**0.62 * (q / 1000) ** 1.36 * xt**1.81)
        return 3600 / ((tt + d) * p_tt + (ts + d) * p_sut + (1 - pt) * ta)

    sc = out["s_calib_cap"] = speed_at(cmix)
    s90 = out["s_calib_90cap"] = speed_at(0.9 * cmix)
    phi = out["phi_mix"] = 1.195 * math.log((s0 - s90) / (s0 - sc)) / math.log((0.9 * cmix - bp) / (cmix - bp))
    if v_mix > cmix:
        out["s_mix"] = out["d_mix"] = None
    else:
        s = s0 if v_mix <= bp else s0 - (s0 - sc) * ((v_mix - bp) / (cmix - bp)) ** phi
        out["s_mix"], out["d_mix"] = s, v_mix / s
    out["oversaturated"] = cmix < v_mix
    return out


def oracle_composite(ffs, v_mix, p_sut, p_tt, segments, caf_ao=1.0):
    pt, tff, q = p_sut + p_tt, 3600 / ffs, v_mix / 1000
    cao, bpao = 2200 + 10 * (ffs - 50), (1000 + 40 * (75 - ffs)) * caf_ao**2
    rho = 8 * pt if pt < 0.01 else 0.126 - 0.03 * pt
    entry = {"SUT": tff, "TT": tff}
    results, space_time = [], [0.0, 0.0, 0.0]
    segments = [(s["length"], s["grade"]) for s in segments]
    for length, grade in segments:
        r = {}
        r["caf_g_mix"] = (rho * max(0.69 * (math.exp(12.9 * grade / 100) - 1), 0)
                          * max(1.72 * (1 - 1.71 * math.exp(-3.16 * length)), 0))
        caf = r["caf_mix"] = caf_ao - 0.53 * pt**0.72 - r["caf_g_mix"]
        r["capacity_mix"] = cao * caf
        u = v_mix / caf
        s_ao = r["s_ao"] = ffs if u <= bpao else ffs - (ffs - cao / 45) * (u - bpao) ** 2 / (cao - bpao) ** 2
        d = r["d_tau_ti"] = (3 * (1 / caf - 1) + 1) * (3600 / s_ao - tff)
        tau_ao = tff + d
        for cls in ("SUT", "TT"):
            rate = entry[cls]
            accel = spot_curve(cls, False, grade)[-1] <= rate
            x = spot_distance(cls, accel, grade, rate)
            exit_rate = curve_at(spot_curve(cls, accel, grade), x + 5280 * length)
            key = nearest_exhibit(cls, 3600 / rate)
            avg = travel_time_rate(cls, f"INIT{key}", grade, length, ffs)
            r[f"tau_f_{cls.lower()}_kin"] = max(exit_rate, tff)
            r[f"tau_s_{cls.lower()}_kin"] = max(avg, tff)
        fs, ft, ss, st = (r["tau_f_sut_kin"], r["tau_f_tt_kin"], r["tau_s_sut_kin"], r["tau_s_tt_kin"])

        def y(tau):
            return max(tau / 100 - 36 / ffs, 0)

        end = tau_ao + 64.5 * p_sut**0.34 * q**0.77 * y(fs) ** 1.53 + 79.5 * p_tt**0.56 * q**0.81 * y(ft) ** 1.32
        r["tau_f_a"] = min(end, d + fs, d + ft)
        if entry["SUT"] > fs and ft < entry["TT"]:
            c = (54.72, 1.16, 0.28, 1.73, 69.72, 1.32, 0.61, 1.33)
        else:
            c = (100.42, 0.46, 0.68, 2.76, 110.64, 1.36, 0.62, 1.81)
        r["tau_s_a"] = (tau_ao + c[0] * p_sut ** c[2] * q ** c[1] * y(ss) ** c[3]
                        + c[4] * p_tt ** c[6] * q ** c[5] * y(st) ** c[7])
        r["decelerating"] = entry["SUT"] < fs and entry["TT"] < ft
        r["tau_mix"] = p_tt * (d + st) + p_sut * (d + ss) + (1 - pt) * r["tau_s_a"]
        r["s_mix"] = 3600 / r["tau_mix"]
        r["travel_time"] = 3600 * length / r["s_mix"]
        r["spot_speeds"] = [3600 / r["tau_f_a"], 3600 / (d + fs), 3600 / (d + ft)]
        r["space_speeds"] = [3600 / r["tau_s_a"], 3600 / (d + ss), 3600 / (d + st)]
        if not results:
            first_entry = 3600 / tau_ao
        entry = {"SUT": fs, "TT": ft}
        for k in range(3):
            space_time[k] += 3600 * length / r["space_speeds"][k]
        results.append(r)
    total_length = sum(length for length, _ in segments)
    capacities = [r["capacity_mix"] for r in results]
    total_time = sum(r["travel_time"] for r in results)
    return {
        "segments": results,
        "capacity_mix": min(capacities),
        "governing_segment": capacities.index(min(capacities)),
        "entry_spot_speeds": [first_entry] * 3,
        "total_length": total_length,
        "total_travel_time": total_time,
        "s_mix_overall": 3600 * total_length / total_time,
        "overall_space_speeds": [3600 * total_length / t for t in space_time],
        "oversaturated": min(capacities) < v_mix,
    }


def assert_matches(actual, expected):
    if isinstance(expected, dict):
        assert set(actual) == set(expected)
        for k in expected:
            assert_matches(actual[k], expected[k])
    elif isinstance(expected, list):
        assert len(actual) == len(expected)
        for a, e in zip(actual, expected):
            assert_matches(a, e)
    elif isinstance(expected, bool) or expected is None:
        assert actual is expected
    elif isinstance(expected, int):
        assert actual == expected
    else:
        assert actual == pytest.approx(expected, rel=1e-12, abs=1e-12)


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


# ---- worked cases ---------------------------------------------------------------------------------


@pytest.mark.parametrize("inputs", [
    MIXED,
    {"ffs": 65, "length": 10000 / 5280, "grade": 0, "v_mix": 1200, "p_sut": 0.05, "p_tt": 0.1},
    {"ffs": 65, "length": 2.5, "grade": 5, "v_mix": 900, "p_sut": 0.1, "p_tt": 0.15, "caf_ao": 0.95},
    {"ffs": 65, "length": 0.4, "grade": -5, "v_mix": 500, "p_sut": 0.005, "p_tt": 0.004},
])
def test_mixed_flow_worked_cases(inputs):
    result = json.loads(marvane.analyze_mixed_flow(json.dumps(inputs)))
    assert list(result) == MIXED_KEYS
    assert_matches(result, oracle_mixed_flow(**inputs))


def test_mixed_flow_level_grade_uses_the_printed_curve_ends():
    result = mixed(length=10000 / 5280, grade=0, v_mix=1200, p_sut=0.05, p_tt=0.1)
    assert result["tau_sut_kin"] == pytest.approx(92.39 * 5280 / 10000)
    assert result["tau_tt_kin"] == pytest.approx(93.86 * 5280 / 10000)
    assert result["capacity_ao"] == 2350.0
    assert result["bp_ao"] == 1400.0


@pytest.mark.parametrize("inputs", [
    COMPOSITE,
    {"ffs": 65, "v_mix": 1500, "p_sut": 0.06, "p_tt": 0.12,
     "segments": [{"length": 1.0, "grade": 3}, {"length": 2.5, "grade": 0}]},
    {"ffs": 65, "v_mix": 800, "p_sut": 0.03, "p_tt": 0.05, "caf_ao": 0.97,
     "segments": [{"length": 0.1, "grade": 3}, {"length": 2.0, "grade": -5}, {"length": 0.5, "grade": 5}]},
])
def test_composite_grade_worked_cases(inputs):
    result = json.loads(marvane.analyze_composite_grade(json.dumps(inputs)))
    assert list(result) == COMPOSITE_KEYS
    for seg in result["segments"]:
        assert list(seg) == SEGMENT_KEYS
    assert_matches(result, oracle_composite(**inputs))


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
