#!/usr/bin/env python3
"""Rebuilds the truck performance curves of HCM Chapters 25 and 26, Appendix A.

The HCM prints the spot travel-time-rate curves (Exhibits 25-20/25-21) and the cumulative
travel-time curves only as charts. A handful of their values are known exactly (the start and end
rates of several spot curves, the first 1,250 ft of the SUT level acceleration curve, the 250-ft
and 10,000-ft times of a few cumulative curves), and the extra-time tables beyond 10,000 ft
(Exhibits 25-24/25-25) are known in full; the script reads those from
src/hcm/common/truck_curves.hpp, which publishes them. This script reconstructs every curve point with a small
truck-performance model fitted to those values and writes the C++ table file
src/hcm/common/truck_curve_data.cpp.

Model (per truck class, speeds v in ft/s, distance x in ft along the grade):

    mu * v * dv/dx = P(v) / v - g * (G / 100) - g * Cr - k * v^2

  P(v)  tractive power per unit mass (ft^2/s^3): the full value p up to the governor droop speed
        v_d, then falling linearly to the power that just holds 75 mi/h on a level road
        (the governed top speed), so that no truck exceeds 75 mi/h and a level road is approached
        smoothly, as the printed level curves do;
  Cr    rolling-resistance coefficient, fixed at ROLLING_RESISTANCE;
  k     aerodynamic drag per unit mass (1/ft);
  mu    effective-mass factor (rotating inertia and load), which stretches a trajectory along the
        distance axis without moving its crawl speed.

Fitting, in this order:
  1. Crawl speeds. For each grade row of the extra-time table of the class, the crawl-speed target
     is 1 / delta of the slowest column in which the truck runs below the free-flow speed (a
     column whose delta equals the level row's holds the truck at the free-flow speed and says
     nothing about its crawl speed). The 5 % crawl rate must lie strictly between the ends of the
     5 % acceleration and deceleration spot curves and inside the rounding band of the 5 % delta;
     inside that band it is a fitted value. Given it, p follows from the balance at 5 %, and k is
     fitted by least squares (in mi/h) to the other grade rows.
  2. Dynamics. Every curve with a known value gets its own effective-mass factor solved so that
     the model reproduces that value exactly (the Chapter 26 curves also share one fitted entry
     speed, set by the SUT 250-ft time). The 5 % crawl rate and the droop speed v_d of the class
     are chosen to make those factors as alike as possible (least squares of their logarithms);
     the class factor mu is their geometric mean and is used for every curve without a known
     value.
  3. Curves. Spot rates are 5280 / v(x) (s/mi); cumulative times are the integral of dx / v from
     the start of the grade (s). Acceleration curves start at the quoted start rate; where none is
     quoted (2 and 3 %) the start rate is interpolated linearly in grade between the 0 % and 5 %
     start rates. Deceleration curves start at 75 mi/h (48.0 s/mi). Chapter 25 cumulative curves
     start at their initial speed, Chapter 26 curves at the fitted entry speed. The SUT level
     acceleration curve keeps its quoted first six points (0 to 1,250 ft) and the model continues
     from the last of them. Points are rounded to two decimals, as digitised values are.

The script checks that every quoted value comes out exactly, that acceleration curves never rise,
deceleration curves never fall and cumulative times always grow, and then writes the table file.
Run it from anywhere with Python 3 (standard library only):

    python3 tools/truck_curves/generate.py           # rewrite the table file
    python3 tools/truck_curves/generate.py --check   # fail if the committed file differs
"""

from __future__ import annotations

import math
import re
import sys
from dataclasses import dataclass
from pathlib import Path

OUTPUT = Path(__file__).resolve().parents[2] / "src" / "hcm" / "common" / "truck_curve_data.cpp"

GRAVITY = 32.174  # ft/s^2
FT_PER_MI = 5280.0
FTS_PER_MPH = 5280.0 / 3600.0
ROLLING_RESISTANCE = 0.006  # radial truck tyres on good pavement
GOVERNED_MPH = 75.0
V_GOV = GOVERNED_MPH * FTS_PER_MPH

POINTS = 41
STEP_FT = 250.0
LAST_FT = STEP_FT * (POINTS - 1)

