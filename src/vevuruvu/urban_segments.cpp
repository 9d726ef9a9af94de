// Python classes and functions of this chapter; the chapter's classes arrive with its analysis.
#include "vevuruvu/chapters.hpp"

namespace vevuruvu::urban_segments {

void register_(pybind11::module_&) {}

}  // namespace vevuruvu::urban_segments
