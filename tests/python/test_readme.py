"""The README's Python examples run as printed, on the example files."""
import importlib.util
import re

import pytest

from conftest import EXAMPLES, SOURCE


def readme_examples():
    text = (SOURCE / "README.md").read_text(encoding="utf-8")
    section = text.split("\n## Python\n", 1)[1].split("\n## ", 1)[0]
    return re.findall(r"```python\n(.*?)```", section, flags=re.S)


@pytest.fixture
def in_scratch(tmp_path, monkeypatch):
    (tmp_path / "examples").symlink_to(EXAMPLES)
    monkeypatch.chdir(tmp_path)
    monkeypatch.setenv("MPLBACKEND", "Agg")
    return tmp_path


def test_the_readme_has_its_three_examples():
    examples = readme_examples()
    assert len(examples) == 3
    assert "matplotlib" in examples[0] and "spectrum" in examples[1]
    assert "transitions" in examples[2] and "pd.concat" in examples[2]


def test_scope_file_plotted_with_matplotlib(in_scratch):
    if importlib.util.find_spec("matplotlib") is None:
        pytest.skip("matplotlib is not installed")
    exec(compile(readme_examples()[0], "README example 1", "exec"), {})
    picture = in_scratch / "pulse_scope.png"
    assert picture.stat().st_size > 10000
    assert picture.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_spectrum_read_as_arrays(in_scratch, capsys):
    exec(compile(readme_examples()[1], "README example 2", "exec"), {})
    assert capsys.readouterr().out == (
        "200 frequencies up to 199 MHz; half the amplitude at 15 MHz\n")


def test_every_transition_in_a_data_frame(in_scratch, capsys):
    scope = {}
    exec(compile(readme_examples()[2], "README example 3", "exec"), scope)
    transitions = scope["transitions"]
    # Each of the four channels holds one pulse: a rise and a fall (CH2 is inverted).
    assert len(transitions) == 8
    assert sorted(transitions["channel"].unique()) == ["CH1", "CH2", "CH3", "CH4"]
    assert transitions["edge"].value_counts().to_dict() == {"rise": 4, "fall": 4}
    assert (transitions["duration"] > 0).all() and transitions["t_mid"].between(240, 320).all()
    out = capsys.readouterr().out
    assert "rise" in out and "fall" in out and "count" in out