CURVE_GRADES = (0, 2, 3, 5)
SPEEDS_25 = {"SUT": (60, 65, 70), "TT": (50, 55, 65)}
FFS_26 = 65

# HCM Exhibits 25-24/25-25: extra travel time beyond 10,000 ft (s/ft) by grade row and FFS column,
# read from the C++ header that publishes them.
HEADER = OUTPUT.with_name("truck_curves.hpp")
DELTA_GRADES = (-5, 0, 2, 3, 4, 5, 6, 7, 8)
DELTA_FFS = (50, 55, 60, 65, 70, 75)


def read_delta_tables() -> dict[str, tuple[tuple[float, ...], ...]]:
    text = HEADER.read_text()
    tables = {}
    for cls in ("TT", "SUT"):
        body = re.search(r"DeltaTable DELTA_%s = \{\{(.*?)\}\};" % cls, text, re.S)
        if body is None:
            raise SystemExit(f"DELTA_{cls} not found in {HEADER}")
        rows = tuple(tuple(float(x) for x in row.split(",")) for row in re.findall(r"\{([^{}]*)\}", body.group(1)))
        if len(rows) != len(DELTA_GRADES) or any(len(r) != len(DELTA_FFS) for r in rows):
            raise SystemExit(f"DELTA_{cls} in {HEADER} is not a {len(DELTA_GRADES)}x{len(DELTA_FFS)} table")
        tables[cls] = rows
    return tables


DELTA = read_delta_tables()

# Values read off the printed curves.
SUT_LEVEL_ACCEL_HEAD = (87.15, 87.15, 81.9, 74.89, 69.29, 66.16)  # s/mi at 0, 250, ..., 1250 ft
ACCEL_START = {("SUT", 0): 87.15, ("SUT", 5): 115.49, ("TT", 0): 114.52, ("TT", 5): 146.18}
DECEL_START = 48.0  # s/mi: 75 mi/h
SPOT_END = {  # (class, accel, grade) -> s/mi at 10,000 ft
    ("SUT", True, 0): 48.02,
    ("SUT", True, 5): 77.12,
    ("SUT", False, 5): 76.58,
    ("TT", True, 5): 106.57,
    ("TT", False, 5): 106.45,
}
TIME_AT_END = {  # (class, chapter, speed, grade) -> s at 10,000 ft
    ("SUT", 26, 65, 0): 92.39,
    ("TT", 26, 65, 0): 93.86,
    ("TT", 26, 65, 5): 172.93,
    ("SUT", 25, 60, 5): 137.74,
    ("TT", 25, 50, 0): 101.31,
}
SUT_26_TIME_AT_250 = 2.47  # s: FFS 65 mi/h, level

M_LO, M_HI = 0.25, 4.0  # search range of effective-mass factors
DX = 8.0  # ft, integration step


# ----------------------------------------------------------------------------------------------
# Model


@dataclass
class Truck:
    p: float  # full tractive power per unit mass, ft^2/s^3
    k: float  # drag per unit mass, 1/ft
    v_droop: float  # ft/s

    def __post_init__(self) -> None:
        # power share that just holds the governed speed on a level road
        self.share_at_gov = V_GOV * (GRAVITY * ROLLING_RESISTANCE + self.k * V_GOV**2) / self.p

    def power(self, v: float) -> float:
        if v <= self.v_droop:
            return self.p
        if v >= V_GOV:
            return self.p * self.share_at_gov
        f = (v - self.v_droop) / (V_GOV - self.v_droop)
        return self.p * (1.0 - f * (1.0 - self.share_at_gov))

    def accel(self, v: float, grade: float) -> float:
        """Acceleration (ft/s^2) at unit effective mass."""
        return self.power(v) / v - GRAVITY * (ROLLING_RESISTANCE + grade / 100.0) - self.k * v * v

    def crawl(self, grade: float) -> float:
        if self.accel(V_GOV * (1 - 1e-12), grade) >= 0:
            return V_GOV
        lo, hi = 1.0, V_GOV
        for _ in range(100):
            mid = 0.5 * (lo + hi)
            if self.accel(mid, grade) > 0:
                lo = mid
            else:
                hi = mid
        return 0.5 * (lo + hi)


