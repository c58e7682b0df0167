#!/usr/bin/python3
"""Writes the session reader's seed files into fuzz/corpus/session/ (run once; the files are
kept in the repository): a small session in the format the program writes and in the
library's oldest format, and the crafted layouts the reader must refuse — raw data in
another file, links to another file and soft links, a virtual dataset, a foreign filter,
one array under many hard links. Needs h5py and numpy."""
import os
import sys

import h5py
import numpy as np

out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "session")
os.makedirs(out, exist_ok=True)


def text(value):
    return np.bytes_(value.encode())


def write_session(path, libver, graphs=2, points=8, craft=None):
    with h5py.File(path, "w", libver=libver) as f:
        a = f.attrs
        a["format"] = text("tarvik session")
        a["format_version"] = np.int32(1)
        a["graph_count"] = np.int32(graphs)
        a["active_index"] = np.int32(graphs - 1)
        a["unnamed_counter"] = np.int32(3)
        for name in ("bottom_axis_title", "y_axis_title", "top_axis_title", "right_axis_title"):
            a[name] = text("t, нс" if name == "bottom_axis_title" else "")
        a["foot_lines"] = np.array([b"", b"foot"], dtype="S4")
        a["title_lines"] = np.array([], dtype="S1")
        a["title_angles"] = np.array([90, 270, 0, 0], dtype=np.int32)
        a["background"] = np.array([255, 255, 255], dtype=np.uint8)
        a["legend_colour"] = np.array([255, 255, 255], dtype=np.uint8)
        a["legend_right"] = np.int32(0)
        for axis in ("view_bottom", "view_left"):
            a[axis + "_range"] = np.array([0.0, 1.0])
            a[axis + "_automatic"] = np.int32(1)
            a[axis + "_log"] = np.int32(0)
        a["view_font_families"] = np.array([], dtype="S1")
        a["view_font_sizes"] = np.array([], dtype=np.int32)
        g = f.create_group("graphs")
        for i in range(graphs):
            grp = g.create_group("%03d" % i)
            x = np.arange(points, dtype=np.float64)
            grp.create_dataset("x", data=x, chunks=(points,), fletcher32=True)
            grp.create_dataset("y", data=np.sin(x) * (i + 1), chunks=(points,), fletcher32=True)
            ga = grp.attrs
            ga["title"] = text("CH%d" % (i + 1))
            ga["source_file"] = text("a.csv")
            ga["colour"] = np.array([255, 0, 0], dtype=np.uint8)
            for name, value in (("line_style", 0), ("line_width", 1), ("show_in_legend", 1), ("tag", 0)):
                ga[name] = np.int32(value)
        if craft:
            craft(f)


def seed(name, libver="v110", **kw):
    write_session(os.path.join(out, name), libver, **kw)


seed("plain.h5")
seed("oldest.h5", libver="earliest")
seed("many.h5", graphs=12, points=3)


def external_storage(f):
    del f["graphs/000/y"]
    f["graphs/000"].create_dataset("y", shape=(8,), dtype="<f8", external=[("/etc/passwd", 0, 64)])


def external_link(f):
    del f["graphs/001"]
    f["graphs/001"] = h5py.ExternalLink("plain.h5", "/graphs/001")


def soft_link(f):
    del f["graphs/001/x"]
    f["graphs/001/x"] = h5py.SoftLink("/graphs/000/x")


def virtual(f):
    layout = h5py.VirtualLayout(shape=(8,), dtype="<f8")
    layout[:] = h5py.VirtualSource("plain.h5", "/graphs/000/y", shape=(8,))
    del f["graphs/000/y"]
    f["graphs/000"].create_virtual_dataset("y", layout)


def foreign_filter(f):
    del f["graphs/000/x"]
    f["graphs/000"].create_dataset("x", data=np.arange(8.0), chunks=(8,), scaleoffset=3)


def hard_links(f):
    for i in range(1, 12):
        for name in ("x", "y"):
            del f["graphs/%03d/%s" % (i, name)]
            f["graphs/%03d/%s" % (i, name)] = f["graphs/000/x"]


seed("external-storage.h5", craft=external_storage)
seed("external-link.h5", craft=external_link)
seed("soft-link.h5", craft=soft_link)
seed("virtual.h5", craft=virtual)
seed("foreign-filter.h5", craft=foreign_filter)
seed("hard-links.h5", graphs=12, points=3, craft=hard_links)
