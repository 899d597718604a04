#!/usr/bin/env python3
"""How often the per-gene test of mean dR against mean dC rejects at 5 %.

Simulates genes with generate.py (8 sequences x 300 codons, transitions favoured,
kappa 3) under two kinds of selection: amino-acid changes kept at 30 % whether
radical or conservative (no difference: the rejection rate is the false positive
rate), and radical changes (across charge classes) kept at a third of that
(the rejection rate is the power). Each gene is analysed with the `all` row of
--means, once with the Ts/Tv ratio the genes evolved under and once assuming no
bias. Prints a table and saves it under results/.

usage: simulate_tests.py RADCON [GENES [SATURATED]]  (SATURATED: the share of
fast, saturated codon columns, 0.03 by default)
"""
import csv
import datetime
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CONDITIONS = [("alike", "1.0"), ("radical at 1/3", "0.3333333")]
ANALYSES = [("Ts/Tv 1.5 (as simulated)", "1.5"), ("Ts/Tv 0.5 (no bias)", "0.5")]


def main():
    radcon = os.path.abspath(sys.argv[1])
    genes = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    saturated = sys.argv[3] if len(sys.argv) > 3 else "0.03"
    rows = []
    with tempfile.TemporaryDirectory() as work:
        for condition, radical in CONDITIONS:
            files = []
            for g in range(genes):
                path = os.path.join(work, f"{condition[:5]}-{g}.seq")
                with open(path, "w") as out:
                    subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "8", "300", "--seed", str(1000 + g),
                                    "--nonsynonymous", "0.3", "--radical", radical, "--saturated", saturated],
                                   stdout=out, check=True)
                files.append(path)
            for analysis, tstv in ANALYSES:
                rejected = defined = 0
                ratios = []
                for path in files:
                    means = path + ".means.tsv"
                    subprocess.run([radcon, "-q", "-c", "1", "-t", tstv, "-k", "1", "-g", "charge", "-o", work,
                                    "--means", means, path], check=True)
                    with open(means) as f:
                        row = list(csv.DictReader(f, delimiter="\t"))[-1]
                    if row["p_dR_dC"] != "NA":
                        defined += 1
                        rejected += float(row["p_dR_dC"]) < 0.05
                        ratios.append(float(row["dR_dC"]))
                ratios.sort()
                rows.append({"selection": condition, "saturated": saturated, "analysis": analysis, "genes": genes,
                             "tested": defined,
                             "rejected_at_5pct": f"{rejected / max(defined, 1):.3f}",
                             "median_dR_dC": f"{ratios[len(ratios) // 2]:.3f}" if ratios else "NA"})
    columns = list(rows[0])
    print("\t".join(columns))
    for r in rows:
        print("\t".join(str(r[c]) for c in columns))
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    name = os.path.join(HERE, "results", "tests-" + datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S") + ".tsv")
    with open(name, "w") as out:
        out.write("# " + os.uname().nodename + " " + os.uname().machine + "\n")
        out.write("\t".join(columns) + "\n")
        for r in rows:
            out.write("\t".join(str(r[c]) for c in columns) + "\n")


if __name__ == "__main__":
    main()
