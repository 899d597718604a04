#!/usr/bin/env python3
"""Seeded synthetic alignments in radcon's native format.

A gene family evolves down a random binary tree from a random root gene of sense
codons: each branch mutates nucleotides with transitions favoured over
transversions (kappa 3), never into a stop codon, and a few codon columns evolve
ten times faster, so that they saturate. Same seed, same file.

With --nonsynonymous W a change of amino acid is kept with probability W, and
with --radical F a change between charge classes (positive R H K, negative D E,
neutral) with probability W x F: selection that treats radical and conservative
changes alike (F = 1) or purges radical ones (F < 1).

With --composition A the sense codons get frequencies pi drawn from a Dirichlet
distribution of concentration A (smaller: more uneven), the root gene is drawn
from pi, and a mutation to codon j happens at a rate proportional to pi_j (the
mutation model of Goldman and Yang 1994, Mol Biol Evol 11:725-736), so that pi
is the stationary distribution; without it every sense codon is equally likely
and mutations ignore the codon they lead to.

usage: generate.py SEQUENCES CODONS [--seed N] [--nonsynonymous W] [--radical F] [--composition A] > file.seq
"""
import argparse
import math
import random

BASES = "TCAG"
STOPS = {"TAA", "TAG", "TGA"}
TRANSITION = {"T": "C", "C": "T", "A": "G", "G": "A"}
CODE = "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"
CHARGE = {aa: ("+" if aa in "RHK" else "-" if aa in "DE" else "0") for aa in set(CODE)}


def amino(codon):
    return CODE[16 * BASES.index(codon[0]) + 4 * BASES.index(codon[1]) + BASES.index(codon[2])]


def kept(rng, old, new, selection):
    """Whether selection lets a change of codon through."""
    nonsynonymous, radical = selection
    a, b = amino(old), amino(new)
    if a == b or (nonsynonymous >= 1 and radical >= 1):
        return True
    keep = nonsynonymous * (radical if CHARGE[a] != CHARGE[b] else 1.0)
    return rng.random() < keep


def random_codon(rng):
    while True:
        c = "".join(rng.choice(BASES) for _ in range(3))
        if c not in STOPS:
            return c


def mutate(rng, codons, branch, rates, selection, pi=None, kappa=3.0):
    out = list(codons)
    # With codon frequencies, a mutation to codon j is kept with probability
    # pi_j / max pi; hits are drawn that much more often, so that a mutation to a
    # codon of average frequency keeps the rate it has without them.
    boost = max(pi.values()) * len(pi) if pi else 1.0
    for k, codon in enumerate(out):
        expected = 3 * branch * rates[k] * boost
        # Poisson number of hits on this codon (Knuth's method), each at a random position.
        hits, p, limit = -1, 1.0, math.exp(-expected)
        while p > limit:
            hits += 1
            p *= rng.random()
        for _ in range(hits):
            pos = rng.randrange(3)
            old = codon[pos]
            if rng.random() < kappa / (kappa + 2):
                new = TRANSITION[old]
            else:
                new = rng.choice([b for b in BASES if b != old and b != TRANSITION[old]])
            candidate = codon[:pos] + new + codon[pos + 1:]
            if pi and candidate not in STOPS and rng.random() * boost >= pi[candidate] * len(pi):
                continue
            if candidate not in STOPS and kept(rng, codon, candidate, selection):
                codon = candidate
        out[k] = codon
    return out


def evolve(rng, root, count, rates, selection, pi=None):
    """Splits lineages at random until there are 'count' leaves."""
    lineages = [root]
    while len(lineages) < count:
        parent = lineages.pop(rng.randrange(len(lineages)))
        for _ in range(2):
            lineages.append(mutate(rng, parent, rng.uniform(0.005, 0.08), rates, selection, pi))
    return [mutate(rng, seq, rng.uniform(0.005, 0.05), rates, selection, pi) for seq in lineages[:count]]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("sequences", type=int)
    ap.add_argument("codons", type=int)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--nonsynonymous", type=float, default=1.0)
    ap.add_argument("--radical", type=float, default=1.0)
    ap.add_argument("--saturated", type=float, default=0.03, help="share of codon columns that evolve ten times faster")
    ap.add_argument("--composition", type=float, default=0.0,
                    help="Dirichlet concentration of the codon frequencies (0: all equal, mutations blind to them)")
    args = ap.parse_args()
    rng = random.Random(args.seed)
    pi = None
    if args.composition > 0:
        sense = [a + b + c for a in BASES for b in BASES for c in BASES if a + b + c not in STOPS]
        weights = [rng.gammavariate(args.composition, 1.0) for _ in sense]
        pi = {c: w / sum(weights) for c, w in zip(sense, weights)}
        root = rng.choices(sense, weights=weights, k=args.codons)
    else:
        root = [random_codon(rng) for _ in range(args.codons)]
    rates = [10.0 if rng.random() < args.saturated else rng.uniform(0.3, 1.5) for _ in range(args.codons)]
    seqs = evolve(rng, root, args.sequences, rates, (args.nonsynonymous, args.radical), pi)
    print(f"{args.sequences} {3 * args.codons}")
    for i, seq in enumerate(seqs):
        print(f"gene{i + 1}")
        print("".join(seq))


if __name__ == "__main__":
    main()
