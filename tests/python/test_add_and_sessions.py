"""New graphs from arrays, undo of every step, and sessions."""
import warnings

import numpy as np
import pandas as pd
import pytest

import tarvik


def test_add_copies_array_likes_into_a_new_active_graph():
    doc = tarvik.Document()
    x = np.linspace(0.0, 10.0, 11)
    y = x**2
    g = doc.add(x, y, title="model")
    assert (g.number, g.title, doc.active, g.entry) == (1, "model", 1, "Без имени-1")
    assert np.array_equal(g.x, x) and np.array_equal(g.y, y)
    assert not np.shares_memory(g.y, y)
    y[0] = 99.0  # the graph has its own copy
    assert g.y[0] == 0.0
    doc.add([1, 2, 3], pd.Series([4.0, 5.0, 6.0]), title="list")
    doc.add(np.arange(3, dtype=np.int16), np.ones(3, dtype=np.float32))
    doc.add(np.arange(6.0)[::2], np.arange(3.0))  # a strided view
    assert [len(h) for h in doc.graphs] == [11, 3, 3, 3]
    assert doc.graphs[3].x.tolist() == [0.0, 2.0, 4.0]
    assert doc.graphs[1].color != doc.graphs[0].color


def test_add_orders_points_by_x_as_a_reader_does():
    doc = tarvik.Document()
    g = doc.add([3.0, 1.0, 2.0, 1.0], [30.0, 10.0, 20.0, 11.0])
    assert g.x.tolist() == [1.0, 1.0, 2.0, 3.0]
    assert g.y.tolist() == [10.0, 11.0, 20.0, 30.0]  # equal X keep their order


@pytest.mark.parametrize("x, y, error", [
    ([1.0, np.nan], [1.0, 2.0], ValueError),
    ([1.0, 2.0], [1.0, np.inf], ValueError),
    ([1.0, 2.0], [1.0], ValueError),
    (np.zeros((2, 2)), np.zeros((2, 2)), ValueError),
    ("12", [1.0, 2.0], TypeError),
    (None, [1.0], TypeError),
    ([1.0, None], [1.0, 2.0], TypeError),
    (["a", "b"], [1.0, 2.0], TypeError),
    ([1j, 2j], [1.0, 2.0], TypeError),
    (5.0, 5.0, TypeError),
    ({1: 2}, [1.0], TypeError),
])
def test_bad_arrays_add_nothing(x, y, error):
    doc = tarvik.Document()
    doc.add([0.0], [0.0])
    with pytest.raises(error):
        doc.add(x, y)
    assert len(doc.graphs) == 1
    doc.undo()
    with pytest.warns(tarvik.Info):
        assert doc.undo() is False  # the failed add left no step


def test_the_message_names_the_value_that_is_not_finite():
    doc = tarvik.Document()
    with pytest.raises(ValueError, match=r"y\[2\] is not a finite number"):
        doc.add([1, 2, 3], [1, 2, -np.inf])
    with pytest.raises(TypeError):
        doc.add([1], [1], title=5)


def test_every_change_is_one_undo_step(scope_csv):
    doc = tarvik.Document()
    doc.open(scope_csv)
    doc.add([0.0, 1.0], [1.0, 2.0], title="extra")
    doc.run("activate graph=1; mul-y value=2")
    doc.active = 3
    y1 = doc.graphs[0].y.copy()
    assert doc.undo() and doc.active == 1  # the activation
    assert doc.undo() and np.array_equal(doc.graphs[0].y, y1 / 2)
    assert doc.undo() and doc.active == 5  # the activation in the script
    assert doc.undo() and len(doc.graphs) == 4  # the add
    assert doc.undo() and len(doc.graphs) == 0  # the open
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tarvik.Info)
        assert doc.undo() is False
    assert doc.redo() and len(doc.graphs) == 4
    assert doc.redo() and doc.graphs[-1].title == "extra"


def test_a_session_brings_the_document_back(tmp_path, scope_csv):
    doc = tarvik.Document()
    doc.open(scope_csv)
    doc.add([1.0, 2.0, 3.0], [-0.0, 5e-324, 1.7976931348623157e308], title="edges")
    doc.run("line graph=2 width=4 color=#010203; activate graph=3; titles title=Опыт")
    path = tmp_path / "s.h5"
    doc.save_session(path)
    again = tarvik.Document()
    again.open_session(path)
    assert len(again.graphs) == len(doc.graphs) and again.active == 3
    for a, b in zip(doc.graphs, again.graphs):
        assert (a.title, a.entry, a.color, a.width, a.style) == (b.title, b.entry, b.color,
                                                                 b.width, b.style)
        assert a.x.tobytes() == b.x.tobytes() and a.y.tobytes() == b.y.tobytes()
    assert again.run("texts") == doc.run("texts")
    assert again.undo() and len(again.graphs) == 0


def test_a_file_that_is_no_session_changes_nothing(tmp_path, scope_csv):
    doc = tarvik.Document()
    doc.open(scope_csv)
    with pytest.raises(tarvik.Error):
        doc.open_session(scope_csv)
    with pytest.raises(tarvik.Error):
        doc.save_session(tmp_path / "no" / "such" / "s.h5")
    assert len(doc.graphs) == 4
