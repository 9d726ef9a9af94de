#include "hcm/common/version.hpp"

#include <string>

#include "base/format.hpp"
#include "base/text.hpp"
#include "hcm/common/error.hpp"

namespace hcm::common::version {
namespace {

std::string normalise(std::string_view label_text) {
    const std::string lowered = base::text::lower_ascii(base::text::trim(label_text));
    std::string without_hcm;
    for (std::size_t i = 0; i < lowered.size();) {
        if (lowered.compare(i, 3, "hcm") == 0) {
            i += 3;
        } else {
            without_hcm += lowered[i++];
        }
    }
    std::string compact;
    for (char c : without_hcm) {
        if (c != ' ' && c != '_') compact += c;
    }
    std::size_t first = compact.find_first_not_of('v');
    return first == std::string::npos ? std::string() : compact.substr(first);
}

}  // namespace

HcmVersion from_str(std::string_view text) {
    std::string key = normalise(text);
    if (key == "7" || key == "7.0") return HcmVersion::Hcm7;
    if (key == "7.1") return HcmVersion::Hcm7_1;
    throw Error("unknown HCM version " + base::debug(text) + "; expected one of \"7\" or \"7.1\"");
}

void require_7th_edition_step(HcmVersion v, std::string_view step) {
    if (v == HcmVersion::Hcm7) return;
    throw Error(std::string(step) + "() implements the 7th Edition step structure, but this segment is version \"" +
                std::string(label(v)) + "\". Use run_analysis() or analysis_v7_1() instead.");
}

bool changes_chapter(HcmVersion v, std::uint8_t chapter) {
    return v == HcmVersion::Hcm7_1 && (chapter == 13 || chapter == 14 || chapter == 27 || chapter == 28);
}

}  // namespace hcm::common::version
