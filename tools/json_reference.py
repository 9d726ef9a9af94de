#!/usr/bin/env python3
"""Writes the references of the module's inputs (docs/json-reference.md, docs/class-reference.md).

docs/json-reference.md describes every JSON document the module reads, docs/class-reference.md
every class built from keyword arguments.

Where each column comes from:
- JSON documents: the key, type, required/default, null and word columns come from the readers'
  own record tables, written as JSON by the test-only program json_tables (built beside the tests
  and the module by `make build`); the unit and meaning columns, the document introductions and
  rules come from docs/reference/notes.toml, and the examples from docs/reference/examples/.
- Classes: the parameter names, their order and whether each is required, `=None` or has a
  literal default come from the classes themselves (inspect.signature of the module built beside
  json_tables, the text signature the bindings generate from their constructor declarations);
  the type, the accepted words and what an omitted or None argument leaves in place (the value of
  the field in a default-constructed record) come from json_tables' "classes" table, which
  describes the very constructor declarations the bindings are built from
  (src/vevuruvu/parameters/); the units, meanings, what an absent value means, the
  steps and the other members come from docs/reference/classes.toml; the method signatures again
  from the module.

Run after a change to a record table, a constructor, or the notes:

    python tools/json_reference.py [--tables build/json_tables] [--check]

--check compares instead of writing and exits 1 when a reference is out of date. The readers skip
keys they do not know without a word; to find typos in a document of your own (this also needs
the json_tables program, so build first):

    python tools/json_reference.py --unknown-keys Roundabouts my_roundabout.json
"""
from __future__ import annotations

import argparse
import importlib
import inspect
import json
import pathlib
import subprocess
import sys
import textwrap
import tomllib

ROOT = pathlib.Path(__file__).resolve().parent.parent
REFERENCE = ROOT / "docs" / "json-reference.md"
NOTES = ROOT / "docs" / "reference" / "notes.toml"
EXAMPLES = ROOT / "docs" / "reference" / "examples"
CLASS_REFERENCE = ROOT / "docs" / "class-reference.md"
CLASS_NOTES = ROOT / "docs" / "reference" / "classes.toml"


class ToolError(Exception):
    """A problem the tool reports in one line, without a traceback."""


def load_tables(program: pathlib.Path) -> dict:
    """The tables as the readers and the class declarations give them (the output of json_tables)."""
    if not program.is_file():
        raise ToolError(f"{program} not found: the record tables come from the json_tables program that "
                        "`make build` builds beside the module (or give its path with --tables)")
    out = subprocess.run([str(program)], capture_output=True, text=True)
    if out.returncode != 0:
        raise ToolError(f"{program} failed: {out.stderr.strip()}")
    return json.loads(out.stdout)


def load_notes(path: pathlib.Path = NOTES) -> dict:
    with open(path, "rb") as f:
        return tomllib.load(f)


