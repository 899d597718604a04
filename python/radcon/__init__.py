"""radcon from Python: synonymous, nonsynonymous, radical and conservative sites
and differences of aligned protein-coding sequences, as pandas tables.

The module runs radcon's own core, the library the command is built from, in
this process: alignments straight from files or Biopython, no files in between,
errors as exceptions. Its tables are the command's --table and --means, value
for value: one row per pair of sequences (sites, differences, proportions,
Jukes-Cantor distances, standard errors, dN/dS, dR/dC and the tests of dN
against dS and of dR against dC), and the means over groups of pairs.

    >>> import radcon
    >>> from Bio import AlignIO
    >>> result = radcon.analyse(AlignIO.read("lysozymeLarge.fa", "fasta"), tstv=0.5)
    >>> result.pairs.nsmallest(5, "dR_dC")[["name1", "name2", "dR", "dC", "dR_dC"]]

analyse        one alignment: a Result with .pairs, .means and .settings
analyse_many   a batch: one table with a gene column, and the inputs that failed
RadconError    bad input, with the command's message (a ValueError)
UsageError     an option value the command would refuse (a RadconError)
__version__    the version of the radcon command the module was built with
"""
import dataclasses
import io
import numbers
import os
from collections.abc import Mapping
from typing import NamedTuple, Optional

import pandas as pd

from ._radcon import RadconError, UsageError, __version__
from . import _radcon, _sources

__all__ = ["analyse", "analyse_many", "Result", "BatchResult", "Settings", "RadconError", "UsageError",
           "__version__"]

_DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


class _Keyword(NamedTuple):
    name: str
    option: Optional[str]  # the command's option it stands for; None: taken apart here
    default: object
    doc: str


