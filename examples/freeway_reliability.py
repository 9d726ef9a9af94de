"""Travel-time reliability of a freeway facility over a year of weekday peaks (HCM Chapter 11).

The study starts from one Chapter 10 freeway facility whose demands were counted on one day
(the "seed" day), and a reliability reporting period (RRP): which months and weekdays count, and
how many scenarios to draw for each (month, weekday) pair. Each scenario scales the seed demand
by the month/weekday demand multiplier and may carry weather, an incident, a work zone or a
special event. Every 15-minute period of every scenario gives one travel time index (TTI =
travel time / free-flow travel time); their weighted distribution is the facility's reliability.

This script reads the TTI distribution (mean, 50th, 80th and 95th percentiles; the 95th is the
planning time index, PTI) and writes the results as JSON: to the file named by the first
command-line argument, or to standard output when none is given.

Run it with `PYTHONPATH=build python examples/freeway_reliability.py [results.json]`.
"""

import json
import sys

import marvane

WEEKDAYS = ["Monday", "Tuesday", "Wednesday", "Thursday", "Friday"]

# The seed facility: a 2-mile, 3-lane section with an on-ramp and an off-ramp, six 15-minute
# periods of the afternoon peak (mainline and ramp demands in veh/h, one value per period).
facility = {
    "segments": [
        {"seg_type": "Basic", "length_ft": 2500},
        {"seg_type": "Merge", "length_ft": 1500, "on_ramp_demand": [600, 800, 900, 700, 500, 400]},
        {"seg_type": "Basic", "length_ft": 3000},
        {"seg_type": "Diverge", "length_ft": 1500, "off_ramp_demand": [400, 500, 600, 500, 400, 300]},
        {"seg_type": "Basic", "length_ft": 2500},
    ],
    "mainline_demand": [3600, 4200, 4600, 4400, 3800, 3200],
    "ffs": 65.0,  # mi/h
}

scenario_generation = {
    # --- reliability reporting period -------------------------------------------------------
    "months": list(range(1, 13)),  # 1 = January ... 12 = December (default: all twelve)
    "weekdays": WEEKDAYS,  # day names, Monday to Sunday (default: Monday to Friday)
    "replications": 4,  # scenarios drawn per (month, weekday) pair (default 4)
    # The seed facility's demands were counted on a Wednesday in April: its demand multiplier is
    # the divisor of every scenario's multiplier (the default `demand_multipliers` table is used).
    "seed_month": 4,
    "seed_weekday": "Wednesday",
    "rng_seed": 2026,  # same seed, same scenarios
    # --- sources of unreliability -----------------------------------------------------------
    # Weather: per month, the probability of each of the ten weather types during the study
    # period (medium rain, heavy rain, light snow, light-medium snow, medium-heavy snow, heavy
    # snow, severe cold, low, very low and minimal visibility) and each type's average duration
    # in minutes. The expected number of events of a type in a month is its probability times
    # that month's scenarios, rounded: with 20 scenarios a month, probabilities below 0.025
    # give no event.
    "weather": {
        "probabilities_by_month": [[0.06, 0.01, 0.08, 0.03, 0, 0, 0, 0.03, 0, 0]] * 3
                                  + [[0.10, 0.03, 0, 0, 0, 0, 0, 0.03, 0, 0]] * 8
                                  + [[0.06, 0.01, 0.08, 0.03, 0, 0, 0, 0.03, 0, 0]],
        "durations_min": [90, 45, 120, 90, 0, 0, 0, 60, 0, 0],
    },
    # Incidents: expected incidents per study period in each month (or give a crash rate).
    "incidents": {"monthly_frequencies": [0.4] * 12},
    # A summer work zone on the middle segment, Tuesdays and Wednesdays, first three periods:
    # capacity x 0.7 and speed x 0.9 while it is active.
    "work_zones": [{"months": [7, 8], "weekdays": ["Tuesday", "Wednesday"], "segments": [2], "periods": [0, 1, 2],
                    "caf": 0.7, "saf": 0.9}],
}

study = marvane.FreewayReliability(json.dumps({
    "facility": facility,
    "scenario_generation": scenario_generation,
    "vmt_weighted": True,  # weight each period's TTI by its vehicle-miles (the HCM default)
}))
study.run()

print(f"Freeway reliability: {study}")
print(f"  {study.num_scenarios} scenarios x {len(facility['mainline_demand'])} periods = "
      f"{study.num_observations} TTI observations; free-flow travel time {study.free_flow_travel_time_min:.2f} min")

# The TTI distribution. metrics() holds every measure at once; tti_percentile(p) gives any other
# percentile of the same weighted distribution.
metrics = json.loads(study.metrics())
tti = {
    "mean": study.tti_mean(),
    "p50": study.tti_percentile(50),
    "p80": study.tti_percentile(80),
    "p95": study.tti_percentile(95),
    "planning_time_index": metrics["tti_95"],  # the PTI is the 95th percentile TTI
}
print(f"  TTI mean {tti['mean']:.2f}, 50th {tti['p50']:.2f}, 80th {tti['p80']:.2f}, "
      f"95th {tti['p95']:.2f}; planning time index {tti['planning_time_index']:.2f}")
print(f"  misery index {metrics['misery_index']:.2f}, reliability rating {metrics['reliability_rating']:.1f} % "
      f"(TTI <= 1.33), {study.failure_pct_below_speed(45.0):.1f} % of travel below 45 mi/h, "
      f"expected delay {study.expected_vhd:.1f} veh-h per study period")

# The generated scenarios, with their weather events, incidents and work zones.
scenario_set = json.loads(study.scenario_set_json())
scenarios = scenario_set["scenarios"]
print(f"  generated {scenario_set['total_weather_events']} weather events and {scenario_set['total_incidents']} incidents; "
      f"{sum(1 for s in scenarios if s['work_zones'])} scenarios with the work zone")

# Which weekday is worst? Weighted mean of each scenario's worst-period TTI, by weekday.
by_day = {}
for s, ttis, probability in zip(scenarios, study.scenario_tti(), study.scenario_probabilities()):
    total, weight = by_day.get(s["weekday"], (0.0, 0.0))
    by_day[s["weekday"]] = (total + probability * max(ttis), weight + probability)
worst_period_tti = {day: total / weight for day, (total, weight) in by_day.items()}
print("  mean worst-period TTI by weekday: " + ", ".join(f"{d} {t:.2f}" for d, t in worst_period_tti.items()))

results = {
    "study": "freeway reliability",
    "reporting_period": {k: scenario_generation[k] for k in
                         ("months", "weekdays", "replications", "seed_month", "seed_weekday")},
    "num_scenarios": study.num_scenarios,
    "num_observations": study.num_observations,
    "free_flow_travel_time_min": study.free_flow_travel_time_min,
    "tti": tti,
    "metrics": metrics,
    "failure_pct_below_45_mph": study.failure_pct_below_speed(45.0),
    "expected_vhd": study.expected_vhd,
    "worst_period_tti_by_weekday": worst_period_tti,
}
if len(sys.argv) > 1:
    with open(sys.argv[1], "w") as out:
        json.dump(results, out, indent=2)
    print(f"  results written to {sys.argv[1]}")
else:
    print(json.dumps(results, indent=2))
