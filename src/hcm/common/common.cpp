#include "hcm/common/common.hpp"

#include <string>

#include "base/text.hpp"
#include "hcm/common/error.hpp"

namespace hcm::common {

Terrain terrain_from_option(std::string_view text) {
    const std::string word = base::text::lower_ascii(text);
    if (word == "level") return Terrain::Level;
    if (word == "rolling") return Terrain::Rolling;
    if (word == "mountainous") return Terrain::Mountainous;
    throw Error("unknown terrain: " + word);
}

}  // namespace hcm::common
