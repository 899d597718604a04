#include "stats/expected_ratio.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "common/kinds.h"
#include "stats/statistics.h"

namespace radcon {

void symmetricEigen(std::vector<double>& a, int n, std::vector<double>& values, std::vector<double>& v,
                    const std::vector<double>* start) {
  const std::size_t N = static_cast<std::size_t>(n);
  if (start && start->size() == N * N) {
    // a <- S^T a S, and the rotations accumulate onto S.
    const std::vector<double>& S = *start;
    std::vector<double> as(N * N, 0.0);
    for (std::size_t i = 0; i < N; ++i)
      for (std::size_t k = 0; k < N; ++k) {
        const double aik = a[i * N + k];
        for (std::size_t j = 0; j < N; ++j) as[i * N + j] += aik * S[k * N + j];
      }
    std::fill(a.begin(), a.end(), 0.0);
    for (std::size_t k = 0; k < N; ++k)
      for (std::size_t i = 0; i < N; ++i) {
        const double ski = S[k * N + i];
        for (std::size_t j = 0; j < N; ++j) a[i * N + j] += ski * as[k * N + j];
      }
    for (std::size_t i = 0; i < N; ++i)
      for (std::size_t j = i + 1; j < N; ++j) a[i * N + j] = a[j * N + i] = 0.5 * (a[i * N + j] + a[j * N + i]);
    v = S;
  } else {
    v.assign(N * N, 0.0);
    for (std::size_t i = 0; i < N; ++i) v[i * N + i] = 1.0;
  }
  double total = 0.0;
  for (const double x : a) total += x * x;
  for (int sweep = 0; sweep < 100; ++sweep) {
    double off = 0.0;
    for (std::size_t i = 0; i < N; ++i)
      for (std::size_t j = i + 1; j < N; ++j) off += a[i * N + j] * a[i * N + j];
    if (!(off > 1e-30 * total)) break;
    for (std::size_t p = 0; p < N; ++p)
      for (std::size_t q = p + 1; q < N; ++q) {
        const double apq = a[p * N + q];
        if (apq == 0.0) continue;
        const double theta = (a[q * N + q] - a[p * N + p]) / (2.0 * apq);
        const double t = (theta >= 0.0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
        for (std::size_t k = 0; k < N; ++k) {
          const double kp = a[k * N + p], kq = a[k * N + q];
          a[k * N + p] = c * kp - s * kq;
          a[k * N + q] = s * kp + c * kq;
        }
        for (std::size_t k = 0; k < N; ++k) {
          const double pk = a[p * N + k], qk = a[q * N + k];
          a[p * N + k] = c * pk - s * qk;
          a[q * N + k] = s * pk + c * qk;
        }
        for (std::size_t k = 0; k < N; ++k) {
          const double kp = v[k * N + p], kq = v[k * N + q];
          v[k * N + p] = c * kp - s * kq;
          v[k * N + q] = s * kp + c * kq;
        }
      }
  }
  values.resize(N);
  for (std::size_t i = 0; i < N; ++i) values[i] = a[i * N + i];
}

namespace {

constexpr int kClasses = 4;  // gamma rate classes
constexpr int kGrid = 1024;  // divergences tabulated, 0 .. kLongest, denser near 0
constexpr double kLongest = 200.0;

// The means of the four equal-probability classes of a gamma of shape 1 (an
// exponential): (F(a) - F(b)) x 4 with F(u) = (1 - u)(1 - ln(1 - u)).
std::vector<double> gammaClassRates() {
  std::vector<double> r;
  auto F = [](double u) { return u >= 1.0 ? 0.0 : (1.0 - u) * (1.0 - std::log(1.0 - u)); };
  for (int k = 0; k < kClasses; ++k)
    r.push_back((F(static_cast<double>(k) / kClasses) - F(static_cast<double>(k + 1) / kClasses)) * kClasses);
  return r;
}

double gridTime(int i) {
  const double f = static_cast<double>(i) / kGrid;
  return kLongest * f * f;
}

// The model over the sense codons: the counted differences of every codon
// pair by kind, and the rates before omega.
struct CodonModel {
  int n = 0;
  std::vector<double> pi, base;
  std::vector<std::uint8_t> amino;  // 1 where the step changes the amino acid
  std::vector<double> kind[kKinds];
};

CodonModel buildModel(const std::vector<double>& counts, const FrequencyTable& pathway, const StepRates& rates,
                      const GroupTable& groups, const GeneticCode& code) {
  CodonModel m;
  std::vector<int> sense;
  for (int i = 0; i < 64; ++i)
    if (code.translate(i) != kStop) sense.push_back(i);
  m.n = static_cast<int>(sense.size());
  const std::size_t n = sense.size();
  // A codon never seen keeps a trace of a frequency, so that the model stays
  // one connected chain.
  double total = 0.0;
  m.pi.resize(n);
  for (std::size_t a = 0; a < n; ++a) total += m.pi[a] = counts[static_cast<std::size_t>(sense[a])] + 0.01;
  for (double& p : m.pi) p /= total;
  m.base.assign(n * n, 0.0);
  m.amino.assign(n * n, 0);
  for (auto& k : m.kind) k.assign(n * n, 0.0);
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = 0; b < n; ++b) {
      const int i = sense[a], j = sense[b];
      if (i == j) continue;
      const CodonDifference d = compareCodons(i, j, pathway, rates, groups, code);
      // A codon pair no pathway of positive weight joins (a table with empty
      // entries) is never counted: it adds nothing.
      if (!std::isfinite(d.s + d.n + d.r + d.c)) continue;
      m.kind[kSynonymous][a * n + b] = d.s;
      m.kind[kNonsynonymous][a * n + b] = d.n;
      m.kind[kRadical][a * n + b] = d.r;
      m.kind[kConservative][a * n + b] = d.c;
      int differing = 0, from = 0, to = 0;
      for (int shift = 0; shift <= 4; shift += 2) {
        const int x = (i >> shift) & 3, y = (j >> shift) & 3;
        if (x != y) ++differing, from = x, to = y;
      }
      if (differing != 1) continue;
      m.base[a * n + b] = m.pi[b] * (isTransition(from, to) ? rates.ratio : 1.0);
      m.amino[a * n + b] = code.translate(i) != code.translate(j);
    }
  return m;
}

// The expected differences per codon of each kind at every tabulated divergence
// under one omega, time scaled to one change per codon a unit.
struct Tables {
  std::vector<double> value[kKinds];  // [kind][grid point]
  // Where the expected synonymous differences peak: with omega below 1 they
  // overshoot their stationary value before they settle, so a synonymous
  // proportion names one divergence only up to the peak.
  std::size_t peak = 0;
};

// start: eigenvectors to begin the decomposition from; reach: the grid stops at
// the first divergence whose expected synonymous differences reach it (a part's
// pairs need no further; the curve rises up to its peak), and that point is
// taken as the peak.
Tables tabulate(const CodonModel& m, double omega, const std::vector<double>& classRates,
                const std::vector<double>* start = nullptr, double reach = HUGE_VAL,
                std::vector<double>* eigenvectors = nullptr) {
  const std::size_t n = static_cast<std::size_t>(m.n);
  std::vector<double> q(n * n, 0.0);
  double mean = 0.0;
  for (std::size_t a = 0; a < n; ++a) {
    double out = 0.0;
    for (std::size_t b = 0; b < n; ++b) out += q[a * n + b] = m.base[a * n + b] * (m.amino[a * n + b] ? omega : 1.0);
    q[a * n + a] = -out;
    mean += m.pi[a] * out;
  }
  // pi_a Q_ab = pi_b Q_ba: D^1/2 Q D^-1/2 is symmetric.
  std::vector<double> root(n);
  for (std::size_t a = 0; a < n; ++a) root[a] = std::sqrt(m.pi[a]);
  std::vector<double> s(n * n);
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = 0; b < n; ++b) s[a * n + b] = q[a * n + b] / mean * root[a] / root[b];
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = a + 1; b < n; ++b) s[a * n + b] = s[b * n + a] = 0.5 * (s[a * n + b] + s[b * n + a]);
  std::vector<double> lambda, u;
  symmetricEigen(s, m.n, lambda, u, start);
  // E_X(t) = sum_ab pi_a P_ab(t) x_ab = sum_k exp(lambda_k t) c_k with
  // c_k = sum_ab root_a u_ak u_bk root_b x_ab.
  std::vector<double> w(n * n);
  for (std::size_t b = 0; b < n; ++b)
    for (std::size_t k = 0; k < n; ++k) w[b * n + k] = u[b * n + k] * root[b];
  std::vector<double> c[kKinds], inner(n);
  for (int x = 0; x < kKinds; ++x) {
    c[x].assign(n, 0.0);
    for (std::size_t a = 0; a < n; ++a) {
      std::fill(inner.begin(), inner.end(), 0.0);
      for (std::size_t b = 0; b < n; ++b) {
        const double xab = m.kind[x][a * n + b];
        if (xab == 0.0) continue;
        for (std::size_t k = 0; k < n; ++k) inner[k] += xab * w[b * n + k];
      }
      for (std::size_t k = 0; k < n; ++k) c[x][k] += w[a * n + k] * inner[k];
    }
  }
  if (eigenvectors) *eigenvectors = u;
  Tables t;
  for (auto& v : t.value) v.assign(kGrid + 1, 0.0);
  int last = kGrid;
  for (int g = 1; g <= kGrid; ++g) {
    double e[kKinds] = {0.0, 0.0, 0.0, 0.0};
    for (const double r : classRates)
      for (std::size_t k = 0; k < n; ++k) {
        const double decay = std::exp(lambda[k] * gridTime(g) * r);
        for (int x = 0; x < kKinds; ++x) e[x] += decay * c[x][k];
      }
    for (int x = 0; x < kKinds; ++x) t.value[x][static_cast<std::size_t>(g)] = e[x] / static_cast<double>(classRates.size());
    if (t.value[kSynonymous][static_cast<std::size_t>(g)] >= reach) {
      last = g;
      break;
    }
  }
  const std::vector<double>& s0 = t.value[kSynonymous];
  t.peak = static_cast<std::size_t>(std::max_element(s0.begin(), s0.begin() + last + 1) - s0.begin());
  return t;
}

