// The four kinds of site and of difference that every stage after the site
// counts works with.
#pragma once

namespace radcon {

enum Kind { kSynonymous = 0, kNonsynonymous = 1, kRadical = 2, kConservative = 3 };
inline constexpr int kKinds = 4;

// The order in which tables and the page show the kinds: S, N, R, C.
inline constexpr Kind kKindOrder[kKinds] = {kSynonymous, kNonsynonymous, kRadical, kConservative};

}  // namespace radcon
