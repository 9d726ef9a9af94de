#pragma once
// Typed JSON reading and writing for every chapter. Include this header.
//
// Declare a record once, next to its struct (header: the declaration; .cpp: the table):
//
//   const jsonio::Record<WorkZone>& json_record(jsonio::Tag<WorkZone>);   // in WorkZone's namespace
//
//   const jsonio::Record<WorkZone>& json_record(jsonio::Tag<WorkZone>) {
//       static const jsonio::Record<WorkZone> record{"WorkZone", {
//           jsonio::with_default("total_lanes", &WorkZone::total_lanes, 3),
//           jsonio::required("speed_ratio", &WorkZone::speed_ratio),
//           jsonio::optional("note", &WorkZone::note),              // std::optional member
//           jsonio::result("delay_s", &WorkZone::delay_s),           // computed: null reads NaN
//           jsonio::result_with_default("speeds", &WorkZone::speeds, {}),  // matrix of results
//           jsonio::analysed_result("queue_ft", &WorkZone::queue_ft,  // std::optional, computed:
//                                   jsonio::marked_by("los", &WorkZone::los)),  // null reads NaN once analysed
//       }, jsonio::UnknownKeys::ignore, jsonio::ArrayForm::defaults_fill};
//       return record;
//   }
//
// Then any member of type WorkZone, std::optional<WorkZone>, std::vector<WorkZone>, ... of
// another record reads and writes through it, and:
//
//   WorkZone z = jsonio::read_document<WorkZone>(text);          // parse + read; throws jsonio::Error
//   jsonio::Document doc = jsonio::Document::parse(text);        // or keep the tree and read parts:
//   auto f = jsonio::read<FreewayFacility>(*doc.root().find("facility"));
//   std::string s = jsonio::write_document(z);                   // compact; write_document_pretty: 2 spaces
//   auto f = jsonio::read_document_with_prefix<FreewayFacility>(text, "invalid facility JSON: ");
//   std::string t = jsonio::write_document_with_prefix(f, "serialization failed: ");  // failures as base::Error
//
// Writing goes straight from the tables to text (jsonio::Writer), floats in their shortest
// round-trip digits and null for NaN and infinities. A required number that can be non-finite
// is declared with result() (or result_with_default()), so that its null reads back as NaN;
// with required() a null is refused, and an optional() field reads null as absent.
// An optional result (absent until an analysis computes it) that can be non-finite is written
// null both when absent and when non-finite. It is declared with analysed_result() and what shows
// that the analysis computed it (jsonio::Analysed: usually marked_by() a key every analysis sets,
// such as a LOS): its null reads NaN where the record shows that, and absent elsewhere, so that
// a document written by an analysed record reads back analysed and a fresh one reads as fresh.
// The test runs once all the keys of the record are read. Where only an enclosing record can
// tell (an input of its own, the position of the record in a list), the Analysed has no test
// and the enclosing Record gets a settle step that calls absent_unless_computed().
//
// Enumerations with base::variant_names<E> read as "Name" or {"Name": null} and write as "Name".
// Tagged enumerations: std::variant<...> with json_variants(jsonio::Tag<V>) returning a
// jsonio::Variants<V>{"Name", {"VariantA", "VariantB"}}; jsonio::Unit alternatives are unit
// variants ("VariantA"), others carry a payload ({"VariantB": {...}}). A variant of records named
// by a key among their own fields ({"type": "stop", ...}) returns a jsonio::InternallyTagged<V>
// instead (json/internally_tagged.hpp).
// Special cases: required/with_default/optional take a jsonio::Codec<M>{read_fn, write_fn} (both
// function pointers; write_fn(Writer&, const M&)); jsonio::custom<R>(key, presence,
// read(Value, R&), write(Writer&, const R&), set_default(R&)) works on the whole record. A
// hand-made reader reports its own failures with value.fail("text") (or fail_at_end /
// fail_at_begin), detail::invalid_type(value, "expected"); a hand-made writer calls
// jsonio::write_value(w, x) or the Writer's token functions.
// Every field also keeps how its type reads, for the reference of the documents (json/describe.hpp).
// Records refusing unknown keys: UnknownKeys::refuse. Array form: ArrayForm::all_fields (the
// default: every field must be given), ArrayForm::defaults_fill (a short array leaves the
// trailing defaulted and optional fields at their defaults) or ArrayForm::with_defaults_fill
// (only trailing fields declared with a default may be left off; optional ones must be given).
//
// Messages (each followed by " at line {} column {}", column in bytes from 1):
//   missing field `k`                    at the record's closing brace (first missing in order)
//   duplicate field `k`, unknown field `k`, expected ...   at the key's closing quote
//   unknown variant `X`, expected ...    at the string's closing quote (or the key's)
//   invalid type: integer `3`, expected f64 / u32 / a string / a sequence / struct Name /
//       variant identifier ...           at a scalar's last byte, a container's opening bracket
//   invalid value: integer `-1`, expected u32   at the number's last byte
//   invalid length 2, expected struct X with 5 elements (1 element) / an array of length 4
//                                        at the closing bracket (too few elements)
//   invalid type: unit variant, expected struct variant E::V   a payload variant named alone, its
//                                        payload record named "variant E::V"
//   trailing characters                  at the first extra element of a record's array form or
//                                        of a fixed-size array, or the first byte after the document
//   syntax errors ("expected value", "EOF while parsing an object", ...) at the byte where the
//   parser stopped (for an unexpected token: its first byte; at end of input: the last byte).
#include <nlohmann/json.hpp>

#include "json/describe.hpp"
#include "json/reader.hpp"
#include "json/record.hpp"
#include "json/tree.hpp"
#include "json/writer.hpp"

namespace jsonio {

// The JSON library's ordered document, for code that inspects a written text (tests); the
// readers and the writer above never build one.
using Json = nlohmann::ordered_json;

// read_document<T> for a chapter's document: a failure to parse or read throws base::Error
// "{prefix}{parser message}".
template <class T>
T read_document_with_prefix(std::string_view text, std::string_view prefix) {
    try {
        return read_document<T>(text);
    } catch (const Error& e) {
        throw base::Error(std::string(prefix) + e.message());
    }
}

// write_document for a chapter's document: a failure to write (a string that is not valid UTF-8)
// throws base::Error "{prefix}{message}".
template <class T>
std::string write_document_with_prefix(const T& x, std::string_view prefix) {
    try {
        return write_document(x);
    } catch (const base::Error& e) {
        throw base::Error(std::string(prefix) + e.message());
    }
}

}  // namespace jsonio
