#!/usr/bin/env python3
"""Mutation hunt: single numbers of real .graph files changed, each variant run several
times through a sanitizer build of the batch program (runs are not seeded).

  fuzz/mutate_graphs.py BATCH_EXE VARIANTS RUNS GRAPH...

Real files come from `make_graph_seeds FOLDER examples/*.png` (fuzz/run builds it).

HUNT_KINDS (comma list of link, coordinate, float, count, size) limits the numbers
changed; HUNT_SEED (31) picks them; HUNT_JOBS (4) runs that many at once.

Every variant must end refused (exit status 2 with a message) or as a normal run (0);
a signal, another status or a sanitizer report is a find, kept in fuzz/findings/.
Run from the repository root (config/ is copied into each work folder)."""

import concurrent.futures
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile

FLOAT_VALUES = [1778812.6, float("-inf"), float("inf"), 1e-38, float("nan"), -1778812.6, 0.0]


class reader:
    """Walks the layer-graph records and notes where each number lies."""

    def __init__(self, data):
        self.data, self.pos, self.fields = data, 0, []

    def take(self, fmt, kind=None):
        size = struct.calcsize(fmt)
        value = struct.unpack_from(fmt, self.data, self.pos)[0]
        if kind:
            self.fields.append((kind, self.pos, fmt))
        self.pos += size
        return value

    def vector(self, fmt, kind):
        for _ in range(self.take("<Q", "count")):
            for f in fmt:
                self.take("<" + f, kind)

    def string(self):
        length = self.take("<Q")
        self.pos += length

    def layer_graph(self):
        counts = [self.take("<Q", "count") for _ in range(8)]
        self.take("<i", "size")
        self.take("<i", "size")
        links = lambda n=1: self.vector("i" * n, "link")
        for _ in range(counts[0]):  # fragments
            self.vector("ff", "coordinate")
            self.vector("d", "float")
            self.vector("f", "float")
            self.vector("dd", "coordinate")
            links(), links(), links()
            self.take("<f", "float")
            self.take("<f", "float")
        for _ in range(counts[1]):  # junctions
            links(2), links(), links(), links(), links()
        for _ in range(counts[2]):  # edges
            links(), links(), links(), links()
            self.take("<i", "link")
        for _ in range(counts[3]):  # nodes
            links(), links(), links()
        for _ in range(counts[4]):  # regions
            links(), links(2)
            self.take("<i")
            links()
        for _ in range(counts[5]):  # connections
            links(), links(), links()
        for _ in range(counts[6]):  # curves
            links(), links(), links()
            self.take("<Q", "count")
            self.take("<d", "float")
            self.take("<i")

    def file(self):
        self.string()
        self.string()
        for _ in range(self.take("<Q", "count")):
            self.layer_graph()
        for _ in range(2):
            self.take("<i", "size")  # image rows, cols
        return self.fields


def mutate(data, field, rng):
    kind, pos, fmt = field
    out = bytearray(data)
    if fmt in ("<f", "<d"):
        struct.pack_into(fmt, out, pos, rng.choice(FLOAT_VALUES))
        what = "%s at %d = %s" % (kind, pos, struct.unpack_from(fmt, out, pos)[0])
    else:
        delta = rng.choice([1, -1])
        value = struct.unpack_from(fmt, data, pos)[0] + delta
        lo, hi = (0, 2**64 - 1) if fmt == "<Q" else (-2**31, 2**31 - 1)
        struct.pack_into(fmt, out, pos, min(max(value, lo), hi))
        what = "%s at %d %+d" % (kind, pos, delta)
    return bytes(out), what


def run_variant(batch, name, data, runs):
    outcomes = []
    folder = tempfile.mkdtemp(prefix="mutant_")
    try:
        shutil.copytree("config", os.path.join(folder, "config"))
        with open(os.path.join(folder, "config", "default_dir_open.conf"), "w") as f:
            f.write("in\n")
        with open(os.path.join(folder, "config", "input_sketch.conf"), "w") as f:
            f.write("out\n0\n")
        os.makedirs(os.path.join(folder, "in"))
        with open(os.path.join(folder, "in", "x.graph"), "wb") as f:
            f.write(data)
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:abort_on_error=0",
                   UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
        for _ in range(runs):
            try:
                p = subprocess.run([batch, "3", "0.25", "0.9", "0", "1", "x.graph"], cwd=folder, env=env,
                                   capture_output=True, timeout=600)
                err = p.stderr.decode(errors="replace")
                sanitizer = "Sanitizer" in err or "runtime error:" in err
                if p.returncode == 0 and not sanitizer:
                    outcomes.append(("normal", ""))
                elif p.returncode == 2 and not sanitizer and "x.graph: " in err:
                    outcomes.append(("refused", err.strip().splitlines()[0]))
                else:
                    outcomes.append(("fault", "status %d\n%s" % (p.returncode, err[-3000:])))
            except subprocess.TimeoutExpired:
                outcomes.append(("fault", "timeout"))
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return name, outcomes


def main():
    batch, nb_variants, runs, graphs = os.path.abspath(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
    kinds = [k for k in os.environ.get("HUNT_KINDS", "").split(",") if k]
    rng = random.Random(int(os.environ.get("HUNT_SEED", "31")))
    variants = []
    for i in range(nb_variants):
        path = graphs[i % len(graphs)]
        with open(path, "rb") as f:
            data = f.read()
        fields = [f for f in reader(data).file() if not kinds or f[0] in kinds]
        data, what = mutate(data, rng.choice(fields), rng)
        variants.append(("%s: %s" % (os.path.basename(path), what), data))
    os.makedirs("fuzz/findings", exist_ok=True)
    tally = {"normal": 0, "refused": 0, "fault": 0}
    variant_tally = {"normal": 0, "refused": 0, "mixed": 0, "fault": 0}
    refusals = {}
    with concurrent.futures.ThreadPoolExecutor(int(os.environ.get("HUNT_JOBS", "4"))) as pool:
        jobs = [pool.submit(run_variant, batch, name, data, runs) for name, data in variants]
        for n, job in enumerate(concurrent.futures.as_completed(jobs)):
            name, outcomes = job.result()
            kinds = {k for k, _ in outcomes}
            for k, detail in outcomes:
                tally[k] += 1
                if k == "refused":
                    reason = re.sub(r"-?\b\d[\d.e+-]*|\bnan\b|-?\binf\b", "#", detail.split("x.graph: ", 1)[-1].split(";")[0])
                    refusals[reason] = refusals.get(reason, 0) + 1
            variant_tally["fault" if "fault" in kinds else kinds.pop() if len(kinds) == 1 else "mixed"] += 1
            for k, detail in outcomes:
                if k == "fault":
                    print("FAULT", name, detail, sep="\n", flush=True)
                    data = dict(variants)[name]
                    with open("fuzz/findings/mutant_%d.graph" % n, "wb") as f:
                        f.write(data)
                    break
    for reason, n in sorted(refusals.items(), key=lambda r: -r[1])[:15]:
        print("%5d refused: %s" % (n, reason))
    print("variants:", len(variants), variant_tally)
    print("runs:", sum(tally.values()), tally)
    return 1 if tally["fault"] else 0


if __name__ == "__main__":
    sys.exit(main())
