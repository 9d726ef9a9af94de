// Golden test: the US-287 (Montana) case study of NCHRP Research Report 1102 (2024), "Reliability and
// Quality of Service Evaluation Methods for Rural Highways: A Guide", with the segment results its
// reference engine printed for the HCM 7th Edition two-lane method. Two runs of two-lane segments
// (1-7 and 9-34; segment 8 is an intersection), each analysed as one facility through every step,
// the run 9-34 with two passing lanes (segments 18 and 26).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <span>
#include <vector>

#include "hcm/twolanehighways/twolanehighways.hpp"

using namespace hcm::twolanehighways;
using hcm::common::LevelOfService;

namespace {

// One printed row: inputs, then results. Facility-wide: 12-ft lanes, 6-ft shoulders, no access
// points, PHF 0.95, level grade (vertical class 1), 40 % of the passing lanes' heavy vehicles in the
// faster lane. FD and adjusted FD in followers/mi/ln; for a passing lane both are FD at its midpoint.
struct Row {
    int seg;
    std::size_t passing_type;
    double length;  // mi, as printed
    double spl;     // mi/h
    double volume;
    double volume_op;  // veh/h
    double phv;        // percent
    double ffs;        // mi/h, printed to 0.01
    double speed;      // mi/h, printed to 0.01
    double pf;         // percent, printed to 0.1
    double fd;
    double adjusted_fd;
    LevelOfService los;  // from the adjusted FD
};

constexpr double PHF = 0.95;
constexpr double PMHVFL = 0.4;

const std::vector<Row> RUN_1_7 = {
    {1, 0, 0.2869, 70.0, 289.0, 193.0, 6.0, 79.6, 77.11, 36.9, 1.5, 1.5, LevelOfService::A},
    {2, 1, 0.5057, 55.0, 289.0, 193.0, 6.0, 62.5, 60.94, 37.6, 1.9, 1.9, LevelOfService::A},
    {3, 0, 0.1004, 55.0, 494.0, 329.0, 3.6, 62.58, 59.86, 57.0, 5.0, 5.0, LevelOfService::C},
    {4, 0, 0.1004, 45.0, 494.0, 329.0, 3.4, 51.19, 48.9, 60.1, 6.4, 6.4, LevelOfService::C},
    {5, 0, 0.5019, 45.0, 494.0, 329.0, 3.6, 51.18, 48.88, 58.2, 6.2, 6.2, LevelOfService::C},
    {6, 0, 0.2992, 35.0, 494.0, 329.0, 3.6, 39.78, 37.92, 61.5, 8.4, 8.4, LevelOfService::C},
    {7, 0, 0.0718, 25.0, 494.0, 329.0, 5.0, 28.33, 26.91, 62.1, 12.0, 12.0, LevelOfService::D},
};

const std::vector<Row> RUN_9_34 = {
    {9, 0, 0.1752, 25.0, 497.0, 331.0, 6.0, 28.3, 26.87, 62.2, 12.1, 12.1, LevelOfService::D},
    {10, 0, 0.2992, 35.0, 497.0, 331.0, 6.0, 39.7, 37.84, 61.6, 8.5, 8.5, LevelOfService::C},
    {11, 0, 0.3977, 45.0, 473.0, 315.0, 6.0, 51.1, 48.86, 57.7, 5.9, 5.9, LevelOfService::C},
    {12, 0, 0.6004, 55.0, 473.0, 315.0, 6.0, 62.5, 59.83, 53.5, 4.5, 4.5, LevelOfService::C},
    {13, 1, 1.0417, 70.0, 424.0, 283.0, 4.2, 79.66, 76.97, 42.1, 2.4, 2.4, LevelOfService::B},
    {14, 0, 0.701, 70.0, 424.0, 283.0, 4.2, 79.66, 76.54, 44.0, 2.6, 2.6, LevelOfService::B},
    {15, 1, 1.799, 70.0, 424.0, 283.0, 4.2, 79.66, 76.95, 42.7, 2.5, 2.5, LevelOfService::B},
    {16, 0, 0.8, 70.0, 424.0, 361.0, 4.2, 79.66, 76.53, 43.7, 2.6, 2.6, LevelOfService::B},
    {17, 1, 1.0, 70.0, 471.0, 314.0, 4.2, 79.66, 76.75, 45.2, 2.9, 2.9, LevelOfService::B},
    {18, 2, 2.4, 70.0, 471.0, 314.0, 4.2, 79.66, 79.36, 23.3, 0.7, 0.7, LevelOfService::A},
    {19, 0, 0.2, 70.0, 471.0, 314.0, 4.2, 79.66, 76.38, 49.5, 3.2, 2.6, LevelOfService::B},
    {20, 1, 2.6, 70.0, 471.0, 314.0, 4.2, 79.66, 76.72, 46.1, 3.0, 2.6, LevelOfService::B},
    {21, 0, 0.8, 70.0, 471.0, 314.0, 4.2, 79.66, 76.35, 46.6, 3.0, 2.7, LevelOfService::B},
    {22, 1, 0.8, 55.0, 471.0, 314.0, 4.2, 62.56, 60.23, 50.3, 4.1, 3.7, LevelOfService::B},
    {23, 0, 0.6, 70.0, 471.0, 314.0, 4.2, 79.66, 76.36, 47.2, 3.1, 2.8, LevelOfService::B},
    {24, 1, 2.6, 70.0, 471.0, 314.0, 4.2, 79.66, 76.72, 46.1, 3.0, 2.8, LevelOfService::B},
    {25, 0, 0.9, 70.0, 471.0, 314.0, 4.2, 79.66, 76.35, 46.4, 3.0, 2.8, LevelOfService::B},
    {26, 2, 1.402, 55.0, 471.0, 314.0, 4.2, 62.56, 62.14, 28.4, 1.1, 1.1, LevelOfService::A},
    {27, 0, 0.701, 70.0, 471.0, 314.0, 4.2, 79.66, 76.36, 46.8, 3.0, 2.4, LevelOfService::B},
    {28, 1, 0.9, 70.0, 471.0, 314.0, 4.2, 79.66, 76.75, 45.3, 2.9, 2.5, LevelOfService::B},
    {29, 0, 0.301, 70.0, 471.0, 314.0, 4.2, 79.66, 76.38, 49.0, 3.2, 2.7, LevelOfService::B},
    {30, 1, 0.398, 55.0, 471.0, 314.0, 4.2, 62.56, 60.25, 51.9, 4.3, 3.7, LevelOfService::B},
    {31, 0, 0.6, 70.0, 419.0, 357.0, 3.6, 79.68, 76.58, 44.0, 2.5, 2.2, LevelOfService::B},
    {32, 1, 3.7, 70.0, 466.0, 357.0, 3.6, 79.68, 76.73, 46.0, 2.9, 2.7, LevelOfService::B},
    {33, 0, 0.9, 70.0, 466.0, 310.0, 3.6, 79.68, 76.39, 46.1, 3.0, 2.8, LevelOfService::B},
    {34, 0, 0.8671, 55.0, 618.0, 412.0, 2.4, 62.62, 59.54, 60.2, 6.6, 6.6, LevelOfService::C},
};

// Half a printed unit of 0.01 (FFS, speed) and 0.1 (percent followers, FD); percent followers may
// differ by 0.01 more (the engine computes in single precision). The engine does not round FFS to
// 0.1 mi/h before the speed model, which moves its speeds by up to that rounding and 0.003 mi/h.
constexpr double HALF_HUNDREDTH = 0.005;
constexpr double HALF_TENTH = 0.05;
constexpr double PF_SLACK = 0.01;
constexpr double SPEED_SLACK = 0.003;
constexpr double EXACT = 1e-9;

TwoLaneHighways facility_of(std::span<const Row> rows) {
    TwoLaneHighways f;
    f.lane_width = 12.0;
    f.shoulder_width = 6.0;
    f.apd = 0.0;
    f.pmhvfl = PMHVFL;
    for (const Row& r : rows) {
        Segment s;
        s.passing_type = r.passing_type;
        s.length = r.length;
        s.grade = 0.0;
        s.spl = r.spl;
        s.volume = r.volume;
        s.volume_op = r.volume_op;
        s.phf = PHF;
        s.phv = r.phv;
        f.segments.push_back(s);
    }
    return f;
}

// Steps 1 to 6 of segment i. Like the engine, speed and percent followers see the length clamped to
// the segment's length limits; the downstream adjustment sees the printed length.
void run_segment_steps(TwoLaneHighways& f, std::size_t i) {
    const double printed = f.segments[i].length;
    f.determine_vertical_alignment(i);
    const LengthLimits limits = f.identify_vertical_class(i);
    f.segments[i].length = std::clamp(printed, limits.min, limits.max);
    f.determine_demand_flow(i);
    f.determine_free_flow_speed(i);
    f.estimate_average_speed(i);
    f.estimate_percent_followers(i);
    if (f.segments[i].passing_type == PASSING_LANE)
        f.determine_follower_density_pl(i);
    else
        f.determine_follower_density_pc_pz(i);
    f.segments[i].length = printed;
}

// Every printed LOS through the segment LOS step: adjusted FD where the adjustment applies, FD at
// the midpoint for a passing lane.
void check_segment_los(const TwoLaneHighways& f, std::span<const Row> rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("segment " + std::to_string(rows[i].seg));
        EXPECT_EQ(f.determine_segment_los(i, rows[i].spl, *f.segments[i].capacity), rows[i].los);
    }
}

