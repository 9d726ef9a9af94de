#!/usr/bin/env python3
"""Writes docs/json-reference.md, the reference of every JSON document the module reads.

The key, type, required/default, null and word columns come from the readers' own record tables,
written as JSON by the test-only program json_tables (built beside the tests); the unit and
meaning columns, the document introductions and rules come from docs/reference/notes.toml, and the
examples from docs/reference/examples/. Run after a change to a record table or to the notes:

    python tools/json_reference.py [--tables build/json_tables] [--check]

--check compares instead of writing and exits 1 when the reference is out of date. The readers skip
keys they do not know without a word; to find typos in a document of your own:

    python tools/json_reference.py --unknown-keys Roundabouts my_roundabout.json
"""
from __future__ import annotations

import argparse
import json
import pathlib
import subprocess
import sys
import tomllib

ROOT = pathlib.Path(__file__).resolve().parent.parent
REFERENCE = ROOT / "docs" / "json-reference.md"
NOTES = ROOT / "docs" / "reference" / "notes.toml"
EXAMPLES = ROOT / "docs" / "reference" / "examples"


def load_tables(program: pathlib.Path) -> dict:
    """The tables as the readers declare them (the output of json_tables)."""
    out = subprocess.run([str(program)], check=True, capture_output=True, text=True)
    return json.loads(out.stdout)


def load_notes(path: pathlib.Path = NOTES) -> dict:
    with open(path, "rb") as f:
        return tomllib.load(f)


def example_path(document: str, which: str) -> pathlib.Path:
    return EXAMPLES / f"{document}.{which}.json"


def anchor(kind: str, name: str) -> str:
    return f"{kind}-" + "".join(c if c.isalnum() else "-" for c in name.lower())


def record_link(name: str) -> str:
    return f"[`{name}`](#{anchor('record', name)})"


def document_link(name: str) -> str:
    return f"[{name}](#{anchor('document', name)})"


def code(value) -> str:
    return "`" + json.dumps(value, separators=(", ", ": ")) + "`"


def type_text(t: dict, special: str = "") -> str:
    """The type column: number, integer (u32), word, list of ..., record ..."""
    kind = t["kind"]
    if kind in ("number", "string", "boolean", "word"):
        return kind
    if kind == "integer":
        return f"integer ({t['range']})"
    if kind == "optional":
        return type_text(t["of"], special) + " or null"
    if kind == "list":
        inner = t["of"]
        if inner["kind"] == "list":
            return "matrix of " + type_text(inner["of"], special)
        return "list of " + type_text(inner, special)
    if kind == "array":
        return f"array of {t['length']} " + type_text(t["of"], special)
    if kind == "tuple":
        return "[" + ", ".join(type_text(i, special) for i in t["items"]) + "]"
    if kind == "record":
        return "record " + record_link(t["name"])
    if kind == "variants":
        alts = []
        for a in t["alternatives"]:
            if "payload" in a:
                alts.append(f"{{`\"{a['name']}\"`: {type_text(a['payload'], special)}}}")
            else:
                alts.append(f"`\"{a['name']}\"`")
        return "one of " + ", ".join(alts)
    if kind == "tagged":
        alts = ", ".join(f"`\"{a['name']}\"` {record_link(a['record'])}" for a in t["alternatives"])
        return f"record tagged by `{t['tag']}`: {alts}"
    if kind == "special":
        return special or "see meaning"
    raise ValueError(f"unknown type kind {kind}")


def words_of(t: dict) -> list[str]:
    """The accepted words of a word field (or of the words inside a list or optional)."""
    if t["kind"] == "word":
        return t["words"]
    if t["kind"] in ("optional", "list", "array"):
        return words_of(t["of"])
    return []


def nested_records(t: dict) -> list[str]:
    kind = t["kind"]
    if kind == "record":
        return [t["name"]]
    if kind in ("optional", "list", "array"):
        return nested_records(t["of"])
    if kind == "tuple":
        return [n for i in t["items"] for n in nested_records(i)]
    if kind == "variants":
        return [n for a in t["alternatives"] if "payload" in a for n in nested_records(a["payload"])]
    if kind == "tagged":
        return [a["record"] for a in t["alternatives"]]
    return []


