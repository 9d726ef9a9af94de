// Python classes and functions of this chapter; the chapter's classes arrive with its analysis.
#include "vevuruvu/chapters.hpp"

namespace vevuruvu::merge_diverge {

void register_(pybind11::module_&) {}

}  // namespace vevuruvu::merge_diverge
