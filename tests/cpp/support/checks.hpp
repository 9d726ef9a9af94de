#pragma once
// What the C++ tests share for their checks: the message of the failure a call reports, and the
// numbers the input checks are fed.
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "hcm/common/error.hpp"

namespace testing_support {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();
// Tolerance for results that are exact up to floating-point rounding.
inline constexpr double kTol = 1e-9;

// What error_of gives when the call returns normally; no message of the library reads like it.
inline constexpr char kNoError[] = "(no error)";

// The message of the `E` (hcm::Error, or a subclass such as jsonio::Error) that `call` throws, or
// kNoError when it throws nothing. Any other exception passes through and fails the test.
template <class E = hcm::Error, class F>
std::string error_of(F&& call) {
    try {
        static_cast<void>(std::forward<F>(call)());
    } catch (const E& e) {
        return e.what();
    }
    return kNoError;
}

// Whether a value read back from a written document says what the written one said: absent for
// absent, the same finite number, NaN for a number that was not finite (the text writes null).
inline bool reads_back_as(const std::optional<double>& written, const std::optional<double>& read) {
    if (!written || !read) return written.has_value() == read.has_value();
    return std::isfinite(*written) ? *read == *written : std::isnan(*read);
}

inline bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace testing_support
