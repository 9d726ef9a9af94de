#pragma once
// A class built from one JSON document (ClassDef::json_document): its constructor, and where
// declared its to_json() and a static from_json() alias, from one declaration of what differs
// between such classes:
//
//   .json_document({.read = ff::read_facility,                      // FreewayFacility(json=None)
//                   .read_error = "invalid facility JSON: ",
//                   .write = ff::write_facility,
//                   .write_error = "serialization failed: ",
//                   .to_json = "Serialize the facility (inputs and computed results) to JSON."})
//   .json_document({.required = true,                               // SignalizedIntersection(json)
//                   .read = si::read_intersection,                  // the parser's message alone
//                   .from_json = "Alias constructor mirroring `SignalizedIntersection(json)`.", ...})
//   .json_document({.param = "config_json", .required = true,       // UrbanSegment(config_json)
//                   .read = us::read_segment, .read_error = "...",
//                   .write = us::write_segment_pretty, ...})         // a pretty writer
//
// `read` and `write` are the chapter's core functions (the binding never opens the JSON layer);
// the writer chosen decides between compact and pretty text. Without `write` the class has no
// to_json(). to_json and from_json take their place among the class's members where the call
// stands (the constructor is the same wherever it is declared).
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace vevuruvu::boundary {

template <class T>
struct JsonDocument {
    // The constructor's one parameter: "json" or "config_json".
    const char* param = "json";
    // false: "json=None", where None or no argument gives the default document (the one "{}" reads to).
    bool required = false;
    // Reads the whole document; a failure is a base::Error carrying the parser's message.
    T (*read)(std::string_view text) = nullptr;
    // Put in front of a read failure's message ("invalid facility JSON: "); nullptr: the message alone.
    const char* read_error = nullptr;
    // Docstring of a static from_json(json), the constructor under another name; nullptr: none.
    const char* from_json = nullptr;
    // Writes the whole record (compact or pretty, as the function does); nullptr: no to_json().
    std::string (*write)(const T& record) = nullptr;
    // Put in front of a write failure's message ("serialization failed: ").
    const char* write_error = nullptr;
    // Docstring of to_json() after its text signature.
    const char* to_json = nullptr;
};

namespace detail {

template <class F>
auto with_error_prefix(const char* prefix, F fn) {
    if (prefix == nullptr) return fn();
    try {
        return fn();
    } catch (const base::Error& e) {
        throw base::Error(prefix + e.message());
    }
}

}  // namespace detail

template <class T>
T read_document(const JsonDocument<T>& doc, std::string_view text) {
    return detail::with_error_prefix(doc.read_error, [&] { return doc.read(text); });
}

template <class T>
std::string write_document(const JsonDocument<T>& doc, const T& record) {
    return detail::with_error_prefix(doc.write_error, [&] { return doc.write(record); });
}

}  // namespace vevuruvu::boundary
