// A tab-separated table of the profile along the gene: one row per window of
// codon columns and group of pairs, the means of --means taken over the
// window's codons, with Benjamini-Hochberg q-values over the group's windows.
#pragma once

#include <string>
#include <vector>

#include "reports/text_buffer.h"
#include "stats/profile.h"

namespace radcon {

std::vector<std::string> profileTableColumns();

// The rows of one alignment. start and end are codon columns from 1 (both in
// the window), original_start and original_end the same columns as numbered in
// the file ('originalColumn' gives each column's, from 0) when columns were
// dropped; labels names the clades.
void appendProfileRows(TextBuffer& out, const std::string& gene, const std::vector<ProfileRow>& rows,
                       const std::vector<ProfileWindow>& windows, const std::vector<int>& originalColumn,
                       const std::vector<std::string>& labels);

}  // namespace radcon
