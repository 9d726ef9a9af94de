"""The references against the code. The JSON reference (docs/json-reference.md) against the
readers: every key a reader accepts is listed and nothing else, the documented defaults are what
the readers fill in, the reference is what the generator makes of the record tables and notes, and
every example document reads with its class or function and analyses. The class reference
(docs/class-reference.md) against the classes built from keyword arguments: every parameter of
every such class is listed in signature order with the default its signature and record give, and
every example runs."""
import importlib.util
import inspect
import json
import math
import pathlib
import re
import subprocess
import sys

import pytest

import marvane

ROOT = pathlib.Path(__file__).resolve().parents[2]
_source = importlib.util.spec_from_file_location("json_reference", ROOT / "tools" / "json_reference.py")
ref = importlib.util.module_from_spec(_source)
_source.loader.exec_module(ref)


@pytest.fixture(scope="module")
def tables(json_tables):
    return ref.load_tables(json_tables)


@pytest.fixture(scope="module")
def notes():
    return ref.load_notes()


@pytest.fixture(scope="module")
def class_notes():
    return ref.load_notes(ref.CLASS_NOTES)


def test_reference_and_readers_agree_on_keys_and_defaults(tables):
    documented = ref.parse_reference(ref.REFERENCE.read_text())
    declared = {name: {f["key"]: ref.cell(ref.presence_text(f)) for f in rec["fields"]}
                for name, rec in tables["records"].items()}
    lacking = [f"{r}.{k}" for r, keys in declared.items() for k in keys if k not in documented.get(r, {})]
    unread = [f"{r}.{k}" for r, keys in documented.items() for k in keys if k not in declared.get(r, {})]
    defaults = [f"{r}.{k}: documented {documented[r][k]!r}, read {p!r}" for r, keys in declared.items()
                for k, p in keys.items() if k in documented.get(r, {}) and not documented[r][k].startswith(p)]
    assert not lacking, f"keys the readers accept but the reference lacks: {lacking}"
    assert not unread, f"keys the reference lists but no reader accepts: {unread}"
    assert not defaults, f"documented defaults that differ from the readers': {defaults}"


def test_reference_is_generated_from_the_tables_and_notes(tables, notes):
    assert not ref.stale_notes(tables, notes), "notes about keys no reader declares"
    assert ref.REFERENCE.read_text() == ref.render(tables, notes), \
        "docs/json-reference.md is out of date: run tools/json_reference.py"


def test_every_document_of_the_module_has_a_section(tables):
    names = [d["name"] for d in tables["documents"]]
    classes = [n for n in names if hasattr(marvane, n) and isinstance(getattr(marvane, n), type)]
    for cls in classes:
        new = getattr(marvane, cls).__new__
        assert new.__text_signature__ == "($type, " + str(inspect.signature(getattr(marvane, cls)))[1:], cls
        assert f"docs/json-reference.md, section {cls}." in new.__doc__
    text = ref.REFERENCE.read_text()
    assert all(f'<a id="{ref.anchor("document", n)}"></a>' in text for n in names)
    readme = (ROOT / "README.md").read_text()
    readme_links = re.findall(r"docs/json-reference\.md#([\w-]+)", readme)
    assert readme_links and all(f'<a id="{a}"></a>' in text for a in readme_links)
    # The README names every class built from keyword arguments with a link to its section.
    class_links = re.findall(r"\[`(\w+)`\]\(docs/class-reference\.md#([\w-]+)\)", readme)
    assert sorted(name for name, _ in class_links) == sorted(ref.keyword_classes(marvane))
    assert all(a == ref.class_anchor(name) for name, a in class_links)
    # Every class built from JSON text and every module function taking one is a document.
    taking_json = {n for n in marvane.__all__
                   if getattr(getattr(marvane, n), "__text_signature__", None) in ("(json)", "(json=None)", "(config_json)")}
    assert taking_json == {n for n in names if "." not in n}


# How each document is read and analysed, and one result that the analysis must give.
def _twsc_with_signals(text):
    t = marvane.Twsc(ref.example_path("Twsc", "minimal").read_text())
    t.set_upstream_signals(text)
    t.analyze()
    return t.intersection_delay


def _analysed(cls, method, result):
    def run(text):
        obj = getattr(marvane, cls)(text)
        getattr(obj, method)()
        return result(obj)
    return run


def _returned(function):
    def run(text):
        out = getattr(marvane, function)(text)
        return out if isinstance(out, float) else json.loads(out)
    return run


