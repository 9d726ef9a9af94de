// The support functions: HCM editions, the constraints document and two-lane input validation.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hcm/common/constraints.hpp"
#include "hcm/common/version.hpp"
#include "vevuruvu/boundary/kit.hpp"
#include "vevuruvu/chapters.hpp"

namespace vevuruvu::support {

namespace py = pybind11;
using namespace boundary;
namespace version = hcm::common::version;

namespace {

std::vector<std::string> hcm_versions() {
    std::vector<std::string> labels;
    for (auto v : version::ALL_VERSIONS) labels.emplace_back(version::label(v));
    return labels;
}

}  // namespace

void register_(py::module_& m) {
    add_function(m, "hcm_versions",
                 "The HCM editions this library implements, oldest first, as the labels the manual itself uses.\n\n"
                 "Use them to build a version picker. Every calculation defaults to \"7\"; only Chapters 13, 14,\n"
                 "27 and 28 differ under \"7.1\".",
                 hcm_versions);
    add_function(m, "hcm_latest_version", "The newest HCM edition this library implements.",
                 [] { return std::string(version::label(version::ALL_VERSIONS.back())); });
    add_function(m, "hcm_version_changes_chapter",
                 "Whether the given HCM edition changed the methodology of the given chapter, relative to the\n"
                 "7th Edition. Always false for every chapter under version \"7\".",
                 params(req<std::string>("version"), req<std::uint8_t>("chapter")),
                 [](const std::string& text, std::uint8_t chapter) {
                     return version::changes_chapter(version::from_str(text), chapter);
                 });
    add_function(m, "get_constraints",
                 "Get all parameter constraints as a JSON string.\n\n"
                 "The constraints define valid ranges for all input parameters based on HCM and AASHTO\n"
                 "standards.\n\n"
                 "Returns:\n"
                 "    str: JSON string containing all constraints\n\n"
                 "Example:\n"
                 "    >>> import json\n"
                 "    >>> constraints = json.loads(get_constraints())\n"
                 "    >>> print(constraints[\"two_lane_highways\"][\"lane_width\"])",
                 [] { return hcm::common::constraints::constraints_json(); });
    add_function(m, "validate_input",
                 "Validate Two-Lane Highway input parameters.\n\n"
                 "Args:\n"
                 "    lane_width: Lane width in feet (optional)\n"
                 "    shoulder_width: Shoulder width in feet (optional)\n"
                 "    passing_type: Passing type 0, 1 or 2 (optional)\n"
                 "    hor_class: Horizontal class 0-5 (optional)\n"
                 "    grade: Grade percentage (optional)\n"
                 "    phf: Peak hour factor (optional)\n"
                 "    phv: Percent heavy vehicles (optional)\n"
                 "    spl: Speed limit in mph (optional)\n\n"
                 "Returns:\n"
                 "    list[str]: Validation error messages, empty if valid\n\n"
                 "Example:\n"
                 "    >>> validate_input(lane_width=8.0)\n"
                 "    ['lane_width = 8 ft is outside valid range [9, 12]. Source: HCM 7th Edition, Exhibit 15-8']",
                 params(opt<double>("lane_width"), opt<double>("shoulder_width"), opt<std::int32_t>("passing_type"),
                        opt<std::int32_t>("hor_class"), opt<double>("grade"), opt<double>("phf"), opt<double>("phv"),
                        opt<double>("spl")),
                 hcm::common::constraints::validate_two_lane_highway);
}

}  // namespace vevuruvu::support
