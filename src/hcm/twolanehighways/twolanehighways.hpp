#pragma once
// HCM Chapter 15: two-lane highway facilities of passing-constrained, passing-zone and
// passing-lane segments, each possibly made of tangent and horizontal-curve subsegments.
//
// The analysis runs step by step, as the HCM orders it; each step takes a segment index, reads
// what earlier steps stored in that segment (an absent value takes the step's fallback; no step
// checks that its prerequisites ran), stores its own result there and returns it:
//
//   hcm::twolanehighways::TwoLaneHighways f;
//   f.segments.push_back(segment);            // passing type, length (mi), grade (%), speed limit
//   f.lane_width = 12.0; f.shoulder_width = 6.0; f.apd = 0.0;
//   f.determine_vertical_alignment(0);        // Exhibit 15-11
//   f.determine_demand_flow(0);
//   f.determine_free_flow_speed(0);
//   f.estimate_average_speed(0);
//   f.estimate_percent_followers(0);
//   f.determine_follower_density_pc_pz(0);    // determine_follower_density_pl for passing lanes
//   LevelOfService los = f.determine_segment_los(0, 50.0, 1700);
//
// A segment index at or beyond the segment count throws hcm::Error and changes nothing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "hcm/common/common.hpp"

namespace hcm::twolanehighways {

using common::LevelOfService;

// Passing type codes of `Segment::passing_type`.
inline constexpr std::size_t PASSING_CONSTRAINED = 0;
inline constexpr std::size_t PASSING_ZONE = 1;
inline constexpr std::size_t PASSING_LANE = 2;

// What an absent segment input reads as, both from Python and in the steps.
namespace defaults {
inline constexpr double VOLUME = 1000.0;       // veh/h, analysis direction
inline constexpr double VOLUME_OP = 1500.0;    // veh/h, opposing direction
inline constexpr double PHF = 0.95;
inline constexpr double PHV = 5.0;             // percent heavy vehicles
inline constexpr std::int32_t CAPACITY = 1700; // veh/h
inline constexpr std::int32_t VERTICAL_CLASS = 1;
}  // namespace defaults

// One tangent or horizontal-curve piece of a segment. Every field stays absent until given; the
// average-speed step writes `avg_speed` and `hor_class` into a facility's copy.
struct SubSegment {
    std::optional<double> length;         // ft
    std::optional<double> avg_speed;      // mi/h
    std::optional<std::int32_t> hor_class;  // horizontal alignment class, 0-5
    std::optional<double> design_rad;     // ft; a curve when present and above 0
    std::optional<double> central_angle;  // degrees; not used by the method
    std::optional<double> sup_ele;        // superelevation rate, percent
};

// Two subsegments are the same piece when their lengths and average speeds agree within 1e-6
// (absent reads 0) and their horizontal classes are equal (absent reads 0); the curve geometry
// takes no part.
bool same_subsegment(const SubSegment& a, const SubSegment& b);

// One analysis segment: four required inputs, optional inputs (absent until given; the
// `defaults` apply when read) and the results the steps store.
struct Segment {
    std::size_t passing_type = PASSING_CONSTRAINED;
    double length = 0.0;  // mi
    double grade = 0.0;   // percent
    double spl = 0.0;     // posted speed limit, mi/h
    std::optional<bool> is_hc;  // the segment contains horizontal curves
    std::optional<double> volume;       // veh/h
    std::optional<double> volume_op;    // veh/h
    std::optional<double> flow_rate;    // v_d, veh/h
    std::optional<double> flow_rate_o;  // v_o, veh/h
    std::optional<std::int32_t> capacity;  // veh/h
    std::optional<double> ffs;          // mi/h
    std::optional<double> avg_speed;    // mi/h
    std::optional<std::int32_t> vertical_class;  // 1-5
    std::vector<SubSegment> subsegments;
    std::optional<double> phf;
    std::optional<double> phv;          // percent
    std::optional<double> pf;           // percent followers
    std::optional<double> fd;           // followers/mi/ln
    std::optional<double> fd_mid;       // followers/mi/ln at the middle of a passing lane
    std::optional<std::int32_t> hor_class;
};

// Segment length limits (mi) of a passing type and vertical class.
struct LengthLimits {
    double min;
    double max;
};

struct DemandFlow {
    double v_d;  // demand flow rate, analysis direction (veh/h)
    double v_o;  // opposing demand flow rate (veh/h)
    std::int32_t capacity;  // veh/h
};

// A speed of the Step 4 model with the horizontal alignment class it found.
struct SpeedAndClass {
    double speed;  // mi/h
    std::int32_t hor_class;
};

struct PassingLaneFollowerDensity {
    double fd;      // segment follower density from the stored PF and speed
    double fd_mid;  // follower density at the middle of the passing lane
};

// Inputs of the Step 4 average-speed model.
struct SpeedModelInputs {
    std::size_t passing_type = PASSING_CONSTRAINED;
    std::int32_t vertical_class = defaults::VERTICAL_CLASS;
    bool horizontal_curve = false;
    double length = 0.0;    // L, mi
    double bffs = 0.0;      // mi/h
    double ffs = 0.0;       // mi/h
    double v_d = 0.0;       // veh/h
    double v_o = 0.0;       // veh/h
    double phv = defaults::PHV;  // percent
    double radius = 0.0;    // R, ft
    double superelevation = 0.0;  // e, percent
};

// Inputs of the Step 5 percent-followers model.
struct FollowerModelInputs {
    std::int32_t capacity = defaults::CAPACITY;  // veh/h
    std::size_t passing_type = PASSING_CONSTRAINED;
    std::int32_t vertical_class = defaults::VERTICAL_CLASS;
    double length = 0.0;  // mi
    double ffs = 0.0;     // mi/h
    double v_d = 0.0;     // veh/h
    double v_o = 0.0;     // veh/h
    double phv = defaults::PHV;  // percent
};

// Step 4 average travel speed: the tangent speed and, with the curve flag, the lower of it and
// the horizontal-curve speed (reported to 3 significant digits).
SpeedAndClass calc_speed(const SpeedModelInputs& in);

// Step 5 percent followers (percent).
double calc_percent_followers(const FollowerModelInputs& in);

// Exhibit 15-22: horizontal alignment class (0-5) of a curve of radius R (ft) and
// superelevation e (percent).
std::int32_t horizontal_class(double radius_ft, double superelevation_pct);

// Motorized-vehicle level of service of a follower density (followers/mi/ln), with the thresholds of
// posted speed limits of 50 mi/h and above or below 50; F for a density that is not a number.
LevelOfService follower_density_los(double fd, double s_pl);

// A two-lane highway facility: its segments in travel order and the facility-wide inputs.
struct TwoLaneHighways {
    std::optional<double> lane_width;      // ft
    std::optional<double> shoulder_width;  // ft
    std::optional<double> apd;             // access points/mi
    std::optional<double> pmhvfl;          // share of heavy vehicles in the faster passing lane
    std::optional<double> l_de;            // effective length of the passing-lane downstream effect, mi;
                                           // overwritten by the adjustment of a passing lane
    std::vector<Segment> segments;

