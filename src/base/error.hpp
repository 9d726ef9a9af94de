#pragma once
// The one failure type of the computation layer: a condition the system detects in its input
// or in the order of calls. Its message is the exact text the caller sees (the Python binding
// raises it as ValueError unchanged). Broken internal invariants use other exception types.
// The HCM layers know it as hcm::Error (hcm/common/error.hpp).
#include <memory>
#include <stdexcept>
#include <string>

namespace base {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message)
        : std::runtime_error(message), message_(std::make_shared<const std::string>(message)) {}

    // The whole message: what() is a C string, cut at a NUL the text may carry (an option word
    // or a JSON string given with "\u0000"). Shared, so that copying the error cannot throw.
    const std::string& message() const noexcept { return *message_; }

private:
    std::shared_ptr<const std::string> message_;
};

}  // namespace base
