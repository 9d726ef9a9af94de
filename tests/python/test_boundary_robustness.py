"""Every class of marvane against a hostile caller: no object changes class, running out of memory
is a MemoryError, error messages arrive whole, and no JSON document may start with a byte-order
mark."""
import json
import pathlib
import subprocess
import sys
import textwrap

import pytest

import marvane
from conftest import build_tree_module

CLASSES = [getattr(marvane, name) for name in marvane.__all__ if isinstance(getattr(marvane, name), type)]

SEGMENT = {"segment_length_ft": 1320, "n_through_lanes": 2, "speed_limit_mph": 35, "through_demand_veh_h": 900,
           "control": "Signalized"}
# A small valid document for each class built from one.
DOCUMENTS = {
    "UrbanSegment": SEGMENT,
    "UrbanFacility": {"segments": [SEGMENT]},
    "UrbanReliability": {"facility": {"segments": [SEGMENT]}, "config": {}},
    "SignalizedIntersection": {"control": "PretimedSignal", "approaches": [], "cycle_length_s": 0,
                               "analysis_period_h": 0, "base_saturation_flow": 0, "area_type_cbd": False,
                               "sneakers_per_cycle": 0},
    "Twsc": {"demand": {}, "geometry": {"major_lanes_per_direction": 2}},
    "Awsc": {leg: {"lanes": []} for leg in ("eb", "wb", "nb", "sb")},
    "Roundabouts": {leg: {} for leg in ("nb", "sb", "eb", "wb")},
    "Interchange": {"form": "Diamond", "od": [0] * 14, "extra_distances": [[0, 0]] * 14, "cycle_length_s": 100,
                    "analysis_period_h": 0.25, "base_saturation_flow": 1900, "area_type_cbd": False,
                    "peak_hour_factor": 0.92, "distance_between_intersections_ft": 600, "queue_spacing_ft": 25,
                    "eb_external_right_shared": False, "wb_external_right_shared": False,
                    "extra_distance_speed_mph": 30, "lane_groups": []},
    "AlternativeIntersection": {"form": "MutThreeLeg", "movements": []},
    "DisplacedLeftTurn": {"form": "DltPartial", "cells": [[500, 20]], "total_od_demand_veh_h": 0},
    "FreewayFacility": {"segments": [{}], "mainline_demand": [1000]},
    "FreewayReliability": {"facility": {"segments": [{}], "mainline_demand": [1000]}},
}
# Arguments for the classes whose constructor has required parameters.
ARGUMENTS = {
    "Segment": lambda: (1, 1.0, 0.0, 55.0),
    "TwoLaneHighways": lambda: ([marvane.Segment(1, 1.0, 0.0, 55.0)],),
    "BicycleLOS": lambda: (12.0, 4.0, 55.0, 2, 4.0, 500.0, 0.9, 5.0, 0.0),
    "ExclusivePedestrianFacility": lambda: (10.0,),
    "OffStreetBicycleFacility": lambda: (10.0, 1.0),
    **{name: (lambda doc=doc: (json.dumps(doc),)) for name, doc in DOCUMENTS.items()},
}


def arguments(cls):
    return ARGUMENTS.get(cls.__name__, tuple)()


def make(cls):
    return cls(*arguments(cls))


# ---- no object changes class ----------------------------------------------------------------------

@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_class_assignment_to_another_class_is_refused(cls):
    obj = make(cls)
    before = repr(obj)
    for other in CLASSES:
        if other is cls:
            continue
        try:
            obj.__class__ = other
        except TypeError:
            assert type(obj) is cls
            continue
        obj.__class__ = cls  # back before the object is read or freed as the other class's
        pytest.fail(f"{cls.__name__} instance accepted __class__ = {other.__name__}")
    assert repr(obj) == before


# A Python subclass is a mutable class: its bases may change to another class of the module (every
# class has the same instance layout, so the interpreter accepts it). Its objects then claim the
# other class; every call into C++ must refuse them rather than run on their record.
REFUSED = "holds the record of another class"