# The keywords of analyse and analyse_many, in the order help() shows them. One
# with an option is handed to the command's own option parser (its value written
# as a word, a flag when its default is False), so that an option of the command
# becomes a keyword by one line here.
_KEYWORDS = (
    _Keyword("correction", "--correction", 1,
             "1 (or any non-zero integer): synonymous sites from the weighted neighbour model; 0: from the fixed "
             "table in the Ts/Tv ratio (the dialogue's first answer)."),
    _Keyword("tstv", "--tstv", 0.5,
             "The transition/transversion ratio as the dialogue takes it: 0.5 is no bias (radcon's scale is half "
             "the kappa of PAML and the codon-model literature); below 0.00005 (0 or negative too) it falls back "
             "to 0.5; at most 1e6. The parameter the site model and the pathways use is twice this "
             "(Settings.tstv_parameter). 'estimate': each alignment's own, estimated from its fourfold-degenerate "
             "sites; the value used is in the tables' tstv column (and tstv_lower, tstv_upper of the means)."),
    _Keyword("site_model", "--site-model", None,
             "'neighbour' (None, the default: the original model) or 'mutation': each mutation weighed once by "
             "its target codon's frequency and the Ts/Tv ratio, mutations to stop codons lost; under equal "
             "selection its radical and conservative proportions are equal."),
    _Keyword("kaks", "--kaks", 1,
             "The Ka/Ks rate ratio that weights the mutational pathways, from 1e-6 to 1e6."),
    _Keyword("grouping", None, "charge",
             "The amino-acid grouping that tells radical from conservative changes: 'charge', 'polarity', 'my' "
             "(Miyata and Yasunaga), 'self' (the shipped self.div), the path of a group file, or the groups "
             "themselves, a list (or dict of name to letters) of strings of one-letter codes such as "
             "['RHK', 'DE']; every amino acid not listed makes one more group. A named grouping's file is looked "
             "for where the command looks (the current folder first), then in the module's own copy."),
    _Keyword("genetic_code", "--genetic-code", 1,
             "NCBI translation table number: 1 the standard code, 2 vertebrate mitochondrial, and so on (radcon "
             "--genetic-code list)."),
    _Keyword("drop_gapped_codons", "--drop-gapped-codons", False,
             "Remove every codon column with a gap or an ambiguous nucleotide in any sequence (aligners' output). "
             "Without it such a column is refused."),
    _Keyword("drop_stop_codons", "--drop-stop-codons", False,
             "Remove every codon column with a stop codon of the genetic code in any sequence. Without it a stop "
             "codon is analysed as a 21st amino acid (and noted)."),
    _Keyword("clades", None, None,
             "Groups of sequences for the means: a clade file's path, or a mapping of sequence name to clade "
             "label (one word). Every sequence needs exactly one clade. The means then have a row within each "
             "clade, between every two clades and for all pairs."),
    _Keyword("reference", None, None,
             "Only the pairs of the sequence of this name with every other, in alignment order."),
    _Keyword("bootstrap", "--bootstrap", None,
             "Also this many bootstrap replicates of the codon columns (10 to 100000): the means gain the "
             "boot_replicates, boot_se_dS ... boot_se_dC, boot_p_dN_dS and boot_p_dR_dC columns."),
    _Keyword("jackknife", "--jackknife", None,
             "Also the means again without each of this many blocks of consecutive codon columns (2 to 1000; 50 "
             "is a good choice), each part analysed afresh (its codon frequencies, sites and Ts/Tv estimate): the "
             "means gain jack_blocks, jack_se_dS ... jack_se_dC, jack_z_dN_dS, jack_p_dN_dS, jack_z_dR_dC and "
             "jack_p_dR_dC, the test that keeps its level when Ts/Tv is estimated. It costs as many analyses "
             "again."),
    _Keyword("expected_ratio", "--expected-ratio", False,
             "With jackknife: test mean dR against the dR/dC expected if radical and conservative changes were "
             "kept alike (the gene's codon model at each pair's divergence; the expected_dR_dC column, with "
             "expected_omega and expected_pairs_out) instead of "
             "against 1. Radical and conservative differences saturate at their own pace, so with a skewed "
             "composition dR/dC drifts above 1 as genes diverge even where selection treats them alike."),
    _Keyword("seed", "--seed", None,
             "The bootstrap's seed (None: 1); the same seed gives the same values for any number of threads."),
    _Keyword("profile", None, False,
             "Also the profile along the gene: .profile, the command's --profile, the means in windows of codon "
             "columns with q-values over each gene's windows."),
    _Keyword("window", "--window", None,
             "With profile=True: codons a window spans (None: 30; 1 gives a row per codon)."),
    _Keyword("step", "--step", None, "With profile=True: codons from one window to the next (None: 10)."),
    _Keyword("threads", "--threads", None,
             "Threads for the pairwise work, 1 to 1024 (None: every core). The tables are the same for any number."),
    _Keyword("max_memory", "--max-memory", None,
             "Refuse an alignment that needs more than this many megabytes (None: the memory available)."),
)
_GENE = _Keyword("gene", None, None,
                 "The gene column's value: by default the file's name without folder and extensions .gz .fa "
                 ".fasta .fas .fna .seq .phy .phylip .txt, as the command names it, or 'alignment' for an "
                 "alignment in memory.")
_RAISE = _Keyword("raise_errors", None, False,
                  "Raise RadconError for the first input (in order) that fails, instead of listing it in "
                  "BatchResult.failed.")


def _word(name, value):
    """An option's value as the command line would hold it (numbers in Python's
    own, locale-free notation)."""
    if isinstance(value, numbers.Integral):
        return str(int(value))
    if isinstance(value, numbers.Real):
        return repr(float(value))
    if isinstance(value, (str, os.PathLike)):
        return os.fsdecode(value)
    raise TypeError(f"{name} must be a number or a string, not {type(value).__name__}")


def _options(values):
    """The command-line words of the keywords that are options of the command."""
    words = []
    for k in _KEYWORDS:
        value = values[k.name]
        if k.option is None or value is None:
            continue
        if k.default is False:
            if value:
                words.append(k.option)
        else:
            words += [k.option, _word(k.name, value)]
    return words


