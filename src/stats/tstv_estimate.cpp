#include "stats/tstv_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numeric>
#include <vector>

namespace radcon {

namespace {

// Nucleotide indices: T=0, C=1 (pyrimidines), A=2, G=3 (purines).
enum Outcome { kSame = 0, kPurineTransition = 1, kPyrimidineTransition = 2, kTransversion = 3 };

struct Counts {
  std::array<std::int64_t, 4> n{};
  std::int64_t sites() const { return n[0] + n[1] + n[2] + n[3]; }
  std::int64_t differences() const { return n[1] + n[2] + n[3]; }
};

// Codons whose family of four (same first two positions) all make one amino acid.
std::array<bool, kCodons> fourfoldCodons(const GeneticCode& code) {
  std::array<bool, kCodons> f{};
  for (int c = 0; c < kCodons; ++c) {
    const int aa = code.translate(c);
    bool all = aa != kStop;
    for (int x = 0; x < 4 && all; ++x) all = code.translate((c & ~3) | x) == aa;
    f[c] = all;
  }
  return f;
}

// The order in which sequences are taken: by a hash of their codons, ties by the
// codons themselves; identical sequences are interchangeable.
std::vector<int> canonicalOrder(std::span<const std::uint8_t> codons, int seqNum, int seqLength) {
  std::vector<std::uint64_t> hash(seqNum);
  for (int i = 0; i < seqNum; ++i) {
    std::uint64_t h = 14695981039346656037ULL;  // FNV-1a
    for (int k = 0; k < seqLength; ++k) {
      h ^= codons[static_cast<std::size_t>(i) * seqLength + k];
      h *= 1099511628211ULL;
    }
    hash[i] = h;
  }
  std::vector<int> order(seqNum);
  std::iota(order.begin(), order.end(), 0);
  auto row = [&](int i) { return codons.subspan(static_cast<std::size_t>(i) * seqLength, seqLength); };
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    if (hash[a] != hash[b]) return hash[a] < hash[b];
    const auto ra = row(a), rb = row(b);
    return std::lexicographical_compare(ra.begin(), ra.end(), rb.begin(), rb.end());
  });
  return order;
}

struct Model {
  double piT, piC, piA, piG, piR, piY;
  double alpha;  // gamma shape; 0: equal rates
};

// A decay exp(-lambda r tau) averaged over rates r of mean 1 (gamma of shape
// alpha, or all 1 when alpha is 0), as functions of the distance t (tau = beta t):
// the part that has happened, 1 - E[...], formed without cancellation at small
// distances, and its first and second derivatives in t.
struct Decay {
  double d, d1, d2;
};
Decay decay(double lambda, double beta, double t, double alpha) {
  const double rate = lambda * beta;
  const double x = rate * t;
  if (alpha <= 0) {
    const double left = std::exp(-x);
    return {-std::expm1(-x), rate * left, -rate * rate * left};
  }
  const double l = std::log1p(x / alpha);
  return {-std::expm1(-alpha * l), rate * std::exp(-(alpha + 1.0) * l),
          -rate * rate * (1.0 + 1.0 / alpha) * std::exp(-(alpha + 2.0) * l)};
}

