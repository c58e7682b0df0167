"""Shared set-up of the module's tests: where the module, the examples and tarvik-batch are.

ctest sets PYTHONPATH to the build folder and TARVIK_SOURCE_DIR / TARVIK_BATCH; run by hand,
the suite looks in build/ of the checkout.
"""
import importlib.util
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

SOURCE = pathlib.Path(os.environ.get("TARVIK_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
_BUILD = SOURCE / "build"
if importlib.util.find_spec("tarvik") is None:
    sys.path.insert(0, str(_BUILD))

EXAMPLES = SOURCE / "examples"
BATCH = os.environ.get("TARVIK_BATCH", str(_BUILD / "tarvik-batch"))


@pytest.fixture
def examples():
    return EXAMPLES


@pytest.fixture
def scope_csv():
    return EXAMPLES / "pulse_scope.csv"


@pytest.fixture
def batch():
    """Runs tarvik-batch -e SCRIPT and gives (status, stdout, stderr)."""
    if not shutil.which(BATCH) and not os.path.exists(BATCH):
        pytest.skip("tarvik-batch is not built")

    def run(script, cwd=None):
        done = subprocess.run([BATCH, "--decimal-separator=.", "-e", script], cwd=cwd,
                              capture_output=True, text=True, check=False)
        return done.returncode, done.stdout, done.stderr

    return run


@pytest.fixture(autouse=True)
def private_folders(tmp_path, monkeypatch):
    """Commands that leave files in the user's folders leave them in the test's."""
    monkeypatch.setenv("XDG_DATA_HOME", str(tmp_path / "data"))
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    monkeypatch.setenv("XDG_RUNTIME_DIR", str(tmp_path / "runtime"))
    (tmp_path / "runtime").mkdir(mode=0o700)
