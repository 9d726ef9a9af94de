#pragma once
// Getters that hand a record to Python as JSON text.
#include <exception>
#include <optional>
#include <string>

#include "hcm/common/error.hpp"
#include "json/writer.hpp"

namespace vevuruvu::boundary {

// The record as compact JSON text, or None while it is absent. A record that cannot be written
// (a text in it that is not UTF-8) raises ValueError "serialize error: {reason}".
template <class T>
std::optional<std::string> json_text_or_none(const std::optional<T>& record) {
    if (!record) return std::nullopt;
    try {
        return jsonio::write_document(*record);
    } catch (const std::exception& e) {
        throw hcm::Error(std::string("serialize error: ") + e.what());
    }
}

}  // namespace vevuruvu::boundary