def _take(function, given, keywords):
    """The keywords' values, defaults filled in; Python's own errors for unknown ones."""
    known = {k.name: k for k in keywords}
    for name in given:
        if name not in known:
            raise TypeError(f"{function}() got an unexpected keyword argument '{name}'")
    values = {k.name: given.get(k.name, k.default) for k in keywords}
    for k in keywords:
        if values[k.name] is None and k.default is not None:
            raise TypeError(f"{function}() needs a value for {k.name} (default {k.default!r}), not None")
    return values


def _with_keywords(keywords):
    """Gives a function taking **keywords the signature and the parameter list
    that help() shows, from the keyword table."""
    import inspect
    import textwrap

    def attach(function):
        first = list(inspect.signature(function).parameters.values())[0]
        function.__signature__ = inspect.Signature(
            [first] + [inspect.Parameter(k.name, inspect.Parameter.KEYWORD_ONLY, default=k.default)
                       for k in keywords])
        lines = []
        for k in keywords:
            lines.append(f"{k.name} : default {k.default!r}" + (f" (the command's {k.option})" if k.option else ""))
            lines += textwrap.wrap(k.doc, 76, initial_indent="    ", subsequent_indent="    ")
        function.__doc__ = function.__doc__.replace("{keywords}", "\n".join("    " + l for l in lines).lstrip())
        return function

    return attach


@dataclasses.dataclass(frozen=True)
class Settings:
    """What a run used: the four answers (tstv as given, a number or 'estimate',
    and the parameter the site model and pathways use: twice it, or 1.0 below
    0.0001; None when each alignment's own is estimated: Result.tstv holds it),
    the site model, the grouping's name and its groups (the amino acids of group
    1, 2, ..., in one-letter codes), the genetic code, and the options that shape
    the tables."""
    correction: int
    tstv: object
    tstv_parameter: Optional[float]
    site_model: str
    kaks: float
    grouping: str
    groups: tuple
    genetic_code: int
    genetic_code_name: str
    drop_gapped_codons: bool
    reference: Optional[str]
    threads: int


@dataclasses.dataclass(frozen=True, repr=False)
class Result:
    """One alignment's analysis.

    pairs        one row per pair: the command's --table (NA as NaN)
    means        means over groups of pairs: the command's --means
    profile      with profile=True, the means in windows along the gene: the
                 command's --profile (None otherwise)
    settings     the Settings used
    gene, file   the gene column's value, and the file read (None for an
                 alignment in memory)
    names        the sequences' names as radcon keeps them
    sequences, codons, codons_read
                 the alignment's size (codons_read: before any column was dropped)
    tstv         the Ts/Tv ratio the alignment was analysed with (typed scale)
    notes        what the command would have told its user (columns dropped,
                 stop codons, a Ts/Tv estimate that rests on little data or a
                 typed Ts/Tv far from it)
    """
    pairs: pd.DataFrame
    means: pd.DataFrame
    settings: Settings
    gene: str
    file: Optional[str]
    names: list
    sequences: int
    codons: int
    codons_read: int
    tstv: float
    notes: list
    profile: Optional[pd.DataFrame] = None

    def __repr__(self):
        return (f"<radcon.Result {self.gene}: {self.sequences} sequences, {self.codons} codons, "
                f"{len(self.pairs)} pairs>")


@dataclasses.dataclass(frozen=True, repr=False)
class BatchResult:
    """A batch's analysis.

    pairs     one row per pair of every gene that succeeded, the gene column
              first, genes in the order given: the command's --table
    means     the means of every such gene: the command's --means
    profile   with profile=True, their profiles: the command's --profile
    genes     one row per gene that succeeded: gene, file, sequences, codons,
              codons_read, tstv (the Ts/Tv it was analysed with)
    failed    one row per input that failed: gene, file, message (the message the
              command prints for it)
    settings  the Settings used
    notes     what the command would have told its user, "gene: note" each
    """
    pairs: pd.DataFrame
    means: pd.DataFrame
    genes: pd.DataFrame
    failed: pd.DataFrame
    settings: Settings
    notes: list
    profile: Optional[pd.DataFrame] = None

    def __repr__(self):
        return (f"<radcon.BatchResult {len(self.genes)} genes, {len(self.pairs)} pairs, "
                f"{len(self.failed)} failed>")


