import importlib
import sys

import marvane


def test_version():
    assert marvane.__version__ == "0.3.7"


def test_second_import_gives_same_module():
    first = marvane
    del sys.modules["marvane"]
    again = importlib.import_module("marvane")
    assert again is first