    double total_length() const;

    // Segment length limits for the segment's passing type and vertical class.
    LengthLimits identify_vertical_class(std::size_t seg_num) const;
    // Step 1: vertical alignment class (Exhibit 15-11); stores `vertical_class`.
    std::int32_t determine_vertical_alignment(std::size_t seg_num);
    // Step 2: demand flow rates and capacity; stores `flow_rate`, `flow_rate_o`, `capacity`.
    DemandFlow determine_demand_flow(std::size_t seg_num);
    // Step 3: free-flow speed; stores `ffs`.
    double determine_free_flow_speed(std::size_t seg_num);
    // Step 4: average speed; stores `avg_speed` (and each subsegment's speed and class for a
    // segment with horizontal curves). The class returned is the tangent's, always 0.
    SpeedAndClass estimate_average_speed(std::size_t seg_num);
    // The Step 4 model for given values with the passing-lane coefficients; stores nothing.
    SpeedAndClass estimate_average_speed_sf(std::size_t seg_num, double length, double vd, double phv, double rad,
                                            double sup_ele) const;
    // Step 5: percent followers; stores `pf`.
    double estimate_percent_followers(std::size_t seg_num);
    // The Step 5 model for a given demand flow rate and heavy-vehicle percentage; stores nothing.
    double estimate_percent_followers_sf(std::size_t seg_num, double vd, double phv) const;
    // Step 6, passing-constrained and passing-zone segments; stores `fd`.
    double determine_follower_density_pc_pz(std::size_t seg_num);
    // Step 6, passing lanes: the faster and slower lane; stores `fd` and `fd_mid`.
    PassingLaneFollowerDensity determine_follower_density_pl(std::size_t seg_num);
    // Step 7: follower density downstream of the nearest passing lane at or before the segment (0
    // when no adjustment applies, always upstream of every passing lane); on a passing lane itself
    // it sets the facility's `l_de` from its own inputs, which the segments after it read.
    double determine_adjustment_to_follower_density(std::size_t seg_num);
    // Step 8: segment LOS from its follower density; F when its demand exceeds `cap`. A passing lane
    // is graded by `fd_mid`; another segment by the adjusted follower density where the downstream
    // adjustment of its nearest upstream passing lane applies (the value the facility step weighs
    // for it, computed from the record whatever ran before), else by `fd`.
    LevelOfService determine_segment_los(std::size_t seg_num, double s_pl, std::int32_t cap) const;
    // Step 9: length-weighted facility follower density with the downstream adjustments, the
    // segments adjusted in order; segments without length weigh nothing. Calling it again gives
    // the same value.
    double determine_facility_follower_density();
    LevelOfService determine_facility_los(double fd, double s_pl) const;
};

}  // namespace hcm::twolanehighways
