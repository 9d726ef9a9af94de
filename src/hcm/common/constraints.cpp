#include "hcm/common/constraints.hpp"

#include "base/format.hpp"
#include "json/jsonio.hpp"

namespace hcm::common::constraints {
namespace {

using base::num;

const char* const CONSTRAINTS_VERSION = "0.3.7";

Constraints build() {
    TwoLaneHighwayConstraints t{
        .lane_width = {"lane_width", 9, 12, "ft", "HCM 7th Edition, Exhibit 15-8", "Lane width for two-lane highways"},
        .shoulder_width = {"shoulder_width", 0, 8, "ft", "HCM 7th Edition, Exhibit 15-8", "Paved shoulder width"},
        .passing_type = {"passing_type",
                         {0, 1, 2},
                         {"Passing Constrained (PC)", "Passing Zone (PZ)", "Passing Lane (PL)"},
                         "HCM 7th Edition, Chapter 15.3",
                         "Segment passing type classification"},
        .horizontal_class = {"hor_class",
                             {0, 1, 2, 3, 4, 5},
                             {"Tangent (no curve)", "Mild curve", "Moderate curve", "Sharp curve", "Very sharp curve",
                              "Severe curve"},
                             "HCM 7th Edition, Exhibit 15-22",
                             "Horizontal alignment class based on curve radius"},
        .vertical_class = {"vertical_class",
                           {1, 2, 3, 4, 5},
                           {"Level/gentle", "Mild grade", "Moderate grade", "Steep grade", "Severe grade"},
                           "HCM 7th Edition, Exhibit 15-11",
                           "Vertical alignment class based on grade and length"},
        .grade = {"grade", -10, 10, "%", "AASHTO Green Book, Chapter 3", "Segment grade percentage"},
        .phf = {"phf", 0.5, 1, "", "HCM 7th Edition, Chapter 15", "Peak hour factor"},
        .phv = {"phv", 0, 100, "%", "HCM 7th Edition, Chapter 15", "Percentage of heavy vehicles in traffic stream"},
        .speed_limit = {"spl", 15, 80, "mph", "AASHTO Green Book, Chapter 2", "Posted speed limit"},
        // AASHTO Green Book Table 3-7: minimum curve radius (ft) by design speed (mi/h).
        .speed_radius = {"design_rad",
                         "spl",
                         {{15, 50},
                          {20, 90},
                          {25, 170},
                          {30, 230},
                          {35, 340},
                          {40, 430},
                          {45, 560},
                          {50, 710},
                          {55, 835},
                          {60, 1000},
                          {65, 1150},
                          {70, 1310},
                          {75, 1560},
                          {80, 1810}},
                         "ft",
                         "AASHTO Green Book, Table 3-7",
                         "Minimum curve radius for design speed"},
        .access_point_density = {"apd", 0, 30, "points/mi", "HCM 7th Edition, Exhibit 15-6",
                                 "Access point density (driveways, intersections)"},
        .segment_length = {"length", 0.25, 3, "mi", "HCM 7th Edition, Exhibit 15-10", "Analysis segment length"},
    };
    return Constraints{CONSTRAINTS_VERSION, std::move(t)};
}

}  // namespace

// ---- JSON tables of the constraints document ------------------------------------------------------

const jsonio::Record<RangeConstraint>& json_record(jsonio::Tag<RangeConstraint>) {
    using C = RangeConstraint;
    static const jsonio::Record<C> record{"RangeConstraint",
                                          {
                                              jsonio::required("name", &C::name),
                                              jsonio::required("min", &C::min),
                                              jsonio::required("max", &C::max),
                                              jsonio::required("unit", &C::unit),
                                              jsonio::required("source", &C::source),
                                              jsonio::required("description", &C::description),
                                          }};
    return record;
}

const jsonio::Record<EnumConstraint>& json_record(jsonio::Tag<EnumConstraint>) {
    using C = EnumConstraint;
    static const jsonio::Record<C> record{"EnumConstraint",
                                          {
                                              jsonio::required("name", &C::name),
                                              jsonio::required("values", &C::values),
                                              jsonio::required("labels", &C::labels),
                                              jsonio::required("source", &C::source),
                                              jsonio::required("description", &C::description),
                                          }};
    return record;
}

// The table rows are [key, value] pairs: [[15, 50.0], [20, 90.0], ...].
const jsonio::Record<TableConstraint>& json_record(jsonio::Tag<TableConstraint>) {
    using C = TableConstraint;
    static const jsonio::Record<C> record{"TableConstraint",
                                          {
                                              jsonio::required("name", &C::name),
                                              jsonio::required("depends_on", &C::depends_on),
                                              jsonio::required("table", &C::table),
                                              jsonio::required("unit", &C::unit),
                                              jsonio::required("source", &C::source),
                                              jsonio::required("description", &C::description),
                                          }};
    return record;
}

const jsonio::Record<TwoLaneHighwayConstraints>& json_record(jsonio::Tag<TwoLaneHighwayConstraints>) {
    using T = TwoLaneHighwayConstraints;
    static const jsonio::Record<T> record{"TwoLaneHighwayConstraints",
                                          {
                                              jsonio::required("lane_width", &T::lane_width),
                                              jsonio::required("shoulder_width", &T::shoulder_width),
                                              jsonio::required("passing_type", &T::passing_type),
                                              jsonio::required("horizontal_class", &T::horizontal_class),
                                              jsonio::required("vertical_class", &T::vertical_class),
                                              jsonio::required("grade", &T::grade),
                                              jsonio::required("phf", &T::phf),
                                              jsonio::required("phv", &T::phv),
                                              jsonio::required("speed_limit", &T::speed_limit),
                                              jsonio::required("speed_radius", &T::speed_radius),
                                              jsonio::required("access_point_density", &T::access_point_density),
                                              jsonio::required("segment_length", &T::segment_length),
                                          }};
    return record;
}

const jsonio::Record<Constraints>& json_record(jsonio::Tag<Constraints>) {
    static const jsonio::Record<Constraints> record{"Constraints",
                                                    {
                                                        jsonio::required("version", &Constraints::version),
                                                        jsonio::required("two_lane_highways", &Constraints::two_lane_highways),
                                                    }};
    return record;
}

// ---- Checks -------------------------------------------------------------------------------------

std::optional<std::string> RangeConstraint::check(double value) const {
    if (min <= value && value <= max) return std::nullopt;
    return name + " = " + num(value) + " " + unit + " is outside valid range [" + num(min) + ", " + num(max) +
           "]. Source: " + source;
}

std::optional<std::string> EnumConstraint::check(std::int32_t value) const {
    for (std::int32_t v : values) {
        if (v == value) return std::nullopt;
    }
    return name + " = " + std::to_string(value) + " is not a valid value. Must be one of " +
           base::debug_list(std::vector<std::int64_t>(values.begin(), values.end())) + ". Source: " + source;
}

const Constraints& CONSTRAINTS() {
    static const Constraints constraints = build();
    return constraints;
}

std::string constraints_json() { return jsonio::write_document_pretty(CONSTRAINTS()); }

std::vector<std::string> validate_two_lane_highway(std::optional<double> lane_width, std::optional<double> shoulder_width,
                                                   std::optional<std::int32_t> passing_type,
                                                   std::optional<std::int32_t> hor_class, std::optional<double> grade,
                                                   std::optional<double> phf, std::optional<double> phv,
                                                   std::optional<double> spl) {
    const TwoLaneHighwayConstraints& t = CONSTRAINTS().two_lane_highways;
    std::vector<std::string> messages;
    auto check = [&](const auto& constraint, const auto& value) {
        if (!value) return;
        if (auto message = constraint.check(*value)) messages.push_back(std::move(*message));
    };
    check(t.lane_width, lane_width);
    check(t.shoulder_width, shoulder_width);
    check(t.passing_type, passing_type);
    check(t.horizontal_class, hor_class);
    check(t.grade, grade);
    check(t.phf, phf);
    check(t.phv, phv);
    check(t.speed_limit, spl);
    return messages;
}

}  // namespace hcm::common::constraints
