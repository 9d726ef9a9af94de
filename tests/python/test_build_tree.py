"""What needs a build-tree program skips without it, and fails without it under `make test`."""
import pytest

from conftest import REQUIRE_BUILD_TREE, build_tree_module, build_tree_program


@pytest.mark.parametrize("find, needed", [
    (build_tree_module, "needs the test-only extension marvane_no_such_module, built by `make build`"),
    (build_tree_program, "needs the test-only program marvane_no_such_module beside the module"),
])
def test_a_missing_build_tree_program_skips_unless_the_build_tree_is_required(monkeypatch, find, needed):
    monkeypatch.delenv(REQUIRE_BUILD_TREE, raising=False)
    with pytest.raises(pytest.skip.Exception, match="^" + needed):
        find("marvane_no_such_module")
    monkeypatch.setenv(REQUIRE_BUILD_TREE, "1")
    with pytest.raises(pytest.fail.Exception, match="^" + needed + ".*" + REQUIRE_BUILD_TREE + " is set"):
        find("marvane_no_such_module")
