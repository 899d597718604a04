#!/usr/bin/env python3
"""Full radcon runs at several sizes: wall and user time, peak resident memory,
bytes written and throughput, printed as a table and saved as TSV.

usage: run.py --binary PATH [--sizes 20x300,60x500,...] [--work DIR] [--results DIR]
"""
import argparse
import datetime
import os
import platform
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_SIZES = "20x300,60x500,100x1000,150x500"
REPORTS = ["sn.rst", "cr.rst", "n.dis", "s.dis", "r.dis", "c.dis", "outfile"]
TARGETS = {"60x500": (1.2, None), "100x1000": (12.0, 600.0), "150x500": (None, 1536.0)}


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def run_size(binary, work, n, codons, seed):
    data = os.path.join(work, f"synthetic-{n}x{codons}-seed{seed}.seq")
    if not os.path.exists(data):
        with open(data, "w") as f:
            subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), str(n), str(codons),
                            "--seed", str(seed)], stdout=f, check=True)
    out = os.path.join(work, f"run-{n}x{codons}")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    subprocess.run(["sync"], check=False)  # start without a backlog of dirty pages
    with open(os.path.join(out, "trace.txt"), "w") as trace:
        proc = subprocess.run(["/usr/bin/time", "-v", binary, data], input=b"1 1.5 1 1\n", stdout=trace,
                              stderr=subprocess.PIPE, cwd=out)
    err = proc.stderr.decode()
    if proc.returncode != 0:
        raise SystemExit(f"radcon failed at {n}x{codons}:\n{err}")

    def field(name):
        m = re.search(re.escape(name) + r":\s*(\S+)", err)
        return m.group(1) if m else "0"

    wall = field("Elapsed (wall clock) time (h:mm:ss or m:ss)")
    parts = [float(p) for p in wall.split(":")]
    seconds = sum(p * 60 ** i for i, p in enumerate(reversed(parts)))
    user = float(field("User time (seconds)"))
    system = float(field("System time (seconds)"))
    rss_mb = int(field("Maximum resident set size (kbytes)")) / 1024.0
    written = sum(os.path.getsize(os.path.join(out, r)) for r in REPORTS)
    written += os.path.getsize(os.path.join(out, "trace.txt"))
    shutil.rmtree(out, ignore_errors=True)
    return seconds, user, system, rss_mb, written


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--sizes", default=DEFAULT_SIZES)
    ap.add_argument("--work", default=os.path.join(HERE, "work"))
    ap.add_argument("--results", default=os.path.join(HERE, "results"))
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    os.makedirs(args.results, exist_ok=True)
    binary = os.path.abspath(args.binary)

    header = ["size", "wall_s", "user_s", "sys_s", "peak_rss_mb", "bytes_written", "mb_per_s", "target"]
    rows = []
    print(f"radcon benchmark on {cpu_model()}, {os.cpu_count()} cores")
    print("{:>9} {:>8} {:>8} {:>8} {:>12} {:>14} {:>8}  {}".format(*header))
    for size in args.sizes.split(","):
        n, codons = (int(v) for v in size.split("x"))
        wall, user, system, rss, written = run_size(binary, args.work, n, codons, args.seed)
        target = ""
        if size in TARGETS:
            max_wall, max_rss = TARGETS[size]
            ok = (max_wall is None or wall <= max_wall) and (max_rss is None or rss <= max_rss)
            limits = ", ".join(s for s in [f"<= {max_wall} s" if max_wall else "",
                                          f"<= {max_rss:.0f} MB" if max_rss else ""] if s)
            target = ("met " if ok else "MISSED ") + f"({limits})"
        row = [size, f"{wall:.2f}", f"{user:.2f}", f"{system:.2f}", f"{rss:.1f}", str(written),
               f"{written / 1e6 / wall:.0f}", target]
        rows.append(row)
        print("{:>9} {:>8} {:>8} {:>8} {:>12} {:>14} {:>8}  {}".format(*row), flush=True)

    stamp = datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S")
    path = os.path.join(args.results, f"{stamp}.tsv")
    with open(path, "w") as f:
        f.write(f"# {cpu_model()}, {os.cpu_count()} cores\n")
        f.write("\t".join(header) + "\n")
        for row in rows:
            f.write("\t".join(row) + "\n")
    print(f"saved {path}")


if __name__ == "__main__":
    main()