def uses(cls):
    """Every way an object reaches the C++ code of `cls`: (label, call) pairs."""
    found = [(slot, lambda o, slot=slot: getattr(o, slot)(*([o] if slot == "__eq__" else [])))
             for slot in ("__repr__", "__str__", "__eq__") if slot in vars(cls)]
    for name, member in vars(cls).items():
        if isinstance(member, property):
            found.append((name, lambda o, name=name: getattr(o, name)))
            if member.fset is not None:
                found.append((name + " =", lambda o, name=name: setattr(o, name, 1.0)))
        elif not name.startswith("_") and callable(member) and not isinstance(member, staticmethod):
            found.append((name + "()", lambda o, name=name: getattr(o, name)()))
    return found


def outcome(call):
    try:
        call()
    except TypeError as e:
        return "refused" if REFUSED in str(e) else "TypeError: " + str(e)
    except Exception as e:
        return type(e).__name__
    return "ran"


def bases_change_faults(name):
    """Changes the bases of subclasses of marvane.<name> to every other class; returns the faults."""
    cls = getattr(marvane, name)
    faults = []
    for other in CLASSES:
        if other is cls:
            continue

        class Sub(cls):
            pass

        class Fresh(cls):
            pass

        obj = Sub(*arguments(cls))
        before = repr(obj)
        Sub.__bases__ = (other,)
        assert isinstance(obj, other)
        faults += [f"{other.__name__}.{label}: {result}" for label, use in uses(other)
                   if (result := outcome(lambda: use(obj))) != "refused"]
        # Its instances are made and freed as the first class's: a new one would be the other's.
        if "its bases changed after its first instance was made" not in outcome(lambda: Sub(*arguments(other))):
            faults.append(f"{other.__name__}: new instance made")
        Sub.__bases__ = (cls,)
        if repr(obj) != before:
            faults.append(f"{other.__name__}: object changed")
        # Bases changed before the first instance: a plain subclass of the other class.
        Fresh.__bases__ = (other,)
        fresh = Fresh(*arguments(other))
        faults += [f"{other.__name__}.{label} refused on a fresh subclass" for label, use in uses(other)
                   if outcome(lambda: use(fresh)) == "refused"]
    return faults


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_an_object_whose_class_bases_changed_reaches_no_other_class_code(cls):
    # In a child process: before the refusal, the other class's code crashed the interpreter.
    code = (f"import sys; sys.path.insert(0, {str(pathlib.Path(__file__).parent)!r}); "
            f"import test_boundary_robustness as t; print(t.bases_change_faults({cls.__name__!r}))")
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr[-2000:]
    assert done.stdout == "[]\n"


def test_an_operand_whose_class_bases_changed_is_refused():
    class AsSegment(marvane.SubSegment):
        pass

    class AsSubSegment(marvane.Segment):
        pass

    sub_segment, segment = AsSegment(), AsSubSegment(*arguments(marvane.Segment))
    AsSegment.__bases__, AsSubSegment.__bases__ = (marvane.Segment,), (marvane.SubSegment,)
    with pytest.raises(TypeError, match="^argument 'segments': 'AsSegment' object cannot be converted to 'Segment'$"):
        marvane.TwoLaneHighways([sub_segment])
    assert marvane.SubSegment().__eq__(segment) is NotImplemented


# Leaving the module's classes altogether (bases set to their common base), or outliving the class
# an object was made as, must not crash when the object is freed: the first is refused, and module
# classes live as long as the process.
LEAVE_THE_FAMILY = textwrap.dedent("""
    import gc
    import marvane as m
    SEGMENT = '{"segment_length_ft": 1800, "n_through_lanes": 2, "speed_limit_mph": 35,'
    SEGMENT += ' "through_demand_veh_h": 900, "control": "Signalized"}'
    class S(m.UrbanSegment): pass
    class T(m.UrbanSegment): pass
    s = S(SEGMENT)
    s.__class__ = T
    for target in (m.UrbanSegment.__base__, object):
        try:
            T.__bases__ = (target,)
        except TypeError:
            pass
        else:
            raise SystemExit("bases left the module's classes")
    try:
        s.__class__ = type("Plain", (m.UrbanSegment.__base__,), {})
    except TypeError:
        pass
    else:
        raise SystemExit("object left the module's classes")
    del s
    u = S(SEGMENT)
    S.__bases__ = (m.FreewayFacility,)
    del m.UrbanSegment
    gc.collect()
    del u
    gc.collect()
    print("freed")
""")