// Runs the facility in order and checks every printed result of its rows.
void check_run(std::span<const Row> rows) {
    TwoLaneHighways f = facility_of(rows);
    for (std::size_t i = 0; i < rows.size(); ++i) run_segment_steps(f, i);
    check_segment_los(f, rows);  // before any adjustment has set l_de

    double weighted = 0.0;
    double length = 0.0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const Segment& s = f.segments[i];
        SCOPED_TRACE("segment " + std::to_string(r.seg));
        const bool passing_lane = r.passing_type == PASSING_LANE;
        const double adjustment = f.determine_adjustment_to_follower_density(i);
        const double fd = passing_lane ? *s.fd_mid : *s.fd;
        const double adjusted = !passing_lane && adjustment > 0.0 ? adjustment : fd;
        weighted += adjusted * s.length;
        length += s.length;

        EXPECT_NEAR(*s.ffs, r.ffs, HALF_HUNDREDTH + EXACT);
        if (!passing_lane) {  // the engine prints lane-flow-weighted values for a passing lane
            const double ffs_rounding = std::fabs(std::round(*s.ffs * 10.0) / 10.0 - *s.ffs);
            EXPECT_NEAR(*s.avg_speed, r.speed, ffs_rounding + SPEED_SLACK + HALF_HUNDREDTH);
            EXPECT_NEAR(*s.pf, r.pf, HALF_TENTH + PF_SLACK);
        }
        EXPECT_NEAR(fd, r.fd, HALF_TENTH);
        EXPECT_NEAR(adjusted, r.adjusted_fd, HALF_TENTH);
        EXPECT_EQ(follower_density_los(adjusted, r.spl), r.los);
    }
    // The facility step adjusts the same way, whatever ran before it, and weighs by length.
    const double facility_fd = f.determine_facility_follower_density();
    EXPECT_NEAR(facility_fd, weighted / length, EXACT);
    EXPECT_EQ(f.determine_facility_follower_density(), facility_fd);
    check_segment_los(f, rows);  // with l_de left by the last passing lane
}

TEST(TwoLaneCaseStudyUs287, SegmentsOneToSeven) { check_run(RUN_1_7); }

// Segments 19 to 25 lie between the two passing lanes and are adjusted from segment 18.
TEST(TwoLaneCaseStudyUs287, SegmentsNineToThirtyFourWithTwoPassingLanes) { check_run(RUN_9_34); }

}  // namespace