def presence_text(field: dict, reader_fills: str = "") -> str:
    """The required / default column; `reader_fills` says what the document's reader puts in place
    of the default after reading (from the notes)."""
    p = field["presence"]
    if p == "required":
        text = "required"
    elif p == "optional":
        text = "optional (null = absent)"
    else:
        text = "default " + code(field["default"])
    if field["null_is_nan"]:
        text += "; null reads NaN"
    if reader_fills:
        text += "; after reading: " + reader_fills
    return text


def cell(text: str) -> str:
    return text.replace("|", "\\|").replace("\n", " ")


ARRAY_FORM = {
    "all_fields": "an array of every value in key order (all of them)",
    "defaults_fill": "an array of the values in key order; trailing keys with a default or optional may be left off",
    "with_defaults_fill": "an array of the values in key order; trailing keys with a default may be left off "
    "(optional ones must be given, null for absent)",
}


def record_section(name: str, record: dict, notes: dict, used_by: list[str]) -> list[str]:
    rec_notes = notes.get("records", {}).get(name, {})
    keys = rec_notes.get("keys", {})
    fills = rec_notes.get("reader_fills", {})
    lines = [f'<a id="{anchor("record", name)}"></a>', f"### {name}", ""]
    if rec_notes.get("about"):
        lines += [rec_notes["about"].strip(), ""]
    unknown = "refused (error \"unknown field\")" if record["unknown_keys"] == "refuse" else "skipped without a word"
    if all(u.endswith("(result)") for u in used_by):
        lines.append(f"Returned by: {', '.join(u[:-len(' (result)')] for u in used_by)} (written, never read).")
    else:
        lines.append(f"Used by: {', '.join(used_by)}. Unknown keys: {unknown}. "
                     f"Array form: {ARRAY_FORM[record['array_form']]}.")
    lines += ["", "| key | type | unit | required / default | meaning |", "|---|---|---|---|---|"]
    for field in record["fields"]:
        note = keys.get(field["key"], ["", ""])
        unit, meaning = note[0], note[1]
        flags = note[2:] if len(note) > 2 else []
        special = next((f[len("type="):] for f in flags if f.startswith("type=")), "")
        type_cell = type_text(field["type"], special)
        words = words_of(field["type"])
        if words:
            type_cell += ": " + ", ".join(f"`{w}`" for w in words)
        if "result" in flags or field["null_is_nan"]:
            meaning = "**result.** " + meaning
        lines.append("| " + " | ".join(cell(c) for c in (f"`{field['key']}`", type_cell, unit or "–",
                                                             presence_text(field, fills.get(field["key"], "")), meaning)) + " |")
    lines.append("")
    return lines


def reachable(root: dict, records: dict) -> list[str]:
    """Record names reachable from a type, depth first in key order."""
    seen: list[str] = []
    stack = list(reversed(nested_records(root)))
    while stack:
        name = stack.pop()
        if name in seen:
            continue
        seen.append(name)
        for field in reversed(records[name]["fields"]):
            stack.extend(reversed(nested_records(field["type"])))
    return seen


def document_section(doc: dict, records: dict, notes: dict) -> list[str]:
    name = doc["name"]
    dn = notes.get("documents", {}).get(name, {})
    lines = [f'<a id="{anchor("document", name)}"></a>', f"### {name}", ""]
    root = doc["reads"]
    lines.append(f"`{doc['entry']}` reads one {type_text(root)}."
                 + (f" Method: {dn['chapter']}." if dn.get("chapter") else ""))
    if "returns" in doc:
        lines.append(f"It returns the compact JSON text of one {type_text(doc['returns'])}.")
    lines.append("")
    if dn.get("about"):
        lines += [dn["about"].strip(), ""]
    nested = [n for n in reachable(root, records) if n != root.get("name")]
    if nested:
        lines += ["Records inside it: " + ", ".join(record_link(n) for n in nested) + ".", ""]
    for rule in dn.get("rules", []):
        lines.append("- " + rule.strip())
    if dn.get("rules"):
        lines.append("")
    for which, title in (("minimal", "Minimal document"), ("complete", "Complete document")):
        path = example_path(name, which)
        if path.exists():
            lines += [f"{title} ([{path.name}](reference/examples/{path.name})):", "", "```json",
                      path.read_text().strip(), "```", ""]
    return lines


