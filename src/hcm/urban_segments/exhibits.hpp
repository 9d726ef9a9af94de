#pragma once
// Tables and coefficients of HCM Chapter 18 (urban street segments, all modes) and their lookups.
#include <array>
#include <cstddef>
#include <cstdint>

#include "base/units.hpp"
#include "hcm/common/common.hpp"

namespace hcm::urban_segments::exhibits {

using common::LevelOfService;

// Running time: start-up lost time l1 (s) at a signalized boundary and at any other control.
inline constexpr double STARTUP_LOST_TIME_SIGNAL_S = 2.0;
inline constexpr double STARTUP_LOST_TIME_OTHER_S = 2.5;

// Exhibit 18-1: travel-speed thresholds (mi/h) of LOS A to E, one column per base free-flow speed.
inline constexpr std::array<double, 7> EXHIBIT_18_1_BASE_FFS = {55.0, 50.0, 45.0, 40.0, 35.0, 30.0, 25.0};
inline constexpr std::array<std::array<double, 7>, 5> EXHIBIT_18_1_THRESHOLDS = {{
    {44.0, 40.0, 36.0, 32.0, 28.0, 24.0, 20.0},  // A
    {37.0, 34.0, 30.0, 27.0, 23.0, 20.0, 17.0},  // B
    {28.0, 25.0, 23.0, 20.0, 18.0, 15.0, 13.0},  // C
    {22.0, 20.0, 18.0, 16.0, 14.0, 12.0, 10.0},  // D
    {17.0, 15.0, 14.0, 12.0, 11.0, 9.0, 8.0},    // E
}};

// Exhibit 18-1 LOS of a segment (or facility): F when the through v/c exceeds 1, otherwise the
// first letter whose travel-speed threshold, interpolated between the columns at the base
// free-flow speed clamped to 25-55 mi/h, the travel speed strictly exceeds (F for none, and for
// a travel speed that is not a number).
LevelOfService exhibit_18_1_los(bool vc_exceeds_one, double travel_speed_mph, double base_ffs_mph);

// Exhibit 18-13: through delay (s/veh) per influential access point, before the turn-percentage
// and bay factors; rows by through flow per lane (200 to 700 veh/h/ln by 100), columns by 1, 2
// and 3 or more through lanes.
inline constexpr std::array<std::array<double, 3>, 6> EXHIBIT_18_13_DELAY_S = {{
    {0.04, 0.04, 0.05},  // 200 veh/h/ln
    {0.08, 0.08, 0.09},  // 300
    {0.12, 0.15, 0.15},  // 400
    {0.18, 0.25, 0.15},  // 500
    {0.27, 0.41, 0.15},  // 600
    {0.39, 0.72, 0.15},  // 700
}};

// Exhibit 18-13 delay per access point, interpolated linearly between the rows and held at the
// 200 and 700 rows beyond them; `lanes` counts 0 as 1 and 4 or more as 3.
double exhibit_18_13_delay(double flow_per_lane_veh_h_ln, std::uint32_t lanes);

// Platoon ratio R_p of the HCM arrival types 1 to 6 (Chapter 19); any other type gives 1.0.
inline constexpr std::array<double, 6> ARRIVAL_TYPE_PLATOON_RATIO = {0.33, 0.67, 1.00, 1.33, 1.67, 2.00};
double arrival_type_platoon_ratio(std::uint8_t arrival_type);

// ---- Automobile mode: free-flow speed, running time and traveller perception ----
namespace automobile {

// Equation 18-3: speed constant S_0 = 25.6 + 0.47 S_pl and the cross-section, access-point and
// parking adjustments.
inline constexpr double SPEED_CONSTANT_BASE_MPH = 25.6;
inline constexpr double SPEED_CONSTANT_PER_LIMIT = 0.47;
inline constexpr double F_CS_MEDIAN = 1.5;
inline constexpr double F_CS_CURB = -0.47;
inline constexpr double F_CS_MEDIAN_CURB = -3.7;
inline constexpr double F_A_PER_ACCESS_POINT_MI = -0.078;
inline constexpr double F_PK_PARKING = -3.0;
// Equation 18-4: signal-spacing adjustment f_L, spacing counted at least 400 ft.
inline constexpr double F_L_BASE = 1.02;
inline constexpr double F_L_SLOPE = 4.7;
inline constexpr double F_L_SPEED_MPH = 19.5;
inline constexpr double F_L_MIN_SPACING_FT = 400.0;
// Equation 18-8: proximity adjustment f_v, from the midsegment flow against 52.8 N S_f.
inline constexpr double F_V_CAPACITY_PER_LANE_MPH = 52.8;
inline constexpr double F_V_MAX_RATIO = 0.999999;
inline constexpr double F_V_EXPONENT = 0.21;
// Equation 18-7: start-up term (6 - l1) / (0.0025 L).
inline constexpr double STARTUP_TIME_S = 6.0;
inline constexpr double STARTUP_PER_FT = 0.0025;
// Equation 18-17: automobile traveller perception score.
inline constexpr double PERCEPTION_LEFT_TURN_LANES = 0.3434;
inline constexpr double PERCEPTION_STOPS_PER_MI = -0.253;
inline constexpr std::array<double, 5> PERCEPTION_THRESHOLDS = {-1.1614, 0.6234, 1.7389, 2.7047, 3.8044};

}  // namespace automobile

// ---- Platoon dispersion (Robertson's model, Chapter 30): smoothing factor and travel-time lag ----
namespace robertson {

inline constexpr double SMOOTHING_TRAVEL_COEFF = 0.138;  // per step of travel time
inline constexpr double SMOOTHING_STEP_COEFF = 0.315;    // s, over the step length
inline constexpr double LAG_OFFSET_STEPS = 1.25;

}  // namespace robertson

// ---- Transit mode (Section 6): running speed, headway factor, perceived travel time, ridership
// elasticity and the transit segment LOS score. ----
namespace transit {

// Step 1: running speed of a transit vehicle that stops N_ts times on L ft.
inline constexpr double STOP_SPACING_FT = 1185.0;
inline constexpr double MAX_RUNNING_SPEED_MPH = 61.0;

// Step 8: headway factor.
inline constexpr double HEADWAY_COEFF = -1.434;
inline constexpr double HEADWAY_FREQUENCY_OFFSET = 0.001;
inline constexpr double HEADWAY_SCALE = 4.0;

// Step 9: perceived travel time rate.
inline constexpr double SHELTER_WEIGHT_MIN = 1.3;
inline constexpr double BENCH_WEIGHT_MIN = 0.2;
inline constexpr double LOAD_FACTOR_THRESHOLD = 0.8;
inline constexpr double LOAD_WEIGHT_SLOPE = 4.0;
inline constexpr double LOAD_WEIGHT_DIVISOR = 4.2;

// Step 10: ridership elasticities of the travel-time factor.
inline constexpr double ELASTICITY_BASE = -1.4;
inline constexpr double ELASTICITY_PERCEIVED = 0.6;

// Step 12: transit segment LOS score.
inline constexpr double PED_SCORE_WEIGHT = 0.15;
inline constexpr double WAIT_RIDE_COEFF = -1.5;
inline constexpr double SCORE_CONST = 6.0;

}  // namespace transit

// ---- Bicycle mode (Section 5): effective width, link LOS score, access points and segment score. ----
namespace bicycle {

// Step 2: effective width.
inline constexpr double NARROW_SIDE_WIDTH_FT = 4.0;  // below it the side width does not count
inline constexpr double PARKING_LOSS_NARROW_FT = 10.0;
inline constexpr double PARKING_LOSS_WIDE_FT = 20.0;

// Step 3: bicycle link LOS score.
inline constexpr double LINK_SCORE_CONST = 0.76;
inline constexpr double WIDTH_COEFF = -0.005;
inline constexpr double VOLUME_COEFF = 0.507;
inline constexpr double VOLUME_LANES_FACTOR = 4.0;
inline constexpr double SPEED_COEFF = 0.199;
inline constexpr double SPEED_LOG_COEFF = 1.1199;
inline constexpr double SPEED_LOG_CONST = 0.8103;
inline constexpr double SPEED_OFFSET_MPH = 20.0;
inline constexpr double MIN_SPEED_MPH = 21.0;  // the logarithm is 0 there
inline constexpr double HV_COEFF = 0.1038;
inline constexpr double HV_CAPPED_TERM = 6.19;  // 1 + 0.1038 x 50, rounded
inline constexpr double HV_CAP_FLOW_VEH_H = 200.0;
inline constexpr double HV_CAP_PCT = 50.0;
inline constexpr double PAVEMENT_COEFF = 7.066;

// Step 5: access points and the segment score.
inline constexpr double ACCESS_POINT_COEFF = 0.035;
inline constexpr double ACCESS_POINT_DENSITY_OFFSET = 20.0;  // access points per mile
inline constexpr double SEGMENT_SCORE_COEFF = 0.75;
inline constexpr double SEGMENT_SCORE_CONST = 0.125;

}  // namespace bicycle

// ---- Pedestrian mode (Section 4): shy distances, walking speed, link LOS score, crossing
// difficulty and the space LOS thresholds. ----
namespace pedestrian {

// Step 1: shy distances (ft).
inline constexpr double MIN_INSIDE_SHY_FT = 1.5;
inline constexpr double SHY_WINDOW_FT = 3.0;
inline constexpr double SHY_BUILDING_FT = 2.0;
inline constexpr double SHY_FENCE_FT = 1.5;

// Step 3: walking speed falls with the flow per unit width, to no less than half its free-flow value.
inline constexpr double WALK_SPEED_FLOW_COEFF = 0.00078;
inline constexpr double MIN_WALK_SPEED_SHARE = 0.5;

// Step 6: pedestrian link LOS score.
inline constexpr double LINK_SCORE_CONST = 6.0468;
inline constexpr double CROSS_SECTION_COEFF = -1.2276;
inline constexpr double PARKING_TERM = 50.0;
inline constexpr double SIDE_WIDTH_HALF = 0.5;
inline constexpr double SIDE_WIDTH_CAP_TERM = 5.0;      // 0.5 x 10 ft, while parking is at most 25 % occupied
inline constexpr double SIDE_WIDTH_CAP_FT = 10.0;
inline constexpr double SIDE_WIDTH_CAP_MAX_PARKING = 0.25;
inline constexpr double MAX_AVAILABLE_SIDEWALK_FT = 10.0;
inline constexpr double SIDEWALK_COEFF_BASE = 6.0;
inline constexpr double SIDEWALK_COEFF_PER_FT = 0.3;
inline constexpr double BUFFER_COEFF_BARRIER = 5.37;
inline constexpr double BUFFER_COEFF_OPEN = 1.0;
inline constexpr double VOLUME_COEFF = 0.0091;
inline constexpr double VOLUME_LANES_FACTOR = 4.0;
inline constexpr double SPEED_COEFF = 4.0;
inline constexpr double SPEED_SCALE_MPH = 100.0;

// Step 8: the detour to the signal-controlled crossing and back.
inline constexpr double DETOUR_DELAY_COEFF = 0.084;
inline constexpr double DEFAULT_CROSSING_SHARE_OF_LENGTH = 3.0;  // D = L / 3
inline constexpr double MAX_CROSSING_SCORE = 6.0;

// Step 10, space test: lower bounds (exclusive) of LOS A to E, ft2/p.
inline constexpr std::array<double, 5> SPACE_LOS_MIN = {60.0, 40.0, 24.0, 15.0, 8.0};

}  // namespace pedestrian

// ---- Access-point delay to the through movement (Chapter 30, Section 4): left-turn and lane-change
// gap acceptance, the lane choice beside right turns, right-turn deceleration and the queue delay. ----
namespace access_point {

inline constexpr double BASE_SAT_FLOW = 1800.0;  // veh/h/ln of the inside lane and of permitted left turns

// Permitted left-turn saturation flow against opposing flow v_o (Chapter 30, Section 4).
inline constexpr double CRITICAL_HEADWAY_LT_S = 4.1;
inline constexpr double FOLLOW_UP_HEADWAY_LT_S = 2.2;
// Lane-change capacity from the adjacent lane's flow (critical gap 3.7 s).
inline constexpr double LANE_CHANGE_GAP_S = 3.7;
// Flow (veh/h/ln) at which the lane-choice weight peaks.
inline constexpr double LANE_CHOICE_FLOW = base::units::SECONDS_PER_HOUR / LANE_CHANGE_GAP_S;
// Lane-choice term of through drivers beside right turns without a bay.
inline constexpr double RIGHT_TURN_LANE_CHOICE = 1.2000000000000002;
// Calibration of the right-turn deceleration model's lane split.
inline constexpr double DECEL_SPLIT_CF = 1e-5;

// Right-turn deceleration (Chapter 30, Section 4): headways of the outside lane are shifted
// exponential with a 1.5-s minimum; following vehicles decelerate at 6.7 ft/s^2 down to the
// turning speed of 20 ft/s and regain speed at 3.5 ft/s^2.
inline constexpr double MIN_HEADWAY_S = 1.5;
inline constexpr double MPH_TO_FT_S = 1.47;
inline constexpr double TURN_SPEED_FT_S = 20.0;
inline constexpr double DECEL_FT_S2 = 6.7;
inline constexpr double REACTION_TIME_S = 0.6;
inline constexpr double DECEL_ACCEL_FACTOR = 0.43496801705756927;  // 1/6.7 + 1/3.5
inline constexpr double MIN_FOLLOWER_DELAY_S = 0.1;
inline constexpr std::size_t MAX_FOLLOWERS = 51;  // first follower included
inline constexpr double FOLLOWER_DELAY_SHARE = 0.67;
// Queue delay of a lane: the incremental-delay form 900 T (x - 1 + sqrt((x - 1)^2 + 8 q / (T s^2)))
// (s/veh), 900 being a quarter of the seconds per hour, 8 the random-arrival term.
inline constexpr double QUEUE_DELAY_SCALE_S = 900.0;
inline constexpr double QUEUE_DELAY_RANDOM_TERM = 8.0;

}  // namespace access_point

}  // namespace hcm::urban_segments::exhibits
