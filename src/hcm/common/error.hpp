#pragma once
// The failure type of the HCM computation layer: base::Error under its HCM name.
#include "base/error.hpp"

namespace hcm {

using Error = base::Error;

}  // namespace hcm