class Trajectory:
    """Speed and elapsed time along a grade at unit effective mass, on a DX grid, grown on demand.

    With effective-mass factor m the same truck is at distance x where the unit-mass truck is at
    x / m, and has taken m times as long to get there.
    """

    def __init__(self, truck: Truck, grade: float, v0: float):
        self.truck, self.grade = truck, grade
        self.v = [v0]
        self.t = [0.0]

    def _deriv(self, v: float) -> tuple[float, float]:
        a = self.truck.accel(v, self.grade)
        if v >= V_GOV and a > 0:
            a = 0.0
        return a / v, 1.0 / v

    def _grow(self, x: float) -> None:
        need = int(x / DX) + 2
        v, t = self.v[-1], self.t[-1]
        h = DX
        while len(self.v) < need:
            k1v, k1t = self._deriv(v)
            k2v, k2t = self._deriv(v + 0.5 * h * k1v)
            k3v, k3t = self._deriv(v + 0.5 * h * k2v)
            k4v, k4t = self._deriv(v + h * k3v)
            v = min(v + h / 6 * (k1v + 2 * k2v + 2 * k3v + k4v), V_GOV)
            t = t + h / 6 * (k1t + 2 * k2t + 2 * k3t + k4t)
            self.v.append(v)
            self.t.append(t)

    def at(self, x: float) -> tuple[float, float]:
        self._grow(x)
        i = int(x / DX)
        f = x / DX - i
        return (self.v[i] + f * (self.v[i + 1] - self.v[i]), self.t[i] + f * (self.t[i + 1] - self.t[i]))

    def rate(self, x: float, m: float) -> float:
        return FT_PER_MI / self.at(x / m)[0]

    def time(self, x: float, m: float) -> float:
        return m * self.at(x / m)[1]


def bisect(fun, lo: float, hi: float, iterations: int = 80, geometric: bool = False) -> float:
    """Root of fun in [lo, hi]; fun must change sign there."""
    flo, fhi = fun(lo), fun(hi)
    if flo == 0:
        return lo
    if fhi == 0:
        return hi
    if (flo > 0) == (fhi > 0):
        raise ValueError(f"no sign change in [{lo}, {hi}]: {flo}, {fhi}")
    for _ in range(iterations):
        mid = math.sqrt(lo * hi) if geometric else 0.5 * (lo + hi)
        fm = fun(mid)
        if fm == 0:
            return mid
        if (fm > 0) == (flo > 0):
            lo, flo = mid, fm
        else:
            hi = mid
    return math.sqrt(lo * hi) if geometric else 0.5 * (lo + hi)


def golden(fun, lo: float, hi: float, iterations: int = 40) -> float:
    """Minimiser of a unimodal fun on [lo, hi]."""
    r = (math.sqrt(5) - 1) / 2
    a, b = lo, hi
    c, d = b - r * (b - a), a + r * (b - a)
    fc, fd = fun(c), fun(d)
    for _ in range(iterations):
        if fc < fd:
            b, d, fd = d, c, fc
            c = b - r * (b - a)
            fc = fun(c)
        else:
            a, c, fc = c, d, fd
            d = a + r * (b - a)
            fd = fun(d)
    return 0.5 * (a + b)


# ----------------------------------------------------------------------------------------------
# Fitting


def crawl_targets(cls: str) -> list[tuple[int, float]]:
    """(grade, crawl speed in mi/h) for every grade row above 0 % of the class's extra-time table."""
    table = DELTA[cls]
    level = table[DELTA_GRADES.index(0)]
    out = []
    for grade, row in zip(DELTA_GRADES, table):
        if grade <= 0:
            continue
        below_ffs = [d for d, lv in zip(row, level) if abs(d - lv) > 1e-12]
        out.append((grade, 3600.0 / (FT_PER_MI * max(below_ffs))))
    return out


