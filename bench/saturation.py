#!/usr/bin/env python3
"""How dR/dC drifts with divergence when radical and conservative changes are
kept alike, and how far --expected-ratio follows it.

One pair of sequences of 200,000 codons per setting (so that chance hardly
moves the ratio) evolves under codon_sim's model with rho = 1, for a base
composition (uniform with kappa 3 under the standard code, or mitochondrion-like
at every codon position with kappa 14 under code 2), rates across codons of
gamma shape 1 (what the expected ratio and the Ts/Tv estimate assume) or equal
rates (which they do not), an omega and a tree height. radcon then analyses it
with the mutation site model and the true Ts/Tv ratio, and again with its
estimate; --jackknife 2 --expected-ratio gives the expected dR/dC. Prints a
table and saves it under results/.

usage: saturation.py --radcon BIN --sim BIN
"""
import argparse
import csv
import datetime
import os
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SETTINGS = [
    ("uniform, kappa 3", 3, 1, ["--freqs", "0.25,0.25,0.25,0.25"]),
    ("mitochondrion-like everywhere, kappa 14", 14, 2,
     ["--freqs1", "0.25,0.30,0.30,0.15", "--freqs2", "0.35,0.30,0.20,0.15", "--freqs3", "0.15,0.40,0.40,0.05"]),
]
SHAPES = [("gamma 1", "1"), ("equal", "1000")]
OMEGAS = ["1", "0.5", "0.25"]
HEIGHTS = ["0.05", "0.2", "0.4"]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--radcon", required=True)
    ap.add_argument("--sim", required=True)
    args = ap.parse_args()
    rows = []
    with tempfile.TemporaryDirectory() as tmp:
        for (name, kappa, code, freqs), (rates, shape), omega, height in (
                (s, r, o, h) for s in SETTINGS for r in SHAPES for o in OMEGAS for h in HEIGHTS):
                    work = os.path.join(tmp, f"{kappa}-{shape}-{omega}-{height}")
                    os.makedirs(work)
                    subprocess.run([args.sim, "--out", work, "--genes", "1", "--sequences", "2", "--codons", "200000",
                                    "--kappa", str(kappa), "--omega", omega, "--rho", "1", "--code", str(code),
                                    "--shape", shape, "--height-min", height, "--height-max", height,
                                    "--seed", "7"] + freqs, check=True, stdout=subprocess.DEVNULL)
                    row = {"setting": name, "rates": rates, "omega": omega, "height": height}
                    for label, tstv in (("true", repr(kappa / 2)), ("estimate", "estimate")):
                        means = os.path.join(work, label + ".tsv")
                        subprocess.run([args.radcon, "-q", "-c", "1", "-t", tstv, "-k", "1", "-g", "charge",
                                        "--genetic-code", str(code), "--site-model", "mutation", "--reports", "none",
                                        "--jackknife", "2", "--expected-ratio", "--means", means,
                                        os.path.join(work, "gene0001.seq")], check=True, stderr=subprocess.DEVNULL)
                        with open(means) as f:
                            m = next(csv.DictReader(f, delimiter="\t"))
                        if label == "true":
                            row["dS"] = m["dS"]
                        ratio, expected = float(m["dR_dC"]), float(m["expected_dR_dC"])
                        row[f"dR_dC_{label}"] = f"{ratio:.3f}"
                        row[f"expected_{label}"] = f"{expected:.3f}"
                        row[f"over_expected_{label}"] = f"{ratio / expected:.3f}"
                        if label == "estimate":
                            row["tstv_estimate"] = f"{float(m['tstv']):.2f}"
                    rows.append(row)
                    print("\t".join(row.values()), flush=True)
    columns = list(rows[0])
    text = "\t".join(columns) + "\n" + "".join("\t".join(r[c] for c in columns) + "\n" for r in rows)
    stamp = datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S")
    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    with open(os.path.join(HERE, "results", f"saturation-{stamp}.tsv"), "w") as out:
        out.write(text)
    print(text)


if __name__ == "__main__":
    main()
