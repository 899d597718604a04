#include "input/sequence_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

#include "codon/genetic_code.h"
#include "common/text.h"
#include "files/whole_file.h"
#include "input/number_words.h"
#include "util/error.h"

namespace radcon {

namespace {

// The source hands on every line end as '\n': LF, CR LF, and the CR alone of
// old Mac files.
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
  // that claims more than the file holds (the whole file, a pipe's too, is read
  // before parsing) is refused before anything is allocated.
  const long long perSequence = 3LL * al.seqLength + 1;
  if (seqNum > available / perSequence)
    fail("The header claims " + std::to_string(seqNum) + " sequences of " + std::to_string(length) +
         " nucleotides, more than the file's " + std::to_string(available) + " bytes can hold.");
  al.nucleotides.reserve(static_cast<std::size_t>(seqNum) * al.seqLength * 3);
  al.names.reserve(static_cast<std::size_t>(seqNum));
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
    for (c = in.get(); c != EOF && c != '\n'; c = in.get()) name.push_back(static_cast<char>(c));
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

// PHYLIP as aligners and PAML-style tools write it: a header "n length" (a flag
// such as I for interleaved may follow), then each sequence's name and letters.
// A name stands on a line of its own, or starts a line and is followed by white
// space (relaxed) or fills its first 10 characters (strict); the letters may run
// over several lines, with blanks between them. Interleaved files give every
// sequence a line in turn, block after block. What follows the last sequence
// (notes) is ignored.
class PhylipReader {
 public:
  PhylipReader(const std::string& text, bool allowGaps) : text_(text), allowGaps_(allowGaps), lines_(text) {}

  Alignment read() {
    std::string header;
    while (nextLine(header) && blank(header)) {
    }
    std::istringstream words(header);
    long long n = 0, length = 0;
    std::string flag;
    if (!(words >> n >> length)) error("a header with the number of sequences and their length");
    bool interleaved = false;
    while (words >> flag) interleaved = interleaved || flag == "I" || flag == "i";
    if (n < 1 || length < 3 || length % 3 != 0 || n > INT_MAX || length / 3 > INT_MAX ||
        static_cast<unsigned long long>(n) * static_cast<unsigned long long>(length) > text_.size())
      error("a number of sequences of at least 1 and a length in nucleotides that is a multiple of 3 and fits the file");
    Alignment al;
    al.seqNum = static_cast<int>(n);
    al.seqLength = static_cast<int>(length / 3);
    std::vector<std::vector<std::uint8_t>> seqs(static_cast<std::size_t>(n));
    const std::size_t L = static_cast<std::size_t>(length);
    std::string line;
    for (std::size_t i = 0; i < seqs.size(); ++i) {
      if (!nonBlankLine(line)) error("sequence " + std::to_string(i + 1) + "'s name");
      std::string rest;
      al.names.push_back(splitName(line, rest));
      append(seqs[i], rest, L, i);
      if (interleaved) continue;
      if (i == 0 && seqs[0].size() < L && looksLikeNextName()) {
        interleaved = true;  // a second "name letters" line before the first sequence is complete
        continue;
      }
      while (seqs[i].size() < L) {
        if (!nonBlankLine(line)) error(std::to_string(L - seqs[i].size()) + " more nucleotides of sequence " + std::to_string(i + 1));
        append(seqs[i], line, L, i);
      }
    }
    while (interleaved && seqs[0].size() < L) {
      for (std::size_t i = 0; i < seqs.size(); ++i) {
        if (!nonBlankLine(line)) error("the next block's line of sequence " + std::to_string(i + 1));
        append(seqs[i], line, L, i);
      }
    }
    for (std::size_t i = 0; i < seqs.size(); ++i) {
      if (seqs[i].size() != L)
        error(std::to_string(L) + " nucleotides in sequence " + std::to_string(i + 1) + ", not " + std::to_string(seqs[i].size()));
      al.nucleotides.insert(al.nucleotides.end(), seqs[i].begin(), seqs[i].end());
    }
    return al;
  }