// Where the expected synonymous differences reach 'target' (per codon): the
// grid segment and the share of the way along it; 'placed' false beyond the
// model's reach (above the peak), where the pair's divergence cannot be told.
struct Place {
  std::size_t at;
  double share;
  bool placed;
};

Place locate(const Tables& t, double target) {
  // No synonymous difference: the divergence is too small to tell, so a
  // trace of the first step (the ratio of first changes, no weight in a sum).
  if (!(target > 0.0)) return {0, 1e-9, true};
  const std::vector<double>& s = t.value[kSynonymous];
  if (t.peak == 0 || target > s[t.peak]) return {0, 0.0, false};
  const auto first = s.begin(), end = s.begin() + static_cast<std::ptrdiff_t>(t.peak) + 1;
  const std::size_t hi = static_cast<std::size_t>(std::lower_bound(first, end, target) - first);
  const double span = s[hi] - s[hi - 1];
  return {hi - 1, span > 0.0 ? (target - s[hi - 1]) / span : 1.0, true};
}

double at(const std::vector<double>& v, Place p) { return v[p.at] + (v[p.at + 1] - v[p.at]) * p.share; }

// The omega whose expected nonsynonymous differences over the 'usable' pairs
// (those the model can place) equal the 'counted' ones, and its tables; none
// where no omega in range meets the counts; the final model's eigenvectors.
std::optional<double> fitOmega(const CodonModel& model, const std::vector<double>& classRates,
                               const std::vector<ExpectedRatioPair>& pairs, const std::vector<std::size_t>& usable,
                               double counted, double synonymous, double L, Tables& tables,
                               std::vector<double>& eigenvectors) {
  // Expected minus counted nonsynonymous differences over the pairs the model
  // can place: it grows with omega.
  auto excess = [&](double logOmega) {
    tables = tabulate(model, std::exp(logOmega), classRates);
    double difference = 0.0;
    for (const std::size_t a : usable) {
      const ExpectedRatioPair& p = pairs[a];
      const Place place = locate(tables, p.pS * p.sitesS / L);
      if (place.placed) difference += L * at(tables.value[kNonsynonymous], place) - p.pN * p.sitesN;
    }
    return difference;
  };
  // Start from the counted ratio (0.5 where a kind has no difference) and
  // bracket the root, omega from e^-12 to e^12 at most: beyond, the counts say
  // nothing more.
  double lo = std::log(synonymous > 0.0 && counted > 0.0 ? counted / synonymous : 0.5) - 1.0;
  lo = std::clamp(lo, -12.0, 10.0);
  double hi = lo + 2.0;
  double flo = excess(lo), fhi = excess(hi);
  while (flo > 0.0 && lo > -12.0) hi = lo, fhi = flo, lo = std::max(lo - 2.0, -12.0), flo = excess(lo);
  while (fhi < 0.0 && hi < 12.0) lo = hi, flo = fhi, hi = std::min(hi + 2.0, 12.0), fhi = excess(hi);
  // No root within the range: the model cannot meet the counts.
  if (!(flo <= 0.0 && fhi >= 0.0)) return std::nullopt;
  double logOmega = lo;
  {
    // Regula falsi, the Illinois way (Dowell and Jarratt 1971).
    int side = 0;
    for (int i = 0; i < 100 && hi - lo > 1e-9; ++i) {
      logOmega = fhi - flo > 0.0 ? lo + (hi - lo) * (-flo) / (fhi - flo) : 0.5 * (lo + hi);
      const double f = excess(logOmega);
      if (std::fabs(f) <= 1e-10 * counted) break;
      if (f < 0.0) {
        lo = logOmega, flo = f;
        if (side == -1) fhi /= 2.0;
        side = -1;
      } else {
        hi = logOmega, fhi = f;
        if (side == 1) flo /= 2.0;
        side = 1;
      }
    }
  }
  const double omega = std::exp(logOmega);
  tables = tabulate(model, omega, classRates, nullptr, HUGE_VAL, &eigenvectors);
  return omega;
}

}  // namespace

