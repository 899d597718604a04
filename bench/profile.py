#!/usr/bin/env python3
"""Profiles along the gene (--profile): what they cost and what they find.

scale: one generated alignment of 2,000 x 1,000 (generate.py, as streaming.py),
  `--reports none --means` against the same with `--profile` (window 30, step 10):
  wall and user time, peak memory, and what the profile adds (targets: at most
  30 % more time and 100 MB more memory); then 500 x 1,000 three times each,
  taken in turn, the medians kept, which shows how much of the difference at
  2,000 is the load beside it.
batch: 1,000 codon_sim genes of 8 x 300 in one command, `--means` against
  `--means --profile` (three times each, in turn, the medians kept): time, memory
  and the size of the profile table.
detect: codon_sim genes (8 x 300 and 30 x 300, kappa 3, omega 0.25, gamma rates of
  shape 1; and 30 x 300 on trees three times as deep) with radical changes kept at a fifth of the conservative rate in codons
  136..165 (--stretch 136,30,0.2; rho 1 elsewhere), and the same genes (same seed:
  same trees and column rates) with rho 1 everywhere. Per gene, in the group of
  every pair: whether the window of lowest dR/dC overlaps the stretch (windows
  tied for the lowest, as several of dR = 0 are, share the credit), whether
  any window with q_dR_dC < 0.05 does, whether every such window does, and, on
  the genes without the stretch, how often any window has q_dR_dC < 0.05 (target:
  at most 5 % of genes). radcon is run as simulate_tests.py runs it, with the
  Ts/Tv estimated (-t estimate) and with the true one (kappa / 2).

Tables are printed and saved under results/ (profile-*.tsv). Before radcon has
--profile, the parts that need it say so and are skipped.

With --window and --step every part uses those windows instead of 30 and 10.

usage: profile.py --binary PATH [--sim PATH] [--parts scale,batch,detect]
         [--genes 200] [--files 1000] [--window 30] [--step 10] [--work DIR] [--seed 1]
"""
import argparse
import csv
import datetime
import os
import statistics
import subprocess
import sys
import time

from streaming import alignment
from timing import HERE, save, timed

ANSWERS = ["-q", "-c", "1", "-t", "1.5", "-k", "1", "-g", "charge", "--reports", "none"]
WINDOW, STEP = 30, 10
CODONS = 300
STRETCH = (136, 30, 0.2)  # first codon (from 1), length, radical factor
KAPPA, OMEGA = 3, 0.25
# sequences, with the stretch, tree heights (codon_sim's defaults, then three times as deep)
SHALLOW, DEEP = (0.1, 0.28), (0.3, 0.84)
SIM_CELLS = [(8, True, SHALLOW), (8, False, SHALLOW), (30, True, SHALLOW), (30, False, SHALLOW),
             (30, True, DEEP), (30, False, DEEP)]
ANALYSES = [
    ("estimate, mutation model", ["-t", "estimate", "--site-model", "mutation"]),
    ("true Ts/Tv, mutation model", ["-t", repr(KAPPA / 2), "--site-model", "mutation"]),
]


def has_profile(radcon):
    """Whether this radcon knows --profile."""
    out = subprocess.run([radcon, "--help"], capture_output=True, text=True).stdout
    return "--profile" in out


def number(text):
    return None if text in ("NA", "", "nan", "-nan") else float(text)


def read_profile(path):
    """gene -> the rows of the group of every pair, in window order."""
    genes = {}
    with open(path) as f:
        for r in csv.DictReader(f, delimiter="\t"):
            if r["clade1"] == "all" and r["clade2"] == "all":
                genes.setdefault(r["gene"], []).append(r)
    for rows in genes.values():
        rows.sort(key=lambda r: int(r["start"]))
    return genes


def overlaps(row, first, last):
    return int(row["start"]) <= last and int(row["end"]) >= first


def judge_gene(rows, first, last):
    """What one gene's profile says about the stretch [first, last] (1-based)."""
    defined = [r for r in rows if number(r["dR_dC"]) is not None]
    low = min(number(r["dR_dC"]) for r in defined) if defined else None
    lowest = [r for r in defined if number(r["dR_dC"]) == low]
    significant = [r for r in rows if number(r["q_dR_dC"]) is not None and number(r["q_dR_dC"]) < 0.05]
    tested = [number(r["p_dR_dC"]) for r in rows if number(r["p_dR_dC"]) is not None]
    return {
        "windows": len(rows),
        "share_in": sum(overlaps(r, first, last) for r in rows) / len(rows) if rows else 0.0,
        "lowest_defined": bool(lowest),
        # A window drawn at random among those tied for the lowest.
        "lowest_in": sum(overlaps(r, first, last) for r in lowest) / len(lowest) if lowest else 0.0,
        "lowest_tied": len(lowest) > 1,
        "any_q05": bool(significant),
        "any_q05_in": any(overlaps(r, first, last) for r in significant),
        "all_q05_in": bool(significant) and all(overlaps(r, first, last) for r in significant),
        "q05_above_1": any(number(r["dR_dC"]) is not None and number(r["dR_dC"]) > 1 for r in significant),
        "windows_tested": len(tested),
        "windows_p05": sum(p < 0.05 for p in tested),
    }


