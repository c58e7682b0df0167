"""The arrays of a graph are read-only views of its own shared arrays, never dangling."""
import gc

import numpy as np
import pytest

import tarvik


@pytest.fixture
def doc(scope_csv):
    d = tarvik.Document()
    d.open(scope_csv)
    return d


def test_views_are_not_copies(doc):
    first = doc.graphs[0].y
    second = doc.graphs[0].y
    assert first.base is not None and not first.flags.owndata
    assert np.shares_memory(first, second)
    assert first.dtype == np.float64 and first.ndim == 1 and first.flags.c_contiguous


def test_views_refuse_writing(doc):
    y = doc.graphs[0].y
    with pytest.raises(ValueError):
        y[0] = 1.0
    with pytest.raises(ValueError):
        y.setflags(write=True)
    with pytest.raises(ValueError):
        np.multiply(y, 2, out=y)


def test_a_view_keeps_its_points_when_a_command_rewrites_the_graph(doc):
    y = doc.graphs[3].y
    kept = y.copy()
    doc.run("activate graph=4; mul-y value=3; shift-y value=1")
    assert np.array_equal(y, kept)
    assert np.array_equal(doc.graphs[3].y, kept * 3 + 1)
    assert not np.shares_memory(y, doc.graphs[3].y)


def test_a_view_outlives_closing_and_the_document(doc):
    x, y = doc.graphs[1].x, doc.graphs[1].y
    kept_x, kept_y = x.copy(), y.copy()
    doc.run("close-all")
    assert len(doc.graphs) == 0
    del doc
    gc.collect()
    # Fresh allocations that would reuse freed memory.
    junk = [np.full(10000, 7.0) for _ in range(50)]
    assert np.array_equal(x, kept_x) and np.array_equal(y, kept_y)
    del junk


def test_undo_gives_back_the_same_arrays(doc):
    y = doc.graphs[3].y
    doc.run("mul-y value=2")
    assert not np.shares_memory(doc.graphs[3].y, y)
    assert doc.undo() is True
    # Undo puts the kept block back: the old view shows the graph's points again.
    assert np.shares_memory(doc.graphs[3].y, y)
    assert doc.redo() is True
    assert np.array_equal(doc.graphs[3].y, y * 2)


def test_a_graph_handle_follows_its_place(doc):
    g = doc.graphs[0]
    assert g.title == "CH1" and g.number == 1 and not g.active
    doc.run("close graphs=1")
    assert g.title == "CH2"
    doc.run("close-all")
    with pytest.raises(IndexError, match="no longer there"):
        g.x
    with pytest.raises(IndexError):
        doc.graphs[0]


def test_graph_list_is_a_sequence(doc):
    graphs = doc.graphs
    assert len(graphs) == 4
    assert graphs[-1].title == "CH4" and graphs[-1].active
    assert [g.title for g in graphs[1:3]] == ["CH2", "CH3"]
    assert [g.number for g in graphs] == [1, 2, 3, 4]
    with pytest.raises(IndexError):
        graphs[4]
    with pytest.raises(IndexError):
        graphs[-5]


def test_appearance_attributes_follow_the_commands(doc):
    doc.run("line graph=2 width=3 color=#12ab9f; legends text=a|b|c|d")
    g = doc.graphs[1]
    assert (g.width, g.color, g.style, g.title) == (3, "#12ab9f", "solid", "b")
    doc.run("line graph=2 width=1 style=dash-dot")
    assert g.style == "dash-dot" and g.in_legend is True
    assert "CH2" not in repr(g) and "'b'" in repr(g)
    with pytest.raises(AttributeError):
        g.title = "x"