 private:
  bool nextLine(std::string& line) {
    std::string_view view;
    if (!lines_.next(view)) return false;
    line.assign(view);
    return true;
  }
  static bool blank(const std::string& line) { return line.find_first_not_of(" \t\v\f") == std::string::npos; }
  bool nonBlankLine(std::string& line) {
    while (nextLine(line))
      if (!blank(line)) return true;
    return false;
  }
  bool sequenceLetters(const std::string& s) const {
    for (char c : s)
      if (c != ' ' && c != '\t' && letterCode(static_cast<unsigned char>(c), allowGaps_) < 0) return false;
    return true;
  }
  // The name a line begins with; 'rest' gets the letters after it.
  std::string splitName(const std::string& line, std::string& rest) const {
    const std::size_t b = line.find_first_not_of(" \t");
    const std::size_t e = line.find_first_of(" \t", b);
    if (e == std::string::npos) {
      // One word: a name of its own line, or a strict name run into its letters.
      const std::string word = line.substr(b);
      if (word.size() > 10 && sequenceLetters(word.substr(10)) && !sequenceLetters(word.substr(0, 10))) {
        rest = word.substr(10);
        return word.substr(0, 10);
      }
      rest.clear();
      return word;
    }
    if (sequenceLetters(line.substr(e)) || line.size() <= 10 || !sequenceLetters(line.substr(10))) {
      rest = line.substr(e);
      return line.substr(b, e - b);
    }
    // A strict name that holds blanks: the first 10 characters.
    rest = line.substr(10);
    std::string name = line.substr(0, 10);
    name.erase(name.find_last_not_of(" \t") + 1);
    return name;
  }
  // Whether the next non-blank line begins with a name rather than letters.
  bool looksLikeNextName() {
    const Lines saved = lines_;
    std::string line;
    bool name = false;
    if (nonBlankLine(line)) {
      const std::size_t b = line.find_first_not_of(" \t");
      const std::size_t e = line.find_first_of(" \t", b);
      name = e != std::string::npos && !sequenceLetters(line.substr(b, e - b));
    }
    lines_ = saved;
    return name;
  }
  void append(std::vector<std::uint8_t>& seq, const std::string& letters, std::size_t L, std::size_t i) {
    for (char ch : letters) {
      const int c = static_cast<unsigned char>(ch);
      if (c == ' ' || c == '\t' || c == '\v' || c == '\f') continue;
      const int code = letterCode(c, allowGaps_);
      if (code < 0) error("nucleotides of sequence " + std::to_string(i + 1) + ", not " + describeChar(c));
      if (seq.size() == L) error("no more than " + std::to_string(L) + " nucleotides in sequence " + std::to_string(i + 1));
      seq.push_back(static_cast<std::uint8_t>(code));
    }
  }
  [[noreturn]] void error(const std::string& expected) const {
    fail("PHYLIP file, line " + std::to_string(lines_.number()) + ": expected " + expected + ".");
  }