COMMON_RULES = """\
Rules that hold for every document below (each table says where a record differs):

- **Keys.** Keys may come in any order; a document is written back (`to_json()`) in the order of the
  tables. A key given twice is an error ("duplicate field `k`").
- **Unknown keys are skipped without a word**, so a misspelt key is silently unused: compare your keys
  with the tables, or let `python tools/json_reference.py --unknown-keys Roundabouts my.json` (with
  the document's name) list every key of your file that its reader skips. The records marked
  "Unknown keys: refused" reject them instead ("unknown field `k`, expected ...").
- **Required keys** must be present ("missing field `k`", reported at the record's closing brace).
  A key with a default may be left out; the default column shows what the reader fills in.
- **null** means absent for optional keys ("optional (null = absent)"). A required number refuses
  null, except results marked "null reads NaN": the writer writes a non-finite result (NaN or an
  infinity) as null, and the reader reads that null back as NaN, so any `to_json()` output reads back.
- **Types.** A number accepts integers and decimals; an integer refuses decimals ("invalid type:
  floating point `1.5`, expected u32") and values outside its range (u32: 0 to 4294967295; i32,
  u64, ... likewise). A word is a string from the listed words (also accepted as `{"Word": null}`);
  any other word gives "unknown variant". A matrix is a list of lists, indexed [row][column] as the
  meaning says (usually [segment][period]).
- **Array form.** A record may also be given as an array of its values in key order, as each table
  says; objects are clearer and are what the writer writes.
- **Types are checked, ranges are not.** The readers accept any value of the right type: negative
  volumes, a zero cycle length or a peak hour factor above 1 are computed as given, and the results
  follow the equations (possibly NaN or infinite, written null). The facility and reliability
  analyses check the shape of their inputs when they run (list lengths against the number of
  segments, periods or months, and the like) and raise ValueError naming the first problem.
- **Errors** name the problem and its place: "... at line 3 column 17" (column in bytes). A
  constructor raises ValueError with that message (behind the class's prefix, where it has one).
- **Results** (marked **result.**) are written by `to_json()` after an analysis and read back by the
  constructor; leave them out of an input document.
"""


def render(tables: dict, notes: dict) -> str:
    records = tables["records"]
    docs = tables["documents"]
    used_by: dict[str, list[str]] = {n: [] for n in records}
    for d in docs:
        names = reachable(d["reads"], records)
        for n in names:
            used_by[n].append(document_link(d["name"]))
        if "returns" in d:
            for n in reachable(d["returns"], records):
                used_by[n].append(document_link(d["name"]) + " (result)")
    lines = ["# JSON document reference", "",
             "<!-- Generated by tools/json_reference.py from the readers' record tables and "
             "docs/reference/notes.toml: edit those, not this file. -->", "",
             (notes.get("intro", "").strip()), "", "## Contents", ""]
    for d in docs:
        chapter = notes.get("documents", {}).get(d["name"], {}).get("chapter", "")
        lines.append(f"- {document_link(d['name'])}: `{d['entry']}`"
                     + (f", {chapter}" if chapter else ""))
    lines += ["- [Reading rules](#reading-rules)", "- [Records](#records)", "",
              '<a id="reading-rules"></a>', "## Reading rules", "", COMMON_RULES, "## Documents", ""]
    for d in docs:
        lines += document_section(d, records, notes)
    lines += ['<a id="records"></a>', "## Records", "",
              "One table per record, keys in the order the writer writes them (and the order of the array form).",
              ""]
    # Each document's records together: its root, then the records inside it, depth first.
    order: list[str] = []
    for d in docs:
        roots = [d["reads"]] + ([d["returns"]] if "returns" in d else [])
        for root in roots:
            for name in [root["name"]] * (root["kind"] == "record") + reachable(root, records):
                if name not in order:
                    order.append(name)
    order += [n for n in records if n not in order]
    for name in order:
        lines += record_section(name, records[name], notes, used_by[name])
    return "\n".join(lines).rstrip() + "\n"


