// The support functions: HCM editions, the constraints document and two-lane input validation.
#include "vevuruvu/chapters.hpp"

namespace vevuruvu::support {

void register_(pybind11::module_&) {}

}  // namespace vevuruvu::support
