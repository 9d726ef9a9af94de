#pragma once
// The declarations a chapter header needs to announce its record tables, without the JSON library:
//
//   const jsonio::Record<WorkZone>& json_record(jsonio::Tag<WorkZone>);
//   const jsonio::Variants<Control>& json_variants(jsonio::Tag<Control>);
//
// The .cpp that defines a table (or reads and writes through one) includes json/jsonio.hpp.

namespace jsonio {

// Names a type for the lookup of its table by argument-dependent lookup.
template <class T>
struct Tag {};

// The table of a record (json/record.hpp).
template <class R>
class Record;

// The table of a tagged enumeration std::variant<...> (json/record.hpp).
template <class V>
class Variants;

}  // namespace jsonio
