#pragma once
// Passenger-car equivalents E_T of heavy vehicles: on specific upgrades, HCM Exhibits 12-26
// (30 % SUT / 70 % TT), 12-27 (50 % / 50 %) and 12-28 (70 % SUT / 30 % TT); on general terrain
// for the weaving and merge/diverge segments; and the heavy-vehicle factor made from an E_T.
//
// Each table is constant data: rows by grade, columns by grade length, and within a length
// column the E_T for each heavy-vehicle percentage. `at_grade` interpolates inside one grade
// row; choosing the row (and interpolating between rows) is the caller's.
#include <array>
#include <cstddef>
#include <span>

#include "hcm/common/common.hpp"

namespace hcm::common::pce_table {

struct PceTable {
    static constexpr std::size_t PCT_COUNT = 9;
    static constexpr std::size_t GRADE_COUNT = 8;

    // E_T at one grade length for each entry of `pct_axis`.
    using PctRow = std::array<double, PCT_COUNT>;

    // Heavy-vehicle percentages, ascending (the last column is ">= 25 %").
    std::array<double, PCT_COUNT> pct_axis;
    // Grade of each row in percent, ascending.
    std::array<double, GRADE_COUNT> grade_axis;
    // Per grade row: the grade-length breakpoints in miles, ascending.
    std::array<std::span<const double>, GRADE_COUNT> length_axes;
    // Per grade row: one PctRow per length breakpoint.
    std::array<std::span<const PctRow>, GRADE_COUNT> values;

    // E_T on grade row `row` (an index into `grade_axis`) for a grade `length_mi` miles long and
    // `pct` percent heavy vehicles: linear in the percentage, then in the length, each clamped
    // to the table's edges (never extrapolated). A row index outside the table is a caller bug
    // and throws std::out_of_range.
    static double at_grade(const PceTable& table, std::size_t row, double length_mi, double pct);
};

extern const PceTable ET_TABLE_30SUT;  // HCM Exhibit 12-26
extern const PceTable ET_TABLE_50SUT;  // HCM Exhibit 12-27
extern const PceTable ET_TABLE_70SUT;  // HCM Exhibit 12-28

// General-terrain E_T of the weaving and merge/diverge segments, indexed by Terrain (Level,
// Rolling, Mountainous): E_T - 1 = 1, 2, 4. Not the basic segment's table, which takes mountainous
// terrain as rolling (basicfreeways' BASIC_SEGMENT_GENERAL_TERRAIN_ET).
inline constexpr std::array<double, 3> WEAVING_RAMP_GENERAL_TERRAIN_ET = {2.0, 3.0, 5.0};

// Heavy-vehicle adjustment factor f_HV = 1 / (1 + P_T (E_T - 1)) (Equation 12-10), P_T a proportion.
inline double heavy_vehicle_factor(double p_t, double e_t) { return 1.0 / (1.0 + p_t * (e_t - 1.0)); }

// f_HV of the weaving and merge/diverge segments on general terrain (E_T from
// WEAVING_RAMP_GENERAL_TERRAIN_ET).
// A terrain value outside the enumeration is a caller bug and throws std::out_of_range.
inline double weaving_ramp_heavy_vehicle_factor(double p_t, Terrain terrain) {
    return heavy_vehicle_factor(p_t, WEAVING_RAMP_GENERAL_TERRAIN_ET.at(static_cast<std::size_t>(terrain)));
}

}  // namespace hcm::common::pce_table
