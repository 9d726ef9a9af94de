#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "../support/checks.hpp"
#include "hcm/common/pce_table.hpp"

using namespace hcm::common::pce_table;
using testing_support::kTol;

namespace {

const PceTable& table_for(int sut) {
    return sut == 30 ? ET_TABLE_30SUT : sut == 50 ? ET_TABLE_50SUT : ET_TABLE_70SUT;
}

// ---- Cells published in Exhibits 12-26 to 12-28 -------------------------------------------

struct Cell {
    int sut;
    std::size_t row;
    double length_mi;
    double pct;
    double expected;
};

class ExhibitCell : public ::testing::TestWithParam<Cell> {};

TEST_P(ExhibitCell, LookedUpExactly) {
    const Cell& c = GetParam();
    EXPECT_NEAR(PceTable::at_grade(table_for(c.sut), c.row, c.length_mi, c.pct), c.expected, kTol);
}

INSTANTIATE_TEST_SUITE_P(
    AnchorCells, ExhibitCell,
    ::testing::Values(Cell{30, 7, 1.0, 2, 13.02}, Cell{30, 7, 1.0, 25, 3.14},  // 6 %, >= 1.0 mi
                      Cell{50, 7, 1.0, 2, 12.15}, Cell{50, 7, 1.0, 25, 3.05}, Cell{70, 7, 1.0, 2, 11.81},
                      Cell{70, 7, 1.0, 25, 2.90}, Cell{30, 4, 1.5, 2, 7.53},  // 3.5 %, >= 1.5 mi
                      Cell{30, 4, 1.5, 25, 2.51}, Cell{70, 2, 0.375, 2, 3.63}, Cell{70, 2, 0.375, 25, 1.97},
                      // 70 % SUT: the 0.125-mi column grows with grade
                      Cell{70, 2, 0.125, 2, 2.67}, Cell{70, 2, 0.125, 25, 1.86}, Cell{70, 7, 0.125, 2, 3.51},
                      Cell{70, 7, 0.125, 25, 1.95}));

INSTANTIATE_TEST_SUITE_P(
    Interpolated, ExhibitCell,
    ::testing::Values(Cell{30, 2, 0.5, 2, 4.115},    // halfway between 0.375 and 0.625 mi
                      Cell{30, 2, 0.375, 3, 3.36},   // halfway between 2 % and 4 %
                      Cell{30, 2, 0.5, 3, (4.115 + (3.33 + 2.96) / 2) / 2},  // both at once
                      Cell{30, 7, 2.0, 2, 13.02},    // longer than the last breakpoint
                      Cell{30, 7, 0.05, 2, 2.62},    // shorter than the first breakpoint
                      Cell{30, 7, 1.0, 30, 3.14},    // above 25 % heavy vehicles
                      Cell{30, 7, 1.0, 1, 13.02}));  // below 2 % heavy vehicles

// The -2 % and 0 % rows repeat the level-terrain values at every length; in the 30 % and 50 %
// SUT tables the 0.125-mi column of every grade does too.
struct LevelCase {
    int sut;
    std::array<double, 9> level;
};

class LevelTerrainValues : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelTerrainValues, RepeatWhereTheExhibitPrintsOneRow) {
    const LevelCase& c = GetParam();
    const PceTable& t = table_for(c.sut);
    for (std::size_t k = 0; k < t.pct_axis.size(); ++k) {
        for (std::size_t row : {0u, 1u}) {
            for (double length : t.length_axes[row]) {
                EXPECT_NEAR(PceTable::at_grade(t, row, length, t.pct_axis[k]), c.level[k], kTol)
                    << "row " << row << " length " << length;
            }
        }
        if (c.sut != 70) {
            for (std::size_t row = 2; row < PceTable::GRADE_COUNT; ++row) {
                EXPECT_NEAR(PceTable::at_grade(t, row, 0.125, t.pct_axis[k]), c.level[k], kTol) << "row " << row;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mixes, LevelTerrainValues,
    ::testing::Values(LevelCase{30, {2.62, 2.37, 2.30, 2.24, 2.17, 2.12, 2.04, 1.99, 1.97}},
                      LevelCase{50, {2.67, 2.38, 2.31, 2.25, 2.16, 2.11, 2.02, 1.97, 1.93}},
                      LevelCase{70, {2.39, 2.18, 2.12, 2.07, 2.01, 1.96, 1.89, 1.85, 1.83}}));

// E_T grows with grade and length and falls with the heavy-vehicle share: a mistyped cell in
// the digitised data breaks one of these orders.
class TableShape : public ::testing::TestWithParam<int> {};

TEST_P(TableShape, MonotoneInGradeLengthAndShare) {
    const PceTable& t = table_for(GetParam());
    for (std::size_t row = 0; row < PceTable::GRADE_COUNT; ++row) {
        ASSERT_EQ(t.length_axes[row].size(), t.values[row].size());
        ASSERT_EQ(t.length_axes[row].size(), row < 5 ? 6u : 5u);
        for (std::size_t j = 0; j < t.values[row].size(); ++j) {
            const auto& v = t.values[row][j];
            for (std::size_t k = 0; k + 1 < v.size(); ++k) EXPECT_GE(v[k], v[k + 1]) << row << "/" << j;
            if (j > 0) {
                for (std::size_t k = 0; k < v.size(); ++k) EXPECT_GE(v[k], t.values[row][j - 1][k]) << row << "/" << j;
            }
            if (row > 0 && j < 4) {  // breakpoints 0.125 .. 0.875 mi exist on every row
                for (std::size_t k = 0; k < v.size(); ++k) EXPECT_GE(v[k], t.values[row - 1][j][k]) << row << "/" << j;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Mixes, TableShape, ::testing::Values(30, 50, 70));

TEST(PceTableRow, OutsideTheTableIsACallerBug) {
    EXPECT_THROW(PceTable::at_grade(ET_TABLE_30SUT, PceTable::GRADE_COUNT, 1.0, 5.0), std::out_of_range);
}

}  // namespace
