#include "input/input_list.h"

#include <gtest/gtest.h>

namespace radcon {
namespace {

TEST(InputList, PathsAndGenes) {
  EXPECT_EQ(parseInputList("a.fa\n# note\n\n  dir/b.seq.gz \r\nc\n"),
            (std::vector<std::string>{"a.fa", "dir/b.seq.gz", "c"}));
  EXPECT_TRUE(parseInputList("").empty());
  EXPECT_EQ(geneName("/data/orthologs/ENSG0001.fa.gz"), "ENSG0001");
  EXPECT_EQ(geneName("cox1.phylip"), "cox1");
  EXPECT_EQ(geneName("gene.v2.fasta.txt"), "gene.v2");
  EXPECT_EQ(geneName(".fa"), ".fa");  // nothing would be left
  EXPECT_EQ(geneName("-"), "stdin");
  EXPECT_EQ(geneName("odd\tname.seq"), "odd name");
}

}  // namespace
}  // namespace radcon
