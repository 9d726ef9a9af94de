"""Every method and function of marvane shows its text signature once, generated from its
declared parameters."""
import inspect

import pytest

import marvane

FUNCTIONS = [obj for obj in (getattr(marvane, n) for n in marvane.__all__) if inspect.isbuiltin(obj)]
METHODS = [
    (cls, name)
    for cls in (getattr(marvane, n) for n in marvane.__all__)
    if isinstance(cls, type)
    for name, member in vars(cls).items()
    if not name.startswith("_") and callable(member) and not isinstance(member, (property, staticmethod))
]


def test_the_surface_is_found():
    assert len(METHODS) > 150 and len(FUNCTIONS) > 25


@pytest.mark.parametrize("cls, name", METHODS, ids=[f"{c.__name__}.{n}" for c, n in METHODS])
def test_method_signature_starts_with_self_and_is_not_repeated(cls, name):
    method = getattr(cls, name)
    assert next(iter(inspect.signature(method).parameters)) == "self"
    assert not (method.__doc__ or "").startswith(name + "(")


@pytest.mark.parametrize("fn", FUNCTIONS, ids=[f.__name__ for f in FUNCTIONS])
def test_function_signature_is_read_and_not_repeated(fn):
    assert "self" not in inspect.signature(fn).parameters
    assert not (fn.__doc__ or "").startswith(fn.__name__ + "(")
