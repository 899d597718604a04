#include "codon/genetic_code.h"

#include <gtest/gtest.h>

namespace radcon {
namespace {

TEST(GeneticCode, Placeholder) { EXPECT_EQ(aa(2, 3, 0), 15); }

}  // namespace
}  // namespace radcon
