#include "input/sequence_file.h"

#include <gtest/gtest.h>

#include "util/error.h"

#include "../unit_support.h"

namespace radcon {
namespace {

std::string letters(const Alignment& al, int seq) {
  std::string s;
  for (int j = 0; j < al.seqLength; ++j)
    for (int p = 0; p < 3; ++p) s.push_back("TCAG"[al.nucleotide(seq, j, p)]);
  return s;
}

// The message of the failure a text gives, or "" when it reads.
std::string failure(const std::string& text, bool allowGaps = false) {
  return test::refusal([&] { parseSequenceText(text, allowGaps); });
}

TEST(SequenceReader, HeaderOnOneOrTwoLinesAndTextBehindIt) {
  const Alignment a = parseSequenceText("2 6\none\nTTTAAA\ntwo\nGGGCCC\n");
  const Alignment b = parseSequenceText("  2\n 6 nucleotides, two genes\none\nTTTAAA\ntwo\nGGGCCC\n");
  for (const Alignment* al : {&a, &b}) {
    EXPECT_EQ(al->seqNum, 2);
    EXPECT_EQ(al->seqLength, 2);
    EXPECT_EQ(letters(*al, 0), "TTTAAA");
    EXPECT_EQ(letters(*al, 1), "GGGCCC");
    EXPECT_EQ(al->names[0], "one");
  }
}

TEST(SequenceReader, NamesAreKeptWhole) {
  const Alignment al = parseSequenceText("3 3\n12345678901234567890\nTTT\n1234567890123456789012345\nCCC\n\nAAA\n");
  EXPECT_EQ(al.names[0], "12345678901234567890");
  EXPECT_EQ(al.names[1], "1234567890123456789012345");
  EXPECT_EQ(letters(al, 1), "CCC");
  EXPECT_EQ(al.names[2], "");
  EXPECT_EQ(letters(al, 2), "AAA");
}

TEST(SequenceReader, CrLfOrCrLowerCaseAndLettersBeyondTheLength) {
  // Windows (CR LF) and old Mac (CR) line ends read like LF.
  for (const char* eol : {"\r\n", "\r"}) {
    const std::string e = eol;
    const Alignment al = parseSequenceText("2 6" + e + "human" + e + "ttTaAa" + e + "mouse" + e + "GGGCCCAAATTT" + e);
    EXPECT_EQ(letters(al, 0), "TTTAAA");
    EXPECT_EQ(letters(al, 1), "GGGCCC");
    EXPECT_EQ(al.names[0], "human");
    const Alignment fa = parseSequenceText(">human" + e + "ttTa" + e + "Aa" + e + ">mouse" + e + "GGGCCC" + e);
    EXPECT_EQ(letters(fa, 0), "TTTAAA");
    EXPECT_EQ(fa.names[1], "mouse");
  }
}

TEST(SequenceReader, LengthThatIsNoMultipleOfThree) {
  EXPECT_EQ(failure("1 10\nx\nTTTTTTTTTT\n"), "Non-coding sequences!");
  EXPECT_EQ(parseSequenceText("1 9\nx\nTTTTTTTTT\n").seqLength, 3);
}

TEST(SequenceReader, BadHeaders) {
  EXPECT_NE(failure("").find("number of sequences is missing"), std::string::npos);
  EXPECT_NE(failure("two 6\n").find("number of sequences"), std::string::npos);
  EXPECT_NE(failure("2\n").find("sequence length is missing"), std::string::npos);
  EXPECT_NE(failure("2 6.5\nx\nTTTAAA\n").find("not an integer"), std::string::npos);
  EXPECT_NE(failure("0 6\n").find("at least 1"), std::string::npos);
  EXPECT_NE(failure("-2 6\n").find("at least 1"), std::string::npos);
  EXPECT_NE(failure("1 0\nx\n\n").find("at least 3"), std::string::npos);
  EXPECT_NE(failure("99999999999 6\n").find("too large"), std::string::npos);
  EXPECT_NE(failure("1000000000 3000000000\n").find("too large"), std::string::npos);
  // A claim beyond the file's size is refused before anything is allocated.
  EXPECT_NE(failure("1000000000 999999\nx\nTTT\n").find("more than the file"), std::string::npos);
}

TEST(SequenceReader, FileThatEndsEarly) {
  EXPECT_NE(failure("2 6\none\nTTTAAA\n").find("ends before sequence 2"), std::string::npos);
  EXPECT_NE(failure("1 6\none\nTTT").find("ends before sequence 1"), std::string::npos);
  EXPECT_NE(failure("1 3 ").find("ends before sequence 1"), std::string::npos);
  EXPECT_NE(failure("1 3\nname without end").find("ends before sequence 1"), std::string::npos);
}

TEST(SequenceReader, CharactersThatAreNoNucleotide) {
  const std::string n = failure("2 6\none\nTTTAAA\ntwo\nGGNCCC\n");
  EXPECT_NE(n.find("Sequence 2 (\"two\"), codon 1, position 3: 'N'"), std::string::npos) << n;
  EXPECT_NE(failure("1 6\nx\nTT-AAA\n").find("'-'"), std::string::npos);
  // With blanks or a line break inside the letters, the file reads as PHYLIP.
  EXPECT_NE(failure("1 6\nx\nTTT AA\n").find("PHYLIP file, line 3: expected 1 more nucleotides of sequence 1"),
            std::string::npos);
  EXPECT_NE(failure("1 6\nx\nTTT?AA\n").find("'?'"), std::string::npos);
  EXPECT_NE(failure("1 6\nx\nTTT1AA\n").find("'1'"), std::string::npos);
  EXPECT_NE(failure(std::string("1 3\nx\nT\xC3\xA9\n")).find("byte 0xC3"), std::string::npos);
}

TEST(SequenceReader, MissingFile) {
  try {
    readSequenceFile("/nonexistent/file.seq");
    FAIL();
  } catch (const RunError& e) {
    EXPECT_STREQ(e.what(), "Can't open the file!");
    EXPECT_EQ(e.kind(), RunError::kFailure);
  }
}

}  // namespace
}  // namespace radcon

