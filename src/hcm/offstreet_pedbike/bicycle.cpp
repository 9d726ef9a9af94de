// Bicycle level of service on off-street paths (HCM Chapter 24, Equations 24-8 to 24-35): an
// average bicyclist rides the segment among five user modes in both directions; passings and
// meetings per minute follow from integrating each mode's density and speed distribution over
// the segment.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <utility>

#include "base/cancel.hpp"
#include "base/numeric.hpp"
#include "base/transaction.hpp"
#include "base/units.hpp"
#include "hcm/common/error.hpp"
#include "hcm/offstreet_pedbike/exhibits.hpp"
#include "hcm/offstreet_pedbike/offstreet_pedbike.hpp"

namespace hcm::offstreet_pedbike {
namespace {

using namespace exhibits;
using base::units::FT_PER_MI;

using base::units::MINUTES_PER_HOUR;

// The trapezoid grid over the segment [0, L] and the subject bicyclist's travel time on it,
// T = 60 L / S_0 (min). None when nothing is integrated: no positive finite length, no positive
// speed S_0 or no positive travel time.
struct SegmentGrid {
    std::uint32_t steps;  // n, one per 0.01 mi, 1 to MAX_INTEGRATION_STEPS
    double step_mi;       // h = L / n
    double minutes;       // T
};

std::optional<SegmentGrid> segment_grid(double length_mi, double s0) {
    if (!(s0 > 0.0) || !(length_mi > 0.0) || !std::isfinite(length_mi)) return std::nullopt;
    const double minutes = MINUTES_PER_HOUR * length_mi / s0;
    if (!(minutes > 0.0)) return std::nullopt;
    const std::uint32_t steps = std::clamp<std::uint32_t>(
        base::to_unsigned_sat<std::uint32_t>(std::floor(length_mi / INTEGRATION_STEP_MI)), 1, MAX_INTEGRATION_STEPS);
    return SegmentGrid{steps, length_mi / static_cast<double>(steps), minutes};
}

// (1 / T) times the integral of k f(x) over the segment, trapezoid by trapezoid.
template <class F>
double time_averaged_integral(const SegmentGrid& g, double k, F f) {
    double sum = 0.0;
    double previous = f(0.0);
    for (std::uint32_t j = 1; j <= g.steps; ++j) {
        const double next = f(static_cast<double>(j) * g.step_mi);
        sum += g.step_mi * k * (previous + next) * 0.5 / g.minutes;
        previous = next;
    }
    return sum;
}

// For each mode with a positive flow rate and speed, (1 / T) times the integral over the segment
// of its density k_i = q_i / S_i times share(S_i, s.d._i, x), the share of its users at x that
// the bicyclist passes or meets; 0 for the other modes and when there is nothing to integrate.
template <class Share>
ModeValues integrate_modes(const OffStreetBicycleFacility& f, const ModeValues& rates, Share share) {
    ModeValues out{};
    const auto grid = segment_grid(f.segment_length, f.mode_speeds[0]);
    if (!grid) return out;
    for (std::size_t i = 0; i < MODE_COUNT; ++i) {
        const double speed = f.mode_speeds[i];
        if (!(rates[i] > 0.0) || !(speed > 0.0)) continue;
        const double sd = f.mode_speed_sds[i];
        base::poll_cancel();
        out[i] = time_averaged_integral(*grid, rates[i] / speed, [&](double x) { return share(speed, sd, x); });
    }
    return out;
}

struct Passings {
    ModeValues by_mode{};
    double total = 0.0;  // A_T
};

// Equations 24-9 to 24-12: a user of mode i at distance x ahead is passed within the segment when
// slower than S_0 (1 - x / L).
Passings active_passings(const OffStreetBicycleFacility& f, const ModeValues& subject_rates) {
    Passings p;
    const double s0 = f.mode_speeds[0];
    const double length = f.segment_length;
    p.by_mode = integrate_modes(f, subject_rates, [&](double mean, double sd, double x) {
        return mode_speed_cdf(mean, sd, s0 * (1.0 - x / length));
    });
    for (const double passings : p.by_mode) p.total += passings;
    return p;
}

struct Meetings {
    double on_path = 0.0;
    ModeValues by_mode{};
    double total = 0.0;  // M_T
};

// Users per mile of each mode from its flow rate; 0 for a mode without a positive speed.
ModeValues densities(const OffStreetBicycleFacility& f, const ModeValues& rates) {
    ModeValues k{};
    for (std::size_t i = 0; i < MODE_COUNT; ++i) {
        if (f.mode_speeds[i] > 0.0) k[i] = rates[i] / f.mode_speeds[i];
    }
    return k;
}

// Equations 24-13 to 24-16: every opposing user on the segment when the bicyclist enters, plus
// each user at distance x beyond its end fast enough to enter before the bicyclist leaves (faster
// than S_0 x / L).
Meetings meetings(const OffStreetBicycleFacility& f, const ModeValues& opposing_rates) {
    Meetings m;
    if (f.is_one_way) return m;
    const double s0 = f.mode_speeds[0];
    const double length = f.segment_length;
    double density = 0.0;  // opposing users per mile
    for (const double k : densities(f, opposing_rates)) density += k;
    m.on_path = s0 == 0.0 ? 0.0 : (s0 / MINUTES_PER_HOUR) * density;
    m.by_mode = integrate_modes(f, opposing_rates, [&](double mean, double sd, double x) {
        return 1.0 - mode_speed_cdf(mean, sd, s0 * x / length);
    });
    m.total = m.on_path;
    for (const double met : m.by_mode) m.total += met;
    return m;
}

// The probability 1 - e^(-k L) that a user is present within L = `look_ahead_ft` at k = `density`
// users/mi, by expm1: the delayed-passing probability is proportional to it on a quiet path.
double presence(double density, double look_ahead_ft) { return -std::expm1(-density * look_ahead_ft / FT_PER_MI); }

// A probability that the formula may push outside [0, 1]; not a number counts as 0.
double clamp_unit(double p) {
    if (!(p > 0.0)) return 0.0;
    return p < 1.0 ? p : 1.0;
}

// Two effective lanes (Equations 24-17 to 24-25): a passing is delayed when a user is ahead in the
// subject lane and one is coming in the opposing lane, over every pair of subject and opposing
// modes.
double delayed_passing_two_lanes(const ModeValues& k, const ModeValues& m) {
    // 1 - prod (1 - r) as -expm1(sum log1p(-r)), accurate when every r is small.
    double log_none_delayed = 0.0;
    for (std::size_t i = 0; i < MODE_COUNT; ++i) {
        const double a = presence(k[i], LOOK_AHEAD_FT[i]);
        for (std::size_t j = 0; j < MODE_COUNT; ++j) {
            const double b = presence(m[j], LOOK_AHEAD_FT[i]);
            const double denominator = 1.0 - (1.0 - a) * a * b * (1.0 - b);
            const double r = denominator > 0.0 ? (a * b + (1.0 - a) * (1.0 - a) * b) / denominator : 1.0;
            log_none_delayed += std::log1p(-r);
        }
    }
    return -std::expm1(log_none_delayed);
}

// Three effective lanes (Equations 24-26 to 24-32): mode-weighted presence ahead and opposite.
double delayed_passing_three_lanes(const ModeValues& a, const ModeValues& b) {
    double w_s = 0.0;
    double w_o = 0.0;
    double u_s = 0.0;
    double u_o = 0.0;
    for (std::size_t i = 0; i < MODE_COUNT; ++i) {
        const double w = DELAY_MODE_WEIGHTS[i];
        w_s += w * a[i];
        w_o += w * b[i];
        u_s += (1.0 - w) * a[i];
        u_o += (1.0 - w) * b[i];
    }
    const double p = u_o * u_s;
    const double g = std::fabs(1.0 - p) <= std::numeric_limits<double>::epsilon()
                         ? 1.0
                         : ((w_s - w_o) + (w_o * u_s - w_s * u_o)) / (1.0 - p) + 1.0;
    return clamp_unit((w_s + u_s * (w_o + u_o * g)) / (p + 1.0));
}

// Four effective lanes (Equation 24-33): mode-weighted presence ahead alone.
double delayed_passing_four_lanes(const ModeValues& a) {
    double p = 0.0;
    for (std::size_t i = 0; i < MODE_COUNT; ++i) p += DELAY_MODE_WEIGHTS[i] * a[i];
    return clamp_unit(p);
}

double delayed_passing_probability(const OffStreetBicycleFacility& f, const ModeValues& subject_rates,
                                   const ModeValues& opposing_rates, std::uint8_t lanes) {
    const ModeValues k = densities(f, subject_rates);
    const ModeValues m = densities(f, opposing_rates);
    if (lanes == 2) return delayed_passing_two_lanes(k, m);
    ModeValues a{};
    ModeValues b{};
    for (std::size_t i = 0; i < MODE_COUNT; ++i) {
        a[i] = presence(k[i], LOOK_AHEAD_FT[i]);
        b[i] = presence(m[i], LOOK_AHEAD_FT[i]);
    }
    return lanes == 3 ? delayed_passing_three_lanes(a, b) : delayed_passing_four_lanes(a);
}

// Equation 24-35; a path without a positive width drops the width term.
double blos_of(const OffStreetBicycleFacility& f, double weighted_events, double delayed_passings) {
    const double width_term = f.path_width > 0.0 ? BLOS_WIDTH / f.path_width : 0.0;
    const double centerline_term = f.has_centerline ? BLOS_CENTERLINE : 0.0;
    return BLOS_CONSTANT - BLOS_EVENTS * weighted_events - width_term - centerline_term -
           std::min(BLOS_DELAYED_PASSINGS * delayed_passings, BLOS_DELAYED_PASSINGS_MAX);
}

}  // namespace

ModeValues mode_values(std::span<const double> values, std::string_view name) {
    if (values.size() != MODE_COUNT) {
        throw hcm::Error(std::string(name) + " must contain exactly " + std::to_string(MODE_COUNT) +
                         " values (bicycle, pedestrian, runner, inline skater, child bicyclist)");
    }
    ModeValues out{};
    std::copy(values.begin(), values.end(), out.begin());
    return out;
}

double mode_speed_cdf(double mean, double sd, double v) {
    if (sd <= 0.0) return mean <= v ? 1.0 : 0.0;
    return (1.0 + base::erf_approximation((v - mean) / (sd * std::numbers::sqrt2))) / 2.0;
}

LevelOfService bicycle_los(double blos) { return common::los_by_minimum(BLOS_MIN, blos); }

std::uint8_t lanes_for_width(double path_width) {
    if (path_width < TWO_LANE_WIDTH_BELOW) return 2;
    if (path_width < THREE_LANE_WIDTH_BELOW) return 3;
    return 4;
}

std::pair<ModeValues, ModeValues> OffStreetBicycleFacility::calculate_directional_flow_rates() {
    const double two_way = two_way_demand.value_or(0.0);
    const double v_s = subject_demand ? *subject_demand : two_way * directional_split;
    const double v_o = is_one_way ? 0.0 : (opposing_demand ? *opposing_demand : two_way * (1.0 - directional_split));
    ModeValues subject{};
    ModeValues opposing{};
    if (phf > 0.0) {
        for (std::size_t i = 0; i < MODE_COUNT; ++i) {
            subject[i] = v_s * mode_splits[i] / phf;
            opposing[i] = v_o * mode_splits[i] / phf;
        }
    }
    subject_flow_rates = subject;
    opposing_flow_rates = opposing;
    return {subject, opposing};
}

std::pair<ModeValues, ModeValues> OffStreetBicycleFacility::stored_flow_rates() {
    if (subject_flow_rates && opposing_flow_rates) return {*subject_flow_rates, *opposing_flow_rates};
    return calculate_directional_flow_rates();
}

double OffStreetBicycleFacility::active_passings_step() {
    const Passings p = active_passings(*this, stored_flow_rates().first);
    active_passings_by_mode = p.by_mode;
    active_passings_per_minute = p.total;
    return p.total;
}

double OffStreetBicycleFacility::meetings_step() {
    const Meetings m = meetings(*this, stored_flow_rates().second);
    on_path_meetings = m.on_path;
    meetings_by_mode = m.by_mode;
    meetings_per_minute = m.total;
    return m.total;
}

double OffStreetBicycleFacility::calculate_active_passings_per_minute() {
    return base::on_copy(*this, [](OffStreetBicycleFacility& f) { return f.active_passings_step(); });
}

double OffStreetBicycleFacility::calculate_meetings_per_minute() {
    return base::on_copy(*this, [](OffStreetBicycleFacility& f) { return f.meetings_step(); });
}

std::uint8_t OffStreetBicycleFacility::determine_number_of_effective_lanes() {
    effective_lanes = lanes_for_width(path_width);
    return *effective_lanes;
}

double OffStreetBicycleFacility::calculate_probability_of_delayed_passing() {
    const auto [subject, opposing] = stored_flow_rates();
    const std::uint8_t lanes = effective_lanes ? *effective_lanes : determine_number_of_effective_lanes();
    total_probability_delayed_passing = delayed_passing_probability(*this, subject, opposing, lanes);
    return *total_probability_delayed_passing;
}

double OffStreetBicycleFacility::stored_active_passings() {
    return active_passings_per_minute ? *active_passings_per_minute : calculate_active_passings_per_minute();
}

double OffStreetBicycleFacility::stored_probability_delayed_passing() {
    return total_probability_delayed_passing ? *total_probability_delayed_passing
                                             : calculate_probability_of_delayed_passing();
}

double OffStreetBicycleFacility::calculate_delayed_passings_per_minute() {
    const double a_t = stored_active_passings();
    delayed_passings_per_minute = a_t * stored_probability_delayed_passing() * phf;
    return *delayed_passings_per_minute;
}

double OffStreetBicycleFacility::blos_step() {
    const double a_t = stored_active_passings();
    const double m_t = meetings_per_minute ? *meetings_per_minute : meetings_step();
    const double dp = delayed_passings_per_minute ? *delayed_passings_per_minute
                                                  : calculate_delayed_passings_per_minute();
    const double events = ACTIVE_PASSING_WEIGHT * a_t + m_t;
    const double score = blos_of(*this, events, dp);
    weighted_events_per_minute = events;
    blos_score = score;
    los = bicycle_los(score);
    return score;
}

double OffStreetBicycleFacility::determine_blos() {
    return base::on_copy(*this, [](OffStreetBicycleFacility& f) { return f.blos_step(); });
}

LevelOfService OffStreetBicycleFacility::adjust_los_for_low_volume_paths() {
    if (!blos_score) determine_blos();
    const double events = weighted_events_per_minute.value_or(0.0);
    LevelOfService letter = los ? *los : bicycle_los(*blos_score);
    if (events <= LOW_VOLUME_A_EVENTS) {
        letter = LevelOfService::A;
    } else if (events <= LOW_VOLUME_B_EVENTS && letter != LevelOfService::A) {
        letter = LevelOfService::B;
    }
    los = letter;
    return letter;
}

LevelOfService OffStreetBicycleFacility::analyze() {
    // One copy for the whole run: the steps inside it need no copies of their own.
    return base::on_copy(*this, [](OffStreetBicycleFacility& f) {
        f.calculate_directional_flow_rates();
        f.active_passings_step();
        f.meetings_step();
        f.determine_number_of_effective_lanes();
        f.calculate_probability_of_delayed_passing();
        f.calculate_delayed_passings_per_minute();
        f.blos_step();
        return f.adjust_los_for_low_volume_paths();
    });
}

}  // namespace hcm::offstreet_pedbike
