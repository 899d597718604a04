#include "input/sequence_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef RADCON_HAVE_ZLIB
#include <zlib.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>

#include "codon/genetic_code.h"
#include "input/number_words.h"
#include "util/error.h"

namespace radcon {

namespace {

// Every source hands on every line end as '\n': LF, CR LF, and the CR alone of
// old Mac files.
#ifndef RADCON_HAVE_ZLIB
struct FileSource {
  std::FILE* f;
  int get() {
    const int c = std::getc(f);
    if (c != '\r') return c;
    const int d = std::getc(f);
    if (d != '\n' && d != EOF) std::ungetc(d, f);
    return '\n';
  }
};
#endif

#ifdef RADCON_HAVE_ZLIB
struct GzSource {
  gzFile f;
  int get() {
    const int c = gzgetc(f);
    if (c != '\r') return c;
    const int d = gzgetc(f);
    if (d != '\n' && d != EOF) gzungetc(d, f);
    return '\n';
  }
};
#endif

struct TextSource {
  const std::string& text;
  std::size_t pos = 0;
  int get() {
    if (pos >= text.size()) return EOF;
    const int c = static_cast<unsigned char>(text[pos++]);
    if (c != '\r') return c;
    if (pos < text.size() && text[pos] == '\n') ++pos;
    return '\n';
  }
};

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isGapOrAmbiguous(int c) {
  if (c == '-' || c == '.' || c == '?') return true;
  const int u = (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
  switch (u) {
    case 'N': case 'R': case 'Y': case 'K': case 'M': case 'S': case 'W':
    case 'B': case 'D': case 'H': case 'V': case 'U':
      return true;
    default:
      return false;
  }
}

// The code of a sequence letter, or -1 for a character that is not allowed.
int letterCode(int c, bool allowGaps) {
  if (c == EOF) return -1;
  const int n = dna(static_cast<char>(c));
  if (n >= 0) return n;
  if (allowGaps && isGapOrAmbiguous(c)) return kGapOrAmbiguous;
  return -1;
}

[[noreturn]] void badLetter(int seq, const std::string& name, const std::string& where, int c, bool allowGaps) {
  std::string m = "Sequence " + std::to_string(seq + 1) + " (\"" + displayName(name) + "\"), " + where + ": " +
                  describeChar(c) + " is not a nucleotide; only T, C, A and G (either case) are allowed";
  if (c == '\n' || c == '\r') m += ", and a sequence must stand on one line";
  if (!allowGaps && isGapOrAmbiguous(c))
    m += " (--drop-gapped-codons removes the codons with gaps or ambiguous nucleotides)";
  fail(m + ".");
}

// A header number: a whole word, so that "6.5" or "6x" is refused rather than
// read as 6.
template <class Source>
int readHeaderInt(Source& in, int& next, const char* what, bool first) {
  int c = in.get();
  while (isBlank(c)) c = in.get();
  // Enough of the word to tell a number from anything else: longer digit runs are too large anyway.
  char word[64];
  std::size_t length = 0;
  for (; c != EOF && !isBlank(c); c = in.get())
    if (length < sizeof word) word[length++] = static_cast<char>(c);
  next = c;
  const WholePrefix r = readWholePrefix(std::string_view(word, length), INT_MAX);
  if (r.status == WholePrefix::kNotANumber)
    fail(std::string("The header must begin with two integers, the number of sequences and their length; the ") +
         what + " is missing or is not an integer" + (first ? " (an aligned FASTA file must begin with '>')." : "."));
  if (r.status == WholePrefix::kTooLarge) fail(std::string("The ") + what + " in the header is too large.");
  if (r.end != length)
    fail(std::string("The ") + what + " in the header is not an integer (" +
         describeChar(static_cast<unsigned char>(word[r.end])) + " follows its digits).");
  return static_cast<int>(r.value);
}

template <class Source>
Alignment parseNative(Source& in, long long available, bool allowGaps) {
  Alignment al;
  int next = 0;
  const int seqNum = readHeaderInt(in, next, "number of sequences", true);
  const int length = readHeaderInt(in, next, "sequence length", false);
  if (length / 3 * 3 != length) fail("Non-coding sequences!");
  if (seqNum < 1) fail("The header gives " + std::to_string(seqNum) + " sequences; at least 1 is needed.");
  if (length < 3) fail("The header gives a sequence length of " + std::to_string(length) + " nucleotides; at least 3 (one codon) are needed.");
  al.seqNum = seqNum;
  al.seqLength = length / 3;
  // Each sequence needs at least a line end for its name and its letters: a header
  // that claims more than the file can hold is refused before anything is allocated.
  const long long perSequence = 3LL * al.seqLength + 1;
  if (available >= 0 && seqNum > available / perSequence)
    fail("The header claims " + std::to_string(seqNum) + " sequences of " + std::to_string(length) +
         " nucleotides, more than the file's " + std::to_string(available) + " bytes can hold.");

  // From a pipe the size is unknown: storage grows with the data that arrives, so
  // that a header claiming a huge alignment cannot size an allocation by itself.
  const std::size_t total = static_cast<std::size_t>(seqNum) * al.seqLength * 3;
  constexpr std::size_t kUnknownSizeReserve = std::size_t{1} << 24;
  al.nucleotides.reserve(available >= 0 ? total : std::min(total, kUnknownSizeReserve));
  al.names.reserve(available >= 0 ? static_cast<std::size_t>(seqNum) : std::min<std::size_t>(seqNum, 4096));
  auto truncated = [&](int i) {
    fail("The file ends before sequence " + std::to_string(i + 1) + " of " + std::to_string(seqNum) + " is complete.");
  };
  // The header's second number is already behind us; 'next' is the character after it.
  int c = next;
  for (int i = 0; i < seqNum; ++i) {
    // Rest of the header line, or of the previous sequence's letter line.
    while (c != '\n') {
      if (c == EOF) truncated(i);
      c = in.get();
    }
    std::string& name = al.names.emplace_back();
    for (;;) {
      c = in.get();
      if (c == EOF) truncated(i);
      if (c == '\n') break;
      if (static_cast<int>(name.size()) == kNameLength) {  // cut the name at 20 characters
        while (c != '\n') {
          c = in.get();
          if (c == EOF) truncated(i);
        }
        break;
      }
      name.push_back(static_cast<char>(c));
    }
    for (int j = 0; j < al.seqLength; ++j) {
      for (int p = 0; p < 3; ++p) {
        c = in.get();
        if (c == EOF) truncated(i);
        const int n = letterCode(c, allowGaps);
        if (n < 0)
          badLetter(i, name, "codon " + std::to_string(j + 1) + ", position " + std::to_string(p + 1), c, allowGaps);
        al.nucleotides.push_back(static_cast<std::uint8_t>(n));
      }
    }
    c = in.get();  // what follows the letters on their line is skipped
  }
  return al;
}

// Aligned FASTA: names from the '>' lines, sequences over any number of lines,
// blanks and line breaks between letters ignored.
template <class Source>
Alignment parseFasta(Source& in, bool allowGaps) {
  Alignment al;
  std::vector<std::vector<std::uint8_t>> seqs;
  int c = in.get();
  while (c != EOF && isBlank(c)) c = in.get();
  while (c == '>') {
    std::string name;
    for (c = in.get(); c != EOF && c != '\n'; c = in.get())
      if (static_cast<int>(name.size()) < kNameLength) name.push_back(static_cast<char>(c));
    al.names.push_back(displayName(name));
    std::vector<std::uint8_t>& seq = seqs.emplace_back();
    bool lineStart = true;
    for (c = in.get(); c != EOF && !(lineStart && c == '>'); c = in.get()) {
      lineStart = (c == '\n');
      if (isBlank(c)) continue;
      const int n = letterCode(c, allowGaps);
      if (n < 0)
        badLetter(static_cast<int>(seqs.size()) - 1, al.names.back(), "nucleotide " + std::to_string(seq.size() + 1),
                  c, allowGaps);
      seq.push_back(static_cast<std::uint8_t>(n));
    }
  }
  if (seqs.empty()) fail("The FASTA file holds no sequence.");
  for (std::size_t i = 1; i < seqs.size(); ++i)
    if (seqs[i].size() != seqs[0].size())
      fail("Sequence " + std::to_string(i + 1) + " (\"" + al.names[i] + "\") has " + std::to_string(seqs[i].size()) +
           " nucleotides, but sequence 1 has " + std::to_string(seqs[0].size()) +
           "; the sequences of an alignment must have equal lengths.");
  const std::size_t length = seqs[0].size();
  if (length % 3 != 0) fail("Non-coding sequences!");
  if (length < 3) fail("The sequences hold no codon.");
  if (length / 3 > static_cast<std::size_t>(INT_MAX) || seqs.size() > static_cast<std::size_t>(INT_MAX))
    fail("The alignment is too large.");
  al.seqNum = static_cast<int>(seqs.size());
  al.seqLength = static_cast<int>(length / 3);
  al.nucleotides.reserve(seqs.size() * length);
  for (auto& s : seqs) {
    al.nucleotides.insert(al.nucleotides.end(), s.begin(), s.end());
    std::vector<std::uint8_t>().swap(s);
  }
  return al;
}

// Peeks at the first non-blank character to tell FASTA from the native format.
template <class Source>
Alignment parse(Source& in, long long available, bool allowGaps, int first) {
  if (first == '>') return parseFasta(in, allowGaps);
  return parseNative(in, available, allowGaps);
}

}  // namespace

int dropGappedCodons(Alignment& al) {
  const std::size_t L = static_cast<std::size_t>(al.seqLength);
  std::vector<char> keep(L, 1);
  for (int i = 0; i < al.seqNum; ++i)
    for (std::size_t j = 0; j < L; ++j)
      for (int p = 0; p < 3; ++p)
        if (al.nucleotides[(i * L + j) * 3 + p] == kGapOrAmbiguous) keep[j] = 0;
  std::size_t kept = 0;
  for (char k : keep) kept += static_cast<std::size_t>(k);
  if (kept == 0)
    fail("Every one of the " + std::to_string(L) + " codons has a gap or an ambiguous nucleotide in some sequence; no codon is left.");
  std::vector<std::uint8_t> out;
  out.reserve(al.seqNum * kept * 3);
  for (int i = 0; i < al.seqNum; ++i)
    for (std::size_t j = 0; j < L; ++j)
      if (keep[j]) out.insert(out.end(), &al.nucleotides[(i * L + j) * 3], &al.nucleotides[(i * L + j) * 3] + 3);
  al.nucleotides.swap(out);
  al.seqLength = static_cast<int>(kept);
  return static_cast<int>(L - kept);
}

#ifdef RADCON_HAVE_ZLIB

Alignment readSequenceFile(const std::string& path, bool allowGaps) {
  // "-" is standard input. zlib reads a gzip-compressed file (told by its first
  // bytes, not by its name) and passes any other through unchanged.
  const int fd = path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("Can't open the file!");
  struct stat st {};
  const bool known = ::fstat(fd, &st) == 0;
  if (known && S_ISDIR(st.st_mode)) {
    ::close(fd);
    fail("Can't open the file!");
  }
  std::unique_ptr<gzFile_s, int (*)(gzFile)> f(gzdopen(fd, "rb"), &gzclose);
  if (!f) {
    ::close(fd);
    fail("Can't open the file!");
  }
  gzbuffer(f.get(), 1 << 17);
  int first = gzgetc(f.get());
  while (first != EOF && isBlank(first)) first = gzgetc(f.get());
  if (first != EOF) gzungetc(first, f.get());
  // A compressed file's size does not bound what it holds: it reads like a pipe.
  const long long available = known && S_ISREG(st.st_mode) && gzdirect(f.get()) ? st.st_size : -1;
  GzSource src{f.get()};
  auto damage = [&] {
    int status = Z_OK;
    std::string message = gzerror(f.get(), &status);
    if (status == Z_OK || status == Z_STREAM_END) return;
    if (message.starts_with("<fd:")) message.erase(0, message.find(": ") + 2);  // zlib names the descriptor
    fail("The compressed file " + path + " is damaged: " + message + ".");
  };
  try {
    Alignment al = parse(src, available, allowGaps, first);
    if (!gzdirect(f.get())) {
      // Read to the end, so that the stream's checksum is checked too.
      char rest[1 << 16];
      while (gzread(f.get(), rest, sizeof rest) > 0) {
      }
      damage();
    }
    return al;
  } catch (const RunError&) {
    damage();
    throw;
  }
}

#else

Alignment readSequenceFile(const std::string& path, bool allowGaps) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(path == "-" ? ::fdopen(::dup(STDIN_FILENO), "r")
                                                                : std::fopen(path.c_str(), "r"),
                                                    &std::fclose);
  if (!f) fail("Can't open the file!");
  struct stat st {};
  long long available = -1;
  if (fstat(fileno(f.get()), &st) == 0 && S_ISREG(st.st_mode)) available = st.st_size;
  if (S_ISDIR(st.st_mode)) fail("Can't open the file!");
  int first = std::getc(f.get());
  while (first != EOF && isBlank(first)) first = std::getc(f.get());
  if (first == 0x1f) fail("The file " + path + " is gzip-compressed, and this radcon was built without zlib.");
  if (first != EOF) std::ungetc(first, f.get());
  FileSource src{f.get()};
  return parse(src, available, allowGaps, first);
}

#endif

Alignment parseSequenceText(const std::string& text, bool allowGaps) {
  const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
  const int first = start == std::string::npos ? EOF : static_cast<unsigned char>(text[start]);
  TextSource src{text};
  return parse(src, static_cast<long long>(text.size()), allowGaps, first);
}

}  // namespace radcon
