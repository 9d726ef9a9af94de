#include "hcm/freeway_facilities/planning.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "base/units.hpp"
#include "hcm/basicfreeways/basicfreeways.hpp"
#include "hcm/common/error.hpp"
#include "json/jsonio.hpp"

namespace hcm::freeway_facilities::planning {

namespace cap = planning_capacity;
using base::units::FT_PER_MI;
using base::units::SECONDS_PER_HOUR;
using base::units::SECONDS_PER_MINUTE;

double determine_demand_conversion_factor(const PlanningFacility& f) {
    const double e_t = freeway_facilities::heavy_vehicle_pce(f.terrain);
    return f.k_factor * f.growth_factor * (1.0 + (f.pct_sut + f.pct_tt) * (e_t - 1.0));
}

std::array<double, PERIODS> determine_period_factors(double phf) {
    const double peak = 1.0 / phf;
    return {1.0, peak, 1.0, 2.0 - peak};
}

double determine_capacity_adjustment_factor(const PlanningSection& s) {
    if (s.caf_override) return *s.caf_override;
    switch (s.sec_type) {
        case PlanningSectionType::Basic:
            return cap::BASIC_CAF;
        case PlanningSectionType::Weave: {
            const double length_ft = s.length_mi * FT_PER_MI;
            return std::fmin(
                cap::WEAVE_CAF_CONSTANT - cap::WEAVE_CAF_VR * s.weave_vr + cap::WEAVE_CAF_LENGTH_FT * length_ft,
                cap::WEAVE_CAF_MAX);
        }
        case PlanningSectionType::Ramp:
            return cap::RAMP_CAF;
    }
    throw std::logic_error("unknown planning section type");
}

double calculate_base_capacity_per_lane(double ffs) {
    // Equation 12-6 with the free-flow speed capped at 70 mi/h (which is where it reaches 2400);
    // no lower bound on the free-flow speed.
    return basicfreeways::basicfreeways::basic_freeway_capacity(std::fmin(ffs, cap::FFS_CAP));
}

double calculate_section_capacity(double ffs, const PlanningSection& s) {
    return calculate_base_capacity_per_lane(ffs) * determine_capacity_adjustment_factor(s) *
           static_cast<double>(s.lanes);
}

const DelayRateRegression& identify_delay_rate_regression(double ffs) {
    // Rounds halves away from zero: 62.5 -> 65, 57.5 -> 60.
    const double speed_class = SPEED_CLASS_STEP * std::round(ffs / SPEED_CLASS_STEP);
    for (const auto& row : DELAY_RATE_REGRESSIONS) {
        if (row.speed_class == speed_class) return row;
    }
    return DELAY_RATE_REGRESSIONS.back();
}

double calculate_delay_rate(const DelayRateRegression& r, double x) {
    if (!(x >= r.breakpoint)) return 0.0;
    return r.a3 * x * x * x + r.a2 * x * x + r.a1 * x + r.a0;
}

PlanningFacilityResult calculate_period_measures(const PlanningFacility& f,
                                                 const std::vector<std::vector<PlanningSectionResult>>& results,
                                                 std::size_t period) {
    double travel_time_s = 0.0, density_length = 0.0, queue_mi = 0.0, length_mi = 0.0;
    bool oversaturated = false;
    for (std::size_t i = 0; i < f.sections.size(); ++i) {
        const PlanningSectionResult& r = results.at(i).at(period);
        const double len = f.sections[i].length_mi;
        travel_time_s += r.travel_time_s;
        density_length += r.density * len;
        queue_mi += r.queue_length_mi;
        length_mi += len;
        oversaturated = oversaturated || r.dc_ratio > 1.0;
    }
    PlanningFacilityResult out;
    out.oversaturated = oversaturated;
    out.travel_time_min = travel_time_s / SECONDS_PER_MINUTE;
    out.avg_density = length_mi > 0.0 ? density_length / length_mi : 0.0;
    out.space_mean_speed = travel_time_s > 0.0 ? length_mi / (travel_time_s / SECONDS_PER_HOUR) : f.ffs;
    out.total_queue_mi = queue_mi;
    // Facility LOS (Exhibit 25-17): F for any section over capacity, else the unrounded average
    // density against the urban or rural thresholds.
    out.los = oversaturated ? LevelOfService::F
                            : freeway_facilities::identify_facility_los(f.city_type, out.avg_density);
    return out;
}

void run_analysis(PlanningFacility& f) {
    if (f.sections.empty()) throw Error("planning facility has no sections");
    const std::size_t n = f.sections.size();

    // Steps 1-2: hourly net demand and capacity of each section, pc/h.
    const double conversion = determine_demand_conversion_factor(f);
    std::vector<double> net_demand(n), capacity(n), queue(n, 0.0);
    for (std::size_t i = 0; i < n; ++i) {
        const PlanningSection& s = f.sections[i];
        net_demand[i] = (s.inflow_aadt - s.outflow_aadt) * conversion;
        capacity[i] = calculate_section_capacity(f.ffs, s);
    }

    std::vector<std::vector<PlanningSectionResult>> results(n, std::vector<PlanningSectionResult>(PERIODS));
    const double free_flow_rate = SECONDS_PER_HOUR / f.ffs;  // s/mi
    const DelayRateRegression& regression = identify_delay_rate_regression(f.ffs);
    const std::array<double, PERIODS> factors = determine_period_factors(f.phf);

    // Steps 3-4: demand with the queue carried from the previous period, ratio, delay and speed.
    for (std::size_t p = 0; p < PERIODS; ++p) {
        double v = 0.0;  // running demand, pc/h; passes on to the next section, queue included
        for (std::size_t i = 0; i < n; ++i) {
            const PlanningSection& s = f.sections[i];
            // A negative running demand (outflow beyond what arrives) is cut to zero; fmax also
            // cuts a NaN from degenerate period factors.
            v = std::fmax(v + net_demand[i] * factors[p], 0.0) + queue[i];
            const double c = capacity[i];
            const double x = c > 0.0 ? v / c : 0.0;
            const double excess = std::fmax(v - c, 0.0);
            queue[i] = excess;

            const double delay_rate = calculate_delay_rate(regression, x);
            const double travel_rate = free_flow_rate + delay_rate;
            const double speed = travel_rate > 0.0 ? SECONDS_PER_HOUR / travel_rate : f.ffs;
            const double lanes = std::max(static_cast<double>(s.lanes), 1.0);
            const double density = speed > 0.0 ? v / (speed * lanes) : 0.0;
            const double queue_mi = speed > 0.0 && density > 0.0 ? excess / (density * lanes) : 0.0;

            PlanningSectionResult& r = results[i][p];
            r.demand_pc = v;
            r.dc_ratio = x;
            r.delay_rate = delay_rate;
            r.travel_rate = travel_rate;
            r.travel_time_s = travel_rate * s.length_mi;
            r.speed = speed;
            r.density = density;
            r.queue_length_mi = queue_mi;
        }
    }

    // Step 5: facility measures of each period.
    std::vector<PlanningFacilityResult> facility_results;
    facility_results.reserve(PERIODS);
    for (std::size_t p = 0; p < PERIODS; ++p) facility_results.push_back(calculate_period_measures(f, results, p));

    f.section_results = std::move(results);
    f.facility_results = std::move(facility_results);
}

double total_length_mi(const PlanningFacility& f) {
    double total = 0.0;
    for (const auto& s : f.sections) total += s.length_mi;
    return total;
}

const PlanningSectionResult& section_result(const PlanningFacility& f, std::size_t section, std::size_t period) {
    if (section >= f.section_results.size()) {
        throw Error("section index " + std::to_string(section) + " is out of range: the results hold " +
                    std::to_string(f.section_results.size()) + " sections");
    }
    const auto& row = f.section_results[section];
    if (period >= row.size()) {
        throw Error("period index " + std::to_string(period) + " is out of range: the results of section " +
                    std::to_string(section) + " hold " + std::to_string(row.size()) + " periods");
    }
    return row[period];
}

const PlanningFacilityResult& facility_result(const PlanningFacility& f, std::size_t period) {
    if (period >= f.facility_results.size()) {
        throw Error("period index " + std::to_string(period) + " is out of range: the facility results hold " +
                    std::to_string(f.facility_results.size()) + " periods");
    }
    return f.facility_results[period];
}

// ---- JSON document ----------------------------------------------------------------------------------

const jsonio::Record<PlanningSection>& json_record(jsonio::Tag<PlanningSection>) {
    using S = PlanningSection;
    static const jsonio::Record<S> record{
        "PlanningSection",
        {
            jsonio::with_default("sec_type", &S::sec_type, PlanningSectionType::Basic),
            jsonio::with_default("length_mi", &S::length_mi, 1.0),
            jsonio::with_default("lanes", &S::lanes, 3),
            jsonio::with_default("inflow_aadt", &S::inflow_aadt, 0.0),
            jsonio::with_default("outflow_aadt", &S::outflow_aadt, 0.0),
            jsonio::with_default("weave_vr", &S::weave_vr, 0.0),
            jsonio::optional("caf_override", &S::caf_override),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

const jsonio::Record<PlanningSectionResult>& json_record(jsonio::Tag<PlanningSectionResult>) {
    using R = PlanningSectionResult;
    static const jsonio::Record<R> record{"PlanningSectionResult",
                                          {
                                              jsonio::result("demand_pc", &R::demand_pc),
                                              jsonio::result("dc_ratio", &R::dc_ratio),
                                              jsonio::result("delay_rate", &R::delay_rate),
                                              jsonio::result("travel_rate", &R::travel_rate),
                                              jsonio::result("travel_time_s", &R::travel_time_s),
                                              jsonio::result("speed", &R::speed),
                                              jsonio::result("density", &R::density),
                                              jsonio::result("queue_length_mi", &R::queue_length_mi),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::all_fields};
    return record;
}

const jsonio::Record<PlanningFacilityResult>& json_record(jsonio::Tag<PlanningFacilityResult>) {
    using R = PlanningFacilityResult;
    static const jsonio::Record<R> record{"PlanningFacilityResult",
                                          {
                                              jsonio::required("oversaturated", &R::oversaturated),
                                              jsonio::result("travel_time_min", &R::travel_time_min),
                                              jsonio::result("space_mean_speed", &R::space_mean_speed),
                                              jsonio::result("avg_density", &R::avg_density),
                                              jsonio::result("total_queue_mi", &R::total_queue_mi),
                                              jsonio::required("los", &R::los),
                                          },
                                          jsonio::UnknownKeys::ignore, jsonio::ArrayForm::all_fields};
    return record;
}

const jsonio::Record<PlanningFacility>& json_record(jsonio::Tag<PlanningFacility>) {
    using F = PlanningFacility;
    static const jsonio::Record<F> record{
        "PlanningFacility",
        {
            jsonio::with_default("sections", &F::sections, {}),
            jsonio::with_default("ffs", &F::ffs, 60.0),
            jsonio::with_default("k_factor", &F::k_factor, 0.09),
            jsonio::with_default("growth_factor", &F::growth_factor, 1.0),
            jsonio::with_default("phf", &F::phf, 0.9),
            jsonio::with_default("pct_sut", &F::pct_sut, 0.0),
            jsonio::with_default("pct_tt", &F::pct_tt, 0.0),
            jsonio::with_default("terrain", &F::terrain, Terrain::Level),
            jsonio::with_default("city_type", &F::city_type, CityType::Urban),
            jsonio::with_default("section_results", &F::section_results, {}),
            jsonio::with_default("facility_results", &F::facility_results, {}),
        },
        jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
    return record;
}

PlanningFacility read_planning_facility(std::string_view text) {
    return jsonio::read_document<PlanningFacility>(text);
}

std::string write_planning_facility(const PlanningFacility& facility) { return jsonio::write_document(facility); }

PlanningFacility planning_facility_from_json(std::string_view text) {
    return jsonio::read_document_with_prefix<PlanningFacility>(text, "invalid planning facility JSON: ");
}

std::string planning_facility_to_json(const PlanningFacility& facility) {
    return jsonio::write_document_with_prefix(facility, "serialization failed: ");
}

}  // namespace hcm::freeway_facilities::planning
