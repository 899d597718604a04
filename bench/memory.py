#!/usr/bin/env python3
"""The memory plan against the memory used: over a grid of alignments (2 to
6,000 sequences, 10 to 10,000 codons, 1 to 16 threads, with the seven reports and
streamed with --reports none, plain and gzip-compressed), radcon's own estimate
(the one it refuses a run by, shown in the --progress summary) beside the peak
resident memory that /usr/bin/time measures. The estimate must lie within a
factor of 1.5 of the peak, both ways. Last, a gzip bomb (a 600 MB alignment in a
file of under 1 MB) with --max-memory 10 must be refused before it fills memory.
Printed and saved as TSV under results/; exits 1 when a point misses.

usage: memory.py --binary PATH [--work DIR] [--only N,...]
"""
import argparse
import gzip
import os
import re
import shutil
import subprocess
import sys

from timing import HERE, save

# sequences, codons, threads, reports ("all" or "none"), gzip-compressed input
GRID = [
    (2, 10, 1, "none", False),
    (2, 10000, 1, "none", False),
    (10, 10000, 16, "none", False),
    (100, 1000, 1, "none", False),
    (100, 1000, 2, "none", False),
    (100, 1000, 16, "none", False),
    (100, 1000, 2, "none", True),
    (300, 3000, 2, "none", False),
    (500, 1000, 4, "none", False),
    (2000, 100, 2, "none", True),
    (6000, 10, 2, "none", False),
    (6000, 10, 16, "none", False),
    (2, 10000, 1, "all", False),
    (20, 300, 1, "all", False),
    (30, 10000, 2, "all", False),
    (40, 2000, 2, "all", True),
    (60, 500, 2, "all", False),
    (60, 500, 16, "all", False),
    (80, 200, 4, "all", False),
]
ANSWERS = ["-q", "-c", "1", "-t", "1.5", "-k", "1", "-g", "charge", "--progress"]
LIMIT = 1.5


def alignment(work, n, codons, compressed):
    path = os.path.join(work, f"m{n}x{codons}.seq")
    if not os.path.exists(path):
        with open(path + ".part", "w") as out:
            subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--seed", str(n + codons), str(n),
                            str(codons)], stdout=out, check=True)
        os.rename(path + ".part", path)
    if not compressed:
        return path
    if not os.path.exists(path + ".gz"):
        with open(path, "rb") as src, gzip.open(path + ".gz.part", "wb", compresslevel=6) as dst:
            shutil.copyfileobj(src, dst)
        os.rename(path + ".gz.part", path + ".gz")
    return path + ".gz"


def measured(command, cwd):
    """Exit status, peak resident KB and standard error of a command."""
    r = subprocess.run(["/usr/bin/time", "-f", "PEAK %M"] + command, cwd=cwd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    kb = int(re.search(r"PEAK (\d+)", r.stderr).group(1))
    return r.returncode, kb, r.stderr


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--work", default=os.path.join(HERE, "work", "memory"))
    ap.add_argument("--only", help="the grid points to run, by number from 1")
    args = ap.parse_args()
    radcon = os.path.abspath(args.binary)
    os.makedirs(args.work, exist_ok=True)
    run_dir = os.path.join(args.work, "run")
    points = GRID if not args.only else [GRID[int(k) - 1] for k in args.only.split(",")]
    rows, missed = [], 0
    for n, codons, threads, reports, compressed in points:
        path = alignment(args.work, n, codons, compressed)
        shutil.rmtree(run_dir, ignore_errors=True)
        os.makedirs(run_dir)
        outputs = ["--reports", "none", "--means", "means.tsv"] if reports == "none" else []
        status, kb, err = measured([radcon, *ANSWERS, "--threads", str(threads), *outputs, path], run_dir)
        if status != 0:
            sys.exit(f"radcon failed at {n} x {codons}:\n{err[-2000:]}")
        estimate = float(re.search(r"\(estimated ([0-9.]+) MB\)", err).group(1))
        peak = kb / 1024.0
        ratio = estimate / peak
        ok = 1 / LIMIT <= ratio <= LIMIT
        missed += not ok
        rows.append((f"{n}x{codons}", threads, reports, "gzip" if compressed else "plain", f"{estimate:.1f}",
                     f"{peak:.1f}", f"{ratio:.2f}", "met" if ok else "MISSED"))
        print("\t".join(str(x) for x in rows[-1]), flush=True)
    shutil.rmtree(run_dir, ignore_errors=True)
    # A gzip bomb: 600 MB of one sequence's letters, refused as it inflates.
    bomb = os.path.join(args.work, "bomb.seq.gz")
    if not os.path.exists(bomb):
        with gzip.open(bomb + ".part", "wb", compresslevel=9) as out:
            out.write(b"1 600000000\nx\n")
            for _ in range(600):
                out.write(b"ACG" * 333334)
        os.rename(bomb + ".part", bomb)
    os.makedirs(run_dir)
    status, kb, err = measured([radcon, *ANSWERS[:-1], "--max-memory", "10", bomb], run_dir)
    shutil.rmtree(run_dir, ignore_errors=True)
    refused = status == 1 and kb < 10 * 1024
    missed += not refused
    rows.append((f"bomb {os.path.getsize(bomb) // 1024} KB", 1, "all", "gzip", "10 (--max-memory)", f"{kb / 1024:.1f}",
                 "", "refused" if refused else "MISSED"))
    print("\t".join(str(x) for x in rows[-1]), flush=True)
    header = ["size", "threads", "reports", "input", "estimate_MB", "peak_MB", "estimate/peak", "within 1.5"]
    lines = ["\t".join(header)] + ["\t".join(str(x) for x in row) for row in rows]
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    import datetime
    name = os.path.join(HERE, "results", "memory-" + datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S") + ".tsv")
    with open(name, "w") as out:
        out.write(f"# {os.uname().nodename} {os.uname().machine} {os.cpu_count()} cores\n" + "\n".join(lines) + "\n")
    print(f"saved {name}")
    sys.exit(1 if missed else 0)


if __name__ == "__main__":
    main()
