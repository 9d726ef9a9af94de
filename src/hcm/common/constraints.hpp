#pragma once
// The published input constraints (valid ranges and code sets of the two-lane highway inputs,
// HCM Chapter 15 and AASHTO design values) and the validator of a set of two-lane inputs.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "json/record_fwd.hpp"

namespace hcm::common::constraints {

struct RangeConstraint {
    std::string name;
    double min;
    double max;
    std::string unit;
    std::string source;
    std::string description;

    // The message for a value outside [min, max] (NaN always fails), or no value when it passes.
    std::optional<std::string> check(double value) const;
};

struct EnumConstraint {
    std::string name;
    std::vector<std::int32_t> values;
    std::vector<std::string> labels;
    std::string source;
    std::string description;

    std::optional<std::string> check(std::int32_t value) const;
};

struct TableConstraint {
    std::string name;
    std::string depends_on;
    std::vector<std::pair<std::int32_t, double>> table;
    std::string unit;
    std::string source;
    std::string description;
};

struct TwoLaneHighwayConstraints {
    RangeConstraint lane_width;
    RangeConstraint shoulder_width;
    EnumConstraint passing_type;
    EnumConstraint horizontal_class;
    EnumConstraint vertical_class;
    RangeConstraint grade;
    RangeConstraint phf;
    RangeConstraint phv;
    RangeConstraint speed_limit;
    TableConstraint speed_radius;
    RangeConstraint access_point_density;
    RangeConstraint segment_length;
};

struct Constraints {
    std::string version;
    TwoLaneHighwayConstraints two_lane_highways;
};

// JSON form of the document, keys in field order (the table rows as [key, value] pairs).
const jsonio::Record<RangeConstraint>& json_record(jsonio::Tag<RangeConstraint>);
const jsonio::Record<EnumConstraint>& json_record(jsonio::Tag<EnumConstraint>);
const jsonio::Record<TableConstraint>& json_record(jsonio::Tag<TableConstraint>);
const jsonio::Record<TwoLaneHighwayConstraints>& json_record(jsonio::Tag<TwoLaneHighwayConstraints>);
const jsonio::Record<Constraints>& json_record(jsonio::Tag<Constraints>);

// The one constraints document of the process, built on first use.
const Constraints& CONSTRAINTS();

// The document as pretty-printed JSON (two-space indentation).
std::string constraints_json();

// Messages for the given inputs that break their constraint, in argument order; empty when valid.
std::vector<std::string> validate_two_lane_highway(std::optional<double> lane_width, std::optional<double> shoulder_width,
                                                   std::optional<std::int32_t> passing_type,
                                                   std::optional<std::int32_t> hor_class, std::optional<double> grade,
                                                   std::optional<double> phf, std::optional<double> phv,
                                                   std::optional<double> spl);

}  // namespace hcm::common::constraints
