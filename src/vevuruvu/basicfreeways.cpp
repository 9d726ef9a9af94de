// Python classes and functions of this chapter; the chapter's classes arrive with its analysis.
#include "vevuruvu/chapters.hpp"

namespace vevuruvu::basicfreeways {

void register_(pybind11::module_&) {}

}  // namespace vevuruvu::basicfreeways