// Log-likelihood of one pair's counts at distance t (substitutions per site),
// with its first and second derivatives in t.
struct PairFit {
  double ll, d1, d2;
};
PairFit pairLogLikelihood(const Counts& c, double t, double kappa, const Model& m) {
  const double beta = 1.0 / (2.0 * kappa * (m.piA * m.piG + m.piC * m.piT) + 2.0 * m.piR * m.piY);
  const Decay e1 = decay(1.0, beta, t, m.alpha);
  const Decay eR = decay(m.piR * kappa + m.piY, beta, t, m.alpha);
  const Decay eY = decay(m.piY * kappa + m.piR, beta, t, m.alpha);
  const double cR = 2.0 * m.piA * m.piG / m.piR, cY = 2.0 * m.piC * m.piT / m.piY, cQ = 2.0 * m.piR * m.piY;
  // Shares of purine transitions, pyrimidine transitions, transversions, and
  // their derivatives; the same sites are what is left.
  double p[4], p1[4], p2[4];
  p[1] = cR * (eR.d - m.piY * e1.d);
  p1[1] = cR * (eR.d1 - m.piY * e1.d1);
  p2[1] = cR * (eR.d2 - m.piY * e1.d2);
  p[2] = cY * (eY.d - m.piR * e1.d);
  p1[2] = cY * (eY.d1 - m.piR * e1.d1);
  p2[2] = cY * (eY.d2 - m.piR * e1.d2);
  p[3] = cQ * e1.d;
  p1[3] = cQ * e1.d1;
  p2[3] = cQ * e1.d2;
  p[0] = 1.0 - p[1] - p[2] - p[3];
  p1[0] = -(p1[1] + p1[2] + p1[3]);
  p2[0] = -(p2[1] + p2[2] + p2[3]);
  PairFit f{0, 0, 0};
  for (int k = 0; k < 4; ++k) {
    if (c.n[k] == 0) continue;
    const double w = static_cast<double>(c.n[k]);
    const double pk = std::max(p[k], 1e-300);
    const double r = p1[k] / pk;
    f.ll += w * std::log(pk);
    f.d1 += w * r;
    f.d2 += w * (p2[k] / pk - r * r);
  }
  return f;
}

constexpr double kMaxDistance = 20.0;

// Maximises f over [lo, hi]: the best of a grid, then golden-section search
// between its neighbours, a fixed number of steps (the same work, and bits,
// every time).
template <class F>
double maximise(F f, double lo, double hi, int grid, int steps) {
  double best = lo, bestValue = -std::numeric_limits<double>::infinity();
  const double h = (hi - lo) / grid;
  for (int i = 0; i <= grid; ++i) {
    const double x = lo + h * i;
    const double v = f(x);
    if (v > bestValue) {
      bestValue = v;
      best = x;
    }
  }
  double a = std::max(lo, best - h), b = std::min(hi, best + h);
  const double g = 0.6180339887498949;
  double x1 = b - g * (b - a), x2 = a + g * (b - a);
  double f1 = f(x1), f2 = f(x2);
  for (int i = 0; i < steps; ++i) {
    if (f1 < f2) {
      a = x1;
      x1 = x2;
      f1 = f2;
      x2 = a + g * (b - a);
      f2 = f(x2);
    } else {
      b = x2;
      x2 = x1;
      f2 = f1;
      x1 = b - g * (b - a);
      f1 = f(x1);
    }
  }
  const double x = (a + b) / 2;
  return f(x) >= bestValue ? x : best;
}

constexpr double kLogKappaMin = -4.605170185988091;  // ln 0.01
constexpr double kLogKappaMax = 6.907755278982137;   // ln 1000

// The pair's own distance maximised out: its profile log-likelihood at kappa.
// Newton's method on t, kept inside a bracket of the maximum that every step
// narrows (a step that leaves it bisects instead); it starts from the
// Jukes-Cantor distance of the pair.
double profile(const Counts& c, double kappa, const Model& m) {
  if (c.differences() == 0) return pairLogLikelihood(c, 0.0, kappa, m).ll;  // t = 0 is the maximum
  const double p = static_cast<double>(c.differences()) / static_cast<double>(c.sites());
  double t = p < 0.7 ? -0.75 * std::log1p(-p / 0.75) : 2.0;
  double lo = 0, hi = kMaxDistance;
  PairFit f = pairLogLikelihood(c, t, kappa, m);
  for (int step = 0; step < 100; ++step) {
    (f.d1 > 0 ? lo : hi) = t;
    double next = f.d2 < 0 ? t - f.d1 / f.d2 : (f.d1 > 0 ? hi : lo);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    const bool done = std::fabs(next - t) <= 1e-12 * t || hi - lo <= 1e-12 * hi;
    t = next;
    f = pairLogLikelihood(c, t, kappa, m);
    if (done) break;
  }
  return f.ll;
}

// ln kappa maximising the composite likelihood of the pairs, searched over
// [lo, hi] from a grid of the given size.
double fitLogKappa(const std::vector<Counts>& pairs, const Model& m, double lo = kLogKappaMin,
                   double hi = kLogKappaMax, int grid = 12) {
  return maximise(
      [&](double lk) {
        const double kappa = std::exp(lk);
        double sum = 0;
        for (const Counts& c : pairs) sum += profile(c, kappa, m);
        return sum;
      },
      lo, hi, grid, 30);
}

