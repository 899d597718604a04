#!/usr/bin/env python3
"""Runs without the covariance reports at scale: wall and user time and peak
memory of radcon --reports none at 2,000 x 1,000 (table and means) and with
--reference at 100,000 x 300, and radcon against PAML's yn00 (Debian package paml,
Nei-Gojobori with rate weighting) on one 200 x 1,000 alignment. Alignments come
from generate.py and are kept in the work folder. Printed and saved as TSV.

usage: streaming.py --binary PATH [--work DIR] [--no-yn00]
"""
import argparse
import os
import shutil
import subprocess
import sys

from timing import save, timed

HERE = os.path.dirname(os.path.abspath(__file__))


def alignment(work, n, codons, seed):
    path = os.path.join(work, f"s{n}x{codons}.seq")
    if not os.path.exists(path):
        with open(path + ".part", "w") as out:
            subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--seed", str(seed), str(n), str(codons)],
                           stdout=out, check=True)
        os.rename(path + ".part", path)
    return path


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--work", default=os.path.join(HERE, "work"))
    ap.add_argument("--no-yn00", action="store_true")
    args = ap.parse_args()
    radcon = os.path.abspath(args.binary)
    os.makedirs(args.work, exist_ok=True)
    answers = ["-q", "-c", "1", "-t", "1.5", "-k", "1", "-g", "charge", "--reports", "none"]
    rows = []
    big = alignment(args.work, 2000, 1000, 3)
    rows.append(("radcon --table --means", "2000x1000", *timed([radcon, *answers, "--table", "p.tsv", "--means", "m.tsv", big], cwd=args.work)))
    mid = alignment(args.work, 200, 1000, 4)
    rows.append(("radcon --table", "200x1000", *timed([radcon, *answers, "--table", "p.tsv", mid], cwd=args.work)))
    if not args.no_yn00 and shutil.which("yn00"):
        with open(os.path.join(args.work, "yn00.ctl"), "w") as ctl:
            ctl.write(f"seqfile = {mid}\noutfile = yn00.out\nverbose = 0\nicode = 0\nweighting = 1\ncommonf3x4 = 0\n")
        rows.append(("yn00 (weighting = 1)", "200x1000", *timed(["yn00", "yn00.ctl"], cwd=args.work)))
    huge = alignment(args.work, 100000, 300, 5)
    rows.append(("radcon --reference --table --means", "100000x300",
                 *timed([radcon, *answers, "--reference", "gene1", "--table", "r.tsv", "--means", "rm.tsv", huge], cwd=args.work)))
    save("streaming", ["program", "size"], rows)


if __name__ == "__main__":
    main()
