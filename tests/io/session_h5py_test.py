#!/usr/bin/python3
"""A session written by tarvik-batch, read by h5py: every array equal to what the batch
runner dumps, bit for bit, and the titles, entries and active graph as it lists them.

Usage: session_h5py_test.py TARVIK_BATCH EXAMPLES_DIR
Exits 77 (the test is skipped) when h5py is not installed."""
import math
import os
import struct
import subprocess
import sys
import tempfile

try:
    import h5py
except ImportError:
    print("h5py is not installed (Debian: python3-h5py); skipping")
    sys.exit(77)


def batch(exe, folder, script):
    result = subprocess.run([exe, "-e", script], cwd=folder, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"tarvik-batch failed ({result.returncode}): {result.stderr}")
    return result.stdout


def bits(value):
    return struct.pack("<d", value)


def same(dumped, stored):
    # %.17g gives every finite double back exactly; NaN loses its payload in text.
    if math.isnan(dumped):
        return math.isnan(stored)
    return bits(dumped) == bits(stored)


def main():
    exe, examples = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        scope = os.path.join(examples, "pulse_scope.csv")
        batch(exe, folder,
              f"open {scope}; inv-y graphs=2; mul-x graphs=3 value=-0.001; "
              "titles bottom=t,мкс left=Напряжение; activate graph=2; "
              "save-session file=session.h5")
        listing = batch(exe, folder, "open-session file=session.h5; list").splitlines()
        with h5py.File(os.path.join(folder, "session.h5"), "r") as f:
            assert f.attrs["format"] == b"tarvik session", f.attrs["format"]
            assert int(f.attrs["format_version"]) == 1
            assert f.attrs["bottom_axis_title"].decode() == "t,мкс"
            names = sorted(f["graphs"], key=int)
            assert len(names) == len(listing) == int(f.attrs["graph_count"]) == 4, names
            for row, name in zip(listing, names):
                number, active, count, entry, title = row.split("\t")
                group = f["graphs"][name]
                assert int(number) == int(name) + 1
                assert (active == "*") == (int(f.attrs["active_index"]) == int(name))
                assert group.attrs["title"].decode() == title
                assert group.attrs["source_file"].decode() == entry
                assert group["x"].fletcher32 and group["y"].fletcher32
                x, y = group["x"][:], group["y"][:]
                assert x.dtype == y.dtype == "<f8" and len(x) == len(y) == int(count)
                dump = batch(exe, folder, f"open-session file=session.h5; dump graph={number}")
                lines = dump.splitlines()
                assert len(lines) == len(x), (len(lines), len(x))
                for i, line in enumerate(lines):
                    dx, dy = (float(v) for v in line.split("\t"))
                    if not (same(dx, x[i]) and same(dy, y[i])):
                        sys.exit(f"graph {number} point {i}: dump {line!r}, h5py {x[i]!r} {y[i]!r}")
    print("h5py read the session exactly")


if __name__ == "__main__":
    main()
