"""Long calls end on Ctrl-C with KeyboardInterrupt, leaving the object as it was."""

import json
import os
import signal
import subprocess
import sys
import time

import pytest

import marvane

# A discharge record of an upstream signal: volume, saturation flow, green start, green, queue service.
DISCHARGE = [900, 3600, 0, 40, 15]
# A segment whose arrival profile (a million steps, 40 discharges, a negative length that keeps the
# dispersion from settling) takes seconds.
SLOW_SEGMENT = {"segment_length_ft": -1320, "n_through_lanes": 2, "speed_limit_mph": 35,
                "through_demand_veh_h": 900, "control": "Signalized", "cycle_length_s": 1e6,
                "effective_green_s": 45, "sat_flow_veh_h_ln": 1900, "through_capacity_veh_h": 1710,
                "through_control_delay_s": 20, "upstream_discharge_profiles": [DISCHARGE] * 40}
# A segment of a million profile steps per analysis, analysed once per reliability scenario.
PROFILE_SEGMENT = {**SLOW_SEGMENT, "segment_length_ft": 1320, "cycle_length_s": 100,
                   "flow_profile_time_step_s": 1e-4, "upstream_discharge_profiles": [DISCHARGE]}
WEATHER = [{"total_precip_in": 3.0, "days_with_precip": 9, "mean_temp_f": 50, "precip_rate_in_h": 0.08}] * 12


def freeway(segments, periods):
    return {"segments": [{}] * segments, "mainline_demand": [9e3] * periods, "time_step_s": 0.25}


def freeway_study(**generation):
    """A one-segment study whose scenario generation alone takes seconds."""
    return marvane.FreewayReliability(json.dumps({"facility": {"segments": [{}], "mainline_demand": [1000]},
                                                  "scenario_generation": generation}))


def urban_reliability():
    config = {"analysis_periods_per_day": 4, "weather": WEATHER, "boundary_signals": [{}],
              "incidents": {"segment_crash_frequencies": [5.0], "intersection_crash_frequencies": [8.0, 8.0]}}
    return marvane.UrbanReliability(json.dumps({"facility": {"segments": [PROFILE_SEGMENT]}, "config": config}))


def twsc():
    t = marvane.Twsc(json.dumps({"demand": {"v2": 900, "v5": 800, "v7": 60},
                                 "geometry": {"major_lanes_per_direction": 2}}))
    t.set_upstream_signals(json.dumps({"cycle_s": 1e6, "time_step_s": 1, "eastbound": {
        "distance_ft": -1200, "progression_speed_mph": 35, "discharges": [DISCHARGE] * 40}}))
    return t


def readings(*names):
    """The object's state as its getters (and argument-free methods) read it, errors included."""
    def read(o):
        values = []
        for name in names:
            try:
                value = getattr(o, name)
                values.append(value() if callable(value) else value)
            except Exception as error:  # noqa: BLE001 - a refusal before a run is part of the state
                values.append(repr(error))
        return values
    return read


json_state = readings("to_json")


# (name, object builder, long call, state read before and after). The off-street path integration
# polls too, but takes at most about 0.2 s: too short to be interrupted 0.3 s in.
LONG_CALLS = [
    ("FreewayFacility.run_analysis", lambda: marvane.FreewayFacility(json.dumps(freeway(400, 300))),
     lambda o: o.run_analysis(), json_state),
    ("ManagedLaneFacility.run_analysis",
     lambda: marvane.ManagedLaneFacility(json.dumps({"gp": freeway(400, 300), "ml": [{"ffs": 65}] * 400})),
     lambda o: o.run_analysis(), json_state),
    ("FreewayReliability.run",
     lambda: marvane.FreewayReliability(json.dumps({"facility": freeway(40, 40),
                                                    "scenario_generation": {"replications": 4}})),
     lambda o: o.run(),
     readings("num_scenarios", "num_observations", "free_flow_travel_time_min", "expected_vhd", "scenario_tti")),
    # 180,000 scenarios, each month's weather events placed by draws over all of its scenarios.
    ("FreewayReliability.run weather placement",
     lambda: freeway_study(replications=3000, weather={"probabilities_by_month": [[0.5] + [0] * 9] * 12,
                                                       "durations_min": [15] + [0] * 9}),
     lambda o: o.run(), readings("num_scenarios", "num_observations", "scenario_tti")),
    # 100 incidents in each of 60,000 scenarios.
    ("FreewayReliability.run incidents",
     lambda: freeway_study(replications=1000, incidents={"monthly_frequencies": [100] * 12}),
     lambda o: o.run(), readings("num_scenarios", "num_observations", "scenario_tti")),
    ("UrbanSegment.analyze", lambda: marvane.UrbanSegment(json.dumps(SLOW_SEGMENT)), lambda o: o.analyze(),
     json_state),
    ("UrbanFacility.analyze",
     lambda: marvane.UrbanFacility(json.dumps({"segments": [{**SLOW_SEGMENT, "segment_length_ft": 1320}] * 20})),
     lambda o: o.analyze(), json_state),
    ("UrbanReliability.run", urban_reliability, lambda o: o.run(),
     readings("num_scenarios", "num_weather_events", "num_incidents", "base_free_flow_travel_time_s", "results")),
    ("Twsc.analyze", twsc, lambda o: o.analyze(), json_state),
]