std::string format(const char* fmt, double a, double b = 0, double c = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

}  // namespace

TsTvEstimate estimateTsTv(std::span<const std::uint8_t> codons, int seqNum, int seqLength, const GeneticCode& code,
                          const TsTvOptions& options) {
  TsTvEstimate e;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  e.seLog = e.lower = e.upper = nan;
  // A part of a whole that fell back falls back alike, whatever its pairs.
  if (options.whole && !options.whole->estimated) return *options.whole;
  const TsTvEstimate* whole = options.whole;
  auto fallback = [&](std::string why) {
    if (whole) {
      TsTvEstimate kept = *whole;
      kept.seLog = kept.lower = kept.upper = nan;
      kept.note.clear();
      return kept;
    }
    e.note = why + ": Ts/Tv 0.5 (no bias) is used";
    return e;
  };
  if (seqNum < 2 || seqLength < 1) return fallback("fewer than two sequences to estimate Ts/Tv from");

  const std::array<bool, kCodons> fourfold = fourfoldCodons(code);
  std::vector<int> order;
  const TsTvSelection* given = whole && whole->selection.sequences.size() >= 2 &&
                                      std::all_of(whole->selection.sequences.begin(), whole->selection.sequences.end(),
                                                  [&](int i) { return i >= 0 && i < seqNum; })
                                  ? &whole->selection
                                  : nullptr;
  if (given) {
    order = given->sequences;
  } else {
    order = canonicalOrder(codons, seqNum, seqLength);
    if (static_cast<int>(order.size()) > std::max(2, options.maxSequences)) order.resize(std::max(2, options.maxSequences));
  }
  const int n = static_cast<int>(order.size());
  e.sequences = n;
  const int groups = std::max(1, std::min(options.jackknifeGroups, seqLength));

  // Base composition of the third positions of fourfold codons (half a count of
  // each base keeps every frequency positive).
  std::array<double, 4> base = {0.5, 0.5, 0.5, 0.5};
  for (int i : order)
    for (int k = 0; k < seqLength; ++k) {
      const int c = codons[static_cast<std::size_t>(i) * seqLength + k];
      if (fourfold[c]) base[c & 3] += 1.0;
    }
  const double total = base[0] + base[1] + base[2] + base[3];
  Model m{};
  m.piT = base[0] / total;
  m.piC = base[1] / total;
  m.piA = base[2] / total;
  m.piG = base[3] / total;
  m.piR = m.piA + m.piG;
  m.piY = m.piT + m.piC;
  m.alpha = options.gammaShape;

  // Every pair's counts, whole and by block of columns.
  struct Pair {
    Counts all;
    std::vector<Counts> block;
  };
  std::vector<Pair> pairs;
  pairs.reserve(static_cast<std::size_t>(n) * (n - 1) / 2);
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b) {
      Pair p;
      p.block.resize(groups);
      const std::uint8_t* ci = &codons[static_cast<std::size_t>(order[a]) * seqLength];
      const std::uint8_t* cj = &codons[static_cast<std::size_t>(order[b]) * seqLength];
      for (int k = 0; k < seqLength; ++k) {
        const int x = ci[k], y = cj[k];
        if (!fourfold[x] || !fourfold[y] || (x >> 2) != (y >> 2)) continue;
        const int u = x & 3, v = y & 3;
        const int outcome = u == v ? kSame : (u >> 1) != (v >> 1) ? kTransversion
                                           : (u >> 1) == 1        ? kPurineTransition
                                                                  : kPyrimidineTransition;
        ++p.all.n[outcome];
        ++p.block[static_cast<std::size_t>(static_cast<std::int64_t>(k) * groups / seqLength)].n[outcome];
      }
      pairs.push_back(std::move(p));
    }

  // Pairs below the divergence limit; when none is, the closest pairs with each
  // sequence in at most one.
  auto divergence = [](const Counts& c) {
    return static_cast<double>(c.differences()) / static_cast<double>(c.sites());
  };
  std::vector<std::size_t> used;
  bool closestOnly = false;
  if (given) {
    for (std::size_t a : given->pairs)
      if (a < pairs.size()) used.push_back(a);
    closestOnly = given->closestOnly;
  } else {
    for (std::size_t a = 0; a < pairs.size(); ++a)
      if (pairs[a].all.sites() > 0 && divergence(pairs[a].all) <= options.maxDivergence) used.push_back(a);
  }
  if (used.empty() && !given) {
    std::vector<std::size_t> byDistance;
    for (std::size_t a = 0; a < pairs.size(); ++a)
      if (pairs[a].all.sites() > 0) byDistance.push_back(a);
    std::stable_sort(byDistance.begin(), byDistance.end(), [&](std::size_t x, std::size_t y) {
      return divergence(pairs[x].all) < divergence(pairs[y].all);
    });
    std::vector<bool> taken(n, false);
    // Pair index -> its two sequences.
    std::vector<std::pair<int, int>> members;
    for (int a = 0; a < n; ++a)
      for (int b = a + 1; b < n; ++b) members.emplace_back(a, b);
    for (std::size_t a : byDistance) {
      const auto [i, j] = members[a];
      if (taken[i] || taken[j]) continue;
      taken[i] = taken[j] = true;
      used.push_back(a);
    }
    std::sort(used.begin(), used.end());
    closestOnly = !used.empty();
  }
  e.selection = {order, used, closestOnly};
  std::vector<Counts> fit;
  for (std::size_t a : used) {
    fit.push_back(pairs[a].all);
    e.sites += pairs[a].all.sites();
    e.transitions += pairs[a].all.n[kPurineTransition] + pairs[a].all.n[kPyrimidineTransition];
    e.transversions += pairs[a].all.n[kTransversion];
  }
  e.pairs = static_cast<int>(used.size());
  const std::int64_t differences = e.transitions + e.transversions;
  if (e.sites == 0) return fallback("no fourfold-degenerate sites to estimate Ts/Tv from");
  if (differences < options.minDifferences || e.transitions == 0 || e.transversions == 0)
    return fallback("only " + std::to_string(e.transitions) + " transitions and " + std::to_string(e.transversions) +
                    " transversions at " + std::to_string(e.sites) + " fourfold sites");

  const double logKappa = fitLogKappa(fit, m);
  e.estimated = true;
  e.kappa = std::exp(logKappa);
  e.typed = e.kappa / 2.0;

  // Jackknife: the fit again without each block of columns in turn.
  if (groups >= 2) {
    std::vector<double> replicate(groups);
    for (int g = 0; g < groups; ++g) {
      std::vector<Counts> part;
      for (std::size_t a : used) {
        Counts c = pairs[a].all;
        for (int o = 0; o < 4; ++o) c.n[o] -= pairs[a].block[g].n[o];
        part.push_back(c);
      }
      // A replicate lies near the whole estimate: a narrower search.
      replicate[g] = fitLogKappa(part, m, std::max(kLogKappaMin, logKappa - 1.5),
                                 std::min(kLogKappaMax, logKappa + 1.5), 6);
    }
    double mean = 0;
    for (double r : replicate) mean += r;
    mean /= groups;
    double ss = 0;
    for (double r : replicate) ss += (r - mean) * (r - mean);
    e.seLog = std::sqrt(ss * (groups - 1) / groups);
    e.lower = std::exp(logKappa - 1.96 * e.seLog) / 2.0;
    e.upper = std::exp(logKappa + 1.96 * e.seLog) / 2.0;
  }

  const std::string interval = std::isnan(e.seLog) ? "" : format(" (95 %% interval %.3g to %.3g)", e.lower, e.upper);
  if (logKappa <= kLogKappaMin + 1e-6 || logKappa >= kLogKappaMax - 1e-6)
    e.note = format("Ts/Tv estimate %.4g lies at the end of the range searched", e.typed) + interval;
  else if (closestOnly)
    e.note = format("every pair differs at more than %.0f %% of its fourfold sites: Ts/Tv %.3g", 100 * options.maxDivergence,
                    e.typed) +
             interval + " is from the closest pairs and likely too low (multiple hits)";
  else if (differences < 50 || e.transversions < 10 || !(e.seLog <= 0.5))
    e.note = format("Ts/Tv %.3g rests on little data", e.typed) + interval + ": " + std::to_string(e.transitions) +
             " transitions and " + std::to_string(e.transversions) + " transversions at fourfold sites";
  return e;
}

}  // namespace radcon
