#!/usr/bin/env python3
"""False positives and power of the test of dR against dC when Ts/Tv is unknown.

Genes of 8 sequences x 300 codons evolve under a Goldman-Yang style codon model
(codon_sim.cpp: HKY-like mutation, kappa, base composition per codon position,
omega on amino-acid changes, rho on changes across charge classes, gamma rates
across codons of shape 1, optionally 3 % fast saturated columns), in cells of
kappa and composition, a mitochondrial-like cell (genetic code 2) and a cell with
uneven codon usage within amino acids, each with and without fast columns; then
three cells without fast columns: equal rates and gamma shape 0.5 (how far the
estimate, which assumes shape 1, moves) and mitochondrial-like composition at
every codon position. rho = 1 is the null (true dR/dC = 1);
rho = 0.5 and 1/3 measure power.

Each set of genes is analysed in several ways, each a set of radcon arguments:
{true} stands for the true kappa / 2, {estimate} for each gene's own estimate
from tstv_files (which then runs radcon once a file). Analyses that today's
radcon refuses (say `-t estimate` before it is wired) are reported as skipped.
For each cell, rho and analysis: the share of genes with p_dR_dC < 0.05, the
median dR/dC, the mean and SD of z_dR_dC; for each cell, the median estimated
Ts/Tv against the truth and the coverage of its 95 % interval. Tables are printed
and saved under results/.

Each cell and selection also gets a row "ideal": a test that sees what no
method working from the sequences can, every amino-acid change along the tree
(codon_sim's events.tsv, multiple hits included) and the time each codon spent
exposed to radical and to conservative changes. Under rho = 1 and given their
sum n, the radical count R is binomial with the radical share p0 of the
exposure, whatever omega: the conditional test of two Poisson rates
(Przyborowski and Wilenski 1940), here as z = (R - n p0) / sqrt(n p0 (1 - p0));
its dR/dC is R over its exposure against the conservative count over its own.
Its power is the reference for what a test can reach on these genes.
--ideal-only simulates the genes and reports only that row (seconds).

usage: simulate_tests.py --radcon BIN --sim BIN --tstv BIN [--genes 400]
         [--cells NAME,...] [--analysis 'NAME=ARGS' ...] [--jobs 2] [--work DIR]
         [--ideal-only]
"""
import argparse
import concurrent.futures
import csv
import datetime
import math
import os
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

UNIFORM = "0.25,0.25,0.25,0.25"
AT_RICH = "0.35,0.15,0.35,0.15"  # T, C, A, G
GC_RICH = "0.15,0.35,0.15,0.35"
# Mammalian-mitochondrion-like: G-poor third positions; and the same with skewed
# first and second positions too, where the neighbour site model is far off even
# with the true Ts/Tv.
MITO = ["--freqs3", "0.15,0.40,0.40,0.05"]
MITO_ALL = ["--freqs1", "0.25,0.30,0.30,0.15", "--freqs2", "0.35,0.30,0.20,0.15", "--freqs3", "0.15,0.40,0.40,0.05"]


def cell(name, kappa, sim, code=1):
    return {"name": name, "kappa": kappa, "sim": sim, "code": code}


BASE_CELLS = [
    cell("k3 uniform", 3, ["--freqs", UNIFORM]),
    cell("k3 AT-rich", 3, ["--freqs", AT_RICH]),
    cell("k3 GC-rich", 3, ["--freqs", GC_RICH]),
    cell("k10 uniform", 10, ["--freqs", UNIFORM]),
    cell("k10 AT-rich", 10, ["--freqs", AT_RICH]),
    cell("k10 GC-rich", 10, ["--freqs", GC_RICH]),
    cell("mito k14", 14, MITO, code=2),
    cell("k10 codon usage", 10, ["--freqs", UNIFORM, "--usage", "4"]),
]
CELLS = []
for c in BASE_CELLS:
    for fast in ("0", "0.03"):
        CELLS.append(dict(c, name=c["name"] + (" fast 3%" if fast != "0" else ""), sim=c["sim"] + ["--fast", fast]))
# How far the estimate (which assumes gamma shape 1) moves when the genes evolved
# otherwise: no rate variation (a very large shape) and shape 0.5.
CELLS.append(cell("k10 equal rates", 10, ["--freqs", UNIFORM, "--shape", "1000"]))
CELLS.append(cell("k10 shape 0.5", 10, ["--freqs", UNIFORM, "--shape", "0.5"]))
CELLS.append(cell("mito k14 skewed at every position", 14, MITO_ALL, code=2))
# Trees twice as deep (pairwise paths to about 1.3): more changes, more power,
# and more multiple hits.
CELLS.append(cell("k3 uniform deeper trees", 3, ["--freqs", UNIFORM, "--height-min", "0.2", "--height-max", "0.56"]))