def test_objects_are_freed_safely_after_their_classes_change():
    done = subprocess.run([sys.executable, "-c", LEAVE_THE_FAMILY], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (0, "freed\n"), done.stderr[-2000:]


# ---- pybind11's own types ------------------------------------------------------------------------

# Python reaches the classes' common base (any class's __base__) and the type of a function's
# record (its __self__). Each way below threw a C++ exception through C, which ended the process.
BASE = "pybind11_builtins.pybind11_object"
ALONE = f"cannot create 'P' instances: it derives from none of this module's classes, only from their common base '{BASE}'"
SEALED = textwrap.dedent("""
    import copyreg, importlib, pickle, sys
    for name in sys.argv[2:]:
        importlib.import_module(name)
    import marvane as m
    B, R = m.Awsc.__base__, type(m.service_volumes.__self__)
    try:
        exec(sys.argv[1])
    except Exception as e:
        print(type(e).__name__ + ": " + str(e).replace(R.__module__ + "." + R.__qualname__, "R"))
    else:
        print("ran")
""")
REFUSED_BASE = f"TypeError: cannot create '{BASE}' instances"


REFUSED_ALONE = "TypeError: " + ALONE
WAYS_TO_AN_INSTANCE = {
    "base": ("B()", REFUSED_BASE),
    "base through an object's type": ("type(m.BasicFreeways()).__mro__[1](1, x=2)", REFUSED_BASE),
    "base __new__": ("B.__new__(B)", REFUSED_BASE),
    "metaclass __call__": ("type(B).__call__(B)", REFUSED_BASE),
    "pickle's __newobj__": ("copyreg.__newobj__(B)", REFUSED_BASE),
    "subclass": ("type('P', (B,), {})()", REFUSED_ALONE),
    "subclass __new__": ("P = type(B)('P', (B,), {}); P.__new__(P)", REFUSED_ALONE),
    "subclass with __new__ and __init__":
        ("class P(B):\n def __new__(cls): return super().__new__(cls)\n def __init__(self): pass\nP()", REFUSED_ALONE),
    # A __new__ set on the base allocated an instance that crashed when freed.
    "__new__ set on the base":
        ("B.__new__ = lambda cls: object.__new__(cls); B()",
         "TypeError: cannot set '__new__' attribute of immutable type 'pybind11_object'"),
    "function record": ("R()", "TypeError: cannot create 'R' instances"),
    "function record __new__": ("R.__new__(R)", "TypeError: cannot create 'R' instances"),
    "function record __init__": ("R.__init__(m.service_volumes.__self__)", "ran"),
    "function of a module named by no string":
        ("m.__name__ = 0; pickle.dumps(m.service_volumes)", 'TypeError: can only concatenate str (not "int") to str'),
    "function pickled": ("assert pickle.loads(pickle.dumps(m.service_volumes)) is m.service_volumes", "ran"),
}


@pytest.mark.parametrize("code, expected", WAYS_TO_AN_INSTANCE.values(), ids=WAYS_TO_AN_INSTANCE)
def test_pybind11_types_refuse_what_would_end_the_process(code, expected):
    done = subprocess.run([sys.executable, "-c", SEALED, code], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (0, expected + "\n"), done.stderr[-2000:]


@pytest.mark.parametrize("first", ["marvane", "marvane_boundary_test"])
def test_the_common_base_is_sealed_once_for_every_module_sharing_it(first):
    # The test-only extension shares the common base, and has a function-record type of its own.
    build_tree_module("marvane_boundary_test")
    code = textwrap.dedent("""
        import marvane_boundary_test as t
        assert t.Counter.__base__ is B and type(t.opaque.__self__) is not R and type(t.Counter) is type(B)
        t.Counter(), m.BasicFreeways()
        class S(t.Counter): pass
        S.attr = Claims()
        S.attr = 1
        for make in (B, type(t.opaque.__self__)):
            try:
                make()
            except TypeError as e:
                print(str(e).replace(R.__module__ + "." + R.__qualname__, "R"))
    """)
    done = subprocess.run([sys.executable, "-c", SEALED, CLAIMS + code, first],
                          capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (0, f"cannot create '{BASE}' instances\ncannot create 'R' instances\nran\n"), \
        done.stderr[-2000:]


# The metaclass (a class's type) asked isinstance whether the attribute an assignment replaces is a
# static property: an object claiming so by its __class__ was taken at its word, and the descriptor
# setter it lacks was called, which ended the process. Such an attribute is now replaced. Each way
# below ended the process.
STATIC_PROPERTY = "next(c for c in property.__subclasses__() if c.__name__.endswith('static_property'))"
CLAIMS = textwrap.dedent(f"""
    SP = {STATIC_PROPERTY}
    class Claims: __class__ = property(lambda self: SP)
    class ClaimsSubclass: __class__ = property(lambda self: type("Sub", (SP,), {{}}))
    class Fails: __class__ = property(lambda self: 1 / 0)
    LONG = "a" * 101  # too long for the interpreter's attribute cache: every lookup compares keys
""")
SUBCLASS = "class S(m.Awsc): pass\n"
SWAPPING_KEY = textwrap.dedent("""
    class Key(str):
        __hash__ = str.__hash__
        def __eq__(self, other):
            compared.append(1)
            if len(compared) == {at}:
                setattr(S, LONG, Claims())
            return str.__eq__(self, other)
    compared, stored = [], []
    S = type(m.Awsc)("S", (m.Awsc,), {{Key(LONG): SP(lambda cls: 0, lambda cls, value: stored.append(value))}})
    setattr(S, LONG, 1)
    compared.extend([1] * 9)
""")
REPLACED = "\nassert S.__dict__['attr'] == 1"
WAYS_TO_A_FORGED_SETTER = {
    "subclass": SUBCLASS + "S.attr = Claims(); S.attr = 1" + REPLACED,
    "class made by the metaclass": "class S(metaclass=type(m.Awsc)): pass\nS.attr = Claims(); S.attr = 1" + REPLACED,
    "class of a subclass of the metaclass":
        "class M(type(m.Awsc)): pass\nclass S(metaclass=M): pass\nS.attr = Claims(); S.attr = 1" + REPLACED,
    "a method's name": SUBCLASS + "S.analyze = Claims(); S.analyze = 1; S.attr = S.analyze" + REPLACED,
    "claiming a subclass": SUBCLASS + "S.attr = ClaimsSubclass(); S.attr = 1" + REPLACED,
    "failing __class__": SUBCLASS + "S.attr = Fails(); S.attr = 1" + REPLACED,
    "the metaclass's __setattr__": SUBCLASS + "S.attr = Claims(); type(m.Awsc).__setattr__(S, 'attr', 1)" + REPLACED,
    "setattr": SUBCLASS + "S.attr = Claims(); setattr(S, 'attr', 1)" + REPLACED,
    # A key of the class's dictionary, comparing itself with the name, puts a forged static property
    # in place of a true one as the assignment looks the name up, or after.
    "key swapping the attribute at the lookup": SWAPPING_KEY.format(at=1) + "assert S.__dict__[LONG] == 1",
    "key swapping the attribute after the lookup": SWAPPING_KEY.format(at=2) + "assert stored == [1]",
    # The value's __class__ deletes the true static property whose setter the assignment calls.
    "value deleting the attribute": SUBCLASS + textwrap.dedent("""
        stored = []
        S.attr = SP(lambda cls: 0, lambda cls, value: stored.append(value))
        class Deletes: __class__ = property(lambda self: (delattr(S, "attr"), int)[1])
        S.attr = Deletes()
        assert "attr" not in S.__dict__ and len(stored) == 1"""),
}


@pytest.mark.parametrize("code", WAYS_TO_A_FORGED_SETTER.values(), ids=WAYS_TO_A_FORGED_SETTER)
def test_a_class_attribute_claiming_to_be_a_static_property_is_replaced(code):
    done = subprocess.run([sys.executable, "-c", SEALED, CLAIMS + code], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stdout) == (0, "ran\n"), done.stderr[-2000:]


def test_class_attributes_of_subclasses_behave_as_on_any_class():
    static_property = eval(STATIC_PROPERTY)
    metaclass = type(marvane.Awsc)

    class S(marvane.Awsc):
        pass

    S.a = 1
    S.a = 2
    assert S.a == 2
    del S.a
    assert not hasattr(S, "a")
    S.p = property(lambda self: 3)
    S.p = 4
    assert S.p == 4
    # A true static property still takes an assignment through its setter, unless the value is a
    # static property itself...
    stored = []
    S.s = static_property(lambda cls: stored[-1], lambda cls, value: stored.append((cls, value)))
    S.s = 5
    assert stored == [(S, 5)] and isinstance(S.__dict__["s"], static_property)
    # ... and an error asking what the value is fails the assignment and changes nothing, whatever
    # the length of the name.
    fails = type("Fails", (), {"__class__": property(lambda self: 1 / 0)})()
    for name in ("s", "s" * 101):
        setattr(S, name, static_property(lambda cls: 0))
        kept = S.__dict__[name]
        with pytest.raises(ZeroDivisionError):
            setattr(S, name, fails)
        assert S.__dict__[name] is kept
    S.s = static_property(lambda cls: 7)
    assert S.s == 7
    # A name is looked up as the str it is, not by its own hash and equality, as on any class.
    masked = type("Masked", (str,), {"__hash__": lambda self: hash("s"), "__eq__": lambda self, other: True})("zz")
    setattr(S, masked, 9)
    assert S.__dict__["zz"] == 9 and S.s == 7
    metaclass.__setattr__(S, "b", 6)
    metaclass.__delattr__(S, "b")
    assert not hasattr(S, "b")
    # A name is a string, as on any class, even one that compares equal to a static property's name.
    equal = type("Equal", (), {"__hash__": lambda self: hash("s"), "__eq__": lambda self, other: other == "s"})()
    with pytest.raises(TypeError, match="attribute name must be string"):
        metaclass.__setattr__(S, equal, 8)
    with pytest.raises(TypeError, match="immutable type"):
        metaclass.__setattr__ = type.__setattr__


# ---- memory exhaustion --------------------------------------------------------------------------

# Runs under an address-space limit a little above what the process already uses, so that the
# large allocations of the computation fail.
MEMORY_SCRIPT = textwrap.dedent("""
    import resource
    import marvane

    def limit_memory(extra_mib):
        soft, hard = resource.getrlimit(resource.RLIMIT_AS)
        with open("/proc/self/status") as status:
            used = next(int(line.split()[1]) * 1024 for line in status if line.startswith("VmSize"))
        resource.setrlimit(resource.RLIMIT_AS, (used + extra_mib * 2**20, hard))
        return lambda: resource.setrlimit(resource.RLIMIT_AS, (soft, hard))

    def outcome(call):
        try:
            call()
        except MemoryError:
            return "MemoryError"
        except BaseException as e:
            return type(e).__name__ + ": " + str(e)
        return "no error"

    # A document whose tree does not fit.
    text = '{"segments": [{}], "mainline_demand": [' + "1," * 5_000_000 + '1]}'
    restore = limit_memory(64)
    print(outcome(lambda: marvane.FreewayFacility(text)))
    restore()

    # A run whose results do not fit: the facility stays as it was.
    facility = marvane.FreewayFacility(
        '{"segments": [' + ",".join(["{}"] * 1000) + '], "mainline_demand": [' + ",".join(["3e3"] * 1000) + "]}")
    before = facility.to_json()
    restore = limit_memory(64)
    print(outcome(facility.run_analysis))
    restore()
    print(facility.to_json() == before)
""")


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="reads the process size from /proc")
def test_running_out_of_memory_is_a_memory_error_and_leaves_the_object_unchanged():
    done = subprocess.run([sys.executable, "-c", MEMORY_SCRIPT], capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split("\n")[:3] == ["MemoryError", "MemoryError", "True"]


# ---- whole messages -----------------------------------------------------------------------------

def test_option_word_message_keeps_text_after_a_nul():
    with pytest.raises(ValueError) as err:
        marvane.ManagedLanes(lane_type="buffer9\x00 (typo)")
    assert str(err.value) == "unknown lane_type: buffer9\x00 (typo)"


def test_json_message_keeps_text_after_a_nul_and_its_position():
    text = json.dumps({**SEGMENT, "control": "Sig\x00nalized"})
    with pytest.raises(ValueError) as err:
        marvane.UrbanSegment(text)
    message = str(err.value)
    assert message.startswith("invalid UrbanSegment JSON: unknown variant `Sig\x00nalized`, expected one of ")
    closing_quote = text.index('"', text.index("Sig")) + 1
    assert message.endswith(f" at line 1 column {closing_quote}")


# ---- byte-order mark ----------------------------------------------------------------------------

@pytest.mark.parametrize("name", sorted(DOCUMENTS))
def test_document_starting_with_a_byte_order_mark_is_refused(name):
    cls = getattr(marvane, name)
    text = json.dumps(DOCUMENTS[name])
    cls(text)
    with pytest.raises(ValueError) as err:
        cls("\ufeff" + text)
    assert str(err.value).endswith("expected value at line 1 column 1")