def crawl5_band(cls: str) -> tuple[float, float]:
    """Open band (s/mi) for the 5 % crawl rate: between the two 5 % spot-curve ends and inside the
    rounding band of the 5 % delta."""
    d = DELTA[cls][DELTA_GRADES.index(5)][0]
    lo = max(SPOT_END[(cls, False, 5)], (d - 0.00005) * FT_PER_MI)
    hi = min(SPOT_END[(cls, True, 5)], (d + 0.00005) * FT_PER_MI)
    return lo, hi


def fit_power_and_drag(cls: str, crawl5_rate: float) -> tuple[float, float]:
    """p and k for a given 5 % crawl rate: p balances 5 %, k is least squares over the other rows."""
    v5 = FT_PER_MI / crawl5_rate
    targets = [(g, s) for g, s in crawl_targets(cls) if g != 5]

    def truck_for(k: float) -> Truck:
        p = v5 * (GRAVITY * (ROLLING_RESISTANCE + 0.05) + k * v5 * v5)
        return Truck(p, k, V_GOV)

    def cost(k: float) -> float:
        t = truck_for(k)
        return sum((t.crawl(g) / FTS_PER_MPH - s) ** 2 for g, s in targets)

    k = golden(cost, 0.0, 2e-4, 60)
    return truck_for(k).p, k


def start_rate_accel(cls: str, grade: int) -> float:
    if (cls, grade) in ACCEL_START:
        return ACCEL_START[(cls, grade)]
    r0, r5 = ACCEL_START[(cls, 0)], ACCEL_START[(cls, 5)]
    return r0 + (r5 - r0) * grade / 5.0


@dataclass
class CurveSpec:
    name: str
    cls: str
    kind: str  # "accel", "decel", "time"
    grade: int
    chapter: int = 0
    speed: int = 0

    def start_speed(self, v26: float) -> float:
        if self.kind == "accel":
            head = SUT_LEVEL_ACCEL_HEAD[-1] if (self.cls, self.grade) == ("SUT", 0) else None
            return FT_PER_MI / (head if head is not None else start_rate_accel(self.cls, self.grade))
        if self.kind == "decel":
            return FT_PER_MI / DECEL_START
        return v26 if self.chapter == 26 else self.speed * FTS_PER_MPH

    def offset(self) -> float:
        """Distance at which the model takes over (the SUT level acceleration head is kept)."""
        return STEP_FT * (len(SUT_LEVEL_ACCEL_HEAD) - 1) if (self.kind, self.cls, self.grade) == ("accel", "SUT", 0) else 0.0

    def anchor(self) -> float | None:
        if self.kind == "time":
            return TIME_AT_END.get((self.cls, self.chapter, self.speed, self.grade))
        return SPOT_END.get((self.cls, self.kind == "accel", self.grade))

    def value(self, tr: Trajectory, m: float, x: float) -> float:
        if self.kind == "time":
            return tr.time(x, m)
        return tr.rate(max(x - self.offset(), 0.0), m)


def curve_specs() -> list[CurveSpec]:
    specs = []
    for cls in ("SUT", "TT"):
        for kind in ("accel", "decel"):
            for g in CURVE_GRADES:
                if (cls, kind, g) == ("TT", "decel", 0):
                    continue  # shares the SUT level deceleration curve
                specs.append(CurveSpec(f"SPOT_{cls}_{kind.upper()}_G{g}", cls, kind, g))
    for cls in ("SUT", "TT"):
        for speed in SPEEDS_25[cls]:
            for g in CURVE_GRADES:
                specs.append(CurveSpec(f"FAMB_{cls}_INIT{speed}_G{g}", cls, "time", g, 25, speed))
        for g in CURVE_GRADES:
            specs.append(CurveSpec(f"FAMB_{cls}_FFS{FFS_26}_G{g}", cls, "time", g, 26, FFS_26))
    return specs


def solve_mass(spec: CurveSpec, tr: Trajectory, target: float) -> float:
    """Effective-mass factor that makes the curve's last point equal its known value."""
    return bisect(lambda m: spec.value(tr, m, LAST_FT) - target, M_LO, M_HI, 45, geometric=True)