def share(values):
    values = list(values)
    return f"{100 * sum(values) / len(values):.1f}" if values else "NA"


def summarise_detection(judged, means):
    """One cell and analysis: shares of genes (per cent) over the genes judged."""
    n = len(judged)
    with_sig = [j for j in judged if j["any_q05"]]
    tested = sum(j["windows_tested"] for j in judged)
    whole = [number(r["p_dR_dC"]) for r in means.values() if number(r["p_dR_dC"]) is not None]
    return {
        "genes": n,
        "windows_per_gene": statistics.median(j["windows"] for j in judged) if judged else "NA",
        "lowest_overlaps_pct": share(j["lowest_in"] for j in judged if j["lowest_defined"]),
        # What a window drawn at random would give.
        "windows_overlapping_pct": share(j["share_in"] for j in judged),
        "lowest_tied_pct": share(j["lowest_tied"] for j in judged),
        "any_q05_pct": share(j["any_q05"] for j in judged),
        "any_q05_overlapping_pct": share(j["any_q05_in"] for j in judged),
        "every_q05_overlapping_pct": share(j["all_q05_in"] for j in judged),
        "every_q05_overlapping_of_genes_with_one_pct": share(j["all_q05_in"] for j in with_sig),
        "q05_with_dR_dC_above_1_pct": share(j["q05_above_1"] for j in judged),
        "windows_p05_pct": f"{100 * sum(j['windows_p05'] for j in judged) / tested:.1f}" if tested else "NA",
        "whole_gene_p05_pct": share(p < 0.05 for p in whole),
    }


def read_means(path):
    with open(path) as f:
        return {r["gene"]: r for r in csv.DictReader(f, delimiter="\t") if r["clade1"] == "all"}


def stamp():
    return datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S")


def save_rows(prefix, rows, note):
    """Prints rows (dicts of one layout) and saves them as TSV under results/."""
    columns = list(rows[0])
    text = "\t".join(columns) + "\n" + "".join("\t".join(str(r[k]) for k in columns) + "\n" for r in rows)
    print(text)
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    with open(os.path.join(HERE, "results", f"{prefix}-{stamp()}.tsv"), "w") as out:
        out.write(f"# {os.uname().nodename} {os.uname().machine} {os.cpu_count()} cores; {note}\n" + text)


def simulate(sim, folder, genes, sequences, stretch, heights, seed):
    """codon_sim genes into folder (made once); their paths in order."""
    done = os.path.join(folder, "done")
    if not os.path.exists(done):
        os.makedirs(folder, exist_ok=True)
        cmd = [sim, "--out", folder, "--genes", str(genes), "--sequences", str(sequences), "--codons", str(CODONS),
               "--kappa", str(KAPPA), "--omega", str(OMEGA), "--rho", "1", "--seed", str(seed),
               "--height-min", str(heights[0]), "--height-max", str(heights[1])]
        if stretch:
            cmd += ["--stretch", ",".join(str(x) for x in STRETCH)]
        subprocess.run(cmd, check=True)
        open(done, "w").close()
    return [os.path.join(folder, f"gene{g + 1:04d}.seq") for g in range(genes)]


def write_list(folder, files):
    path = os.path.join(folder, "inputs.list")
    with open(path, "w") as f:
        f.write("\n".join(files) + "\n")
    return path


def part_scale(radcon, work):
    rows, added = [], []
    for n, seed, repeats in ((2000, 3, 1), (500, 6, 3)):
        data = alignment(work, n, 1000, seed)
        base = [radcon, *ANSWERS, "--means", "m.tsv"]
        plain, profiled = [], []
        for _ in range(repeats):  # in turn, so that a change of load falls on both
            plain.append(timed(base + [data], cwd=work))
            profiled.append(timed(base + ["--profile", "p.tsv", "--window", str(WINDOW), "--step", str(STEP), data],
                                  cwd=work))
        plain = [statistics.median(x) for x in zip(*plain)]
        profiled = [statistics.median(x) for x in zip(*profiled)]
        rows += [("--means", f"{n}x1000", repeats, *plain), ("--means --profile", f"{n}x1000", repeats, *profiled)]
        with open(os.path.join(work, "p.tsv")) as f:
            lines = sum(1 for _ in f)
        added.append(f"{n} x 1,000: added wall {100 * (profiled[0] / plain[0] - 1):+.1f} % (target <= 30 %), "
                     f"user {100 * (profiled[1] / plain[1] - 1):+.1f} %, "
                     f"peak {(profiled[3] - plain[3]) / 1024:+.0f} MB (target <= 100 MB); "
                     f"profile table {lines - 1} rows, {os.path.getsize(os.path.join(work, 'p.tsv')) / 1e3:.0f} KB")
    save("profile-scale", ["run", "size", "repeats (medians)"], rows)
    print("\n".join(added) + "\n")