  const std::string& text_;
  bool allowGaps_;
  Lines lines_;
};

// Whether a file that neither reading accepts is meant as the native format (its
// message is then the native reader's): after a header of two whole numbers, a
// name line, then the first sequence's letters on the line after it, or the end
// of the file. Anything else reads as PHYLIP gone wrong.
bool looksNative(const std::string& text) {
  Lines lines(text);
  auto line = [&] {
    std::string_view l;
    lines.next(l);
    return std::string(l);
  };
  std::istringstream header(line());
  std::string words[2];
  if (!(header >> words[0] >> words[1])) return true;
  const auto n = wholeWord(words[0], 1, INT_MAX), length = wholeWord(words[1], 3, INT_MAX);
  if (!n || !length || *length % 3 != 0) return true;
  line();  // the name
  const std::string letters = line();
  if (lines.atEnd() && static_cast<long long>(letters.size()) < *length) return true;  // cut short
  if (static_cast<long long>(letters.size()) < *length) return false;
  for (long long k = 0; k < *length; ++k)
    if (letterCode(static_cast<unsigned char>(letters[static_cast<std::size_t>(k)]), true) < 0) return false;
  return true;
}

// Peeks at the first non-blank character to tell FASTA from the other formats.
template <class Source>
Alignment parse(Source& in, long long available, bool allowGaps, int first) {
  if (first == '>') return parseFasta(in, allowGaps);
  return parseNative(in, available, allowGaps);
}

}  // namespace

int keepCodonColumns(Alignment& al, const std::vector<char>& keep, const char* why, std::vector<int>* original) {
  const std::size_t L = static_cast<std::size_t>(al.seqLength);
  std::size_t kept = 0;
  for (char k : keep) kept += static_cast<std::size_t>(k);
  if (kept == 0) fail("Every one of the " + std::to_string(L) + " codons " + why + " in some sequence; no codon is left.");
  std::vector<std::uint8_t> out;
  out.reserve(al.seqNum * kept * 3);
  for (int i = 0; i < al.seqNum; ++i)
    for (std::size_t j = 0; j < L; ++j)
      if (keep[j]) out.insert(out.end(), &al.nucleotides[(i * L + j) * 3], &al.nucleotides[(i * L + j) * 3] + 3);
  al.nucleotides.swap(out);
  if (original) {
    std::size_t to = 0;
    for (std::size_t j = 0; j < L; ++j)
      if (keep[j]) (*original)[to++] = (*original)[j];
    original->resize(kept);
  }
  al.seqLength = static_cast<int>(kept);
  return static_cast<int>(L - kept);
}


int dropGappedCodons(Alignment& al, std::vector<int>* original) {
  const std::size_t L = static_cast<std::size_t>(al.seqLength);
  std::vector<char> keep(L, 1);
  for (int i = 0; i < al.seqNum; ++i)
    for (std::size_t j = 0; j < L; ++j)
      for (int p = 0; p < 3; ++p)
        if (al.nucleotides[(i * L + j) * 3 + p] == kGapOrAmbiguous) keep[j] = 0;
  return keepCodonColumns(al, keep, "has a gap or an ambiguous nucleotide", original);
}

std::vector<int> stopCodonColumns(const Alignment& al, const GeneticCode& code) {
  std::vector<int> columns;
  for (int j = 0; j < al.seqLength; ++j)
    for (int i = 0; i < al.seqNum; ++i) {
      const int a = al.nucleotide(i, j, 0), b = al.nucleotide(i, j, 1), c = al.nucleotide(i, j, 2);
      if (a < 4 && b < 4 && c < 4 && code.translate(bb(a, b, c)) == kStop) {
        columns.push_back(j);
        break;
      }
    }
  return columns;
}

int dropStopCodons(Alignment& al, const GeneticCode& code, std::vector<int>* original) {
  std::vector<char> keep(static_cast<std::size_t>(al.seqLength), 1);
  for (int j : stopCodonColumns(al, code)) keep[static_cast<std::size_t>(j)] = 0;
  return keepCodonColumns(al, keep, "is a stop codon", original);
}

namespace {

// The whole content of a sequence file ("-": standard input), inflated when it
// is gzip-compressed, up to 'limit' bytes.
std::string readAll(const std::string& path, std::size_t limit) {
  WholeFile f = readWholeFile(path, limit, true);
  switch (f.status) {
    case WholeFile::kRead: break;
    case WholeFile::kCannotOpen: fail("Can't open the file!");
    case WholeFile::kCannotRead: fail("Can't read the file " + path + ".");
    case WholeFile::kTooLarge:
      fail("The file " + path + " holds more than " + std::to_string(limit >> 20) + " MB of text (inflated, if it "
           "is compressed): more than a run could analyse in the memory allowed.");
    case WholeFile::kDamaged: fail("The compressed file " + path + " is damaged: " + f.detail + ".");
    case WholeFile::kNeedsZlib: fail("The file " + path + " is gzip-compressed, and this radcon was built without zlib.");
  }
  return std::move(f.text);
}

}  // namespace

Alignment readSequenceFile(const std::string& path, bool allowGaps, std::size_t limit) {
  return parseSequenceText(readAll(path, limit), allowGaps);
}

Alignment parseSequenceText(const std::string& text, bool allowGaps) {
  const std::size_t start = text.find_first_not_of(" \t\n\v\f\r");
  const int first = start == std::string::npos ? EOF : static_cast<unsigned char>(text[start]);
  TextSource src{text};
  if (first == '>') return parse(src, static_cast<long long>(text.size()), allowGaps, first);
  // The native format is PHYLIP's strictest form, read as it always was; what it
  // refuses may still be PHYLIP. A file that both refuse gets the message of the
  // format it looks like.
  try {
    return parse(src, static_cast<long long>(text.size()), allowGaps, first);
  } catch (const RunError& native) {
    if (native.kind() != RunError::kFailure) throw;
    try {
      return PhylipReader(text, allowGaps).read();
    } catch (const RunError&) {
      if (looksNative(text)) throw native;
      throw;
    }
  }
}
}  // namespace radcon
