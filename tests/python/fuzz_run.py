#!/usr/bin/env python3
"""A bounded fuzz of tarvik.Document.run: random short scripts made of the batch fuzzer's
dictionary tokens (fuzz/dict/) and of its seed scripts, run on small documents.

Each script must end with its output (a str), tarvik.Error or tarvik.UsageError, and warn
with tarvik.Info only; afterwards every graph has X and Y of one length, the active graph
is a graph or none, arrays taken before the script still hold what they held, and once a
document is done, undoing every step empties it. A crash of the interpreter fails the run
(the script being run is in the file named at the start).

    fuzz_run.py --dict fuzz/dict/batch.dict --dict fuzz/dict/numbers.dict [--seconds S]
                [--seed N]

S defaults to $TARVIK_PY_FUZZ_SECONDS, else 10. Commands run in a scratch folder with the
user's folders inside it; a command running past 2 s is stopped (doc.stop()), and memory
is limited to 3 GiB, so a huge request ends with the out-of-memory message.
"""
import argparse
import os
import pathlib
import random
import re
import resource
import shutil
import sys
import tempfile
import threading
import time
import warnings

import numpy as np

TOKEN = re.compile(rb'^\s*(\w+)?=?"(.*)"\s*$')
GRAPH_LIMIT = 20000  # points: a larger graph ends the document, so scripts stay quick
RUNS_PER_DOCUMENT = 30
COMMAND_SECONDS = 2.0
GRAPH_ARGUMENTS = {b"graphs=", b"graph=", b"signal=", b"response=", b"first=", b"second=",
                   b"voltage=", b"current="}


def unescape(raw):
    out, i = bytearray(), 0
    while i < len(raw):
        if raw[i:i + 2] == b"\\x":
            out.append(int(raw[i + 2:i + 4], 16))
            i += 4
        elif raw[i:i + 1] == b"\\":
            out += raw[i + 1:i + 2]
            i += 2
        else:
            out += raw[i:i + 1]
            i += 1
    return bytes(out)


def load_tokens(paths):
    tokens = {"cmd": [], "arg": [], "val": [], "other": []}
    for path in paths:
        for line in pathlib.Path(path).read_bytes().splitlines():
            match = TOKEN.match(line)
            if not match:
                continue
            name = (match.group(1) or b"").decode()
            kind = name.split("_", 1)[0] if name.split("_", 1)[0] in tokens else "other"
            tokens[kind].append(unescape(match.group(2)))
    return tokens


USAGE = re.compile(r"^line \d+: ([\w-]+): .*; usage: (.*)$")


class Scripts:
    def __init__(self, tokens, seeds, rng):
        self.t, self.seeds, self.rng = tokens, seeds, rng
        self.arguments = {}  # command -> its argument names, learnt from usage errors

    def learn(self, usage_error):
        """A usage error that quotes a command's usage names its arguments."""
        match = USAGE.match(usage_error)
        if match:
            names = re.findall(r"([a-z][\w-]*)=", match.group(2))
            self.arguments[match.group(1).encode()] = [n.encode() + b"=" for n in names]

    def value(self, name):
        if name in GRAPH_ARGUMENTS and self.rng.random() < 0.7:
            return self.rng.choice([b"1", b"2", b"3", b"all", b"active", b"1-2", b"2,1"])
        r = self.rng.random()
        if r < 0.3:
            return self.rng.choice(self.t["val"])
        if r < 0.6:
            return str(self.rng.choice([1, 2, 3, 0, -1, 5, 10, 300, 1000])).encode()
        if r < 0.8:
            return b"".join(self.rng.choice(self.t["other"]) for _ in range(self.rng.randint(1, 3)))
        return repr(self.rng.uniform(-1e3, 1e3)).encode()

    def command(self):
        words = [self.rng.choice(self.t["cmd"])]
        known = self.arguments.get(words[0])
        names = known if known and self.rng.random() < 0.9 else self.t["arg"]
        # Mostly each name once (twice is a usage error the parser finds at once).
        count = self.rng.randint(0, min(3, len(names)))
        chosen = self.rng.sample(names, count) if self.rng.random() < 0.9 else \
            [self.rng.choice(names) for _ in range(count)]
        words += [name + self.value(name) for name in chosen]
        if self.rng.random() < 0.1:
            words.insert(self.rng.randrange(len(words) + 1), self.rng.choice(self.t["other"]))
        return b" ".join(words)

    def mutated_seed(self):
        words = self.rng.choice(self.seeds).split(b" ")
        for _ in range(self.rng.randint(1, 3)):
            i = self.rng.randrange(len(words))
            pool = self.t[self.rng.choice(["arg", "val", "other", "cmd"])]
            words[i] = (words[i] + self.rng.choice(pool)) if self.rng.random() < 0.5 \
                else self.rng.choice(pool)
        return b" ".join(words)

    def next(self):
        if self.seeds and self.rng.random() < 0.3:
            line = self.mutated_seed()
        else:
            line = b"; ".join(self.command() for _ in range(self.rng.randint(1, 3)))
        # Nothing that starts another program.
        return line.replace(b"export", b"list")