def part_batch(radcon, sim, work, count, seed):
    folder = os.path.join(work, "batch")
    files = simulate(sim, os.path.join(folder, "genes"), count, 8, False, SHALLOW, seed)
    inputs = write_list(folder, files)
    base = [radcon, *ANSWERS, "--means", "m.tsv", "--inputs", inputs]
    plain, profiled = [], []
    for _ in range(3):  # a second or so each: the medians of three, in turn
        plain.append(timed(base, cwd=folder))
        profiled.append(timed(base + ["--profile", "p.tsv", "--window", str(WINDOW), "--step", str(STEP)], cwd=folder))
    plain = [statistics.median(x) for x in zip(*plain)]
    profiled = [statistics.median(x) for x in zip(*profiled)]
    rows = [("--means", count, 3, *plain), ("--means --profile", count, 3, *profiled)]
    save("profile-batch", ["run", "files", "repeats (medians)"], rows)
    print(f"added: wall {100 * (profiled[0] / plain[0] - 1):+.1f} %, user {100 * (profiled[1] / plain[1] - 1):+.1f} %, "
          f"peak {(profiled[3] - plain[3]) / 1024:+.0f} MB")
    size = os.path.getsize(os.path.join(folder, "p.tsv"))
    with open(os.path.join(folder, "p.tsv")) as f:
        lines = sum(1 for _ in f)
    print(f"profile table: {lines - 1} rows, {size / 1e6:.2f} MB ({size / count / 1e3:.1f} KB a gene)\n")


def part_detect(radcon, sim, work, genes, seed):
    first, last = STRETCH[0], STRETCH[0] + STRETCH[1] - 1
    rows = []
    started = time.time()
    for sequences, stretch, heights in SIM_CELLS:
        depth = "" if heights == SHALLOW else " deep"
        name = (f"{sequences}x{CODONS}{depth} "
                + (f"rho {STRETCH[2]:g} in {first}..{last}" if stretch else "rho 1 everywhere"))
        folder = os.path.join(work, "detect", f"{sequences}x{CODONS}{depth.replace(' ', '-')}-"
                              + ("stretch" if stretch else "null"))
        files = simulate(sim, folder, genes, sequences, stretch, heights,
                         seed * 100 + sequences + (50 if heights == DEEP else 0))
        inputs = write_list(folder, files)
        for analysis, extra in ANALYSES:
            means, prof = os.path.join(folder, "m.tsv"), os.path.join(folder, "p.tsv")
            cmd = [radcon, "-q", "-c", "1", "-k", "1", "-g", "charge", "--reports", "none", *extra,
                   "--means", means, "--profile", prof, "--window", str(WINDOW), "--step", str(STEP),
                   "--inputs", inputs]
            done = subprocess.run(cmd, capture_output=True, text=True)
            if done.returncode != 0:
                sys.exit(f"radcon failed ({done.returncode}): {' '.join(cmd)}\n{done.stderr[-2000:]}")
            profile = read_profile(prof)
            judged = [judge_gene(profile.get(os.path.splitext(os.path.basename(f))[0], []), first, last)
                      for f in files]
            rows.append({"cell": name, "analysis": analysis, **summarise_detection(judged, read_means(means))})
            print(f"[{time.time() - started:5.0f} s] {name}, {analysis}", file=sys.stderr, flush=True)
    save_rows("profile-detect", rows, f"{genes} genes a cell, window {WINDOW} step {STEP}, kappa {KAPPA}, "
              f"omega {OMEGA}; {time.time() - started:.0f} s")


def main():
    global WINDOW, STEP
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True, help="radcon")
    ap.add_argument("--sim", default=os.path.join(HERE, "..", "build-bench", "bench", "codon_sim"))
    ap.add_argument("--parts", default="scale,batch,detect")
    ap.add_argument("--genes", type=int, default=200, help="genes a detection cell")
    ap.add_argument("--files", type=int, default=1000, help="genes of the batch")
    ap.add_argument("--work", default=os.path.join(HERE, "work"))
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--window", type=int, default=WINDOW)
    ap.add_argument("--step", type=int, default=STEP)
    args = ap.parse_args()
    WINDOW, STEP = args.window, args.step
    radcon, sim = os.path.abspath(args.binary), os.path.abspath(args.sim)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    parts = args.parts.split(",")
    if not has_profile(radcon):
        sys.exit(f"{radcon} has no --profile yet: nothing to measure")
    if "scale" in parts:
        part_scale(radcon, work)
    if "batch" in parts:
        part_batch(radcon, sim, work, args.files, args.seed)
    if "detect" in parts:
        part_detect(radcon, sim, work, args.genes, args.seed)


if __name__ == "__main__":
    main()
