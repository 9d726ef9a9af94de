"""Every script under examples/ runs to completion and prints what it promises. Scripts run in a
subprocess, as a user runs them; the checks read their printed labels and test plausibility and
physical relations, not numbers (those are pinned in the C++ tests)."""
import functools
import json
import os
import pathlib
import re
import subprocess
import sys

import pytest

import marvane

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"
SCRIPTS = sorted(p.name for p in EXAMPLES.glob("*.py"))
LOS = "[A-F]"
NUMBER = r"-?\d+(?:\.\d+)?"


@functools.lru_cache(maxsize=None)
def run(script, *args):
    """Run one example with the module under test importable; return its standard output."""
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([os.path.dirname(marvane.__file__), env.get("PYTHONPATH", "")])
    done = subprocess.run([sys.executable, str(EXAMPLES / script), *args], capture_output=True, text=True,
                          env=env, timeout=300)
    assert done.returncode == 0, f"{script} failed:\n{done.stderr}"
    assert "Traceback" not in done.stderr
    return done.stdout


def numbers(pattern, text):
    return [float(x) for x in re.findall(pattern, text)]


def test_the_recipes_are_all_there():
    assert {"quickstart.py", "actuated_signal.py", "freeway_reliability.py", "urban_reliability.py",
            "interchange.py", "two_lane_facility.py"} <= set(SCRIPTS)


@pytest.mark.parametrize("script", SCRIPTS)
def test_every_example_runs(script):
    assert run(script).strip()


def test_quickstart_visits_every_chapter():
    out = run("quickstart.py")
    assert out.startswith(f"marvane {marvane.__version__}")
    headers = re.findall(r"^Chapters? (\d+)(?: and (\d+))?", out, re.M)
    assert set(range(10, 27)) <= {int(n) for header in headers for n in header if n}


def test_actuated_signal_settles():
    out = run("actuated_signal.py")
    rows = re.findall(rf"^\s+\d+\s+({NUMBER})\s+({NUMBER})\s+{NUMBER}\s+{LOS}\s+\d:", out, re.M)
    cycles_in, cycles_out = [float(a) for a, _ in rows], [float(b) for _, b in rows]
    assert 2 <= len(rows) <= 20
    assert cycles_in[1:] == pytest.approx(cycles_out[:-1], abs=0.05)  # each estimate feeds the next pass
    (n, cycle), = re.findall(rf"converged after (\d+) iterations: cycle ({NUMBER}) s", out)
    assert int(n) == len(rows) and abs(cycles_out[-1] - cycles_in[-1]) < 0.1
    assert 30 < float(cycle) < 200
    assert re.search(rf"Signalized intersection: control delay {NUMBER} s/veh, LOS {LOS}, critical v/c", out)
    assert len(re.findall(rf"^  (NB|SB|EB|WB): +{NUMBER} s/veh, LOS {LOS}$", out, re.M)) == 4
    # the settled phases: six phases (no 3 and 7), green never longer than the duration
    phases = re.findall(rf"^\s+(\d)\s+({NUMBER})\s+({NUMBER})\s+{NUMBER}\s+{NUMBER}\s+({NUMBER})\s+({NUMBER})$",
                        out, re.M)
    assert [int(p[0]) for p in phases] == [1, 2, 4, 5, 6, 8]
    for _, duration, green, max_out, call in phases:
        assert 0 < float(green) < float(duration)
        assert 0 <= float(max_out) <= 1 and 0 <= float(call) <= 1


def check_tti(tti):
    assert set(tti) == {"mean", "p50", "p80", "p95", "planning_time_index"}
    assert 1.0 <= tti["p50"] <= tti["p80"] <= tti["p95"] == tti["planning_time_index"]
    assert tti["mean"] >= 1.0


def test_freeway_reliability_writes_its_results(tmp_path):
    path = tmp_path / "freeway.json"
    out = run("freeway_reliability.py", str(path))
    assert re.search(rf"TTI mean {NUMBER}, 50th {NUMBER}, 80th {NUMBER}, 95th {NUMBER}; "
                     rf"planning time index {NUMBER}", out)
    results = json.loads(path.read_text())
    check_tti(results["tti"])
    period = results["reporting_period"]
    assert (period["seed_month"], period["seed_weekday"]) == (4, "Wednesday")
    assert results["num_scenarios"] == len(period["months"]) * len(period["weekdays"]) * period["replications"]
    assert results["num_observations"] == 6 * results["num_scenarios"]
    assert results["metrics"]["tti_mean"] == pytest.approx(results["tti"]["mean"])
    assert results["metrics"]["tti_max"] >= results["tti"]["p95"]
    assert set(results["worst_period_tti_by_weekday"]) == set(period["weekdays"])
    # without a file name the same results go to standard output
    printed = run("freeway_reliability.py")
    assert json.loads(printed[printed.index("\n{") + 1:]) == results


def test_urban_reliability_writes_both_studies(tmp_path):
    path = tmp_path / "urban.json"
    out = run("urban_reliability.py", str(path))
    assert len(re.findall(r"planning time index", out)) == 2
    results = json.loads(path.read_text())
    period = results["reporting_period"]
    base, adaptive = results["base"], results["adaptive signals"]
    for study in (base, adaptive):
        check_tti(study["tti"])
        assert study["num_scenarios"] == 261 * period["analysis_periods_per_day"]  # weekdays of the year
        assert 0 <= study["reliability_rating_urban"] <= 100
    # the same weather and crashes (same seeds); adaptive signals only remove delay
    assert (adaptive["num_weather_events"], adaptive["num_incidents"]) == (base["num_weather_events"],
                                                                          base["num_incidents"])
    assert adaptive["tti"]["mean"] < base["tti"]["mean"] and adaptive["total_vhd"] < base["total_vhd"]


def test_interchange_reports_every_od_movement_and_its_growth_limit():
    out = run("interchange.py")
    rows = re.findall(rf"^\s+([A-N])\s+({NUMBER})\s+({NUMBER})\s+({NUMBER})\s+({NUMBER})\s+({LOS})$", out, re.M)
    assert [r[0] for r in rows] == list("ABCDEFGHIJMN")  # K and L carry no demand
    for _, demand, delay, edtt, ett, _ in rows:
        assert float(demand) > 0 and float(ett) == pytest.approx(float(delay) + float(edtt), abs=0.11)
    assert len(re.findall(rf"^  [EWNS]b\w+\s+{NUMBER}\s+{NUMBER}\s+{NUMBER}\s+{NUMBER}\s+", out, re.M)) == 12
    growth = re.findall(rf"^\s+(\d\.\d)\s+({NUMBER})\s+({LOS})\s+[A-N] \(", out, re.M)
    etts = [float(g[1]) for g in growth]
    assert len(growth) >= 2 and etts == sorted(etts)  # more demand, longer travel times
    assert re.search(r"reaches LOS [EF]|carries twice today's demand", out)


def test_two_lane_facility_runs_every_step():
    out = run("two_lane_facility.py")
    rows = re.findall(rf"^\s+(\d)\s+(passing \w+)\s+(\d)\s+(?:{NUMBER}\s+){{6}}({LOS})$", out, re.M)
    assert len(rows) == 10
    assert [r[1] for r in rows[:5]].count("passing lane") == 0 and rows[7][1] == "passing lane"
    assert "note:" not in out  # every segment within the length limits of its class
    facility = re.findall(rf"facility: 7\.5 mi, ({NUMBER}) followers/mi/ln, LOS ({LOS})", out)
    assert len(facility) == 2
    # a passing lane never adds followers to the facility
    assert float(facility[1][0]) <= float(facility[0][0])
