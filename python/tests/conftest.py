"""What the module's tests share: the radcon command to compare with, the shared
real alignments, generated ones, and a cell-by-cell comparison of a DataFrame
with a table the command wrote."""
import math
import os
import random
import subprocess

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SHARED = os.environ.get("RADCON_SHARED_DATA", os.path.join(ROOT, "..", "shared", "data"))
BINARY = os.path.abspath(os.environ.get("RADCON_BINARY", os.path.join(ROOT, "build-dev", "radcon")))
TEXT_COLUMNS = {"gene", "name1", "name2", "clade1", "clade2", "site_model"}


def shared(name):
    return os.path.join(SHARED, name)


def run_command(args, cwd):
    """Runs the command: its status, standard output and standard error."""
    if not os.access(BINARY, os.X_OK):
        pytest.skip(f"no radcon command at {BINARY} (set RADCON_BINARY)")
    r = subprocess.run([BINARY, *args], cwd=cwd, capture_output=True, text=True)
    return r.returncode, r.stdout, r.stderr


def command_message(args, cwd):
    """The message the command gives when it refuses a run: its status and the text."""
    status, out, err = run_command(args, cwd)
    if status == 2:
        return status, err.splitlines()[0].removeprefix("radcon: ")
    return status, out.strip()


def read_tsv(path):
    """A table the command wrote: its header and rows of cells, as text."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    return lines[0].split("\t"), [line.split("\t") for line in lines[1:]]


def assert_frame_is_table(frame, path):
    """Every column, every row, every value of the DataFrame equals the command's
    table: text as written, numbers as the decimal written (parsed exactly), NA
    as NaN."""
    header, rows = read_tsv(path)
    assert list(frame.columns) == header
    assert len(frame) == len(rows)
    for r, row in enumerate(rows):
        for c, (column, cell) in enumerate(zip(header, row)):
            value = frame.iat[r, c]
            if column in TEXT_COLUMNS:
                assert value == cell, (r, column)
            elif cell == "NA":
                assert math.isnan(value), (r, column)
            else:
                assert value == float(cell), (r, column, value, cell)


SENSE = [a + b + c for a in "TCAG" for b in "TCAG" for c in "TCAG" if a + b + c not in ("TAA", "TAG", "TGA")]


def generated(sequences, codons, seed=1, changes=0.2):
    """(name, sequence) pairs: a random root of sense codons, each sequence with a
    share of its codons replaced by random sense codons."""
    rng = random.Random(seed)
    root = [rng.choice(SENSE) for _ in range(codons)]
    return [(f"s{k + 1}", "".join(rng.choice(SENSE) if rng.random() < changes else c for c in root))
            for k in range(sequences)]


def write_native(path, pairs):
    """An alignment in the native format."""
    with open(path, "w") as f:
        f.write(f"{len(pairs)} {len(pairs[0][1])}\n" + "".join(f"{n}\n{s}\n" for n, s in pairs))
    return str(path)
