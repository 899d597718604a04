"""Every genetic code radcon carries, letter by letter, against Biopython's copy of
NCBI's translation tables (Debian's python3-biopython): a typo in one letter, a
missing table or one too many fails."""
import re
import sys

from Bio.Data import CodonTable

source = open(sys.argv[1], encoding="utf-8").read()
ours = {int(i): letters for i, letters in re.findall(r'\{(\d+),\s*"[^"]*",\s*"([A-Z*]{64})"\}', source)}
theirs = CodonTable.unambiguous_dna_by_id
bases = "TCAG"
codons = [a + b + c for a in bases for b in bases for c in bases]
problems = []
if sorted(ours) != sorted(theirs):
    problems.append(f"tables {sorted(ours)} here, {sorted(theirs)} in Biopython")
for table_id in sorted(set(ours) & set(theirs)):
    # Where a codon is a stop or an amino acid by context (27, 28, 31), Biopython
    # gives it both; radcon reads the amino acid.
    expected = "".join(theirs[table_id].forward_table.get(c, "*") for c in codons)
    if ours[table_id] != expected:
        wrong = [f"{c}: {o} here, {e} there" for c, o, e in zip(codons, ours[table_id], expected) if o != e]
        problems.append(f"table {table_id}: " + "; ".join(wrong))
if problems:
    print("\n".join(problems))
    sys.exit(1)
print(f"{len(ours)} genetic codes agree with Biopython's NCBI tables")
