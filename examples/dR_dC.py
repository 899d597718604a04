#!/usr/bin/env python3
"""radcon from Python: the primate lysozymes read with Biopython, analysed, the
pairs with the lowest dR/dC listed, and dR drawn against dC for every pair,
coloured by the clades of its two sequences.

usage (from the top folder, after make python): /usr/bin/python3 examples/dR_dC.py [FIGURE.png]
"""
import sys

import matplotlib.pyplot as plt
from Bio import AlignIO

import radcon

alignment = AlignIO.read("examples/lysozymeLarge.fa", "fasta")
result = radcon.analyse(alignment, gene="lysozyme", correction=1, tstv=0.5, kaks=1, grouping="charge",
                        clades="examples/lysozyme.clades")
pairs = result.pairs
print(pairs.nsmallest(5, "dR_dC")[["name1", "name2", "dR", "dC", "dR_dC", "p_dR_dC"]].to_string(index=False))
every = result.means.iloc[-1]  # the last means row: all pairs
print(f"all {every.pairs} pairs: dR/dC {every.dR_dC:.3f}, p = {every.p_dR_dC:.3g}")

# Each pair's clades, from the clade file the means used.
clade = dict(line.split() for line in open("examples/lysozyme.clades") if line.strip() and line[0] != "#")
joins = [" / ".join(sorted({clade[a], clade[b]})) for a, b in zip(pairs.name1, pairs.name2)]
fig, ax = plt.subplots(figsize=(6.5, 5))
for label in sorted(set(joins)):
    some = pairs[[j == label for j in joins]]
    ax.scatter(some.dC, some.dR, s=18, alpha=0.8, label=label)
top = 1.05 * max(pairs.dC.max(), pairs.dR.max())
ax.plot([0, top], [0, top], "k--", lw=0.8, label="dR = dC")
ax.set(xlim=(-0.002, top), ylim=(-0.002, top), xlabel="dC, conservative distance", ylabel="dR, radical distance",
       title=f"Lysozyme, charge grouping: {len(pairs)} pairs")
ax.legend(fontsize=7, loc="upper left", title="clades of the pair", title_fontsize=7)
fig.savefig(sys.argv[1] if len(sys.argv) > 1 else "dR_dC.png", dpi=110, bbox_inches="tight")