RUNS = {
    "FreewayFacility": _analysed("FreewayFacility", "run_analysis", lambda f: json.loads(f.to_json())["los"]),
    "ManagedLaneFacility": _analysed("ManagedLaneFacility", "run_analysis", lambda f: f.to_json()),
    "PlanningFacility": _analysed("PlanningFacility", "run_analysis", lambda f: f.to_json()),
    "FreewayReliability": _analysed("FreewayReliability", "run", lambda r: json.loads(r.metrics())["tti_95"]),
    "UrbanFacility": _analysed("UrbanFacility", "analyze", lambda f: f.los),
    "UrbanReliability": _analysed("UrbanReliability", "run", lambda r: r.tti_percentile(95)),
    "UrbanSegment": _analysed("UrbanSegment", "analyze", lambda s: s.to_json()),
    "SignalizedIntersection": _analysed("SignalizedIntersection", "analyze", lambda s: s.intersection_los),
    "Twsc": _analysed("Twsc", "analyze", lambda t: t.intersection_delay),
    "Twsc.set_upstream_signals": _twsc_with_signals,
    "Awsc": _analysed("Awsc", "analyze", lambda a: a.intersection_los),
    "Roundabouts": _analysed("Roundabouts", "analyze", lambda r: r.intersection_los),
    "Interchange": _analysed("Interchange", "analyze", lambda i: i.to_json()),
    "AlternativeIntersection": lambda text: marvane.AlternativeIntersection(text).get_movements(),
    "DisplacedLeftTurn": lambda text: marvane.DisplacedLeftTurn(text).los,
}

EXAMPLES = sorted(p.name for p in ref.EXAMPLES.glob("*.json"))


@pytest.mark.parametrize("name", EXAMPLES)
def test_example_reads_and_analyses(name):
    document, which, _ = name.rsplit(".", 2)
    text = (ref.EXAMPLES / name).read_text()
    result = RUNS.get(document, _returned(document))(text)
    assert result not in (None, "", [], {}) and not (isinstance(result, float) and math.isnan(result))


def _walk(type_, given, written, records, visit):
    """Calls visit(record name, given object, written object) for each record object of a document,
    given (the input) and written (to_json()) side by side."""
    kind = type_["kind"]
    if kind == "record" and isinstance(given, dict) and isinstance(written, dict):
        visit(type_["name"], given, written)
        for field in records[type_["name"]]["fields"]:
            if field["key"] in given:
                _walk(field["type"], given[field["key"]], written[field["key"]], records, visit)
    elif kind == "optional" and given is not None:
        _walk(type_["of"], given, written, records, visit)
    elif kind in ("list", "array") and isinstance(given, list) and isinstance(written, list):
        for g, w in zip(given, written):
            _walk(type_["of"], g, w, records, visit)


@pytest.mark.parametrize("document", [n for n in RUNS if hasattr(getattr(marvane, n, None), "to_json")])
def test_documented_defaults_are_what_the_reader_fills_in(tables, notes, document):
    """A key left out of the minimal example is written back by to_json() with its documented
    default, at every level of the document."""
    path = ref.example_path(document, "minimal")
    if not path.exists():
        pytest.skip("no minimal example")
    given = json.loads(path.read_text())
    written = json.loads(getattr(marvane, document)(path.read_text()).to_json())
    root = next(d["reads"] for d in tables["documents"] if d["name"] == document)
    records = tables["records"]
    differing = []

    def visit(name, g, w):
        filled = notes.get("records", {}).get(name, {}).get("reader_fills", {})
        for field in records[name]["fields"]:
            key = field["key"]
            if key in g or key in filled or field["presence"] == "required":
                continue
            expected = field.get("default")
            if w[key] != expected:
                differing.append(f"{name}.{key}: documented {expected!r}, read {w[key]!r}")

    _walk(root, given, written, records, visit)
    assert not differing


@pytest.mark.parametrize("document", sorted({p.name.rsplit(".", 2)[0] for p in ref.EXAMPLES.glob("*.complete.json")}))
def test_complete_examples_give_every_input_key(tables, notes, document):
    given = json.loads(ref.example_path(document, "complete").read_text())
    root = next(d["reads"] for d in tables["documents"] if d["name"] == document)
    records = tables["records"]
    absent = []

    def visit(name, g, _):
        keys = notes.get("records", {}).get(name, {}).get("keys", {})
        for field in records[name]["fields"]:
            result = field["null_is_nan"] or "result" in keys.get(field["key"], [])[2:]
            if not result and field["key"] not in g:
                absent.append(f"{name}.{field['key']}")

    _walk(root, given, given, records, visit)
    assert not absent, f"input keys missing from the complete example: {absent}"


