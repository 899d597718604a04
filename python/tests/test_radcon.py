"""The radcon module against the radcon command: the same tables, value for
value, from files and from Biopython; the command's messages for bad input; a
batch with a broken file; threads, interrupts and the GIL."""
import _thread
import math
import os
import shutil
import threading
import time

import pandas as pd
import pytest
from Bio import AlignIO, SeqIO
from Bio.Align import MultipleSeqAlignment
from Bio.Seq import Seq
from Bio.SeqRecord import SeqRecord

import radcon
from conftest import ROOT, assert_frame_is_table, command_message, generated, run_command, shared, write_native

CLADES = os.path.join(ROOT, "examples", "lysozyme.clades")
ANSWERS = ["-c", "1", "-t", "0.5", "-k", "1", "-g", "charge"]  # the module's defaults, written out
TABLES = ["-q", "--reports", "none", "--table", "pairs.tsv", "--means", "means.tsv"]
# The three shared alignments, each under settings that exercise one more keyword.
CASES = [
    ("abglobin.seq", dict(correction=0, tstv=2, kaks=0.5, grouping="polarity"),
     ["-c", "0", "-t", "2", "-k", "0.5", "-g", "polarity"]),
    ("lysozymeLarge.seq", dict(clades=CLADES), ["--clades", CLADES]),
    ("lysozymeLarge.seq", dict(reference="12.rhesus_Mmu", grouping="my", threads=1),
     ["-g", "my", "--reference", "12.rhesus_Mmu", "--threads", "1"]),
    ("mtCDNApri.phy", dict(genetic_code=2, tstv=1.5, drop_stop_codons=True),
     ["--genetic-code", "2", "-t", "1.5", "--drop-stop-codons"]),
    # The resampled errors' columns after the analytic ones.
    ("lysozymeLarge.seq", dict(clades=CLADES, tstv="estimate", site_model="mutation", bootstrap=20, jackknife=5,
                               expected_ratio=True),
     ["--clades", CLADES, "-t", "estimate", "--site-model", "mutation", "--bootstrap", "20", "--jackknife", "5",
      "--expected-ratio"]),
]