def stale_notes(tables: dict, notes: dict) -> list[str]:
    """Notes about records or keys that no reader declares."""
    out = []
    records = tables["records"]
    for name, rec in notes.get("records", {}).items():
        if name not in records:
            out.append(f"record {name}")
            continue
        declared = {f["key"] for f in records[name]["fields"]}
        noted = list(rec.get("keys", {})) + list(rec.get("reader_fills", {}))
        out += [f"{name}.{k}" for k in noted if k not in declared]
    names = {d["name"] for d in tables["documents"]}
    out += [f"document {n}" for n in notes.get("documents", {}) if n not in names]
    return out


def parse_reference(text: str) -> dict[str, dict[str, str]]:
    """The key and required/default columns of each record table of a written reference."""
    out: dict[str, dict[str, str]] = {}
    current = None
    in_records = False
    for line in text.splitlines():
        if line == "## Records":
            in_records = True
        elif in_records and line.startswith("### "):
            current = out.setdefault(line[4:], {})
        elif current is not None and line.startswith("| `"):
            cells = [c.strip() for c in line.strip("|").split(" | ")]
            current[cells[0].strip("`")] = cells[3]
    return out


def unknown_keys(tables: dict, document: str, value) -> list[str]:
    """The keys of a document (parsed JSON) that its readers skip, as paths ("nb.v_lt"): typos
    and keys of other documents, which the readers pass over without a word."""
    records = tables["records"]
    out: list[str] = []

    def walk(t: dict, v, path: str) -> None:
        kind = t["kind"]
        if kind == "record" and isinstance(v, dict):
            fields = {f["key"]: f for f in records[t["name"]]["fields"]}
            for key, item in v.items():
                where = f"{path}.{key}" if path else key
                if key in fields:
                    walk(fields[key]["type"], item, where)
                else:
                    out.append(where)
        elif kind in ("list", "array") and isinstance(v, list):
            for i, item in enumerate(v):
                walk(t["of"], item, f"{path}[{i}]")
        elif kind == "optional" and v is not None:
            walk(t["of"], v, path)
        elif kind == "tagged" and isinstance(v, dict):
            alt = next((a for a in t["alternatives"] if a["name"] == v.get(t["tag"])), None)
            if alt:
                walk({"kind": "record", "name": alt["record"]}, {k: x for k, x in v.items() if k != t["tag"]}, path)

    root = next(d["reads"] for d in tables["documents"] if d["name"] == document)
    walk(root, value, "")
    return out


def default_program() -> pathlib.Path:
    return ROOT / "build" / "json_tables"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tables", type=pathlib.Path, default=default_program(),
                        help="the json_tables program (default: build/json_tables)")
    parser.add_argument("--check", action="store_true", help="compare instead of writing")
    parser.add_argument("--unknown-keys", nargs=2, metavar=("DOCUMENT", "FILE"),
                        help="list the keys of FILE that the reader of DOCUMENT (e.g. Roundabouts) skips")
    args = parser.parse_args()
    tables = load_tables(args.tables)
    if args.unknown_keys:
        document, path = args.unknown_keys
        skipped = unknown_keys(tables, document, json.loads(pathlib.Path(path).read_text()))
        for key in skipped:
            print(f"{path}: {key}: no reader of {document} takes this key")
        return 1 if skipped else 0
    notes = load_notes()
    stale = stale_notes(tables, notes)
    if stale:
        print("notes about keys no reader declares: " + ", ".join(stale), file=sys.stderr)
        return 1
    text = render(tables, notes)
    if args.check:
        if REFERENCE.read_text() != text:
            print(f"{REFERENCE} is out of date: run tools/json_reference.py", file=sys.stderr)
            return 1
        return 0
    REFERENCE.write_text(text)
    missing = sum(1 for n, r in tables["records"].items() for f in r["fields"]
                  if not notes.get("records", {}).get(n, {}).get("keys", {}).get(f["key"], ["", ""])[1])
    print(f"wrote {REFERENCE.relative_to(ROOT)} ({len(tables['documents'])} documents, "
          f"{len(tables['records'])} records, {missing} keys without a meaning)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