# The tables' text columns; every other column is a number, NA where undefined.
_TEXT_COLUMNS = {"gene", "name1", "name2", "clade1", "clade2", "site_model"}


def _frame(data):
    """A table as --table and --means write it, read as pandas reads those files,
    but with only NA as a missing number and names taken literally."""
    columns = data[:data.index(b"\n")].decode().split("\t")
    text = [c for c in columns if c in _TEXT_COLUMNS]
    frame = pd.read_csv(io.BytesIO(data), sep="\t", quoting=3, dtype={c: str for c in text},
                        keep_default_na=False, na_values={c: ["NA"] for c in columns if c not in _TEXT_COLUMNS},
                        float_precision="round_trip", encoding_errors="replace")
    if frame.empty:
        frame = frame.astype({c: float for c in columns if c not in _TEXT_COLUMNS})
    return frame


def _run(sources, values, batch):
    grouping, groups = _sources.grouping_source(values["grouping"])
    clade_file, clades = _sources.clades_source(values["clades"])
    reference = values["reference"]
    words = _options(values) + ["--grouping", grouping]
    if values["profile"]:
        words += ["--profile", "-"]
    elif values["window"] is not None or values["step"] is not None:
        raise UsageError("window and step need profile=True, the table with windows")
    out = _radcon.analyse(sources, words, groups, _DATA, clade_file, clades,
                          "" if reference is None else str(reference), batch, values.get("raise_errors", True))
    settings = Settings(**out["settings"], drop_gapped_codons=bool(values["drop_gapped_codons"]),
                        reference=None if reference is None else str(reference))
    return out, settings


@_with_keywords(_KEYWORDS + (_GENE,))
def analyse(alignment, **keywords):
    """Analyses one alignment as the command does, and returns its tables.

    radcon counts, for every sequence, synonymous and nonsynonymous sites and
    splits the nonsynonymous ones into radical (a change to an amino acid of
    another group) and conservative ones; for every pair of sequences it counts
    the differences of each kind over all mutational pathways, weighted by codon
    frequencies, the Ts/Tv ratio, the Ka/Ks ratio and the radical/conservative
    ratio of the whole alignment; then the proportions, their Jukes-Cantor
    distances, standard errors, and the tests of dN against dS and of dR against
    dC, per pair and (with their covariances) for the means over groups of pairs.

    Parameters
    ----------
    alignment : the aligned protein-coding sequences: a path (native radcon
        format, PHYLIP or aligned FASTA, gzip-compressed or not; told by the
        content), a Biopython MultipleSeqAlignment or Bio.Align.Alignment (names
        are the records' ids), or a sequence (or dict) of (name, sequence) pairs.
        Names are kept whole, as in the command.
    {keywords}

    Returns
    -------
    Result, with .pairs (the --table columns: gene, name1, name2, S_sites ...
    C_sites, S_diffs ... C_diffs, pS ... pC, dS ... dC, se_pS ... se_dC, dN_dS,
    dR_dC, genetic_code, cov_dN_dS, z_dN_dS, p_dN_dS, cov_dR_dC, z_dR_dC, p_dR_dC),
    .means (gene, clade1, clade2, pairs, pairs_undefined, the means pS ... dC,
    their standard errors, dN_dS, dR_dC, and the tests z and p of both), and
    .settings (and with profile=True .profile, the --profile columns). A value
    that does not exist (a proportion of 0.75 or more has no
    Jukes-Cantor distance; 0/0) is NaN.

    Raises
    ------
    RadconError (a ValueError) for bad input, with the command's message: an
    alignment that cannot be read, an answer out of range, a group or clade file
    that does not fit, too little memory. UsageError (a RadconError) for a value
    the command's option parser refuses; its message names the command's option
    (--threads for threads, and so on). TypeError for an unknown keyword or a
    value of the wrong type. KeyboardInterrupt stops a long run between batches
    of pairs. Nothing is printed and nothing is written.

    Example
    -------
    >>> r = radcon.analyse("lysozymeLarge.seq", tstv=0.5, kaks=1, grouping="charge")
    >>> r.pairs.sort_values("dR_dC").head()[["name1", "name2", "dR", "dC", "dR_dC"]]
    """
    values = _take("analyse", keywords, _KEYWORDS + (_GENE,))
    out, settings = _run([_sources.alignment_source(alignment, values["gene"])], values, batch=False)
    gene = out["genes"][0]
    return Result(pairs=_frame(out["pairs"]), means=_frame(out["means"]), settings=settings, gene=gene["gene"],
                  file=gene["file"] or None, names=gene["names"], sequences=gene["sequences"],
                  codons=gene["codons"], codons_read=gene["codons_read"], tstv=gene["tstv"], notes=gene["notes"],
                  profile=_frame(out["profile"]) if values["profile"] else None)


