#pragma once
// The one failure type of the computation layer: a condition the system detects in its input
// or in the order of calls. Its message is the exact text the caller sees (the Python binding
// raises it as ValueError unchanged). Broken internal invariants use other exception types.
// The HCM layers know it as hcm::Error (hcm/common/error.hpp).
#include <stdexcept>
#include <string>

namespace base {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace base
