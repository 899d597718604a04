#!/usr/bin/env python3
"""Seeded synthetic alignments in radcon's native format.

A gene family evolves down a random binary tree from a random root gene of sense
codons: each branch mutates nucleotides with transitions favoured over
transversions (kappa 3), never into a stop codon, and a few codon columns evolve
ten times faster, so that they saturate. Same seed, same file.

usage: generate.py SEQUENCES CODONS [--seed N] > file.seq
"""
import argparse
import math
import random

BASES = "TCAG"
STOPS = {"TAA", "TAG", "TGA"}
TRANSITION = {"T": "C", "C": "T", "A": "G", "G": "A"}


def random_codon(rng):
    while True:
        c = "".join(rng.choice(BASES) for _ in range(3))
        if c not in STOPS:
            return c


def mutate(rng, codons, branch, rates, kappa=3.0):
    out = list(codons)
    for k, codon in enumerate(out):
        expected = 3 * branch * rates[k]
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
            if candidate not in STOPS:
                codon = candidate
        out[k] = codon
    return out


def evolve(rng, root, count, rates):
    """Splits lineages at random until there are 'count' leaves."""
    lineages = [root]
    while len(lineages) < count:
        parent = lineages.pop(rng.randrange(len(lineages)))
        for _ in range(2):
            lineages.append(mutate(rng, parent, rng.uniform(0.005, 0.08), rates))
    return [mutate(rng, seq, rng.uniform(0.005, 0.05), rates) for seq in lineages[:count]]


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("sequences", type=int)
    ap.add_argument("codons", type=int)
    ap.add_argument("--seed", type=int, default=1)
    args = ap.parse_args()
    rng = random.Random(args.seed)
    root = [random_codon(rng) for _ in range(args.codons)]
    rates = [10.0 if rng.random() < 0.03 else rng.uniform(0.3, 1.5) for _ in range(args.codons)]
    seqs = evolve(rng, root, args.sequences, rates)
    print(f"{args.sequences} {3 * args.codons}")
    for i, seq in enumerate(seqs):
        print(f"gene{i + 1}")
        print("".join(seq))


if __name__ == "__main__":
    main()