namespace radcon {
namespace {

TEST(FastaReader, WrappedLinesBlanksAndNames) {
  const Alignment f = parseSequenceText(
      "\n>first gene, human\r\nATGAAA\r\nTTT\r\n>second\nATG AAG\n\nTTC\n>a name longer than twenty characters\natgaaattc");
  EXPECT_EQ(f.seqNum, 3);
  EXPECT_EQ(f.seqLength, 3);
  EXPECT_EQ(letters(f, 0), "ATGAAATTT");
  EXPECT_EQ(letters(f, 1), "ATGAAGTTC");
  EXPECT_EQ(letters(f, 2), "ATGAAATTC");
  EXPECT_EQ(f.names[0], "first gene, human");
  EXPECT_EQ(f.names[2], "a name longer than twenty characters");
}

TEST(FastaReader, SameAlignmentAsTheNativeFormat) {
  const Alignment n = parseSequenceText("2 6\none\nTTTAAA\ntwo\nGGGCCC\n");
  const Alignment f = parseSequenceText(">one\nTTT\nAAA\n>two\nGGGCCC\n");
  EXPECT_EQ(n.nucleotides, f.nucleotides);
  EXPECT_EQ(n.names, f.names);
}

TEST(FastaReader, Refusals) {
  EXPECT_NE(failure(">a\nATGAAA\n>b\nATGAA\n>c\nATG\n").find("Sequence 2 (\"b\") has 5 nucleotides, but sequence 1 has 6"),
            std::string::npos);
  EXPECT_EQ(failure(">a\nATGA\n>b\nATGC\n"), "Non-coding sequences!");
  EXPECT_NE(failure(">a\n\n>b\n\n").find("no codon"), std::string::npos);
  const std::string gap = failure(">a\nATG-AA\n>b\nATGAAA\n");
  EXPECT_NE(gap.find("Sequence 1 (\"a\"), nucleotide 4: '-'"), std::string::npos) << gap;
  EXPECT_NE(gap.find("--drop-gapped-codons"), std::string::npos);
  EXPECT_NE(failure("2 6\none\nTTTAAN\ntwo\nGGGCCC\n").find("--drop-gapped-codons"), std::string::npos);
  EXPECT_EQ(failure("2 6\none\nTTTAA1\ntwo\nGGGCCC\n").find("--drop-gapped-codons"), std::string::npos);
  EXPECT_NE(failure(">").find("no codon"), std::string::npos);  // a lone '>'
  EXPECT_NE(failure(">a\nATG>AAA\n>b\nATGAAA\n").find("nucleotide 4: '>' is not a nucleotide"), std::string::npos);
  // Text before the first header is no FASTA file; the message says what one begins with.
  EXPECT_NE(failure("my genes\n>a\nATG\n").find("must begin with '>'"), std::string::npos);
}

TEST(GappedCodons, ColumnsWithAGapOrAmbiguityAreDropped) {
  Alignment al = parseSequenceText(">a\nATG---AAAC.CTTT\n>b\nATGCCCANAGGGTTT\n", true);
  EXPECT_EQ(dropGappedCodons(al), 3);
  EXPECT_EQ(al.seqLength, 2);
  EXPECT_EQ(letters(al, 0), "ATGTTT");
  EXPECT_EQ(letters(al, 1), "ATGTTT");
  Alignment none = parseSequenceText("1 6\nx\nNNN---\n", true);
  try {
    dropGappedCodons(none);
    FAIL();
  } catch (const RunError& e) {
    EXPECT_NE(std::string(e.what()).find("no codon is left"), std::string::npos);
  }
  // Gaps read in PHYLIP files too.
  Alignment phylip = parseSequenceText("2 6\nx\nTT-\nAAA\ny\nTTTAAA\n", true);
  EXPECT_EQ(dropGappedCodons(phylip), 1);
  EXPECT_EQ(letters(phylip, 0), "AAA");
}

TEST(PhylipReader, EveryLayoutReadsAsTheNativeFile) {
  const Alignment native = parseSequenceText("3 12\nhuman\nATGAAACTTTGG\nchimp\nATGAAGCTTTGG\nmouse\nATGCGACTATGG\n");
  const std::vector<std::string> layouts = {
      // PAML: names on lines of their own, letters over several lines, CR LF, notes after.
      "  3  12\r\n\r\nhuman\r\nATGAAA\r\nCTTTGG\r\n\r\nchimp\r\nATGAAGCTT\r\nTGG\r\nmouse\r\nATG CGA CTA TGG\r\n\r\nNotes: TAA removed.\r\n",
      // Strict: ten-character names, the letters after them.
      "3 12\nhuman     ATGAAACTTTGG\nchimp     ATGAAGCTTTGG\nmouse     ATGCGACTATGG\n",
      // Relaxed, the letters wrapped.
      "3 12\nhuman ATGAAA CTT\nTGG\nchimp ATGAAGCTTTGG\nmouse\tATGCGACTATGG\n",
      // Interleaved, with and without the flag.
      "3 12 I\nhuman ATGAAA\nchimp ATGAAG\nmouse ATGCGA\n\nCTTTGG\nCTTTGG\nCTATGG\n",
      "3 12\nhuman ATGAAA\nchimp ATGAAG\nmouse ATGCGA\n\nCTTTGG\nCTTTGG\nCTATGG\n",
  };
  for (const std::string& text : layouts) {
    SCOPED_TRACE(text);
    const Alignment al = parseSequenceText(text);
    EXPECT_EQ(al.names, native.names);
    EXPECT_EQ(al.nucleotides, native.nucleotides);
  }
  // A strict name with a blank in it; relaxed names of any length, whole.
  EXPECT_EQ(parseSequenceText("1 6\nHomo sapieATGAAA\n").names[0], "Homo sapie");
  EXPECT_EQ(parseSequenceText("1 6\nPan_troglodytes_isolate_A ATGAAA\n").names[0], "Pan_troglodytes_isolate_A");
  EXPECT_EQ(parseSequenceText("1 6\nPan_troglodytes_isolate_A\nATGAAA\n").names[0], "Pan_troglodytes_isolate_A");
  // Every error names the line and what was expected there.
  EXPECT_NE(failure("2 6\none\nTTT\nAAA\ntwo\nTTT\nAA\n").find("PHYLIP file, line 7: expected 1 more nucleotides of sequence 2"),
            std::string::npos);
  EXPECT_NE(failure("2 6\none TTTAAA\ntwo TTTAAAC\n").find("line 3: expected no more than 6 nucleotides in sequence 2"),
            std::string::npos);
  EXPECT_NE(failure("2 6\none TTT\ntwo TTT\n\nAAA\nAZA\n").find("line 6: expected nucleotides of sequence 2, not 'Z'"),
            std::string::npos);
}

}  // namespace
}  // namespace radcon