def load_module(program: pathlib.Path):
    """The marvane module built beside the json_tables program."""
    sys.path.insert(0, str(program.resolve().parent))
    try:
        return importlib.import_module("marvane")
    except ImportError as e:
        raise ToolError(f"cannot import marvane beside {program}: {e}") from None


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
    if "analysed_when" in field:
        # An optional result: null reads NaN where the record shows that it was computed.
        text = "optional; null reads NaN once analysed ([rule](#analysed-records))"
    elif p == "required":
        text = "required"
    elif p == "optional":
        text = "optional (null = absent)"
    else:
        text = "default " + code(field["default"])
    if field["null_is_nan"] and "analysed_when" not in field:
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
  the document's name) list every key of your file that its reader skips. That command reads the
  readers' tables from the `json_tables` program that `make build` builds beside the module in
  `build/` (give another path with `--tables`), so it needs a build of the sources, not only an
  installed module. The records marked "Unknown keys: refused" reject them instead ("unknown field
  `k`, expected ...").
- **Required keys** must be present ("missing field `k`", reported at the record's closing brace).
  A key with a default may be left out; the default column shows what the reader fills in.
- **null** means absent for optional keys ("optional (null = absent)"). A required number refuses
  null, except results marked "null reads NaN": the writer writes a non-finite result (NaN or an
  infinity) as null, and the reader reads that null back as NaN, so any `to_json()` output reads back.
  An optional result ("optional; null reads NaN once analysed") reads null as NaN or as absent by
  whether its record shows an analysis: see [Results of an analysed record](#analysed-records).
- **Types.** A number accepts integers and decimals; an integer refuses decimals ("invalid type:
  floating point `1.5`, expected u32") and values outside its range (u32: 0 to 4294967295; i32,
  u64, ... likewise). A word is a string from the listed words (also accepted as `{"Word": null}`);
  any other word gives "unknown variant". A matrix is a list of lists, indexed [row][column] as the
  meaning says (usually [segment][period]).
- **Array form.** A record may also be given as an array of its values in key order, as each table
  says; objects are clearer and are what the writer writes.
- **Types are checked, ranges are not.** The readers accept any value of the right type: negative
  volumes, a zero cycle length or a peak hour factor above 1 are computed as given, and the results
  follow the equations (possibly NaN or infinite, written null). Some analyses check the shape of
  their inputs when they run and raise ValueError naming the first problem: each document's rules
  list those checks (list lengths against the number of segments or months, an empty facility, and
  the like). A list its rules do not name is not checked: the per-period lists of a freeway segment
  (its ramp demands, `caf_schedule`, `saf_schedule` and `ramp_metering`) may be shorter than the
  number of periods (the missing periods count no ramp demand, the segment's `caf` or `saf`, no
  metering) or longer (the extra values are unused), without a word.
- **Errors** name the problem and its place: "... at line 3 column 17" (column in bytes). A
  constructor raises ValueError with that message (behind the class's prefix, where it has one).
- **Results** (marked **result.**) are written by `to_json()` after an analysis and read back by the
  constructor; leave them out of an input document. Some analyses leave a result that their inputs
  no longer give as it was, so a saved analysis whose inputs you edit can keep earlier results (each
  document's rules say which, and which other keys an analysis writes). To analyse an edited saved
  analysis afresh, remove its result keys and the keys its rules say an analysis writes, or build it
  again from the inputs alone.
"""


ANALYSED_RULE = """\
**Results of an analysed record.** An optional result is absent until an analysis computes it,
and the writer writes null both for an absent value and for one that is not finite (NaN or an
infinity). So whether a null is a result or no result follows from the rest of the record: each
record shows that the analysis computed a result by a key that every analysis sets and that is
never null then (a level of service, say), or by its inputs, as the table below says. Where it
shows that, a null reads NaN (a document cannot tell an infinity from NaN); elsewhere it reads
absent, and a missing key is always absent. A document written by an analysed object therefore
reads back into an analysed object, every finite result equal and every other one NaN, and a
document never analysed reads as it was written.
"""


def analysed_rules(records: dict, order: list[str]) -> list[str]:
    """The rule of the optional results, and per record what shows that each was computed."""
    lines = ['<a id="analysed-records"></a>', ANALYSED_RULE,
             "| record | results | null reads NaN when |", "|---|---|---|"]
    for name in order:
        by_condition: dict[str, list[str]] = {}
        for field in records[name]["fields"]:
            if "analysed_when" in field:
                by_condition.setdefault(field["analysed_when"], []).append(f"`{field['key']}`")
        for condition, keys in by_condition.items():
            lines.append("| " + " | ".join(cell(c) for c in (record_link(name), ", ".join(keys), condition)) + " |")
    return lines + [""]


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
    # Each document's records together: its root, then the records inside it, depth first.
    order: list[str] = []
    for d in docs:
        roots = [d["reads"]] + ([d["returns"]] if "returns" in d else [])
        for root in roots:
            for name in [root["name"]] * (root["kind"] == "record") + reachable(root, records):
                if name not in order:
                    order.append(name)
    order += [n for n in records if n not in order]
    lines += ["- [Reading rules](#reading-rules)", "- [Records](#records)", "",
              '<a id="reading-rules"></a>', "## Reading rules", "", COMMON_RULES]
    lines += analysed_rules(records, order)
    lines += ["## Documents", ""]
    for d in docs:
        lines += document_section(d, records, notes)
    lines += ['<a id="records"></a>', "## Records", "",
              "One table per record, keys in the order the writer writes them (and the order of the array form).",
              ""]
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

    root = next((d["reads"] for d in tables["documents"] if d["name"] == document), None)
    if root is None:
        raise ToolError(f"unknown document {document!r}; the documents are "
                        + ", ".join(d["name"] for d in tables["documents"]))
    walk(root, value, "")
    return out


# ---- The classes built from keyword arguments ----------------------------------------------------

CLASS_RULES = """\
Rules that hold for every class below:

- **Arguments.** Every parameter may be given by position or by keyword, in the order of the
  signature; keywords are clearer. A parameter shown `name=None` may be left out or given None:
  both leave the default of the table in place (for some, "absent", which the table explains). A
  parameter with a literal default (`has_centerline=False`) refuses None; a required one must be
  given.
- **Types are checked, ranges are not.** A float parameter takes any Python number; an int
  parameter refuses a float (TypeError), and an `int >= 0` refuses a negative number
  (OverflowError). The option words of a text parameter are checked when the object is built
  (ValueError naming the parameter, after the text is normalised as the table says: usually
  lower-cased). Nothing else is checked: a percentage given where a fraction is expected
  (`heavy_vehicle_pct=5` for 5 %) is computed as 500 % without a word, and gives numbers far
  outside any physical range. Mind the unit column.
- **Steps.** Each step method computes one HCM step, stores its result on the object and returns
  it; a step reads what the earlier steps stored (a step not yet run counts as 0 or the table's
  fallback; no step checks that the earlier ones ran, except on `OffStreetBicycleFacility`, whose
  steps compute any missing earlier step), so run them in the order listed, or call the method that
  runs them all.
- **Results** are read back through the properties (or getter methods) listed under each class,
  None (or 0.0 where the table says so) until the step that computes them has run.
"""


def class_anchor(name: str) -> str:
    return anchor("class", name)


def python_literal(value) -> str:
    """A value as Python source: 0.94, True, "walkway", [0.55, 0.2]."""
    if isinstance(value, str):
        return json.dumps(value)
    if isinstance(value, list):
        return "[" + ", ".join(python_literal(v) for v in value) + "]"
    return repr(value)


def keyword_classes(module) -> list[str]:
    """The module's classes built from keyword arguments (every class not built from a JSON text)."""
    out = []
    for name in module.__all__:
        obj = getattr(module, name)
        if isinstance(obj, type) and str(inspect.signature(obj)) not in ("(json)", "(json=None)", "(config_json)"):
            out.append(name)
    return out


def class_default_text(param: inspect.Parameter, declared: dict, absent: str = "") -> str:
    """The default column: "required", a literal default, or what None leaves in place."""
    if param.default is inspect.Parameter.empty:
        return "required"
    if param.default is not None:
        return f"`{python_literal(param.default)}`; None refused"
    if declared["default"] is not None:
        return f"None: `{python_literal(declared['default'])}`"
    text = "None: absent"
    if "reads_as" in declared:
        text += f", read as `{python_literal(declared['reads_as'])}`"
    return text + ("; " + absent if absent else "")


def member_kind(cls, name: str) -> str:
    member = cls.__dict__[name]
    if isinstance(member, property):
        return "property" if member.fset is None else "property, settable"
    return "method"


def member_text(cls, name: str) -> str:
    """A member as it is called: `name(args)` for a method, `name` for a property."""
    member = cls.__dict__[name]
    if isinstance(member, property):
        return f"`{name}`"
    params = list(inspect.signature(getattr(cls, name)).parameters)[1:]  # without self
    return f"`{name}({', '.join(params)})`"


def stale_class_notes(tables: dict, notes: dict, module) -> list[str]:
    """Disagreements between the classes, json_tables' class table and the notes: every keyword class
    has a table and notes, the table names the signature's parameters in order, every parameter has
    a meaning (and, when its default is absent, what absent means), every public member is
    documented and every documented one exists."""
    out = []
    declared = {c["name"]: c["parameters"] for c in tables["classes"]}
    classes = keyword_classes(module)
    out += [f"class {n}: not in json_tables' class table" for n in classes if n not in declared]
    out += [f"class {n}: in json_tables' class table but not a keyword class of the module"
            for n in declared if n not in classes]
    class_notes = notes.get("classes", {})
    out += [f"class {n}: no notes" for n in classes if n not in class_notes]
    out += [f"class {n}: notes about a class the module lacks" for n in class_notes if n not in classes]
    for name in classes:
        if name not in declared or name not in class_notes:
            continue
        cls = getattr(module, name)
        signature = list(inspect.signature(cls).parameters.values())
        names = [p.name for p in signature]
        table = [p["name"] for p in declared[name]]
        if names != table:
            out.append(f"{name}: the signature's parameters {names} differ from json_tables' {table}")
            continue
        cn = class_notes[name]
        params = cn.get("parameters", {})
        for p, d in zip(signature, declared[name]):
            note = params.get(p.name, [])
            if len(note) < 2 or not note[1]:
                out.append(f"{name}.{p.name}: no meaning in the notes")
            elif p.default is None and d["default"] is None and "reads_as" not in d and len(note) < 3:
                out.append(f"{name}.{p.name}: absent by default, and the notes do not say what that means")
        out += [f"{name}.{k}: notes about a parameter the class lacks" for k in params if k not in names]
        public = [k for k in cls.__dict__ if not k.startswith("_")]
        documented = [s[1] for s in cn.get("steps", [])] + list(cn.get("members", {}))
        out += [f"{name}.{k}: member not documented in the notes" for k in public if k not in documented]
        out += [f"{name}.{k}: notes about a member the class lacks" for k in documented if k not in public]
    return out


def class_section(name: str, cls, declared: list[dict], cn: dict) -> list[str]:
    lines = [f'<a id="{class_anchor(name)}"></a>', f"### {name}", ""]
    call = f"marvane.{name}{inspect.signature(cls)}"
    wrapped = textwrap.wrap(call, width=100, subsequent_indent=" " * (len(name) + 9), break_on_hyphens=False)
    lines += ["```python", *wrapped, "```", ""]
    if cn.get("chapter"):
        lines += [f"Method: {cn['chapter']}.", ""]
    if cn.get("about"):
        lines += [cn["about"].strip(), ""]
    if cn.get("example"):
        lines += ["```python", cn["example"].strip(), "```", ""]
    params = cn.get("parameters", {})
    lines += ["| parameter | type | unit | default | meaning |", "|---|---|---|---|---|"]
    for p, d in zip(inspect.signature(cls).parameters.values(), declared):
        note = params.get(p.name, ["", ""])
        type_cell = d["type"]
        if d.get("words"):
            type_cell += ": " + ", ".join(f"`{w}`" for w in d["words"])
        default = class_default_text(p, d, note[2] if len(note) > 2 else "")
        lines.append("| " + " | ".join(cell(c) for c in (f"`{p.name}`", type_cell, note[0] or "–", default,
                                                             note[1])) + " |")
    lines.append("")
    for rule in cn.get("rules", []):
        lines.append("- " + rule.strip())
    if cn.get("rules"):
        lines.append("")
    if cn.get("steps"):
        lines += [cn.get("steps_intro", "The steps, in order:").strip(), "",
                  "| step | method | stores and returns |", "|---|---|---|"]
        for label, method, text in cn["steps"]:
            lines.append("| " + " | ".join(cell(c) for c in (label, member_text(cls, method), text)) + " |")
        lines.append("")
    if cn.get("members"):
        lines += ["Other members:" if cn.get("steps") else "Members:", "",
                  "| member | kind | meaning |", "|---|---|---|"]
        for member, text in cn["members"].items():
            lines.append("| " + " | ".join(cell(c) for c in (member_text(cls, member), member_kind(cls, member),
                                                                 text)) + " |")
        lines.append("")
    return lines


def render_classes(tables: dict, notes: dict, module) -> str:
    stale = stale_class_notes(tables, notes, module)
    if stale:
        raise ToolError("the class reference cannot be made: " + "; ".join(stale))
    declared = {c["name"]: c["parameters"] for c in tables["classes"]}
    classes = keyword_classes(module)
    class_notes = notes["classes"]
    lines = ["# Reference of the classes built from keyword arguments", "",
             "<!-- Generated by tools/json_reference.py from the classes' signatures, the record fields their "
             "parameters set and docs/reference/classes.toml: edit those, not this file. -->", "",
             notes.get("intro", "").strip(), "", "## Contents", ""]
    for name in classes:
        chapter = class_notes[name].get("chapter", "")
        lines.append(f"- [{name}](#{class_anchor(name)})" + (f", {chapter}" if chapter else ""))
    lines += ["- [Rules for every class](#class-rules)", "", '<a id="class-rules"></a>',
              "## Rules for every class", "", CLASS_RULES, "## Classes", ""]
    for name in classes:
        lines += class_section(name, getattr(module, name), declared[name], class_notes[name])
    return "\n".join(lines).rstrip() + "\n"


def parse_class_reference(text: str) -> dict[str, dict[str, str]]:
    """The parameter and default columns of each class's parameter table of a written class reference."""
    out: dict[str, dict[str, str]] = {}
    current = None
    in_parameters = False
    for line in text.splitlines():
        if line.startswith("### "):
            current = out.setdefault(line[4:], {})
        elif line.startswith("| parameter |"):
            in_parameters = True
        elif not line.startswith("|"):
            in_parameters = False
        elif in_parameters and current is not None and line.startswith("| `"):
            cells = [c.strip() for c in line.strip("|").split(" | ")]
            current[cells[0].strip("`")] = cells[3]
    return out


def default_program() -> pathlib.Path:
    return ROOT / "build" / "json_tables"


def list_unknown_keys(tables: dict, document: str, path: pathlib.Path) -> int:
    try:
        value = json.loads(path.read_text())
    except OSError as e:
        raise ToolError(f"{path}: {e.strerror}") from None
    except json.JSONDecodeError as e:
        raise ToolError(f"{path}: not JSON: {e}") from None
    skipped = unknown_keys(tables, document, value)
    for key in skipped:
        print(f"{path}: {key}: no reader of {document} takes this key")
    return 1 if skipped else 0


def write_or_check(path: pathlib.Path, text: str, check: bool) -> bool:
    """Writes the reference, or with `check` says whether it is up to date."""
    if check:
        if path.read_text() != text:
            print(f"{path} is out of date: run tools/json_reference.py", file=sys.stderr)
            return False
        return True
    path.write_text(text)
    return True


def run(args) -> int:
    tables = load_tables(args.tables)
    if args.unknown_keys:
        document, path = args.unknown_keys
        return list_unknown_keys(tables, document, pathlib.Path(path))
    notes = load_notes()
    stale = stale_notes(tables, notes)
    if stale:
        print("notes about keys no reader declares: " + ", ".join(stale), file=sys.stderr)
        return 1
    class_notes = load_notes(CLASS_NOTES)
    module = load_module(args.tables)
    documents_ok = write_or_check(REFERENCE, render(tables, notes), args.check)
    classes_ok = write_or_check(CLASS_REFERENCE, render_classes(tables, class_notes, module), args.check)
    if args.check:
        return 0 if documents_ok and classes_ok else 1
    missing = sum(1 for n, r in tables["records"].items() for f in r["fields"]
                  if not notes.get("records", {}).get(n, {}).get("keys", {}).get(f["key"], ["", ""])[1])
    print(f"wrote {REFERENCE.relative_to(ROOT)} ({len(tables['documents'])} documents, "
          f"{len(tables['records'])} records, {missing} keys without a meaning) and "
          f"{CLASS_REFERENCE.relative_to(ROOT)} ({len(tables['classes'])} classes)")
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tables", type=pathlib.Path, default=default_program(),
                        help="the json_tables program, built by `make build` (default: build/json_tables)")
    parser.add_argument("--check", action="store_true", help="compare instead of writing")
    parser.add_argument("--unknown-keys", nargs=2, metavar=("DOCUMENT", "FILE"),
                        help="list the keys of FILE that the reader of DOCUMENT (e.g. Roundabouts) skips; "
                             "needs the json_tables program")
    args = parser.parse_args()
    try:
        return run(args)
    except ToolError as e:
        print(f"{pathlib.Path(sys.argv[0]).name}: {e}", file=sys.stderr)
        return 2


if __name__ == "__main__":
    sys.exit(main())