RHOS = [("null", "1"), ("rho 0.5", "0.5"), ("rho 1/3", "0.3333333333")]
OMEGA = "0.25"
ANALYSES = [
    "estimate, mutation model=-t estimate --site-model mutation --jackknife 50 --bootstrap 200 --expected-ratio",
    "jackknife against 1=-t estimate --site-model mutation --jackknife 50",
    "estimate, neighbour model=-t estimate",
    "true Ts/Tv, neighbour model=-t {true}",
    "no bias=-t 0.5",
]


def read_means(path):
    """gene -> the `all` row of a means table."""
    with open(path) as f:
        return {r["gene"]: r for r in csv.DictReader(f, delimiter="\t") if r["clade1"] == "all"}


def summarise(rows):
    """Rejection share, median dR/dC, mean and SD of z over the genes' `all` rows."""
    p = [float(r["p_dR_dC"]) for r in rows if r["p_dR_dC"] not in ("NA", "")]
    z = [float(r["z_dR_dC"]) for r in rows if r["z_dR_dC"] not in ("NA", "")]
    ratio = [float(r["dR_dC"]) for r in rows if r["dR_dC"] not in ("NA", "")]
    summary = {
        "tested": len(p),
        "rejected_at_5pct": f"{sum(x < 0.05 for x in p) / len(p):.3f}" if p else "NA",
        "median_dR_dC": f"{statistics.median(ratio):.3f}" if ratio else "NA",
        "mean_z": f"{statistics.fmean(z):.3f}" if z else "NA",
        "sd_z": f"{statistics.stdev(z):.3f}" if len(z) > 1 else "NA",
        "boot_rejected_at_5pct": "NA", "boot_se_dR_over_se": "NA", "boot_se_dC_over_se": "NA",
        "jack_rejected_at_5pct": "NA", "jack_mean_z": "NA", "jack_sd_z": "NA", "jack_se_dR_over_se": "NA",
        "jack_se_dC_over_se": "NA", "median_expected_dR_dC": "NA", "median_dR_dC_over_expected": "NA",
    }
    # With --expected-ratio: the dR/dC expected if radical and conservative
    # changes were kept alike, and the genes' dR/dC over it.
    if rows and "expected_dR_dC" in rows[0]:
        ex = [(float(r["dR_dC"]), float(r["expected_dR_dC"])) for r in rows
              if r["expected_dR_dC"] not in ("NA", "") and r["dR_dC"] not in ("NA", "")]
        if ex:
            summary["median_expected_dR_dC"] = f"{statistics.median(e for _, e in ex):.3f}"
            summary["median_dR_dC_over_expected"] = f"{statistics.median(d / e for d, e in ex):.3f}"
    # With --jackknife: its test (t with blocks - 1 degrees of freedom) and its
    # errors against the analytic ones.
    if rows and "jack_p_dR_dC" in rows[0]:
        pj = [float(r["jack_p_dR_dC"]) for r in rows if r["jack_p_dR_dC"] not in ("NA", "")]
        zj = [float(r["jack_z_dR_dC"]) for r in rows if r["jack_z_dR_dC"] not in ("NA", "")]
        summary["jack_rejected_at_5pct"] = f"{sum(x < 0.05 for x in pj) / len(pj):.3f}" if pj else "NA"
        summary["jack_mean_z"] = f"{statistics.fmean(zj):.3f}" if zj else "NA"
        summary["jack_sd_z"] = f"{statistics.stdev(zj):.3f}" if len(zj) > 1 else "NA"
        for kind in ("dR", "dC"):
            q = [float(r["jack_se_" + kind]) / float(r["se_" + kind]) for r in rows
                 if r["jack_se_" + kind] not in ("NA", "") and r["se_" + kind] not in ("NA", "", "0.000000")]
            summary[f"jack_se_{kind}_over_se"] = f"{statistics.median(q):.3f}" if q else "NA"
    # With --bootstrap: how often its p rejects, and its errors against the analytic ones.
    if rows and "boot_p_dR_dC" in rows[0]:
        pb = [float(r["boot_p_dR_dC"]) for r in rows if r["boot_p_dR_dC"] not in ("NA", "")]
        summary["boot_rejected_at_5pct"] = f"{sum(x < 0.05 for x in pb) / len(pb):.3f}" if pb else "NA"
        for kind in ("dR", "dC"):
            q = [float(r["boot_se_" + kind]) / float(r["se_" + kind]) for r in rows
                 if r["boot_se_" + kind] not in ("NA", "") and r["se_" + kind] not in ("NA", "", "0.000000")]
            summary[f"boot_se_{kind}_over_se"] = f"{statistics.median(q):.3f}" if q else "NA"
    return summary


