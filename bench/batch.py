#!/usr/bin/env python3
"""One batch command against a shell loop of one radcon process per file: 1,000
generated alignments of 8 sequences x 300 codons, --reports none --table, same
answers. Wall and user time of both, and the batch's peak memory, which must not
grow with the number of files (measured at 250 and 1,000 files). Printed and
saved as TSV under results/.

usage: batch.py --binary PATH [--work DIR] [--files N]
"""
import argparse
import os
import subprocess
import sys

from timing import save, timed

HERE = os.path.dirname(os.path.abspath(__file__))
ANSWERS = ["-q", "-c", "1", "-t", "1.5", "-k", "1", "-g", "charge", "--reports", "none"]


def make_genes(work, count):
    """The generated alignments (8 x 300, one seed each), made once under work/genes."""
    genes = os.path.join(work, "genes")
    os.makedirs(genes, exist_ok=True)
    files = []
    for g in range(count):
        path = os.path.join(genes, f"gene{g:05d}.seq")
        if not os.path.exists(path):
            with open(path, "w") as out:
                subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--seed", str(g), "8", "300"],
                               stdout=out, check=True)
        files.append(path)
    return files


def write_list(work, name, files):
    """A list of paths for --inputs; returns its path."""
    path = os.path.join(work, name)
    with open(path, "w") as f:
        f.write("\n".join(files) + "\n")
    return path


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--work", default=os.path.join(HERE, "work", "batch"))
    ap.add_argument("--files", type=int, default=1000)
    args = ap.parse_args()
    radcon = os.path.abspath(args.binary)
    files = make_genes(args.work, args.files)
    write_list(args.work, "all.list", files)
    quarter = files[: max(1, len(files) // 4)]
    write_list(args.work, "quarter.list", quarter)
    table = os.path.join(args.work, "batch.tsv")
    rows = []
    rows.append(("batch, one command", len(files),
                 *timed([radcon, *ANSWERS, "--table", table, "--inputs", os.path.join(args.work, "all.list")])))
    rows.append(("batch, one command", len(quarter),
                 *timed([radcon, *ANSWERS, "--table", table, "--inputs", os.path.join(args.work, "quarter.list")])))
    loop = (f"for f in $(cat {args.work}/all.list); do {radcon} {' '.join(ANSWERS)} --table {args.work}/one.tsv \"$f\" "
            f"|| exit 1; tail -n +2 {args.work}/one.tsv; done > {args.work}/loop.tsv")
    rows.append(("shell loop, one process a file", len(files), *timed(loop, shell=True)))
    save("batch", ["run", "files"], rows)


if __name__ == "__main__":
    main()
