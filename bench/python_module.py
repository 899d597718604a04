#!/usr/bin/env python3
"""What the Python module costs per call against the command: on the three
shared alignments and on two generated ones (200 x 300 and 400 x 300), the
best wall time and the best CPU time (user and system, every thread and
child process) of N calls (the machine is shared: the best is the least
disturbed) of

  command          radcon --reports none --table --means, one process
  command+pandas   the same, then both tables read with pandas.read_csv (what
                   a Python user does without the module)
  analyse(path)    radcon.analyse on the file
  analyse(msa)     radcon.analyse on a Biopython MultipleSeqAlignment already in
                   memory (the FASTA text built from it included)
  core             the compiled call alone, tables as text (no DataFrames)

and for a batch of 200 generated genes of 8 x 300 the same columns for the
command with all 200 files, radcon.analyse_many on the paths (analyse(path)),
and a loop of radcon.analyse, one call a gene, its tables concatenated
(analyse(msa)).

Both from one Release build, every core. Printed and saved as TSV under results/.

usage: PYTHONPATH=BUILD/python /usr/bin/python3 python_module.py --binary BUILD/radcon [--repeats N]
"""
import argparse
import datetime
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

import pandas as pd
from Bio.Align import MultipleSeqAlignment
from Bio.Seq import Seq
from Bio.SeqRecord import SeqRecord

import radcon
from radcon import _radcon, _sources

HERE = os.path.dirname(os.path.abspath(__file__))
SHARED = os.path.join(HERE, "..", "..", "shared", "data")
ANSWERS = ["-q", "-c", "1", "-t", "0.5", "-k", "1", "-g", "charge", "--reports", "none"]


def best_time(call, repeats):
    """The best wall and the best CPU seconds (this process's threads and its
    finished children, user and system) of 'repeats' calls."""
    walls, cpus = [], []
    for _ in range(repeats):
        children = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu, start = time.process_time(), time.perf_counter()
        call()
        walls.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(time.process_time() - cpu + after.ru_utime - children.ru_utime + after.ru_stime - children.ru_stime)
    return min(walls), min(cpus)


def read_msa(path):
    """A native-format or PAML-style sequential PHYLIP file (a name line, then the
    letters over several lines) as a Biopython alignment; Biopython reads neither."""
    lines = [line.strip() for line in open(path).read().splitlines() if line.strip()]
    count, length = (int(w) for w in lines[0].split()[:2])
    records, k = [], 1
    for _ in range(count):
        name, letters, k = lines[k], "", k + 1
        while len(letters) < length:
            letters, k = letters + lines[k].replace(" ", ""), k + 1
        records.append(SeqRecord(Seq(letters), id=name, description=""))
    return MultipleSeqAlignment(records)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--binary", required=True)
    ap.add_argument("--repeats", type=int, default=15)
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="radcon-python-bench-")
    inputs = [("abglobin.seq", {}), ("lysozymeLarge.seq", {}), ("mtCDNApri.phy", {"genetic_code": 2})]
    inputs = [(os.path.join(SHARED, name), keywords) for name, keywords in inputs]
    for n in (200, 400):
        path = os.path.join(work, f"generated{n}x300.seq")
        with open(path, "w") as out:
            subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--seed", "7", str(n), "300"],
                           stdout=out, check=True)
        inputs.append((path, {}))

    header = ["alignment", "sequences", "codons", "pairs"] + [
        f"{what}_{kind}_ms" for what in ("command", "command_pandas", "analyse_path", "analyse_msa", "core", "dataframes")
        for kind in ("wall", "cpu")]
    lines = ["\t".join(header)]
    for path, keywords in inputs:
        options = ["--genetic-code", str(keywords["genetic_code"])] if keywords else []
        table, means = os.path.join(work, "pairs.tsv"), os.path.join(work, "means.tsv")
        command = [args.binary, *ANSWERS, *options, "--table", table, "--means", means, path]
        run = lambda: subprocess.run(command, check=True)
        read = lambda: (pd.read_csv(table, sep="\t"), pd.read_csv(means, sep="\t"))
        first = radcon.analyse(path, **keywords)
        source = [_sources.alignment_source(path, None)]
        words = ANSWERS[1:9] + options
        core = lambda: _radcon.analyse(source, words, None, "", "", None, "", False, True)
        text = core()
        msa = read_msa(path)
        assert radcon.analyse(msa, gene=first.gene, **keywords).pairs.equals(first.pairs)
        row = [os.path.basename(path), first.sequences, first.codons, len(first.pairs),
               best_time(run, args.repeats), best_time(lambda: (run(), read()), args.repeats),
               best_time(lambda: radcon.analyse(path, **keywords), args.repeats),
               best_time(lambda: radcon.analyse(msa, **keywords), args.repeats),
               best_time(core, args.repeats),
               best_time(lambda: (radcon._frame(text["pairs"]), radcon._frame(text["means"])), args.repeats)]
        cells = [str(x) for x in row[:4]] + [f"{1000 * x:.1f}" for pair in row[4:] for x in pair]
        lines.append("\t".join(cells))
        print(lines[-1], flush=True)

    genes = []
    for g in range(200):
        genes.append(os.path.join(work, f"gene{g:03d}.seq"))
        with open(genes[-1], "w") as out:
            subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), "--seed", str(g), "8", "300"],
                           stdout=out, check=True)
    command = [args.binary, *ANSWERS, "--table", table, "--means", means, *genes]
    run = lambda: subprocess.run(command, check=True)
    loop = lambda: [pd.concat(frames) for frames in zip(*((r.pairs, r.means) for r in map(radcon.analyse, genes)))]
    source = [_sources.alignment_source(path, None) for path in genes]
    core = lambda: _radcon.analyse(source, ANSWERS[1:9], None, "", "", None, "", True, False)
    text = core()
    batch = radcon.analyse_many(genes)
    assert loop()[0].reset_index(drop=True).equals(batch.pairs)
    row = ["200 genes, 8 x 300 each", 8, 300, len(batch.pairs),
           best_time(run, args.repeats), best_time(lambda: (run(), read()), args.repeats),
           best_time(lambda: radcon.analyse_many(genes), args.repeats), best_time(loop, args.repeats),
           best_time(core, args.repeats),
           best_time(lambda: (radcon._frame(text["pairs"]), radcon._frame(text["means"])), args.repeats)]
    lines.append("\t".join([str(x) for x in row[:4]] + [f"{1000 * x:.1f}" for pair in row[4:] for x in pair]))
    print(lines[-1], flush=True)

    os.makedirs(os.path.join(HERE, "results"), exist_ok=True)
    name = os.path.join(HERE, "results", "python-" + datetime.datetime.now().strftime("%Y-%m-%d-%H%M%S") + ".tsv")
    with open(name, "w") as out:
        out.write(f"# {os.uname().nodename} {os.uname().machine} {os.cpu_count()} cores\n" + "\n".join(lines) + "\n")
    print("\n".join(lines))
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