def ideal(work):
    """The ideal test's row from codon_sim's events.tsv (see the docstring)."""
    z, ratio = [], []
    with open(os.path.join(work, "events.tsv")) as f:
        for r in csv.DictReader(f, delimiter="\t"):
            rad, con = int(r["radical"]), int(r["conservative"])
            er, ec = float(r["radical_exposure"]), float(r["conservative_exposure"])
            n, p0 = rad + con, er / (er + ec)
            if n > 0:
                z.append((rad - n * p0) / math.sqrt(n * p0 * (1 - p0)))
            if con > 0:
                ratio.append((rad / er) / (con / ec))
    row = summarise([])
    row.update({
        "tested": len(z),
        "rejected_at_5pct": f"{sum(abs(x) > 1.959963984540054 for x in z) / len(z):.3f}" if z else "NA",
        "median_dR_dC": f"{statistics.median(ratio):.3f}" if ratio else "NA",
        "mean_z": f"{statistics.fmean(z):.3f}" if z else "NA",
        "sd_z": f"{statistics.stdev(z):.3f}" if len(z) > 1 else "NA",
    })
    return row


def radcon_base(args, c):
    base = [args.radcon, "-q", "-c", "1", "-k", "1", "-g", "charge", "--reports", "none"]
    if c["code"] != 1:
        base += ["--genetic-code", str(c["code"])]
    return base


def run_batch(args, c, extra, files, means):
    cmd = radcon_base(args, c) + extra + ["--means", means] + files
    done = subprocess.run(cmd, capture_output=True, text=True)
    if done.returncode != 0:
        return None, done.stderr.strip().splitlines()[-1] if done.stderr.strip() else f"status {done.returncode}"
    return read_means(means), None


def run_each(args, c, template, files, estimates, work):
    """One radcon a file, {estimate} replaced by that file's estimate."""
    def one(path):
        means = os.path.join(work, os.path.basename(path) + ".means.tsv")
        extra = [a.replace("{estimate}", estimates[path]) for a in template]
        done = subprocess.run(radcon_base(args, c) + extra + ["--means", means, path], capture_output=True, text=True)
        if done.returncode != 0:
            return None
        row = next(iter(read_means(means).values()))
        os.remove(means)
        return row
    with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
        rows = list(pool.map(one, files))
    if any(r is None for r in rows):
        return None, "radcon refused a file"
    return {os.path.splitext(os.path.basename(f))[0]: r for f, r in zip(files, rows)}, None


def estimate_files(args, c, files):
    """path -> the estimator's row, tstv_files run in args.jobs slices."""
    slices = [files[i::args.jobs] for i in range(args.jobs)]
    procs = [subprocess.Popen([args.tstv, "--genetic-code", str(c["code"])] + s, stdout=subprocess.PIPE, text=True)
             for s in slices if s]
    rows = {}
    for p in procs:
        out, _ = p.communicate()
        if p.returncode != 0:
            sys.exit("tstv_files failed")
        for r in csv.DictReader(out.splitlines(), delimiter="\t"):
            rows[r["file"]] = r
    return rows


