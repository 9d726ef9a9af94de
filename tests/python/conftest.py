"""Test programs that only a build tree has.

Most tests need nothing but the marvane module, so they run as well against an installed module
(`pip install .`) as against the build tree. A few need programs that `make build` builds beside the
module and that no installed module carries: the test-only extension marvane_boundary_test and the
json_tables program. Without them those tests skip, saying what they need; under `make test`, which
sets MARVANE_REQUIRE_BUILD_TREE, a missing program fails the run instead, so that the full suite
never passes with parts of it skipped.
"""
import importlib
import importlib.util
import os
import pathlib

import pytest

import marvane

REQUIRE_BUILD_TREE = "MARVANE_REQUIRE_BUILD_TREE"


def _missing(what):
    """Skips what needs the build tree, or fails where the build tree is required."""
    message = f"needs {what}, built by `make build`"
    if os.environ.get(REQUIRE_BUILD_TREE):
        pytest.fail(f"{message}; {REQUIRE_BUILD_TREE} is set and it is missing", pytrace=False)
    pytest.skip(message, allow_module_level=True)


def build_tree_module(name):
    """The test-only extension module `name`, found on the import path (the build tree). A module
    that is there but fails to import is an error, not a skip."""
    if importlib.util.find_spec(name) is None:
        _missing(f"the test-only extension {name}")
    return importlib.import_module(name)


def build_tree_program(name):
    """The path of the test-only program `name`, built beside the module."""
    program = pathlib.Path(marvane.__file__).resolve().parent / name
    if not program.is_file():
        _missing(f"the test-only program {name} beside the module ({program})")
    return program


@pytest.fixture(scope="session")
def json_tables():
    """The json_tables program, which writes the record tables of every JSON document."""
    return build_tree_program("json_tables")
