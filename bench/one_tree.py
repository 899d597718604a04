#!/usr/bin/env python3
"""Is the jackknife's error the spread of its statistic? Many genes of one tree.

codon_sim evolves one long gene (120,000 codons, 8 sequences) down one tree of a
fixed height; it is cut into 400 genes of 300 codons, which then share the tree
and differ only by chance, as the genes of one cell would if their trees were
alike. For each analysis (radcon arguments) the `all` row of every gene gives
the jackknife's z of dR against dC, and its statistic T = dR - E x dC (E the
expected dR/dC where there is one, else 1): the SD of z over the genes, and the
SD of T over the genes against the root mean square of the jackknife's errors
(T / z). A jackknife that measures the spread of its statistic gives a ratio
near 1; below 1 its errors are too wide.

usage: one_tree.py --radcon BIN --sim BIN [--seed 10] [--height 0.42]
         [--kappa 10] [--omega 0.5] [--analysis 'NAME=ARGS' ...]
"""
import argparse
import csv
import math
import os
import shlex
import statistics
import subprocess
import sys
import tempfile

ANALYSES = [
    "expected ratio=-t estimate --site-model mutation --jackknife 50 --expected-ratio",
    "against 1=-t estimate --site-model mutation --jackknife 50",
    "true Ts/Tv, against 1=-t {true} --site-model mutation --jackknife 50",
]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--radcon", required=True)
    ap.add_argument("--sim", required=True, help="codon_sim")
    ap.add_argument("--seed", type=int, default=10)
    ap.add_argument("--height", type=float, default=0.42)
    ap.add_argument("--kappa", type=float, default=10)
    ap.add_argument("--omega", default="0.5")
    ap.add_argument("--genes", type=int, default=400)
    ap.add_argument("--analysis", action="append", help="NAME=RADCON ARGS; replaces the default analyses")
    args = ap.parse_args()
    codons = 300
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([os.path.abspath(args.sim), "--out", tmp, "--genes", "1", "--kappa", str(args.kappa),
                        "--omega", args.omega, "--rho", "1", "--seed", str(args.seed), "--freqs",
                        "0.25,0.25,0.25,0.25", "--height-min", str(args.height), "--height-max", str(args.height),
                        "--codons", str(codons * args.genes)], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(tmp, "paths.tsv")) as f:
            paths = [float(r["path"]) for r in csv.DictReader(f, delimiter="\t")]
        lines = open(os.path.join(tmp, "gene0001.seq")).read().split("\n")
        n = int(lines[0].split()[0])
        names, seqs = lines[1:2 * n:2], lines[2:2 * n + 1:2]
        files = []
        for g in range(args.genes):
            path = os.path.join(tmp, f"g{g:04d}.seq")
            with open(path, "w") as f:
                f.write(f"{n} {3 * codons}\n")
                for name, s in zip(names, seqs):
                    f.write(f"{name}\n{s[3 * codons * g:3 * codons * (g + 1)]}\n")
            files.append(path)
        print(f"tree: seed {args.seed}, height {args.height}; pairwise paths {min(paths):.2f} to {max(paths):.2f}, "
              f"mean {statistics.fmean(paths):.2f}; {args.genes} genes of {codons} codons")
        print("analysis\tgenes\tmean_z\tsd_z\tsd_T\trms_jack_se\tsd_T_over_rms_se")
        for a in (args.analysis or ANALYSES):
            name, argline = a.split("=", 1)
            extra = shlex.split(argline.replace("{true}", repr(args.kappa / 2)))
            means = os.path.join(tmp, "means.tsv")
            subprocess.run([os.path.abspath(args.radcon), "-q", "-c", "1", "-k", "1", "-g", "charge", "--reports",
                            "none"] + extra + ["--means", means] + files, check=True, stderr=subprocess.DEVNULL)
            with open(means) as f:
                rows = [r for r in csv.DictReader(f, delimiter="\t")
                        if r["clade1"] == "all" and r["jack_z_dR_dC"] not in ("NA", "")]
            z = [float(r["jack_z_dR_dC"]) for r in rows]
            t = [float(r["dR"]) - float(r.get("expected_dR_dC", "1")) * float(r["dC"]) for r in rows]
            rms = math.sqrt(statistics.fmean([(x / y) ** 2 for x, y in zip(t, z) if y != 0]))
            print(f"{name}\t{len(z)}\t{statistics.fmean(z):.3f}\t{statistics.stdev(z):.3f}\t"
                  f"{statistics.stdev(t):.5f}\t{rms:.5f}\t{statistics.stdev(t) / rms:.3f}", flush=True)


if __name__ == "__main__":
    sys.exit(main())