def quantile(sorted_values, q):
    return sorted_values[min(len(sorted_values) - 1, int(q * len(sorted_values)))]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--radcon", required=True)
    ap.add_argument("--sim", required=True, help="codon_sim")
    ap.add_argument("--tstv", required=True, help="tstv_files")
    ap.add_argument("--genes", type=int, default=400)
    ap.add_argument("--cells", help="comma-separated cell names (default: all)")
    ap.add_argument("--analysis", action="append", help="NAME=RADCON ARGS; replaces the default analyses")
    ap.add_argument("--jobs", type=int, default=2)
    ap.add_argument("--work", help="keep the genes here instead of a temporary folder")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--omega", default=OMEGA, help="selection on amino-acid changes (default %(default)s)")
    ap.add_argument("--sim-extra", default="", help="more codon_sim arguments for every cell, e.g. tree heights")
    ap.add_argument("--ideal-only", action="store_true", help="only the ideal test: no radcon, no estimate")
    args = ap.parse_args()
    for b in ("radcon", "sim", "tstv"):
        setattr(args, b, os.path.abspath(getattr(args, b)))
    analyses = [a.split("=", 1) for a in (args.analysis or ANALYSES)]
    cells = CELLS
    if args.cells:
        wanted = set(args.cells.split(","))
        cells = [c for c in CELLS if c["name"] in wanted]
    started = time.time()
    test_rows, tstv_rows, skipped = [], [], {}
    with tempfile.TemporaryDirectory() as tmp:
        work_root = os.path.abspath(args.work) if args.work else tmp
        for ci, c in enumerate(cells):
            estimates_all = []
            paths = []
            for ri, (rho_name, rho) in enumerate(RHOS):
                work = os.path.join(work_root, f"cell{ci:02d}-rho{ri}")
                os.makedirs(work, exist_ok=True)
                subprocess.run([args.sim, "--out", work, "--genes", str(args.genes), "--kappa", str(c["kappa"]),
                                "--omega", args.omega, "--rho", rho, "--code", str(c["code"]),
                                "--seed", str(args.seed * 100 + ci)] + c["sim"] + shlex.split(args.sim_extra),
                               check=True)
                files = sorted(os.path.join(work, f) for f in os.listdir(work) if f.endswith(".seq"))
                if ri == 0:
                    with open(os.path.join(work, "paths.tsv")) as f:
                        paths = sorted(float(r["path"]) for r in csv.DictReader(f, delimiter="\t"))
                test_rows.append({"cell": c["name"], "selection": rho_name, "analysis": "ideal",
                                  "genes": len(files), **ideal(work)})
                if args.ideal_only:
                    continue
                est = estimate_files(args, c, files)
                estimates = {p: est[p]["tstv"] for p in files}
                if ri == 0:
                    estimates_all = [est[p] for p in files]
                for name, argline in analyses:
                    if name in skipped:
                        continue
                    template = [a.replace("{true}", repr(c["kappa"] / 2)) for a in shlex.split(argline)]
                    if any("{estimate}" in a for a in template):
                        rows, why = run_each(args, c, template, files, estimates, work)
                    else:
                        rows, why = run_batch(args, c, template, files, os.path.join(work, "means.tsv"))
                    if rows is None:
                        skipped[name] = why
                        continue
                    test_rows.append({"cell": c["name"], "selection": rho_name, "analysis": name,
                                      "genes": len(files), **summarise(list(rows.values()))})
                print(f"[{time.time() - started:6.0f} s] {c['name']}, {rho_name}", file=sys.stderr, flush=True)
            if args.ideal_only:
                continue
            # The estimator on the null genes.
            truth = c["kappa"] / 2
            done = [r for r in estimates_all if r["estimated"] == "1"]
            values = sorted(float(r["tstv"]) for r in done)
            covered = [float(r["lower"]) <= truth <= float(r["upper"]) for r in done]
            median = statistics.median(values) if values else float("nan")
            tstv_rows.append({
                "cell": c["name"], "genes": len(estimates_all), "estimated": len(done),
                "true_tstv": f"{truth:g}", "median_estimate": f"{median:.3f}",
                "median_over_true": f"{median / truth:.3f}",
                "q25_estimate": f"{quantile(values, 0.25):.3f}" if values else "NA",
                "q75_estimate": f"{quantile(values, 0.75):.3f}" if values else "NA",
                "sd_log_estimate": f"{statistics.pstdev([math.log(v) for v in values]):.3f}" if values else "NA",
                "median_se_log": f"{statistics.median(float(r['se_log']) for r in done):.3f}" if done else "NA",
                "interval_coverage": f"{sum(covered) / len(covered):.3f}" if covered else "NA",
                "with_note": sum(1 for r in estimates_all if r["note"]),
                "path_q10_q50_q90": f"{quantile(paths, 0.1):.3f}/{quantile(paths, 0.5):.3f}/{quantile(paths, 0.9):.3f}",
            })
    elapsed = time.time() - started
    stamp = datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S")
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    header = f"# {os.uname().nodename} {os.uname().machine}; {args.genes} genes a cell; {elapsed:.0f} s\n"
    for title, rows, prefix in (("Tests of dR against dC", test_rows, "tests-"),
                                ("Ts/Tv estimate on the null genes", tstv_rows, "tstv-")):
        if not rows:
            continue
        columns = list(rows[0])
        text = "\t".join(columns) + "\n" + "".join("\t".join(str(r[k]) for k in columns) + "\n" for r in rows)
        print(f"## {title}\n{text}")
        with open(os.path.join(HERE, "results", prefix + stamp + ".tsv"), "w") as out:
            out.write(header)
            for name, why in skipped.items():
                out.write(f"# skipped: {name}: {why}\n")
            out.write(text)
    for name, why in skipped.items():
        print(f"skipped {name}: {why}")
    print(f"{elapsed:.0f} s")


if __name__ == "__main__":
    main()
