#!/usr/bin/python3
"""Every oscilloscope file of a sample folder opens to its oracle.

The folder holds `oracle.json`, the files under `files/` and the expected arrays under
`oracle/<file>.npz` (y<k>: values of graph k; x<k>: times in seconds from the graph's first
sample, for records with explicit times). Each file is opened by tarvik-batch:

    tarvik-batch --decimal-separator=. -e 'open "FILE"; list; dump graph=1; ...'

and must give exit status 0, nothing on standard error, one graph per oracle channel in
order, with the oracle's titles and point counts; X in nanoseconds from the first sample
(uniform: i·dt·1e9; explicit: x<k>·1e9) within 1e-9 of a sample interval plus 4 ulp; Y within
the channel's tolerance (`abs`: half a code, `rel`: relative).

Usage: scope_oracle_test.py --batch TARVIK_BATCH [--samples DIR] [--only SUBSTRING]
  --samples  the sample folder (default: $TARVIK_SCOPE_SAMPLES); when it has no oracle.json
             the test is skipped (exit status 77).
  --only     check only the files whose name contains SUBSTRING.
Exit status: 0 all checked files pass, 1 a file fails, 77 nothing to check."""
import argparse
import json
import os
import subprocess
import sys

try:
    import numpy as np
except ImportError:
    print("SKIPPED: numpy is not installed (Debian: python3-numpy)")
    sys.exit(77)

SKIP = 77


def one_field(text):
    # As the batch runner's list writes a title: line ends and tabs escaped.
    return text.replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")


def run_batch(exe, path, graphs):
    quoted = path.replace('"', '')
    script = f'open "{quoted}"; list'
    for k in range(1, graphs + 1):
        script += f"; dump graph={k}"
    result = subprocess.run([exe, "--decimal-separator=.", "-e", script],
                            capture_output=True)
    return result.returncode, result.stdout.decode("utf-8", "replace"), \
        result.stderr.decode("utf-8", "replace")


def parse_output(stdout):
    """The list rows (number, active, count, entry, title) and the dumped (x, y) text blocks."""
    lines = stdout.split("\n")
    rows = []
    i = 0
    while i < len(lines) and lines[i].count("\t") == 4:
        rows.append(lines[i].split("\t"))
        i += 1
    return rows, lines[i:]


def parse_dumps(dump_lines, counts):
    """Splits the dump lines into one (x, y) pair of arrays per graph, by the listed counts."""
    arrays = []
    start = 0
    for n in counts:
        block = dump_lines[start:start + n]
        start += n
        if len(block) != n:
            raise ValueError(f"dump gave {len(block)} lines, expected {n}")
        values = np.array(" ".join(block).split(), dtype=np.float64)
        if values.size != 2 * n:
            raise ValueError(f"dump gave {values.size} numbers for {n} points")
        arrays.append((values[0::2], values[1::2]))
    return arrays


def worst(diff, tol):
    # The index of the worst point relative to its tolerance, for the message.
    ratio = np.where(tol > 0, diff / np.where(tol > 0, tol, 1), np.where(diff > 0, np.inf, 0))
    return int(np.argmax(ratio))