def send_sigint_after(delay):
    """A helper process that sends SIGINT to this one after `delay` seconds and prints when it did.
    (A thread of this process could not: a call holds the interpreter lock until it ends.)"""
    code = ("import os, signal, sys, time; time.sleep(float(sys.argv[1])); sent = time.monotonic(); "
            "os.kill(int(sys.argv[2]), signal.SIGINT); print(sent)")
    return subprocess.Popen([sys.executable, "-c", code, str(delay), str(os.getpid())], stdout=subprocess.PIPE,
                            text=True)


def sent_at(sender, interrupted=False):
    """When the helper sent its signal (None when it had not, and now never will). Once the call was
    interrupted the helper has sent it and is printing when: wait for it rather than race it."""
    if interrupted:
        try:
            sender.wait(timeout=30)
        except subprocess.TimeoutExpired:
            pass
    if sender.poll() is None:
        sender.kill()
    out, _ = sender.communicate()
    return float(out) if out.strip() else None


@pytest.mark.parametrize("build, call, state", [case[1:] for case in LONG_CALLS], ids=[c[0] for c in LONG_CALLS])
def test_ctrl_c_ends_a_long_call_and_leaves_the_object_as_it_was(build, call, state):
    obj = build()
    before = state(obj)
    sender = send_sigint_after(0.3)
    arrived = None
    try:
        with pytest.raises(KeyboardInterrupt):
            call(obj)
        arrived = time.monotonic()
    finally:
        sent = sent_at(sender, interrupted=arrived is not None)
    assert sent is not None, "the call ended before the signal was sent"
    assert arrived - sent < 0.5
    assert state(obj) == before


# Many segments, each below the size at which its own arrival profile polls (99,999 steps of one
# discharge), together seconds of work: the facility polls between them.
SMALL_PROFILE_SEGMENT = {**SLOW_SEGMENT, "segment_length_ft": 2e8, "cycle_length_s": 99_999,
                         "upstream_discharge_profiles": [DISCHARGE]}


def test_ctrl_c_reaches_a_facility_of_many_small_segments_and_it_stores_nothing():
    facility = marvane.UrbanFacility(json.dumps({"segments": [SMALL_PROFILE_SEGMENT] * 100}))
    before = facility.to_json()
    sender = send_sigint_after(0.05)
    try:
        with pytest.raises(KeyboardInterrupt):
            facility.analyze()
    finally:
        sent = sent_at(sender)
    assert sent is not None, "the call ended before the signal was sent"
    assert facility.to_json() == before


def test_a_handler_that_does_not_raise_lets_the_call_finish():
    calls = []
    previous = signal.signal(signal.SIGINT, lambda *_: calls.append(time.monotonic()))
    try:
        study = marvane.FreewayReliability(json.dumps({"facility": freeway(40, 8),
                                                      "scenario_generation": {"replications": 1}}))
        sender = send_sigint_after(0.1)
        study.run()
        finished = time.monotonic()
        sent = sent_at(sender)
    finally:
        signal.signal(signal.SIGINT, previous)
    assert sent is not None and calls and calls[0] < finished  # the handler ran during the call
    assert study.num_scenarios == 60