def fresh_document(tarvik):
    doc = tarvik.Document()
    x = np.arange(80) * 0.5
    doc.add(x, 2.0 * np.exp(-(x - 20) ** 2 / 30) + 0.01 * np.sin(x), title="Напряжение")
    x = np.arange(64) * 0.5
    doc.add(x, 0.5 * np.exp(-(x - 20) ** 2 / 30) + 0.01 * np.sin(x), title="Ток")
    return doc


def check_document(doc, kept):
    count = len(doc.graphs)
    assert doc.active is None or 1 <= doc.active <= count, f"active {doc.active} of {count}"
    for g in doc.graphs:
        assert len(g.x) == len(g.y) == len(g), f"graph {g.number}: X and Y differ in length"
    for view, copy in kept:
        assert view.tobytes() == copy, "an array changed under its holder"


def run_one(tarvik, doc, scripts, script, stats):
    kept = [(g.y, g.y.tobytes()) for g in list(doc.graphs)[:3]]
    watchdog = threading.Timer(COMMAND_SECONDS, doc.stop)
    watchdog.start()
    try:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            try:
                out = doc.run(script)
                assert isinstance(out, str)
                stats["ok"] += 1
            except tarvik.UsageError as usage:
                stats["usage"] += 1
                scripts.learn(str(usage))
            except tarvik.Error:
                stats["error"] += 1
        for w in caught:
            assert issubclass(w.category, tarvik.Info), f"warning {w.category}: {w.message}"
    finally:
        watchdog.cancel()
    check_document(doc, kept)


def empty_after_undoing_all(tarvik, doc):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tarvik.Info)
        steps = 0
        while doc.undo():
            steps += 1
            assert steps <= 200, "undo never ends"
    assert len(doc.graphs) == 0 and doc.active is None, "undoing every step left graphs"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--dict", action="append", required=True)
    parser.add_argument("--seconds", type=float,
                        default=float(os.environ.get("TARVIK_PY_FUZZ_SECONDS", "10")))
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    dictionaries = [pathlib.Path(d).resolve() for d in args.dict]
    import tarvik  # before the scratch folder becomes the working folder

    scratch = pathlib.Path(tempfile.mkdtemp(prefix="tarvik-pyfuzz-"))
    for folder in ("data", "config", "runtime"):
        (scratch / folder).mkdir(mode=0o700)
    os.environ.update(XDG_DATA_HOME=str(scratch / "data"), XDG_CONFIG_HOME=str(scratch / "config"),
                      XDG_RUNTIME_DIR=str(scratch / "runtime"))
    os.chdir(scratch)
    _, hard = resource.getrlimit(resource.RLIMIT_AS)
    limit = 3 << 30
    if hard == resource.RLIM_INFINITY or hard > limit:
        resource.setrlimit(resource.RLIMIT_AS, (limit, hard))

    tokens = load_tokens(dictionaries)
    seed_dir = dictionaries[0].parents[1] / "corpus" / "batch"
    seeds = [line for f in sorted(seed_dir.glob("*")) for line in f.read_bytes().splitlines()
             if line.strip() and not line.startswith(b"#")]
    rng = random.Random(args.seed)
    scripts = Scripts(tokens, seeds, rng)
    last = scratch / "last-script.txt"
    print(f"fuzz_run: seed {args.seed}, {args.seconds:g} s; the script running is in {last}",
          flush=True)

    stats = {"ok": 0, "error": 0, "usage": 0, "documents": 0}
    end = time.monotonic() + args.seconds
    while time.monotonic() < end:
        doc = fresh_document(tarvik)
        stats["documents"] += 1
        for _ in range(RUNS_PER_DOCUMENT):
            script = scripts.next()
            last.write_bytes(script)
            try:
                run_one(tarvik, doc, scripts, script, stats)
            except AssertionError as failure:
                print(f"fuzz_run FAILED on {script!r}: {failure}", file=sys.stderr)
                return 1
            if time.monotonic() >= end or max((len(g) for g in doc.graphs), default=0) > GRAPH_LIMIT:
                break
        try:
            empty_after_undoing_all(tarvik, doc)
        except AssertionError as failure:
            print(f"fuzz_run FAILED after the document's scripts: {failure}", file=sys.stderr)
            return 1
    runs = stats["ok"] + stats["error"] + stats["usage"]
    print(f"fuzz_run: ok, {runs} scripts on {stats['documents']} documents "
          f"({stats['ok']} ran, {stats['error']} ended with an error, {stats['usage']} usage errors)")
    os.chdir("/")
    shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
