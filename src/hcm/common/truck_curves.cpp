#include "hcm/common/truck_curves.hpp"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "base/format.hpp"
#include "base/numeric.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"

namespace hcm::common::truck_curves {
namespace {

constexpr double GRADE_TOLERANCE = 1e-9;
constexpr double NEAREST_EXHIBIT_LIMIT_MPH = 2.5;
using base::units::FT_PER_MI;

// The digitised curve grades; index into the per-grade curve arrays below.
constexpr std::array<double, 4> CURVE_GRADES = {0, 2, 3, 5};

using GradeCurves = std::array<const Curve*, CURVE_GRADES.size()>;

const GradeCurves SUT_ACCEL = {&SPOT_SUT_ACCEL_G0, &SPOT_SUT_ACCEL_G2, &SPOT_SUT_ACCEL_G3, &SPOT_SUT_ACCEL_G5};
const GradeCurves SUT_DECEL = {&SPOT_SUT_DECEL_G0, &SPOT_SUT_DECEL_G2, &SPOT_SUT_DECEL_G3, &SPOT_SUT_DECEL_G5};
const GradeCurves TT_ACCEL = {&SPOT_TT_ACCEL_G0, &SPOT_TT_ACCEL_G2, &SPOT_TT_ACCEL_G3, &SPOT_TT_ACCEL_G5};
const GradeCurves TT_DECEL = {&SPOT_SUT_DECEL_G0, &SPOT_TT_DECEL_G2, &SPOT_TT_DECEL_G3, &SPOT_TT_DECEL_G5};

const std::array<GradeCurves, 3> SUT_INIT = {{
    {&FAMB_SUT_INIT60_G0, &FAMB_SUT_INIT60_G2, &FAMB_SUT_INIT60_G3, &FAMB_SUT_INIT60_G5},
    {&FAMB_SUT_INIT65_G0, &FAMB_SUT_INIT65_G2, &FAMB_SUT_INIT65_G3, &FAMB_SUT_INIT65_G5},
    {&FAMB_SUT_INIT70_G0, &FAMB_SUT_INIT70_G2, &FAMB_SUT_INIT70_G3, &FAMB_SUT_INIT70_G5},
}};
const std::array<GradeCurves, 3> TT_INIT = {{
    {&FAMB_TT_INIT50_G0, &FAMB_TT_INIT50_G2, &FAMB_TT_INIT50_G3, &FAMB_TT_INIT50_G5},
    {&FAMB_TT_INIT55_G0, &FAMB_TT_INIT55_G2, &FAMB_TT_INIT55_G3, &FAMB_TT_INIT55_G5},
    {&FAMB_TT_INIT65_G0, &FAMB_TT_INIT65_G2, &FAMB_TT_INIT65_G3, &FAMB_TT_INIT65_G5},
}};
const GradeCurves SUT_FFS65 = {&FAMB_SUT_FFS65_G0, &FAMB_SUT_FFS65_G2, &FAMB_SUT_FFS65_G3, &FAMB_SUT_FFS65_G5};
const GradeCurves TT_FFS65 = {&FAMB_TT_FFS65_G0, &FAMB_TT_FFS65_G2, &FAMB_TT_FFS65_G3, &FAMB_TT_FFS65_G5};

const std::array<std::uint32_t, 3>& initial_speeds(TruckClass cls) {
    return cls == TruckClass::Sut ? SUT_INITIAL_SPEEDS : TT_INITIAL_SPEEDS;
}

std::string speed_list(TruckClass cls) {
    const auto& speeds = initial_speeds(cls);
    return base::debug_list(std::vector<std::int64_t>(speeds.begin(), speeds.end()));
}

void check_distance(double distance_ft) {
    if (!std::isfinite(distance_ft) || distance_ft < 0) {
        throw Error("distance must be finite and non-negative, got " + base::num(distance_ft) + " ft");
    }
}

// Index into CURVE_GRADES of the curve for `grade`; -5 % runs on the level curves.
std::size_t grade_column(double grade, std::string_view exhibit) {
    if (!std::isfinite(grade)) throw Error("grade must be finite, got " + base::num(grade));
    const double g = std::abs(grade + 5.0) <= GRADE_TOLERANCE ? 0.0 : grade;
    for (std::size_t i = 0; i < CURVE_GRADES.size(); ++i) {
        if (std::abs(g - CURVE_GRADES[i]) <= GRADE_TOLERANCE) return i;
    }
    throw Error("grade " + base::num(grade) +
                "% is not digitised in Stage 1 of the mixed-flow truck curves (available: -5, 0, 2, 3, 5); " +
                std::string(exhibit) +
                " would have to be digitised for it. The curves are not extrapolated because each grade settles "
                "at its own crawl speed.");
}

constexpr std::string_view SPOT_EXHIBIT = "Exhibit 25-20/25-21";
constexpr std::string_view TIME_EXHIBIT = "the travel time exhibit";

// Linear interpolation on the 250-ft axis, the end points beyond it.
double curve_value(const Curve& curve, double distance_ft) {
    if (distance_ft <= 0) return curve.front();
    if (distance_ft >= CURVE_END_FT) return curve.back();
    const auto i = base::to_unsigned_sat<std::size_t>(std::floor(distance_ft / CURVE_STEP_FT));
    const double frac = (distance_ft - CURVE_STEP_FT * static_cast<double>(i)) / CURVE_STEP_FT;
    return curve.at(i) + frac * (curve.at(i + 1) - curve.at(i));
}

const Curve& spot_curve(TruckClass cls, bool accel, std::size_t column) {
    const GradeCurves& curves = cls == TruckClass::Sut ? (accel ? SUT_ACCEL : SUT_DECEL) : (accel ? TT_ACCEL : TT_DECEL);
    return *curves.at(column);
}

const Curve& time_curve(TruckClass cls, bool chapter_26, std::uint32_t speed, std::size_t column) {
    if (chapter_26) {
        if (speed == CHAPTER_26_FFS) return *(cls == TruckClass::Sut ? SUT_FFS65 : TT_FFS65).at(column);
    } else {
        const auto& speeds = initial_speeds(cls);
        const auto& curves = cls == TruckClass::Sut ? SUT_INIT : TT_INIT;
        for (std::size_t i = 0; i < speeds.size(); ++i) {
            if (speeds[i] == speed) return *curves.at(i).at(column);
        }
    }
    throw Error("no Stage-1 travel time curve for " + std::string(base::name_of(cls)) + " at " + std::to_string(speed) +
                (chapter_26 ? " mi/h FFS" : " mi/h initial speed") + ", " +
                std::to_string(static_cast<int>(CURVE_GRADES.at(column))) + "% grade; the " +
                (chapter_26 ? "Chapter 26 Appendix A" : "Chapter 25 Appendix A") +
                " exhibit for that combination has not been digitised. Stage 1 covers the combinations the "
                "published worked examples use: Chapter 25 SUT at 60/65/70 mi/h, Chapter 25 TT at 50/55/65 "
                "mi/h, Chapter 26 at 65 mi/h FFS, each at -5/0/2/3/5% grade.");
}

// Index of the entry of `values` within the tolerance of `x`, if any.
template <std::size_t N>
std::optional<std::size_t> find_within(const std::array<double, N>& values, double x) {
    for (std::size_t i = 0; i < N; ++i) {
        if (std::abs(x - values[i]) <= GRADE_TOLERANCE) return i;
    }
    return std::nullopt;
}

}  // namespace

double spot_rate(TruckClass cls, bool accel, double grade, double distance_ft) {
    check_distance(distance_ft);
    const std::size_t column = grade_column(grade, SPOT_EXHIBIT);
    return curve_value(spot_curve(cls, accel, column), distance_ft);
}

double spot_distance(TruckClass cls, bool accel, double grade, double rate) {
    if (!std::isfinite(rate)) throw Error("spot rate must be finite, got " + base::num(rate));
    const Curve& v = spot_curve(cls, accel, grade_column(grade, SPOT_EXHIBIT));
    const bool rising = v.back() > v.front();
    for (std::size_t k = 0; k + 1 < CURVE_POINTS; ++k) {
        const bool holds = rising ? (v[k] <= rate && rate <= v[k + 1]) : (v[k] >= rate && rate >= v[k + 1]);
        if (!holds) continue;
        double distance = CURVE_STEP_FT * static_cast<double>(k);
        const double step = v[k + 1] - v[k];
        if (std::abs(step) >= 1e-12) distance += CURVE_STEP_FT * (rate - v[k]) / step;
        return distance;
    }
    const bool before_start = rising ? rate <= v.front() : rate > v.front();
    return before_start ? 0.0 : CURVE_END_FT;
}

std::uint32_t nearest_exhibit(TruckClass cls, double speed) {
    if (!std::isfinite(speed) || speed <= 0) {
        throw Error("speed must be positive and finite, got " + base::num(speed) + " mi/h");
    }
    const auto& speeds = initial_speeds(cls);
    std::uint32_t best = speeds.front();
    for (std::uint32_t s : speeds) {
        if (std::abs(static_cast<double>(s) - speed) < std::abs(static_cast<double>(best) - speed)) best = s;
    }
    if (std::abs(static_cast<double>(best) - speed) > NEAREST_EXHIBIT_LIMIT_MPH) {
        throw Error("no Stage-1 Chapter 25 Appendix A curve within 2.5 mi/h of " + base::fixed(speed, 1) + " mi/h for " +
                    std::string(base::name_of(cls)) + " (digitised: " + speed_list(cls) +
                    "); that exhibit would have to be digitised");
    }
    return best;
}

double travel_time(TruckClass cls, bool chapter_26, std::uint32_t speed, double grade, double distance_ft) {
    check_distance(distance_ft);
    const std::size_t column = grade_column(grade, TIME_EXHIBIT);
    return curve_value(time_curve(cls, chapter_26, speed, column), distance_ft);
}

double travel_time_rate(TruckClass cls, bool chapter_26, std::uint32_t speed, double grade, double length_mi,
                        double ffs) {
    if (!std::isfinite(length_mi) || length_mi <= 0) {
        throw Error("segment length must be positive, got " + base::num(length_mi) + " mi");
    }
    const double length_ft = FT_PER_MI * length_mi;
    if (length_ft <= CURVE_END_FT) return travel_time(cls, chapter_26, speed, grade, length_ft) / length_mi;

    const double time_to_end = travel_time(cls, chapter_26, speed, grade, CURVE_END_FT);
    if (!std::isfinite(grade) || !std::isfinite(ffs)) {
        throw Error("grade and FFS must be finite, got grade " + base::num(grade) + ", FFS " + base::num(ffs));
    }
    const auto row = find_within(DELTA_GRADES, grade);
    if (!row) {
        throw Error("grade " + base::num(grade) +
                    "% is not a row of HCM Exhibit 25-24/25-25 (rows: -5, 0, 2, 3, 4, 5, 6, 7, 8)");
    }
    const auto column = find_within(DELTA_FFS, ffs);
    if (!column) {
        throw Error("FFS " + base::num(ffs) + " mi/h is not a column of HCM Exhibit 25-24/25-25 (columns: 50, 55, 60, 65, 70, 75)");
    }
    const double delta = (cls == TruckClass::Tt ? DELTA_TT : DELTA_SUT).at(*row).at(*column);
    return time_to_end / length_mi + delta * (1.0 - CURVE_END_FT / length_ft) * FT_PER_MI;
}

}  // namespace hcm::common::truck_curves