ExpectedDistances expectedDistances(const std::vector<ExpectedRatioPair>& pairs, int seqLength,
                                    const std::vector<double>& codonCounts, const FrequencyTable& pathwayFrequency,
                                    const StepRates& rates, const GroupTable& groups, const GeneticCode& code,
                                    const ExpectedModel* whole) {
  ExpectedDistances out;
  out.dR.assign(pairs.size(), NAN);
  out.dC.assign(pairs.size(), NAN);
  const double L = seqLength;
  // The pairs that tell omega: synonymous and nonsynonymous sites, both
  // counted, and some synonymous difference to place them by.
  double counted = 0.0, synonymous = 0.0;
  std::vector<std::size_t> usable;
  for (std::size_t a = 0; a < pairs.size(); ++a) {
    const ExpectedRatioPair& p = pairs[a];
    if (!(p.sitesS > 0.0) || !(p.sitesN > 0.0) || !(p.pS > 0.0) || !std::isfinite(p.pS) || !std::isfinite(p.pN))
      continue;
    usable.push_back(a);
    counted += p.pN * p.sitesN;
    synonymous += p.pS * p.sitesS;
  }
  const bool given = whole && whole->omega > 0.0 && std::isfinite(whole->omega);
  // Without a nonsynonymous difference omega has no size: nothing to expect.
  if (!(L > 0.0) || (!given && (usable.empty() || !(counted > 0.0)))) return out;
  const CodonModel model = buildModel(codonCounts, pathwayFrequency, rates, groups, code);
  const std::vector<double> classRates = gammaClassRates();
  Tables tables;
  double omega = 0.0;
  if (given) {
    omega = whole->omega;
    double reach = 0.0;
    for (const ExpectedRatioPair& p : pairs)
      if (p.sitesS > 0.0 && std::isfinite(p.pS)) reach = std::max(reach, p.pS * p.sitesS / L);
    tables = tabulate(model, omega, classRates, &whole->eigenvectors, reach);
  } else {
    const std::optional<double> fitted =
        fitOmega(model, classRates, pairs, usable, counted, synonymous, L, tables, out.eigenvectors);
    if (!fitted) return out;
    omega = *fitted;
  }
  out.fitted = true;
  out.omega = omega;
  for (std::size_t a = 0; a < pairs.size(); ++a) {
    const ExpectedRatioPair& p = pairs[a];
    if (!(p.sitesS > 0.0) || !std::isfinite(p.pS) || !(p.sitesR > 0.0) || !(p.sitesC > 0.0)) continue;
    const Place place = locate(tables, p.pS * p.sitesS / L);
    if (!place.placed) {
      ++out.beyondReach;
      continue;
    }
    auto distance = [&](Kind k, double sites) {
      const double pe = L * at(tables.value[k], place) / sites;
      return 1.0 - pe * kFourThirds > 0.0 ? jukesCantor(pe) : NAN;
    };
    out.dR[a] = distance(kRadical, p.sitesR);
    out.dC[a] = distance(kConservative, p.sitesC);
  }
  return out;
}

}  // namespace radcon