def solve_v26(truck: Truck) -> tuple[float, float]:
    """Chapter 26 entry speed and effective-mass factor of the SUT level FFS-65 curve."""
    target = TIME_AT_END[("SUT", 26, FFS_26, 0)]

    def mass_for(v0: float) -> tuple[float, Trajectory]:
        tr = Trajectory(truck, 0, v0)
        return bisect(lambda m: tr.time(LAST_FT, m) - target, M_LO, M_HI, 45, geometric=True), tr

    def miss(v0: float) -> float:
        m, tr = mass_for(v0)
        return tr.time(STEP_FT, m) - SUT_26_TIME_AT_250

    v26 = bisect(miss, 66.0 * FTS_PER_MPH, 71.0 * FTS_PER_MPH, 32)
    return v26, mass_for(v26)[0]


@dataclass
class ClassFit:
    crawl5_rate: float
    truck: Truck
    masses: dict[str, float]
    mu: float
    v26: float


def fit_class(cls: str, specs: list[CurveSpec], v26: float | None) -> ClassFit:
    anchored = [s for s in specs if s.cls == cls and s.anchor() is not None]
    lo, hi = crawl5_band(cls)

    power_and_drag: dict[float, tuple[float, float]] = {}

    def evaluate(crawl5: float, vd_mph: float) -> ClassFit:
        if crawl5 not in power_and_drag:
            power_and_drag[crawl5] = fit_power_and_drag(cls, crawl5)
        p, k = power_and_drag[crawl5]
        truck = Truck(p, k, vd_mph * FTS_PER_MPH)
        v26_here = v26
        masses = {}
        if v26 is None:
            v26_here, masses[f"FAMB_{cls}_FFS{FFS_26}_G0"] = solve_v26(truck)
        for s in anchored:
            if s.name in masses:
                continue
            masses[s.name] = solve_mass(s, Trajectory(truck, s.grade, s.start_speed(v26_here)), s.anchor())
        mu = math.exp(sum(math.log(m) for m in masses.values()) / len(masses))
        return ClassFit(crawl5, truck, masses, mu, v26_here)

    def spread(fit: ClassFit) -> float:
        return sum(math.log(m / fit.mu) ** 2 for m in fit.masses.values())

    # the droop speed stays above every crawl speed from 2 % up, so it only shapes level running
    p0, k0 = fit_power_and_drag(cls, 0.5 * (lo + hi))
    vd_lo = Truck(p0, k0, V_GOV).crawl(2) / FTS_PER_MPH + 0.5
    margin = 0.1 * (hi - lo)
    best_vd = {}

    def best_for_crawl(crawl5: float) -> float:
        vd = golden(lambda vd: spread(evaluate(crawl5, vd)), vd_lo, GOVERNED_MPH - 0.5, 18)
        best_vd[crawl5] = vd
        return spread(evaluate(crawl5, vd))

    crawl5 = golden(best_for_crawl, lo + margin, hi - margin, 12)
    best_for_crawl(crawl5)
    return evaluate(crawl5, best_vd[crawl5])


# ----------------------------------------------------------------------------------------------
# Curves, checks, output


def build_curves(specs: list[CurveSpec], fits: dict[str, ClassFit]) -> dict[str, list[float]]:
    curves = {}
    for s in specs:
        fit = fits[s.cls]
        m = fit.masses.get(s.name, fit.mu)
        tr = Trajectory(fit.truck, s.grade, s.start_speed(fit.v26))
        values = [round(s.value(tr, m, STEP_FT * i), 2) for i in range(POINTS)]
        if s.kind == "time":
            values[0] = 0.0
        if s.name == "SPOT_SUT_ACCEL_G0":
            values[: len(SUT_LEVEL_ACCEL_HEAD)] = list(SUT_LEVEL_ACCEL_HEAD)
        curves[s.name] = [v + 0.0 for v in values]
    return curves