def check_channel(k, channel, x, y, expected):
    problems = []
    n = channel["n"]
    name = channel["name"]
    if channel["x_mode"] == "uniform":
        dt = float(channel["dt"])
        want_x = np.arange(n, dtype=np.float64) * dt * 1e9
        step = dt
    else:
        key = f"x{k}"
        if key not in expected:
            return [f"graph {k + 1} ({name}): the oracle has no {key}"]
        want_x = np.asarray(expected[key], dtype=np.float64) * 1e9
        step = float(channel.get("dt_median", 0.0))
    tol_x = 1e-9 * step * 1e9 + 4 * np.spacing(np.abs(want_x))
    diff_x = np.abs(x - want_x)
    bad_x = ~(diff_x <= tol_x)
    if bad_x.any():
        i = worst(np.where(np.isnan(diff_x), np.inf, diff_x), tol_x)
        problems.append(f"graph {k + 1} ({name}): X differs at {int(bad_x.sum())} of {n} points, "
                        f"worst at {i}: {x[i]!r} ns, expected {want_x[i]!r} ns")

    key = f"y{k}"
    if key not in expected:
        return problems + [f"graph {k + 1} ({name}): the oracle has no {key}"]
    want_y = np.asarray(expected[key], dtype=np.float64)
    if want_y.size != n:
        return problems + [f"graph {k + 1} ({name}): the oracle's {key} has {want_y.size} values"]
    y_tol = channel.get("y_tol", {"rel": 1e-9})
    if "abs" in y_tol:
        tol_y = np.full(n, float(y_tol["abs"]))
    else:
        tol_y = float(y_tol["rel"]) * np.abs(want_y)
    both_nan = np.isnan(y) & np.isnan(want_y)
    diff_y = np.abs(y - want_y)
    bad_y = ~((diff_y <= tol_y) | both_nan)
    if bad_y.any():
        i = worst(np.where(np.isnan(diff_y), np.inf, diff_y), tol_y)
        problems.append(f"graph {k + 1} ({name}): Y differs at {int(bad_y.sum())} of {n} points, "
                        f"worst at {i}: {y[i]!r}, expected {want_y[i]!r} (tolerance {y_tol})")
    return problems


def check_file(exe, folder, entry):
    path = os.path.join(folder, "files", entry["file"])
    channels = entry["channels"]
    code, stdout, stderr = run_batch(exe, path, len(channels))
    problems = []
    if code != 0:
        problems.append(f"exit status {code}")
    if stderr.strip():
        problems.append("standard error: " + stderr.strip()[:400])
    rows, dump_lines = parse_output(stdout)
    titles = [r[4] for r in rows]
    want_titles = [one_field(c["name"]) for c in channels]
    if titles != want_titles:
        problems.append(f"titles {titles[:8]}{'…' if len(titles) > 8 else ''}, "
                        f"expected {want_titles[:8]}{'…' if len(want_titles) > 8 else ''}")
    counts = [int(r[2]) for r in rows]
    want_counts = [c["n"] for c in channels]
    if counts != want_counts:
        problems.append(f"point counts {counts[:8]}, expected {want_counts[:8]}")
    if problems:
        return problems
    try:
        arrays = parse_dumps(dump_lines, counts)
    except ValueError as error:
        return [str(error)]
    with np.load(os.path.join(folder, "oracle", entry["file"] + ".npz")) as expected:
        for k, (channel, (x, y)) in enumerate(zip(channels, arrays)):
            problems += check_channel(k, channel, x, y, expected)
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--batch", default=os.environ.get("TARVIK_BATCH"), required=False)
    parser.add_argument("--samples", default=os.environ.get("TARVIK_SCOPE_SAMPLES"))
    parser.add_argument("--only", default=None)
    args = parser.parse_args()
    if not args.batch:
        parser.error("--batch TARVIK_BATCH is required")
    if not args.samples or not os.path.isfile(os.path.join(args.samples, "oracle.json")):
        print(f"SKIPPED: no sample folder with an oracle.json ({args.samples or 'not given'}); "
              "the scope samples are not on this machine")
        return SKIP

    with open(os.path.join(args.samples, "oracle.json"), encoding="utf-8") as f:
        oracle = json.load(f)
    checked = failed = 0
    for entry in oracle["files"]:
        if args.only and args.only not in entry["file"]:
            continue
        checked += 1
        problems = check_file(args.batch, args.samples, entry)
        if problems:
            failed += 1
            print(f"FAIL {entry['file']}")
            for p in problems:
                print("     " + p)
        else:
            graphs = len(entry["channels"])
            points = sum(c["n"] for c in entry["channels"])
            print(f"PASS {entry['file']}: {graphs} graph(s), {points} points")
    print(f"{checked} checked, {checked - failed} passed, {failed} failed")
    if checked == 0:
        print("SKIPPED: no file to check")
        return SKIP
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
