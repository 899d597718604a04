"""What the command reads from files, built as the text of those files: an
alignment as aligned FASTA, a grouping as a group file, clades as a clade file.
radcon's own readers then take the text, so their checks and messages are the
command's."""
import os
from collections.abc import Mapping

from ._radcon import RadconError

GROUPING_NAMES = ("charge", "polarity", "my", "self")
AMINO_ACIDS = frozenset("ACDEFGHIKLMNPQRSTVWY")


def _is_path(value):
    return isinstance(value, (str, bytes, os.PathLike))


def one_line(text):
    """A gene name as the tables hold it: tabs and line breaks become blanks."""
    return str(text).replace("\t", " ").replace("\r", " ").replace("\n", " ")


def _rows(alignment):
    """(name, sequence) of every sequence of an in-memory alignment."""
    if hasattr(alignment, "coordinates") and hasattr(alignment, "sequences"):
        # Biopython's Bio.Align.Alignment: row k with its gaps is alignment[k].
        return [(getattr(s, "id", f"seq{k + 1}"), alignment[k]) for k, s in enumerate(alignment.sequences)]
    items = alignment.items() if isinstance(alignment, Mapping) else alignment
    rows = []
    for k, item in enumerate(items):
        if hasattr(item, "seq") and hasattr(item, "id"):  # a SeqRecord, as MultipleSeqAlignment holds them
            rows.append((item.id, item.seq))
            continue
        try:
            name, sequence = item
        except (TypeError, ValueError):
            raise TypeError(f"sequence {k + 1} of the alignment is neither a SeqRecord nor a (name, sequence) "
                            f"pair: {type(item).__name__}") from None
        rows.append((name, sequence))
    return rows


def alignment_source(alignment, gene):
    """(file, text, gene) for the core: a path is read as the command reads it;
    anything else becomes aligned FASTA."""
    if _is_path(alignment):
        return (os.fsdecode(alignment), None, one_line(gene) if gene is not None else "")
    if not hasattr(alignment, "__iter__"):
        raise TypeError("alignment must be a path, a Biopython alignment or a sequence of (name, sequence) "
                        f"pairs, not {type(alignment).__name__}")
    text = []
    for k, (name, sequence) in enumerate(_rows(alignment)):
        name = str(name)
        if "\n" in name or "\r" in name:
            raise RadconError(f"Sequence {k + 1} ({name!r}): a name cannot hold a line break.")
        # Line breaks inside a sequence would let a '>' begin a record; as blanks,
        # the reader skips them and names any stray character.
        sequence = str(sequence).replace("\r", " ").replace("\n", " ")
        text.append(f">{name}\n{sequence}\n")
    if not text:
        raise RadconError("The alignment holds no sequence.")
    return ("", "".join(text), one_line(gene if gene is not None else "alignment"))


def grouping_source(grouping):
    """(the word for --grouping, (group file text, where) or None)."""
    if isinstance(grouping, os.PathLike) or isinstance(grouping, bytes):
        path = os.fsdecode(grouping)
        return ("./" + path if path in GROUPING_NAMES else path), None
    if isinstance(grouping, str):
        return grouping, None  # a name or a path, as the command takes it
    groups = list(grouping.values()) if isinstance(grouping, Mapping) else list(grouping)
    groups = [g if isinstance(g, str) else "".join(g) for g in groups]
    seen = {}
    for k, letters in enumerate(groups):
        for a in letters:
            if a in seen and seen[a] != k:
                raise RadconError(f"The amino acid {a} is in groups {seen[a] + 1} and {k + 1}; "
                                  "an amino acid belongs to one group.")
            seen[a] = k
    # A group file lists all groups but the last, which holds every amino acid
    # not listed; a grouping that lists all twenty leaves its last group to that rule.
    listed = groups
    if groups and set(seen) == AMINO_ACIDS and set(groups[-1]) == AMINO_ACIDS - set("".join(groups[:-1])):
        listed = groups[:-1]
    text = f"{len(listed) + 1}\n" + "".join(f"{len(g)} {g}\n" for g in listed)
    return "self", (text, "(grouping argument)")


def clades_source(clades):
    """(clade file path, (clade file text, where) or None)."""
    if clades is None:
        return "", None
    if _is_path(clades):
        return os.fsdecode(clades), None
    if not hasattr(clades, "items"):
        raise TypeError(f"clades must be a path or a mapping of sequence name to clade, not {type(clades).__name__}")
    lines = []
    for name, label in clades.items():
        name, label = str(name), str(label)
        if "\n" in name or "\r" in name:
            raise RadconError(f"Clades: the name {name!r} holds a line break.")
        if not label or any(c.isspace() for c in label):
            raise RadconError(f"Clades: the clade of \"{name}\" must be one word, not {label!r}.")
        lines.append(f"{name}\t{label}\n")
    return "", ("".join(lines), "(clades argument)")
