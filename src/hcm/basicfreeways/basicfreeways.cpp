#include "hcm/basicfreeways/basicfreeways.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

#include "base/format.hpp"
#include "base/numeric.hpp"
#include "hcm/basicfreeways/exhibits.hpp"
#include "hcm/common/error.hpp"
#include "hcm/common/pce_table.hpp"

namespace hcm::basicfreeways::basicfreeways {
namespace {

using base::num;
using hcm::common::pce_table::PceTable;

using namespace exhibits;

// Neighbouring clearances closer than this are treated as one point.
constexpr double CLEARANCE_TOLERANCE_FT = 0.001;

constexpr double DENSITY_AT_CAPACITY = BASIC_FREEWAY_DENSITY_AT_CAPACITY;  // speed at capacity = c / 45

// The terrain words of the segment constructors, with this procedure's own message.
constexpr base::OptionTable<common::Terrain, 3> GENERAL_TERRAIN_WORDS{
    base::Normalise::Lower,
    "unknown terrain type {:?}; HCM Exhibit 12-25 defines level and rolling (mountainous requires the Chapter "
    "25/26 mixed-flow model)",
    common::TERRAIN_WORDS.words};

// Density assigned when demand exceeds capacity or the speed is zero (pc/mi/ln).
constexpr double OVERSATURATED_DENSITY = 46.0;

// ---- Exhibit 12-15: LOS density thresholds (pc/mi/ln), upper bounds of A to E -----------------
constexpr std::array<double, 5> LOS_DENSITY_MAX = {11.0, 18.0, 26.0, 35.0, 45.0};

// ---- Exhibits 12-37 and 12-38: maximum service flow rates (pc/h/ln) by FFS and LOS A-E --------
struct MsfRow {
    double ffs;
    std::array<double, 5> msf;
};
struct MsfExhibit {
    std::string_view exhibit;
    std::string_view segment_type;
    std::int32_t low_ffs;
    std::int32_t high_ffs;
    std::span<const MsfRow> rows;
};
constexpr MsfRow BASIC_FREEWAY_MSF[] = {
    {75, {820, 1330, 1780, 2130, 2400}}, {70, {770, 1260, 1730, 2110, 2400}},
    {65, {710, 1170, 1660, 2060, 2350}}, {60, {660, 1080, 1560, 2000, 2300}},
    {55, {600, 990, 1430, 1910, 2250}},
};
constexpr MsfRow MULTILANE_MSF[] = {
    {60, {660, 1080, 1530, 1890, 2200}},
    {55, {600, 990, 1430, 1790, 2100}},
    {50, {550, 900, 1300, 1680, 2000}},
    {45, {490, 810, 1170, 1550, 1900}},
};
constexpr MsfExhibit EXHIBIT_12_37 = {"12-37", "basic freeway", 55, 75, BASIC_FREEWAY_MSF};
constexpr MsfExhibit EXHIBIT_12_38 = {"12-38", "multilane highway", 45, 60, MULTILANE_MSF};
constexpr double FFS_KEY_STEP = 5.0;

// Linear interpolation over points given with descending clearances; outside the axis the
// end value holds.
double interpolate_clearance(std::span<const double> axis, std::span<const double> values, double x) {
    if (x >= axis.front()) return values.front();
    for (std::size_t i = 0; i + 1 < axis.size(); ++i) {
        double hi = axis[i];
        double lo = axis[i + 1];
        if (x <= hi && x >= lo) {
            if (std::fabs(hi - lo) < CLEARANCE_TOLERANCE_FT) return values[i];
            return values[i] + (hi - x) / (hi - lo) * (values[i + 1] - values[i]);
        }
    }
    return values.back();
}

double lane_width_adjustment(std::optional<double> lane_width) {
    if (!lane_width) return 0.0;
    double w = *lane_width;
    if (w >= FULL_LANE_WIDTH_FT) return 0.0;
    if (w >= LANE_WIDTH_11_FT) return LANE_WIDTH_11_FT_ADJ;
    if (w >= LANE_WIDTH_10_FT) return LANE_WIDTH_10_FT_ADJ;
    return 0.0;  // below the exhibit (or not a number): no adjustment
}

double right_clearance_adjustment(double lc_r, std::uint32_t lane_count) {
    if (!std::isfinite(lc_r) || lc_r < 0.0) return 0.0;
    std::size_t row = lane_count == 2 ? 0 : lane_count == 3 ? 1 : lane_count == 4 ? 2 : 3;
    return interpolate_clearance(RIGHT_CLEARANCE_AXIS_FT, RIGHT_CLEARANCE_ADJ[row],
                                 std::min(lc_r, MAX_RIGHT_CLEARANCE_FT));
}

double total_clearance_adjustment(double lc_r, double lc_l, std::uint32_t lane_count) {
    // fmin: a clearance that is not a number counts as the full 6 ft.
    double tlc = std::fmin(lc_r, MAX_SIDE_CLEARANCE_FT) + std::fmin(lc_l, MAX_SIDE_CLEARANCE_FT);
    const auto& row = TOTAL_CLEARANCE_ADJ[lane_count < 3 ? 0 : 1];
    if (tlc < 0.0) return row.back();
    return interpolate_clearance(TOTAL_CLEARANCE_AXIS_FT, row, tlc);
}

double speed_flow_breakpoint(const BasicFreeways& s) {
    return s.is_basic() ? basic_freeway_breakpoint(s.adjusted_ffs, s.caf) : MULTILANE_BP;
}

// Speed at `flow` on the curve through (BP, FFS) and (c, c / 45) with the given exponent.
double speed_on_curve(double flow, double ffs, double capacity, double breakpoint, double exponent) {
    if (flow <= breakpoint) return ffs;
    if (!(flow <= capacity)) return 0.0;  // demand above capacity (or undefined): no speed on the curve
    const double span = capacity - breakpoint;
    if (!(span > 0.0)) return capacity / DENSITY_AT_CAPACITY;
    const double x = (flow - breakpoint) / span;
    // x * x is the exact square; pow would cost far more in the searches that call this.
    const double shape = exponent == BASIC_EXPONENT ? x * x : std::pow(x, exponent);
    return ffs - (ffs - capacity / DENSITY_AT_CAPACITY) * shape;
}

// E_T of the segment's general terrain; level when none is given.
double general_terrain_pce(const std::optional<std::string>& terrain_type) {
    if (!terrain_type) return basic_segment_general_terrain_et(common::Terrain::Level);
    return basic_segment_general_terrain_et(base::parse_option(GENERAL_TERRAIN_WORDS, *terrain_type));
}

const PceTable* pce_table_for_mix(std::uint32_t sut_percentage) {
    using namespace hcm::common::pce_table;
    switch (sut_percentage) {
        case 30: return &ET_TABLE_30SUT;
        case 50: return &ET_TABLE_50SUT;
        case 70: return &ET_TABLE_70SUT;
        default: return nullptr;
    }
}

// E_T on a specific upgrade: the table's grade rows bracketing the grade, each looked up at
// the grade length and heavy-vehicle percentage, interpolated linearly in grade.
double specific_upgrade_pce(const PceTable& table, double grade, double length, double p_t) {
    if (!std::isfinite(grade) || !std::isfinite(length) || !std::isfinite(p_t)) {
        throw Error("grade, length, and truck proportion must all be finite, got                  grade " +
                    num(grade) + ", length " + num(length) + ", p_t " + num(p_t));
    }
    const auto& grades = table.grade_axis;
    if (grade > grades.back()) {
        throw Error("grade " + num(grade) + "% exceeds the " + num(grades.back()) +
                    "% maximum tabulated in HCM Exhibit 12-26/27/28; steep single grades require the "
                    "Chapter 25/26 mixed-flow model (basicfreeways::mixed_flow for a single grade, "
                    "basicfreeways::composite_grade for consecutive grades)");
    }
    if (!(length > 0.0)) throw Error("grade length must be positive, got " + num(length) + " mi");
    if (p_t < 0.0 || p_t > 1.0) throw Error("truck proportion must be in [0, 1], got " + num(p_t));

    double g = std::max(grade, grades.front());  // downgrades use the -2 % row
    double pct = std::min(100.0 * p_t, table.pct_axis.back());

    std::size_t low = grades.size() - 1;
    double t = 0.0;
    for (std::size_t j = 1; j < grades.size(); ++j) {
        if (grades[j] > g) {
            low = j - 1;
            if (g != grades[low]) t = (g - grades[low]) / (grades[j] - grades[low]);
            break;
        }
    }
    double e_low = PceTable::at_grade(table, low, length, pct);
    if (t == 0.0) return e_low;
    double e_high = PceTable::at_grade(table, low + 1, length, pct);
    return e_low + t * (e_high - e_low);
}

// Whole lanes needed: rounded up; a negative or undefined count is 0, an unbounded one the
// largest count representable.
std::uint32_t round_up_lanes(double lanes) { return base::to_unsigned_sat<std::uint32_t>(std::ceil(lanes)); }

}  // namespace

double basic_freeway_capacity(double ffs) {
    return std::min(BASIC_CAPACITY_BASE + BASIC_CAPACITY_SLOPE * (ffs - BASIC_CAPACITY_REF_FFS), BASIC_CAPACITY_MAX);
}

double basic_freeway_breakpoint(double adjusted_ffs, double caf) {
    return (BASIC_BP_BASE + BASIC_BP_SLOPE * (BP_REFERENCE_FFS - adjusted_ffs)) * (caf * caf);
}

double basic_freeway_speed(double flow, double adjusted_ffs, double capacity, double breakpoint) {
    return speed_on_curve(flow, adjusted_ffs, capacity, breakpoint, BASIC_EXPONENT);
}

std::optional<double> basic_freeway_flow_at_density(double density, double adjusted_ffs, double capacity,
                                                    double breakpoint, double impedance_k, double impedance_onset) {
    const double span_sq = (capacity - breakpoint) * (capacity - breakpoint);
    if (!(span_sq > 0.0)) return std::nullopt;
    const double a = density * (adjusted_ffs - capacity / DENSITY_AT_CAPACITY) / span_sq;
    const double b = density * impedance_k + 1.0 - 2.0 * a * breakpoint;
    const double c = a * breakpoint * breakpoint - density * impedance_onset * impedance_k - density * adjusted_ffs;
    const double discriminant = b * b - 4.0 * a * c;
    if (!(a > 0.0) || !(discriminant >= 0.0)) return std::nullopt;
    return (std::sqrt(discriminant) - b) / (2.0 * a);
}

double round_f_hv(double f_hv) { return std::round(f_hv * 1000.0) / 1000.0; }

LevelOfService los_from_density(double density) { return common::los_by_density(LOS_DENSITY_MAX, density); }

double BasicFreeways::determine_free_flow_speed() {
    double f_lw = lane_width_adjustment(lane_width);
    double free_flow;
    if (is_basic()) {
        double f_rlc = right_clearance_adjustment(lc_r, lane_count);
        free_flow = bffs - f_lw - f_rlc - RAMP_DENSITY_COEFF * std::pow(static_cast<double>(trd), RAMP_DENSITY_EXP);
    } else {
        double f_lc = total_clearance_adjustment(lc_r, lc_l, lane_count);
        double f_m = median_type == MEDIAN_UNDIVIDED ? UNDIVIDED_MEDIAN_ADJ : 0.0;
        double f_a = std::min(ACCESS_POINT_ADJ_PER_POINT * apd, MAX_ACCESS_POINT_ADJ);
        free_flow = bffs - f_lw - f_lc - f_m - f_a;
    }
    ffs = free_flow;
    adjusted_ffs = free_flow * saf;
    breakpoint = speed_flow_breakpoint(*this);
    return adjusted_ffs;
}

double BasicFreeways::estimate_capacity() {
    double c;
    if (highway_type == HIGHWAY_MULTILANE) {
        c = std::min(MULTILANE_CAPACITY_BASE + MULTILANE_CAPACITY_SLOPE * (ffs - MULTILANE_CAPACITY_REF_FFS),
                     MULTILANE_CAPACITY_MAX);
    } else if (highway_type == HIGHWAY_BASIC) {
        c = basic_freeway_capacity(ffs);
    } else {
        c = OTHER_CAPACITY;
    }
    capacity = c;
    adjusted_capacity = c * caf;
    return c > 0.0 ? std::trunc(c) : 0.0;
}

double BasicFreeways::adjustment_heavy_vehicle_factor() {
    double proportion = p_t.value_or(0.0);
    double pce;
    if (sut_percentage == 0) {
        pce = general_terrain_pce(terrain_type);
    } else if (const PceTable* table = pce_table_for_mix(sut_percentage)) {
        pce = specific_upgrade_pce(*table, grade, length, proportion);
    } else {
        throw Error("HCM Chapter 12 tabulates specific-upgrade PCEs only for 30%, 50%, and 70% SUT mixes "
                    "(Exhibits 12-26 through 12-28); got " +
                    std::to_string(sut_percentage) +
                    "%. Use general terrain (sut_percentage = 0) or one of the tabulated mixes.");
    }
    double factor = common::pce_table::heavy_vehicle_factor(proportion, pce);
    e_t = pce;
    f_hv = factor;
    return round_f_hv(factor);
}

double BasicFreeways::estimate_demand_volume() {
    adjustment_heavy_vehicle_factor();
    demand_flow_rate = demand_flow_i / (phf * lane_count * round_f_hv(f_hv));
    return demand_flow_rate;
}

std::pair<double, double> BasicFreeways::calculate_speed() {
    if (breakpoint <= 0.0) breakpoint = speed_flow_breakpoint(*this);
    if (adjusted_capacity <= 0.0) adjusted_capacity = capacity * caf;
    double exponent = is_basic() ? BASIC_EXPONENT : MULTILANE_EXPONENT;

    const double s = speed_on_curve(demand_flow_rate, adjusted_ffs, adjusted_capacity, breakpoint, exponent);
    speed = s;
    return {s, exponent};
}

double BasicFreeways::calculate_vc_ratio() {
    vc_ratio = adjusted_capacity > 0.0 ? demand_flow_rate / adjusted_capacity : 0.0;
    return vc_ratio;
}

double BasicFreeways::estimate_density() {
    if (speed <= 0.0) calculate_speed();
    vc_ratio = demand_flow_rate / adjusted_capacity;
    if (vc_ratio > 1.0) {
        density = OVERSATURATED_DENSITY;
    } else {
        density = speed > 0.0 ? demand_flow_rate / speed : OVERSATURATED_DENSITY;
    }
    return density;
}

LevelOfService BasicFreeways::determine_segment_los() {
    if (adjusted_capacity > 0.0) {
        vc_ratio = demand_flow_rate / adjusted_capacity;
        if (vc_ratio > 1.0) {
            los = LevelOfService::F;
            return los;
        }
    } else {
        vc_ratio = 0.0;
    }
    los = los_from_density(density);
    return los;
}

LevelOfService BasicFreeways::run_operational_analysis() {
    // Step 4 reads inputs only and is the one step that can fail: it runs first, so that a
    // refused analysis stores nothing.
    estimate_demand_volume();
    determine_free_flow_speed();
    estimate_capacity();
    if (adjusted_capacity > 0.0) {
        vc_ratio = demand_flow_rate / adjusted_capacity;
        if (vc_ratio > 1.0) {
            // Demand exceeds capacity: LOS F; speed and density keep their previous values.
            los = LevelOfService::F;
            return los;
        }
    }
    calculate_speed();
    bool over_capacity = demand_flow_rate / adjusted_capacity > 1.0;
    if (over_capacity) {
        density = OVERSATURATED_DENSITY;
    } else {
        density = speed > 0.0 ? demand_flow_rate / speed : OVERSATURATED_DENSITY;
    }
    calculate_vc_ratio();
    los = over_capacity ? LevelOfService::F : los_from_density(density);
    return los;
}

std::pair<std::uint32_t, double> BasicFreeways::estimate_number_of_lanes() {
    double ffs_key = std::round(adjusted_ffs / FFS_KEY_STEP) * FFS_KEY_STEP + 0.0;  // + 0.0: no "-0" key
    const MsfExhibit& exhibit = is_basic() ? EXHIBIT_12_37 : EXHIBIT_12_38;
    auto los_code = static_cast<std::uint8_t>(los);

    const MsfRow* row = nullptr;
    for (const MsfRow& r : exhibit.rows) {
        if (r.ffs == ffs_key) row = &r;
    }
    if (row == nullptr || los == LevelOfService::F) {
        throw Error(msf_domain_error(exhibit.exhibit, exhibit.segment_type, ffs_key, los_code, exhibit.low_ffs,
                                     exhibit.high_ffs));
    }
    const double msf = row->msf.at(los_code);
    // The heavy-vehicle step stores E_T and f_HV once the exhibit has the row, or throws first.
    adjustment_heavy_vehicle_factor();
    double lanes = demand_flow_i / (phf * round_f_hv(f_hv)) / msf;
    lane_count = round_up_lanes(lanes);
    return {lane_count, lanes};
}

std::string msf_domain_error(std::string_view exhibit, std::string_view segment_type, double ffs_key,
                             std::uint8_t los_code, std::int32_t low_ffs, std::int32_t high_ffs) {
    std::string ex(exhibit);
    std::string type(segment_type);
    if (los_code == static_cast<std::uint8_t>(LevelOfService::F)) {
        return "LOS F has no maximum service flow rate in Exhibit " + ex +
               "; demand exceeding capacity requires the Chapter 10 methodology";
    }
    if (los_code == LOS_NOT_SET) {
        return "no target LOS set; Exhibit " + ex + " is keyed on the target LOS (A-E) for " + type + " segments";
    }
    return "FFS " + num(ffs_key) + " mi/h (rounded to the nearest 5) is outside the " + std::to_string(low_ffs) +
           "-" + std::to_string(high_ffs) + " mi/h range tabulated in Exhibit " + ex + " for " + type +
           " segments at LOS " + std::string(1, static_cast<char>('A' + los_code));
}

}  // namespace hcm::basicfreeways::basicfreeways
