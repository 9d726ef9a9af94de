// The signalized intersection as scripts use it: the whole analysis, the approach results by
// direction, and the right-turn-on-red estimates of HCM Chapter 31, Section 8.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/enum_names.hpp"
#include "base/numeric.hpp"
#include "base/options.hpp"
#include "base/transaction.hpp"
#include "hcm/common/error.hpp"
#include "hcm/signalized/analysis.hpp"

namespace hcm::signalized::signalized {

namespace {

// The cross-street approach whose left turns run beside the subject approach's right turns.
Direction complementary(Direction d) {
    switch (d) {
        case Direction::NB: return Direction::WB;
        case Direction::SB: return Direction::EB;
        case Direction::EB: return Direction::NB;
        case Direction::WB: return Direction::SB;
    }
    return d;
}

// `first`: the first approach of each direction (first_of_each_direction), found once per call.
double rtor_estimate(const SignalizedIntersection& x, const std::array<std::size_t, 4>& first,
                     const SignalApproach& subject) {
    if (subject.exclusive_right_lanes == 0) return 0.0;
    const std::size_t c = first[static_cast<std::size_t>(complementary(subject.direction))];
    if (c >= x.approaches.size()) return 0.0;
    const SignalApproach& cross = x.approaches[c];
    if (cross.left_turn_mode != LeftTurnMode::Protected && cross.left_turn_mode != LeftTurnMode::ProtectedPermitted) {
        return 0.0;
    }
    return base::max2(
        base::min2(cross.volume_left / peak_hour_factor_of(cross), subject.volume_right / peak_hour_factor_of(subject)),
        0.0);
}

}  // namespace

void analyze(SignalizedIntersection& intersection) {
    // The steps compute into blank results in the record; the results of the last analysis are
    // set aside and put back if a step fails (out of memory, or cancelled).
    using X = SignalizedIntersection;
    base::with_results_aside(
        intersection,
        [&] {
            const std::vector<ApproachWork> work = form_lane_groups(intersection);
            evaluate_lane_groups(intersection, work);
        },
        &X::lane_groups, &X::approach_results, &X::intersection_delay_s, &X::intersection_los, &X::critical_vc_ratio);
}

const ApproachResult& approach_result_of(const SignalizedIntersection& intersection, std::string_view direction) {
    const std::string word = base::normalise_option(direction, base::Normalise::Upper);
    for (const ApproachResult& r : intersection.approach_results) {
        if (base::name_of(r.direction) == word) return r;
    }
    throw hcm::Error("no approach " + std::string(direction));
}

double estimate_rtor_volume(const SignalizedIntersection& intersection, Direction d) {
    const auto first = first_of_each_direction(intersection.approaches);
    const std::size_t i = first[static_cast<std::size_t>(d)];
    return i < intersection.approaches.size() ? rtor_estimate(intersection, first, intersection.approaches[i]) : 0.0;
}

void apply_rtor_estimates(SignalizedIntersection& intersection) {
    // An estimate reads the volumes of turns only, so writing one changes no other.
    const auto first = first_of_each_direction(intersection.approaches);
    for (SignalApproach& a : intersection.approaches) {
        if (a.volume_rtor <= 0.0) a.volume_rtor = rtor_estimate(intersection, first, a);
    }
}

}  // namespace hcm::signalized::signalized
