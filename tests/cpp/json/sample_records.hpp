#pragma once
// Sample records shaped like the chapters' documents, shared by the JSON layer tests.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "hcm/common/common.hpp"
#include "json/jsonio.hpp"

namespace jsontest {

using hcm::common::CityType;
using hcm::common::LevelOfService;
using hcm::common::OptionalLosMatrix;

enum class SegType : std::uint8_t { Basic, Merge, Diverge, Weaving, OverlappingRamp };
}  // namespace jsontest

namespace base {
template <>
inline constexpr std::array<std::string_view, 5> variant_names<jsontest::SegType> = {"Basic", "Merge", "Diverge", "Weaving",
                                                                                     "OverlappingRamp"};
}  // namespace base

namespace jsontest {

struct Zone {
    std::uint32_t total_lanes = 0;
    std::uint32_t open_lanes = 0;
    bool soft_barrier = true;
    double lateral_ft = 0.0;
    friend bool operator==(const Zone&, const Zone&) = default;
};

struct Segment {
    SegType seg_type = SegType::Weaving;
    double length_ft = 0.0;
    std::uint32_t lanes = 0;
    std::optional<double> ffs = 1.0;
    std::optional<std::vector<double>> caf_schedule;
    std::optional<Zone> work_zone;
    std::vector<double> on_ramp = {9.0};
    friend bool operator==(const Segment&, const Segment&) = default;
};

struct Perf {
    double speed = 0.0;
    LevelOfService los = LevelOfService::A;
    double vhd = 0.0;
    friend bool operator==(const Perf&, const Perf&) = default;
};

struct Grade {
    double length = 0.0;
    double grade = 0.0;
    friend bool operator==(const Grade&, const Grade&) = default;
};

struct Composite {
    double ffs = 0.0;
    double caf_ao = 0.0;
    std::vector<Grade> segments;
    friend bool operator==(const Composite&, const Composite&) = default;
};

struct Lone {
    double only = 0.0;
};

// A record with a member read by hand: a ratio written "a/b".
struct Ratio {
    double value = 0.0;
};
struct WithRatio {
    Ratio r;
};

// Results of an analysis, which may be non-finite: written null, read back as NaN.
struct Outcome {
    double delay = 0.0;
    std::array<double, 3> approach{};
    std::vector<std::vector<double>> matrix;
    std::vector<std::optional<double>> maybe;
    std::uint32_t count = 0;
};

struct Facility {
    std::vector<Segment> segments;
    std::vector<double> demand;
    CityType city = CityType::Urban;
    std::vector<std::vector<bool>> had_queue;
    std::vector<Perf> performance;
    friend bool operator==(const Facility&, const Facility&) = default;
};

struct Signal {
    double cycle_s = 0.0;
    friend bool operator==(const Signal&, const Signal&) = default;
};
using Control = std::variant<jsonio::Unit, Signal, jsonio::Unit>;

inline const jsonio::Record<Zone>& json_record(jsonio::Tag<Zone>) {
    static const jsonio::Record<Zone> record{"Zone",
                                             {
                                                 jsonio::with_default("total_lanes", &Zone::total_lanes, 3),
                                                 jsonio::with_default("open_lanes", &Zone::open_lanes, 2),
                                                 jsonio::with_default("soft_barrier", &Zone::soft_barrier, false),
                                                 jsonio::with_default("lateral_ft", &Zone::lateral_ft, 6.0),
                                             },
                                             jsonio::UnknownKeys::ignore,
                                             jsonio::ArrayForm::defaults_fill};
    return record;
}

inline const jsonio::Record<Segment>& json_record(jsonio::Tag<Segment>) {
    static const jsonio::Record<Segment> record{"Segment",
                                                {
                                                    jsonio::with_default("seg_type", &Segment::seg_type, SegType::Basic),
                                                    jsonio::with_default("length_ft", &Segment::length_ft, 1500.0),
                                                    jsonio::with_default("lanes", &Segment::lanes, 3),
                                                    jsonio::optional("ffs", &Segment::ffs),
                                                    jsonio::optional("caf_schedule", &Segment::caf_schedule),
                                                    jsonio::optional("work_zone", &Segment::work_zone),
                                                    jsonio::with_default("on_ramp", &Segment::on_ramp, {}),
                                                },
                                                jsonio::UnknownKeys::ignore,
                                                jsonio::ArrayForm::defaults_fill};
    return record;
}

inline const jsonio::Record<Perf>& json_record(jsonio::Tag<Perf>) {
    static const jsonio::Record<Perf> record{"Perf",
                                             {
                                                 jsonio::required("speed", &Perf::speed),
                                                 jsonio::required("los", &Perf::los),
                                                 jsonio::required("vhd", &Perf::vhd),
                                             }};
    return record;
}

inline const jsonio::Record<Grade>& json_record(jsonio::Tag<Grade>) {
    static const jsonio::Record<Grade> record{"Grade",
                                              {jsonio::required("length", &Grade::length), jsonio::required("grade", &Grade::grade)},
                                              jsonio::UnknownKeys::refuse};
    return record;
}

inline const jsonio::Record<Composite>& json_record(jsonio::Tag<Composite>) {
    static const jsonio::Record<Composite> record{"Composite",
                                                  {
                                                      jsonio::required("ffs", &Composite::ffs),
                                                      jsonio::with_default("caf_ao", &Composite::caf_ao, 1.0),
                                                      jsonio::required("segments", &Composite::segments),
                                                  },
                                                  jsonio::UnknownKeys::refuse};
    return record;
}

inline const jsonio::Record<Lone>& json_record(jsonio::Tag<Lone>) {
    static const jsonio::Record<Lone> record{"Lone", {jsonio::required("only", &Lone::only)}, jsonio::UnknownKeys::refuse};
    return record;
}

inline Ratio read_ratio(jsonio::Value v) {
    if (!v.is_string()) jsonio::detail::invalid_type(v, "a ratio \"a/b\"");
    std::string text(v.string());
    auto slash = text.find('/');
    if (slash == std::string::npos) v.fail_at_end("ratio without `/`");
    return Ratio{std::stod(text.substr(0, slash)) / std::stod(text.substr(slash + 1))};
}
inline void write_ratio(jsonio::Writer& w, const Ratio& r) { jsonio::write_value(w, r.value); }

inline const jsonio::Record<WithRatio>& json_record(jsonio::Tag<WithRatio>) {
    static const jsonio::Record<WithRatio> record{
        "WithRatio", {jsonio::required("r", &WithRatio::r, jsonio::Codec<Ratio>{read_ratio, write_ratio})}};
    return record;
}

inline const jsonio::Record<Outcome>& json_record(jsonio::Tag<Outcome>) {
    static const jsonio::Record<Outcome> record{"Outcome",
                                                {
                                                    jsonio::result("delay", &Outcome::delay),
                                                    jsonio::result("approach", &Outcome::approach),
                                                    jsonio::result_with_default("matrix", &Outcome::matrix, {}),
                                                    jsonio::result_with_default("maybe", &Outcome::maybe, {}),
                                                    jsonio::with_default("count", &Outcome::count, 0),
                                                }};
    return record;
}

inline const jsonio::Record<Facility>& json_record(jsonio::Tag<Facility>) {
    static const jsonio::Record<Facility> record{"Facility",
                                                 {
                                                     jsonio::with_default("segments", &Facility::segments, {}),
                                                     jsonio::with_default("demand", &Facility::demand, {}),
                                                     jsonio::with_default("city", &Facility::city, CityType::Urban),
                                                     jsonio::with_default("had_queue", &Facility::had_queue, {}),
                                                     jsonio::with_default("performance", &Facility::performance, {}),
                                                 },
                                                 jsonio::UnknownKeys::ignore,
                                                 jsonio::ArrayForm::defaults_fill};
    return record;
}

inline const jsonio::Variants<Control>& json_variants(jsonio::Tag<Control>) {
    static const jsonio::Variants<Control> variants{"Control", {"Stop", "Signal", "Yield"}};
    return variants;
}

inline const jsonio::Record<Signal>& json_record(jsonio::Tag<Signal>) {
    static const jsonio::Record<Signal> record{"variant Control::Signal", {jsonio::required("cycle_s", &Signal::cycle_s)}};
    return record;
}

}  // namespace jsontest