@pytest.mark.parametrize("name, keywords, options", CASES)
def test_tables_equal_the_command(tmp_path, name, keywords, options):
    status, _, err = run_command(ANSWERS + TABLES + options + [shared(name)], tmp_path)
    assert status == 0, err
    result = radcon.analyse(shared(name), **keywords)
    assert_frame_is_table(result.pairs, tmp_path / "pairs.tsv")
    assert_frame_is_table(result.means, tmp_path / "means.tsv")
    assert result.gene == name.split(".")[0] and result.file == shared(name)
    n = result.sequences
    assert len(result.pairs) == (n - 1 if "reference" in keywords else n * (n - 1) // 2)


def test_undefined_values_are_nan_and_numbers_have_their_types():
    pairs = radcon.analyse(shared("lysozymeLarge.seq")).pairs
    # Pairs without a synonymous difference have dS = 0 and no dN/dS.
    no_synonymous = pairs["S_diffs"] == 0
    assert no_synonymous.any() and pairs.loc[no_synonymous, "dN_dS"].isna().all()
    assert pairs["genetic_code"].dtype.kind == "i" and pairs["dR"].dtype.kind == "f"
    assert pairs["name1"].dtype == object


def test_settings_are_those_used():
    s = radcon.analyse(shared("abglobin.seq")).settings
    assert (s.correction, s.tstv, s.kaks, s.grouping) == (1, 0.5, 1.0, "Charge")
    # The charge groups in amino-acid index order (ARNDCQEGHILKMFPSTWYV): positive, negative, the rest.
    assert s.groups == ("RHK", "DE", "ANCQGILMFPSTWYV")
    assert (s.genetic_code, s.genetic_code_name, s.drop_gapped_codons, s.reference) == (1, "Standard", False, None)
    # The Ts/Tv parameter is twice the ratio given; below 0.0001 it falls back to 1 (no bias).
    for tstv, parameter in [(0.5, 1.0), (2, 4.0), (0.00005, 0.0001), (0.00004, 1.0), (0, 1.0), (-3, 1.0)]:
        assert radcon.analyse(shared("abglobin.seq"), tstv=tstv).settings.tstv_parameter == parameter
    mt = radcon.analyse(shared("mtCDNApri.phy"), genetic_code=2, grouping="polarity").settings
    assert (mt.genetic_code_name, mt.groups) == ("Vertebrate Mitochondrial", ("RNDCQEGHKSTY", "AILMFPWV"))


def test_groupings_given_as_lists_dicts_and_files_are_the_named_ones(tmp_path, monkeypatch):
    charge = radcon.analyse(shared("lysozymeLarge.seq"))
    (tmp_path / "mine.div").write_text("3\n3 RHK\n2 DE\n")
    for grouping in (["RHK", "DE"], ("DE", "RHK"), {"+": "RHK", "-": "DE", "0": "ANCQGILMFPSTWYV"},
                     str(tmp_path / "mine.div")):
        other = radcon.analyse(shared("lysozymeLarge.seq"), grouping=grouping)
        pd.testing.assert_frame_equal(other.pairs, charge.pairs)
        assert sorted(other.settings.groups) == sorted(charge.settings.groups)
        assert other.settings.grouping.startswith("Self-defined")
    # A group file of a grouping's name in the current folder comes first, as for the command.
    monkeypatch.chdir(tmp_path)
    (tmp_path / "charge.div").write_text("2\n2 DE\n")
    assert radcon.analyse(shared("abglobin.seq")).settings.groups == ("DE", "ARNCQGHILKMFPSTWYV")


def native_pairs(path):
    """The (name, sequence) pairs of a native-format file, names whole as radcon keeps them."""
    lines = open(path).read().splitlines()
    return [(lines[k], lines[k + 1]) for k in range(1, len(lines), 2)]


def test_biopython_and_pairs_equal_file_input(tmp_path):
    path = shared("lysozymeLarge.seq")
    expected = radcon.analyse(path, clades=CLADES)
    pairs = native_pairs(path)
    msa = MultipleSeqAlignment([SeqRecord(Seq(s), id=n, description="") for n, s in pairs])
    SeqIO.write(msa, tmp_path / "lyso.fa", "fasta")
    clades = dict(line.split("\t") for line in open(CLADES).read().splitlines() if not line.startswith("#"))
    for alignment in (pairs, dict(pairs), msa, AlignIO.read(tmp_path / "lyso.fa", "fasta"), str(tmp_path / "lyso.fa")):
        got = radcon.analyse(alignment, clades=clades, gene="lysozymeLarge")
        pd.testing.assert_frame_equal(got.pairs, expected.pairs)
        pd.testing.assert_frame_equal(got.means, expected.means)
        assert got.names == [n for n, _ in pairs]
    assert radcon.analyse(pairs).gene == "alignment" and radcon.analyse(pairs).file is None


def test_gapped_codons_are_dropped_with_the_commands_note(tmp_path):
    fasta = ">a\nATGAAACTTTGG\n>b\nATG---CTTTGG\n>c\nATGAAACTNTGG\n"
    (tmp_path / "gapped.fa").write_text(fasta)
    status, out, _ = run_command(ANSWERS + ["--drop-gapped-codons", "--reports", "none", "--table", "t.tsv",
                                            "gapped.fa"], tmp_path)
    assert status == 0
    result = radcon.analyse([("a", "ATGAAACTTTGG"), ("b", "ATG---CTTTGG"), ("c", "ATGAAACTNTGG")],
                            drop_gapped_codons=True)
    # Codon 2 holds a gap, codon 3 an N: two of four go.
    assert result.notes == ["Removed 2 of 4 codons with gaps or ambiguous nucleotides."]
    assert out.splitlines()[0] == result.notes[0]
    assert (result.codons, result.codons_read) == (2, 4)


GOOD = "3 12\nhuman\nATGAAACTTTGG\nchimp\nATGAAGCTTTGG\nmouse\nATGCGACTATGG\n"
# (alignment file's text, other files, keywords, the command's options): each
# refused by the command, with status 1 (RadconError) or 2 (UsageError).
BAD = [
    (None, {}, {}, []),
    ("2 10\na\nATGAAACTTT\nb\nATGAAGCTTT\n", {}, {}, []),
    (">a\nATG-AA\n>b\nATGCAA\n", {}, {}, []),
    (GOOD, {}, {"tstv": "abc"}, ["-t", "abc"]),
    (GOOD, {}, {"kaks": 0}, ["-k", "0"]),
    (GOOD, {}, {"correction": 1.5}, ["-c", "1.5"]),
    (GOOD, {}, {"genetic_code": 7}, ["--genetic-code", "7"]),
    (GOOD, {}, {"threads": 0}, ["--threads", "0"]),
    (GOOD, {}, {"max_memory": 0.5}, ["--max-memory", "0.5"]),
    (GOOD, {}, {"grouping": "missing.div"}, ["-g", "missing.div"]),
    (GOOD, {"bad.div": "3\n3 RHX\n2 DE\n"}, {"grouping": "bad.div"}, ["-g", "bad.div"]),
    (GOOD, {"c.txt": "human ape\nmonkey old\n"}, {"clades": "c.txt"}, ["--clades", "c.txt"]),
    (GOOD, {}, {"reference": "gorilla"}, ["--reference", "gorilla"]),
]


@pytest.mark.parametrize("alignment, files, keywords, options", BAD)
def test_bad_input_raises_the_commands_message(tmp_path, monkeypatch, alignment, files, keywords, options):
    monkeypatch.chdir(tmp_path)
    for name, text in {"in.seq": alignment, **files}.items():
        if text is not None:
            (tmp_path / name).write_text(text)
    status, message = command_message(ANSWERS + TABLES + options + ["in.seq"], tmp_path)
    assert status in (1, 2) and message
    with pytest.raises(radcon.RadconError) as caught:
        radcon.analyse("in.seq", **keywords)
    assert str(caught.value) == message
    assert isinstance(caught.value, ValueError)
    assert isinstance(caught.value, radcon.UsageError) == (status == 2)


def test_refusals_of_the_module_itself():
    with pytest.raises(radcon.RadconError, match="line break"):
        radcon.analyse([("a\nb", "ATG"), ("c", "ATG")])
    with pytest.raises(radcon.RadconError, match="must be one word"):
        radcon.analyse([("a", "ATG"), ("c", "ATG")], clades={"a": "x y", "c": "z"})
    with pytest.raises(radcon.RadconError, match="in groups 1 and 2"):
        radcon.analyse([("a", "ATG"), ("c", "ATG")], grouping=["RHK", "KDE"])
    with pytest.raises(radcon.RadconError, match="no sequence"):
        radcon.analyse([])
    with pytest.raises(radcon.UsageError, match="profile=True"):
        radcon.analyse(GOOD, window=5)
    assert radcon.analyse([("a", "ATGAAA"), ("b", "ATGAAG")]).profile is None
    for call in (lambda: radcon.analyse(GOOD, colour="red"), lambda: radcon.analyse(42),
                 lambda: radcon.analyse([("a", "ATG")], tstv=None), lambda: radcon.analyse_many("x.seq"),
                 lambda: radcon.analyse_many([[("a", "ATG")]])):
        with pytest.raises(TypeError):
            call()


def test_batch_with_a_broken_file_equals_the_command(tmp_path):
    broken = tmp_path / "broken.seq"
    broken.write_text("2 10\na\nATGAAACTTT\nb\nATGAAGCTTT\n")
    small = write_native(tmp_path / "small.seq", generated(6, 40))
    files = [shared("abglobin.seq"), str(broken), shared("lysozymeLarge.seq"), small]
    windows = ["--profile", "profile.tsv", "--window", "40", "--step", "15"]
    status, _, err = run_command(ANSWERS + TABLES + windows + files, tmp_path)
    assert status == 1 and f"radcon: {broken}: Non-coding sequences!" in err.splitlines()
    batch = radcon.analyse_many(files, profile=True, window=40, step=15)
    assert_frame_is_table(batch.pairs, tmp_path / "pairs.tsv")
    assert_frame_is_table(batch.means, tmp_path / "means.tsv")
    assert_frame_is_table(batch.profile, tmp_path / "profile.tsv")
    assert batch.failed.to_dict("records") == [{"gene": "broken", "file": str(broken),
                                                "message": "Non-coding sequences!"}]
    assert list(batch.genes.gene) == ["abglobin", "lysozymeLarge", "small"]
    assert list(batch.genes.sequences) == [5, 19, 6] and list(batch.genes.codons) == [285, 130, 40]
    with pytest.raises(radcon.RadconError, match=f"^{broken}: Non-coding sequences!$"):
        radcon.analyse_many(files, raise_errors=True)


def test_batch_refuses_two_files_of_one_gene_and_takes_genes_in_memory(tmp_path):
    shutil.copy(shared("abglobin.seq"), tmp_path / "abglobin.fa")
    files = [shared("abglobin.seq"), str(tmp_path / "abglobin.fa")]
    status, message = command_message(ANSWERS + TABLES + files, tmp_path)
    with pytest.raises(radcon.UsageError) as caught:
        radcon.analyse_many(files)
    assert status == 2 and str(caught.value) == message
    batch = radcon.analyse_many({"one": generated(4, 30, seed=1), "two": shared("abglobin.seq")})
    assert list(batch.pairs.gene.unique()) == ["one", "two"] and list(batch.means.gene) == ["one", "two"]
    assert list(batch.genes.file) == [None, shared("abglobin.seq")]
    assert radcon.analyse_many([]).pairs.empty


def test_threads_change_nothing():
    alignment = generated(30, 60, seed=3)  # 435 pairs: two batches of pairs
    one = radcon.analyse(alignment, threads=1)
    for threads in (2, 3):
        pd.testing.assert_frame_equal(radcon.analyse(alignment, threads=threads).pairs, one.pairs)
    genes = {f"g{k}": generated(5, 30, seed=k) for k in range(6)}
    serial = radcon.analyse_many(genes, threads=1)
    pd.testing.assert_frame_equal(radcon.analyse_many(genes, threads=3).pairs, serial.pairs)
    pd.testing.assert_frame_equal(radcon.analyse_many(genes, threads=3).means, serial.means)


def long_alignment():
    """An alignment that takes at least a second, and that time: longer
    sequences until it does (the build may be optimised or not)."""
    codons = 40
    while True:
        alignment = generated(100, codons, seed=5)
        start = time.monotonic()
        radcon.analyse(alignment, threads=2)
        took = time.monotonic() - start
        if took >= 1.0:
            return alignment, took
        codons *= min(16, math.ceil(1.2 / max(took, 0.01)))


def test_interrupt_stops_a_long_run_and_the_gil_is_released():
    alignment, full = long_alignment()
    timer = threading.Timer(full / 10, _thread.interrupt_main)
    start = time.monotonic()
    timer.start()
    with pytest.raises(KeyboardInterrupt):
        radcon.analyse(alignment, threads=2)
    assert time.monotonic() - start < full / 2
    assert len(radcon.analyse(alignment[:3]).pairs) == 3  # and the module goes on working

    # Python runs beside an analysis in another thread: no long gap between its steps.
    worker = threading.Thread(target=radcon.analyse, args=(alignment,), kwargs={"threads": 1})
    worker.start()
    gap, last = 0.0, time.monotonic()
    while worker.is_alive():
        time.sleep(0.001)
        now = time.monotonic()
        gap, last = max(gap, now - last), now
    assert gap < full / 4


def test_nothing_is_printed_and_the_version_is_the_commands(capfd, tmp_path):
    broken = tmp_path / "broken.seq"
    broken.write_text("nothing")
    radcon.analyse(shared("abglobin.seq"), drop_gapped_codons=True)
    radcon.analyse_many([shared("abglobin.seq"), str(broken)])
    with pytest.raises(radcon.RadconError):
        radcon.analyse(str(broken))
    assert capfd.readouterr() == ("", "")
    status, out, _ = run_command(["--version"], tmp_path)
    assert out == f"radcon {radcon.__version__}\n"
