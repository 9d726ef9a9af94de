"""Every class of marvane is built by its __new__: no path from Python reaches an object without
its record (direct __new__ calls, pickle's NEWOBJ, the base type's allocator, subclasses)."""
import pickle

import pytest

import marvane

CLASSES = [getattr(marvane, name) for name in marvane.__all__ if isinstance(getattr(marvane, name), type)]
RUNS = ("run_analysis", "run_operational_analysis", "analyze", "run")


def exercise(obj):
    """repr() and the class's analysis: a usable object gives a result or a clean ValueError."""
    assert repr(obj).startswith(type(obj).__name__ + "(")
    run = next((getattr(obj, name) for name in RUNS if hasattr(obj, name)), None)
    if run is not None:
        try:
            run()
        except ValueError:
            pass


def built_without_arguments(cls):
    try:
        return cls()
    except TypeError:  # a required argument
        return None


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_new_called_directly_builds_the_object(cls):
    default = built_without_arguments(cls)
    if default is None:
        with pytest.raises(TypeError, match=r"__new__\(\) missing"):
            cls.__new__(cls)
        return
    obj = cls.__new__(cls)
    assert type(obj) is cls and repr(obj) == repr(default)
    exercise(obj)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_pickle_newobj_payload_gives_a_usable_object_or_a_clean_error(cls):
    payload = b"\x80\x02cmarvane\n" + cls.__name__.encode() + b"\nq\x00)\x81q\x01."
    if built_without_arguments(cls) is None:
        with pytest.raises(TypeError):
            pickle.loads(payload)
        return
    obj = pickle.loads(payload)
    assert type(obj) is cls
    exercise(obj)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
@pytest.mark.parametrize("allocate", [object.__new__, lambda c: c.__base__.__new__(c)], ids=["object", "base"])
def test_allocation_without_the_constructor_is_refused(cls, allocate):
    with pytest.raises(TypeError, match=r"is not safe, use marvane\.\w+\.__new__\(\)"):
        allocate(cls)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_new_checks_the_type_it_builds(cls):
    with pytest.raises(TypeError, match="is not a subtype of"):
        cls.__new__(int)
    with pytest.raises(TypeError, match="not enough arguments"):
        cls.__new__()


@pytest.mark.parametrize("cls", CLASSES, ids=lambda c: c.__name__)
def test_pickling_an_object_is_refused_cleanly(cls):
    obj = built_without_arguments(cls)
    if obj is not None:
        with pytest.raises(TypeError, match="cannot pickle"):
            pickle.dumps(obj)
