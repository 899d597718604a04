#!/usr/bin/env python3
"""False positives and power of the tests of dR against dC under both site models.

Simulates genes with generate.py (8 sequences, transitions favoured, kappa 3,
mutations to stop codons lost) under two kinds of selection: amino-acid changes
kept at 30 % whether radical or conservative (the rejection rate is the false
positive rate), and radical changes (across charge classes) kept at a third of
that (the power). Analyses each gene with radcon_site_models (charge grouping,
corrected sites, Ka/Ks 1) under the neighbour and the mutation model, with the
Ts/Tv ratio the genes evolved under and assuming no bias, and reports per
condition: the medians of pR/pC and dR/dC; the share of genes whose 'all' mean
test rejects at 5 % (radcon's null variance, the codon sum over null deviations
alone, the observed variance the test used before); the share of pairs whose
per-pair test rejects at 5 % (radcon's, the codon sum alone, the binomial null
variance alone, the observed variance), over all pairs and over the pairs with
at most 10 radical and conservative differences ("few"). Prints a table and
saves it under results/.

usage: site_models.py DRIVER [--genes 400] [--codons 300] [--saturated 0]
                      [--composition 0] [--correction 1]
  DRIVER: build-bench/bench/radcon_site_models; --composition A: codon
  frequencies from a Dirichlet of concentration A, mutations weighed by them
  (generate.py); --correction 0: the uncorrected sites.
"""
import argparse
import csv
import datetime
import os
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CONDITIONS = [("alike", "1.0"), ("radical at 1/3", "0.3333333")]
ANALYSES = [("1.5 (as simulated)", "1.5"), ("0.5 (no bias)", "0.5")]


def share(k, n):
    return f"{k / n:.3f}" if n else "NA"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("driver")
    ap.add_argument("--genes", type=int, default=400)
    ap.add_argument("--codons", default="300")
    ap.add_argument("--saturated", default="0")
    ap.add_argument("--composition", default="0")
    ap.add_argument("--correction", default="1")
    args = ap.parse_args()
    driver = os.path.abspath(args.driver)
    genes, codons, saturated, composition = args.genes, args.codons, args.saturated, args.composition
    rows = []
    with tempfile.TemporaryDirectory() as work:
        for condition, radical in CONDITIONS:
            files = []
            for g in range(genes):
                path = os.path.join(work, f"{condition[:5]}-{g}.seq")
                with open(path, "w") as out:
                    subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "8", codons, "--seed",
                                    str(1000 + g), "--nonsynonymous", "0.3", "--radical", radical,
                                    "--saturated", saturated, "--composition", composition], stdout=out, check=True)
                files.append(path)
            for analysis, tstv in ANALYSES:
                out = subprocess.run([driver, tstv, "1", args.correction] + files, check=True, capture_output=True,
                                     text=True).stdout
                lines = list(csv.DictReader(out.splitlines(), delimiter="\t"))
                for model in ("neighbour", "mutation"):
                    got = [r for r in lines if r["model"] == model]
                    pairs = sum(int(r["pairs_tested"]) for r in got)
                    few = sum(int(r["few_tested"]) for r in got)
                    row = {"selection": condition, "codons": codons, "saturated": saturated,
                           "composition": composition, "correction": args.correction, "tstv": analysis,
                           "model": model, "genes": len(got),
                           "median_pR_pC": f"{statistics.median(float(r['pR_pC']) for r in got):.3f}",
                           "median_dR_dC": f"{statistics.median(float(r['dR_dC']) for r in got):.3f}"}
                    for name, column in (("", "p_dR_dC"), ("_codon_sum", "p_codon_sum"), ("_observed", "p_observed")):
                        tested = [float(r[column]) for r in got if r[column] != "nan"]
                        row["genes_rejected" + name] = share(sum(p < 0.05 for p in tested), len(tested))
                    row["pairs"] = pairs
                    for name in ("", "_codon_sum", "_binomial", "_observed"):
                        row["pairs_rejected" + name] = share(sum(int(r["pairs_rejected" + name]) for r in got), pairs)
                    row["few"] = few
                    for name in ("", "_codon_sum", "_binomial", "_observed"):
                        row["few_rejected" + name] = share(sum(int(r["few_rejected" + name]) for r in got), few)
                    rows.append(row)
                    print("\t".join(str(v) for v in rows[-1].values()), flush=True)
    columns = list(rows[0])
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    name = os.path.join(HERE, "results", "site-models-" + datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S") + ".tsv")
    with open(name, "w") as out:
        out.write("# " + os.uname().nodename + " " + os.uname().machine + "\n")
        out.write("\t".join(columns) + "\n")
        for r in rows:
            out.write("\t".join(str(r[c]) for c in columns) + "\n")
    print("saved", name)


if __name__ == "__main__":
    main()
