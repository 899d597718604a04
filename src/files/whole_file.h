// The one reader of whole input files: alignments, group, clade and list files
// are read into memory at once, whether they come from a file, a pipe or
// standard input.
#pragma once

#include <cstddef>
#include <string>

namespace radcon {

struct WholeFile {
  enum Status {
    kRead,         // the whole text
    kCannotOpen,   // no such file, no permission, or a folder
    kCannotRead,   // a read failed part-way
    kTooLarge,     // the text holds the first 'limit' bytes of a longer file
    kDamaged,      // a gzip stream that does not inflate to its end ('detail' says why)
    kNeedsZlib,    // gzip-compressed, and this radcon was built without zlib
  };
  Status status = kCannotOpen;
  std::string text;
  std::string detail;
};

// Reads the file at 'path' ("-" is standard input), at most 'limit' bytes of it.
// With 'inflate', a gzip-compressed file (told by its first bytes, not its name)
// is inflated as it is read, and the limit counts the inflated text.
WholeFile readWholeFile(const std::string& path, std::size_t limit, bool inflate = false);

}  // namespace radcon