def test_unknown_keys_are_found_at_every_level(tables):
    document = json.loads(ref.example_path("SignalizedIntersection", "minimal").read_text())
    assert ref.unknown_keys(tables, "SignalizedIntersection", document) == []
    document["cycle_lenght_s"] = 90
    document["approaches"][1]["through_phase"]["max_green"] = 40
    alternative = json.loads(ref.example_path("AlternativeIntersection", "minimal").read_text())
    alternative["movements"][1]["junctions"][2]["storage"] = 100
    assert ref.unknown_keys(tables, "SignalizedIntersection", document) == [
        "approaches[1].through_phase.max_green", "cycle_lenght_s"]
    assert ref.unknown_keys(tables, "AlternativeIntersection", alternative) == ["movements[1].junctions[2].storage"]


# The results each document's rules say an analysis keeps from a saved analysis whose inputs were
# edited: (document, example, method, inputs added to the example, edit, the kept results, whether
# other results follow from them). Without such results, a saved analysis analysed again differs
# from the same inputs analysed afresh in the kept results alone.
_APPROACH = {"v_lt": 50, "v_th": 400, "v_rt": 40, "n_sl": 0, "n_t": 2, "n_sr": 0, "opposing_flow_veh_h": 300,
             "left_turn_bay": True, "right_turn_bay": False, "n_lt_lanes": 1, "left_bay_storage_ft": 150,
             "pct_heavy_veh": 2}
_SEGMENT = {"stopped_vehicles_veh_ln": 3.0, "prop_left_turn_lanes": 0.5, "access_point_approaches": [_APPROACH]}
_STOPS = ["full_stop_rate", "spatial_stop_rate_stops_mi", "perception_score"]
KEPT = [
    ("Awsc", "minimal", "analyze", {}, lambda d: d["nb"].update(lanes=[]),
     ["nb.control_delay", "nb.los", "nb.geometry_group"], False),
    ("Roundabouts", "minimal", "analyze", {}, lambda d: d["eb"].update(v_l=0, v_t=0, v_r=0),
     ["eb.control_delay", "eb.los"], False),
    ("UrbanSegment", "minimal", "analyze", _SEGMENT, lambda d: d.update(effective_green_s=None),
     ["proportion_arriving_green"] + _STOPS, False),
    ("UrbanSegment", "minimal", "analyze", _SEGMENT, lambda d: d.update(cycle_length_s=0),
     ["proportion_arriving_green"], False),
    ("UrbanSegment", "minimal", "analyze", _SEGMENT, lambda d: d.update(sat_flow_veh_h_ln=None), _STOPS, False),
    ("UrbanSegment", "minimal", "analyze", _SEGMENT,
     lambda d: d.update(control="Roundabout", through_capacity_veh_h=None), _STOPS[1:], False),
    ("UrbanSegment", "minimal", "analyze", _SEGMENT, lambda d: d.update(prop_left_turn_lanes=None),
     ["perception_score"], False),
    ("UrbanSegment", "minimal", "analyze", _SEGMENT, lambda d: d.update(access_point_approaches=None),
     ["access_point_delays_computed"], False),
    ("UrbanFacility", "complete", "analyze", {}, lambda d: d.update(spillback_inputs=None),
     ["spillback_flags"], False),
    ("Interchange", "complete", "analyze", {}, lambda d: d["od"].update(dict.fromkeys(d["od"], 0)),
     ["interchange_ett_s", "interchange_los"], False),
    ("Twsc", "complete", "analyze", {}, lambda d: d.update(upstream_signals=None), ["platoon_blockage"], True),
    ("ManagedLaneFacility", "complete", "run_analysis", {}, lambda d: d.update(cross_weave=[]),
     ["gp.segments.1.caf_schedule"], True),
]


def _differing(saved, fresh, path=""):
    """The paths (keys and list positions joined by dots) at which two documents differ."""
    if isinstance(saved, dict) and isinstance(fresh, dict):
        return {p for k in saved.keys() | fresh.keys() for p in _differing(saved.get(k), fresh.get(k), f"{path}{k}.")}
    if isinstance(saved, list) and isinstance(fresh, list) and len(saved) == len(fresh):
        return {p for i, (s, f) in enumerate(zip(saved, fresh)) for p in _differing(s, f, f"{path}{i}.")}
    return {path[:-1]} if saved != fresh else set()


def _at(document, path):
    for key in path.split("."):
        document = document[int(key)] if isinstance(document, list) else document.get(key)
    return document


@pytest.mark.parametrize("document, which, method, added, edit, kept, others_follow", KEPT,
                         ids=[f"{c[0]}-{c[5][0]}" for c in KEPT])
