#pragma once
// The one failure type of the computation layer: a condition the system detects in its input
// or in the order of calls. Its message is the exact text the caller sees (the Python binding
// raises it as ValueError unchanged). Broken internal invariants use other exception types.
#include <stdexcept>
#include <string>

namespace hcm {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace hcm