def check(specs: list[CurveSpec], curves: dict[str, list[float]]) -> None:
    for s in specs:
        c = curves[s.name]
        assert len(c) == POINTS
        a = s.anchor()
        if a is not None:
            assert c[-1] == a, (s.name, c[-1], a)
        if s.kind == "accel":
            if (s.cls, s.grade) in ACCEL_START:
                assert c[0] == ACCEL_START[(s.cls, s.grade)], s.name
            assert all(b <= a for a, b in zip(c, c[1:])), f"{s.name} rises"
        elif s.kind == "decel":
            assert c[0] == DECEL_START, s.name
            assert all(b >= a for a, b in zip(c, c[1:])), f"{s.name} falls"
        else:
            assert all(b > a for a, b in zip(c, c[1:])), f"{s.name} does not grow"
    assert curves["FAMB_SUT_FFS65_G0"][1] == SUT_26_TIME_AT_250
    assert curves["SPOT_SUT_ACCEL_G0"][: len(SUT_LEVEL_ACCEL_HEAD)] == list(SUT_LEVEL_ACCEL_HEAD)
    assert all(v == DECEL_START for v in curves["SPOT_SUT_DECEL_G0"])


def fmt(v: float) -> str:
    return repr(round(v, 2))


def render(specs: list[CurveSpec], curves: dict[str, list[float]], fits: dict[str, ClassFit]) -> str:
    lines = [
        "// GENERATED FILE - do not edit. Regenerate with: python3 tools/truck_curves/generate.py",
        "//",
        "// Truck performance curves of HCM Chapters 25 and 26, Appendix A, on the 41-point distance",
        "// axis (0 to 10,000 ft in steps of 250 ft): spot travel-time rates (s/mi, Exhibits",
        "// 25-20/25-21) and cumulative travel times (s). The printed curves are charts; these points",
        "// come from a truck-performance model (see tools/truck_curves/generate.py):",
        "//     mu v dv/dx = P(v)/v - g (G/100 + Cr) - k v^2",
        "// with full power per unit mass p up to the droop speed v_d, falling linearly to the power",
        "// that holds 75 mi/h on a level road; Cr = %s, g = %s ft/s^2. Every curve value read off"
        % (ROLLING_RESISTANCE, GRAVITY),
        "// the charts comes out exactly: curves with such a value have their own effective-mass",
        "// factor solved for it, the others use the class factor mu. Points are rounded to 0.01.",
        "//",
        "// Fitted parameters:",
    ]
    for cls in ("SUT", "TT"):
        f = fits[cls]
        t = f.truck
        crawl = ", ".join(f"{g}% {t.crawl(g) / FTS_PER_MPH:.2f}" for g in (2, 3, 4, 5, 6, 7, 8))
        lines += [
            f"//   {cls}: weight/power {550 * GRAVITY / t.p:.1f} lb/hp (p = {t.p:.4f} ft^2/s^3),"
            f" k = {t.k:.4e} 1/ft, v_d = {t.v_droop / FTS_PER_MPH:.2f} mi/h, mu = {f.mu:.4f};",
            f"//        5% crawl rate {f.crawl5_rate:.3f} s/mi; crawl speeds (mi/h): {crawl}",
            "//        curve factors: "
            + ", ".join(f"{n} {m:.4f}" for n, m in sorted(f.masses.items())),
        ]
    lines += [
        f"//   Chapter 26 entry speed (both classes): {fits['SUT'].v26 / FTS_PER_MPH:.3f} mi/h",
        "",
        "#include \"hcm/common/truck_curves.hpp\"",
        "",
        "namespace hcm::common::truck_curves {",
        "",
    ]
    for s in specs:
        vals = [fmt(v) for v in curves[s.name]]
        rows = [", ".join(vals[i : i + 9]) for i in range(0, POINTS, 9)]
        lines.append(f"const Curve {s.name} = {{")
        for r in rows:
            lines.append(f"    {r},")
        lines.append("};")
    lines += ["", "}  // namespace hcm::common::truck_curves", ""]
    return "\n".join(lines)


def main(argv: list[str]) -> int:
    specs = curve_specs()
    fits = {}
    fits["SUT"] = fit_class("SUT", specs, None)
    fits["TT"] = fit_class("TT", specs, fits["SUT"].v26)
    curves = build_curves(specs, fits)
    check(specs, curves)
    text = render(specs, curves, fits)
    if "--check" in argv:
        if not OUTPUT.exists() or OUTPUT.read_text() != text:
            print(f"{OUTPUT} is not what the generator writes", file=sys.stderr)
            return 1
        return 0
    OUTPUT.write_text(text)
    print(f"wrote {OUTPUT} ({len(specs)} curves)")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