@_with_keywords(_KEYWORDS + (_RAISE,))
def analyse_many(alignments, **keywords):
    """Analyses a batch of alignments as the command does with several files,
    and returns one pairs table and one means table with the gene column.

    Every alignment is analysed with the same settings; the genes are spread
    over the threads. An alignment that fails costs only its own rows: it is
    listed in .failed with the command's message, and the rest are analysed
    (raise_errors=True raises instead).

    Parameters
    ----------
    alignments : a sequence of paths (the gene of each is its file's name
        without folder and extensions; two files of one gene are refused with
        UsageError, before any work), or a dict of gene to alignment, each a path
        or an alignment in memory as analyse takes them.
    {keywords}

    Returns
    -------
    BatchResult, with .pairs, .means, .genes, .failed and .settings (and
    .profile with profile=True).

    Example
    -------
    >>> import glob
    >>> batch = radcon.analyse_many(sorted(glob.glob("orthologs/*.fa.gz")), tstv=1.5)
    >>> batch.means[batch.means.clade1 == "all"].set_index("gene").sort_values("dR_dC")
    """
    values = _take("analyse_many", keywords, _KEYWORDS + (_RAISE,))
    if _sources._is_path(alignments):
        raise TypeError("analyse_many takes a sequence of alignments (analyse takes one)")
    if isinstance(alignments, Mapping):
        sources = [_sources.alignment_source(a, str(gene)) for gene, a in alignments.items()]
    else:
        sources = []
        for a in alignments:
            if not _sources._is_path(a):
                raise TypeError("analyse_many takes alignments in memory as a dict of gene to alignment")
            sources.append(_sources.alignment_source(a, None))
    out, settings = _run(sources, values, batch=True)
    done = [g for g in out["genes"] if not g["error"]]
    genes = pd.DataFrame({"gene": [g["gene"] for g in done], "file": [g["file"] or None for g in done],
                          "sequences": [g["sequences"] for g in done], "codons": [g["codons"] for g in done],
                          "codons_read": [g["codons_read"] for g in done], "tstv": [g["tstv"] for g in done]})
    failed = [g for g in out["genes"] if g["error"]]
    failed = pd.DataFrame({"gene": [g["gene"] for g in failed], "file": [g["file"] or None for g in failed],
                           "message": [g["error"] for g in failed]})
    notes = [f"{g['gene']}: {note}" for g in done for note in g["notes"]]
    return BatchResult(pairs=_frame(out["pairs"]), means=_frame(out["means"]), genes=genes, failed=failed,
                       settings=settings, notes=notes,
                       profile=_frame(out["profile"]) if values["profile"] else None)
