#include "json/writer.hpp"

namespace jsonio {
namespace {
std::string dump_with(const Json& value, int indent) {
    try {
        return value.dump(indent);
    } catch (const nlohmann::json::type_error&) {
        throw hcm::Error("invalid UTF-8 in string");
    }
}
}  // namespace

std::string dump(const Json& value) { return dump_with(value, -1); }
std::string dump_pretty(const Json& value) { return dump_with(value, 2); }

}  // namespace jsonio