def test_edited_saved_analysis_keeps_the_documented_results(document, which, method, added, edit, kept,
                                                            others_follow):
    def analysed(given):
        obj = getattr(marvane, document)(json.dumps(given))
        getattr(obj, method)()
        return json.loads(obj.to_json())

    inputs = {**json.loads(ref.example_path(document, which).read_text()), **added}
    saved = analysed(inputs)
    edit(saved)
    edit(inputs)
    again, fresh = analysed(saved), analysed(inputs)
    for key in kept:
        assert _at(saved, key) is not None and _at(again, key) == _at(saved, key) != _at(fresh, key), key
    differing = _differing(again, fresh)
    assert set(kept) <= differing if others_follow else differing == set(kept)


# ---- The classes built from keyword arguments ----------------------------------------------------

def test_class_reference_lists_every_parameter_with_its_default(tables):
    """Every parameter of every keyword class, in signature order, with the default its signature
    and its record field give: a parameter added, renamed or given another default fails here."""
    documented = ref.parse_class_reference(ref.CLASS_REFERENCE.read_text())
    declared = {c["name"]: c["parameters"] for c in tables["classes"]}
    classes = ref.keyword_classes(marvane)
    assert len(classes) == 11 and sorted(declared) == sorted(classes)
    differing = []
    for name in classes:
        signature = list(inspect.signature(getattr(marvane, name)).parameters.values())
        assert [p.name for p in signature] == [d["name"] for d in declared[name]], \
            f"{name}: the signature and json_tables' class table name other parameters"
        assert list(documented.get(name, {})) == [p.name for p in signature], \
            f"{name}: the documented parameters are not the signature's"
        for p, d in zip(signature, declared[name]):
            expected = ref.class_default_text(p, d)
            if not documented[name][p.name].startswith(expected):
                differing.append(f"{name}.{p.name}: documented {documented[name][p.name]!r}, declared {expected!r}")
    assert not differing, "documented defaults that differ from the declarations: " + "; ".join(differing)


def test_class_reference_is_generated_from_the_classes_and_notes(tables, class_notes):
    assert not ref.stale_class_notes(tables, class_notes, marvane)
    assert ref.CLASS_REFERENCE.read_text() == ref.render_classes(tables, class_notes, marvane), \
        "docs/class-reference.md is out of date: run tools/json_reference.py"


def test_declared_defaults_are_what_a_new_object_holds(tables):
    """The record defaults json_tables declares are what the classes hold, where they read back: the
    properties of the objects built with the required arguments alone."""
    required = {"Segment": (0, 1.0, 0.0, 50.0), "TwoLaneHighways": ([],),
                "BicycleLOS": (12.0, 6.0, 50.0, 1, 4.0, 300.0, 0.9, 0.05, 0.0),
                "ExclusivePedestrianFacility": (10.0,), "OffStreetBicycleFacility": (10.0, 1.0)}
    compared = 0
    for c in tables["classes"]:
        obj = getattr(marvane, c["name"])(*required.get(c["name"], ()))
        signature = inspect.signature(type(obj)).parameters
        for d in c["parameters"]:
            attribute = getattr(type(obj), d["name"], None)
            if signature[d["name"]].default is not None or not isinstance(attribute, property):
                continue
            held = getattr(obj, d["name"])
            expected = d.get("reads_as", d["default"])
            if expected is not None and not isinstance(held, list):
                assert held == expected, f"{c['name']}.{d['name']}"
                compared += 1
    assert compared >= 8


@pytest.mark.parametrize("name", sorted(n for n, c in ref.load_notes(ref.CLASS_NOTES)["classes"].items()
                                        if "example" in c))
def test_class_example_runs(class_notes, name):
    namespace = {"marvane": marvane, "print": lambda *args: None}
    exec(class_notes["classes"][name]["example"], namespace)
    assert namespace["los"] in tuple("ABCDEF")


@pytest.mark.parametrize("real_program, document_name, message", [
    (False, "Twsc", "json_tables not found"),
    (True, "Roundabout", "unknown document 'Roundabout'"),
], ids=["without_tables", "unknown_document"])
def test_tool_answers_in_one_line(request, tmp_path, real_program, document_name, message):
    document = tmp_path / "doc.json"
    document.write_text("{}")
    tool = [sys.executable, str(ROOT / "tools" / "json_reference.py")]
    program = request.getfixturevalue("json_tables") if real_program else tmp_path / "json_tables"
    out = subprocess.run(tool + ["--tables", str(program), "--unknown-keys", document_name, str(document)],
                         capture_output=True, text=True)
    assert out.returncode == 2 and message in out.stderr and len(out.stderr.strip().splitlines()) == 1
