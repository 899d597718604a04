// Seeded codon-model simulations for the benchmark of the test of dR against dC.
//
// A gene family evolves down a random tree under a Goldman-Yang (1994) style
// codon model: the rate from sense codon i to a sense codon j one nucleotide away
// is mu x pi*_j x (kappa if the step is a transition) x (omega if it changes the
// amino acid) x (rho if it crosses charge classes: R H K positive, D E negative,
// the rest neutral). A step into a stop codon never happens. pi*_j is the product
// of the base frequencies at the three codon positions, times, with --usage U, a
// factor that makes the codons of one amino acid used unevenly beyond base
// composition (the 1st, 3rd, ... codon of each amino acid, in TCAG order, U times
// as often as the 2nd, 4th, ...). The model is reversible with stationary
// distribution pi*, from which the root's codons are drawn.
//
// Time is scaled so that a neutral gene (omega = rho = 1) makes one substitution
// per nucleotide site per unit: branch lengths are then close to synonymous
// distances. The tree is a coalescent of the sequences, its height drawn
// uniformly from [height-min, height-max], each branch stretched by a factor in
// [0.75, 1.25], each leaf's branch 0.015 longer: pairwise path lengths from
// 0.03 to about 0.6. Codon
// columns evolve at gamma-distributed rates (mean 1); with --fast F a share F of
// the columns evolves at rate 10 instead, enough to saturate them.
//
// With --stretch START,LENGTH,RHO the codon columns START..START+LENGTH-1 (from
// 1) evolve with rho = RHO instead of --rho: selection on radical changes in one
// stretch of the gene only, as a domain whose charges matter. The rates keep
// the same scale (mu is set under neutrality) and the same stationary
// distribution, so the root's codons are drawn alike; without the option every
// file is what it was.
//
// Every random number comes from a fixed-seed xoshiro256** stream per gene with
// explicit mappings to doubles, so a gene's file is the same on every platform
// whose libm rounds log, exp, sqrt and cos alike.
//
// usage: codon_sim --out DIR --genes N --kappa K [--omega W] [--rho R]
//          [--freqs T,C,A,G | --freqs1 .. --freqs2 .. --freqs3 ..] [--usage U]
//          [--shape A] [--fast F] [--code 1|2] [--sequences 8] [--codons 300]
//          [--seed S] [--height-min 0.1] [--height-max 0.28]
//          [--stretch START,LENGTH,RHO]
// Writes DIR/gene0001.seq ... in radcon's native format, DIR/paths.tsv, the
// path length of every pair of every gene, and DIR/events.tsv, what happened
// along each gene's tree: its radical and conservative substitutions (multiple
// hits included) and their exposures, the time spent in each codon times its
// radical and its conservative rate out at omega = rho = 1. Under rho = 1 and
// given their sum, the radical count is binomial with the radical share of the
// exposure: the conditional test of two Poisson rates (Przyborowski and
// Wilenski 1940) on the whole history, which no method that sees only the
// sequences has (simulate_tests.py's "ideal" row).
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Amino acids of the 64 codons in TCAG order (16a + 4b + c; T=0, C=1, A=2, G=3).
const char* kStandard = "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG";
const char* kVertebrateMito = "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNKKSS**VVVVAAAADDEEGGGG";
const char* kBases = "TCAG";

int chargeClass(char aa) {
  if (aa == 'R' || aa == 'H' || aa == 'K') return 1;
  if (aa == 'D' || aa == 'E') return 2;
  return 0;
}

struct Rng {
  std::uint64_t s[4];
  explicit Rng(std::uint64_t seed) {
    for (auto& v : s) {  // splitmix64
      seed += 0x9e3779b97f4a7c15ULL;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      v = z ^ (z >> 31);
    }
  }
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t next() {
    const std::uint64_t result = rotl(s[1] * 5, 7) * 9;
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
  }
  // In [0, 1), 53 random bits.
  double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
  // In [0, n), by rejection of the biased top of the range.
  int below(int n) {
    const std::uint64_t un = static_cast<std::uint64_t>(n);
    const std::uint64_t limit = UINT64_MAX - UINT64_MAX % un;
    std::uint64_t x;
    do x = next();
    while (x >= limit);
    return static_cast<int>(x % un);
  }
  double exponential() { return -std::log(1.0 - uniform()); }
  double normal() {  // Box-Muller, one of the pair
    const double u = 1.0 - uniform(), v = uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }
  // Gamma with the given shape and scale 1 (Marsaglia and Tsang 2000).
  double gamma(double shape) {
    if (shape < 1.0) return gamma(shape + 1.0) * std::pow(1.0 - uniform(), 1.0 / shape);
    const double d = shape - 1.0 / 3.0, c = 1.0 / std::sqrt(9.0 * d);
    for (;;) {
      double x, v;
      do {
        x = normal();
        v = 1.0 + c * x;
      } while (v <= 0.0);
      v = v * v * v;
      const double u = 1.0 - uniform();
      if (std::log(u) < 0.5 * x * x + d - d * v + d * std::log(v)) return d * v;
    }
  }
};

struct Options {
  std::string out;
  int genes = 0, sequences = 8, codons = 300, code = 1;
  double kappa = 1, omega = 1, rho = 1, usage = 1, shape = 1, fast = 0;
  double heightMin = 0.1, heightMax = 0.28;
  // --stretch: codon columns [stretchStart, stretchEnd) from 0 evolve with
  // stretchRho; empty when not given.
  int stretchStart = 0, stretchEnd = 0;
  double stretchRho = 1;
  std::uint64_t seed = 1;
  std::array<std::array<double, 4>, 3> freqs{{{0.25, 0.25, 0.25, 0.25}, {0.25, 0.25, 0.25, 0.25}, {0.25, 0.25, 0.25, 0.25}}};
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr, "codon_sim: %s\n", why);
  std::exit(2);
}

std::array<double, 4> parseFreqs(const char* text) {
  std::array<double, 4> f{};
  if (std::sscanf(text, "%lf,%lf,%lf,%lf", &f[0], &f[1], &f[2], &f[3]) != 4) usage("frequencies are T,C,A,G");
  const double sum = f[0] + f[1] + f[2] + f[3];
  for (double& v : f) {
    if (!(v > 0)) usage("every base frequency must be positive");
    v /= sum;
  }
  return f;
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) usage(("no value after " + a).c_str());
    const char* v = argv[++i];
    if (a == "--out") o.out = v;
    else if (a == "--genes") o.genes = std::atoi(v);
    else if (a == "--sequences") o.sequences = std::atoi(v);
    else if (a == "--codons") o.codons = std::atoi(v);
    else if (a == "--code") o.code = std::atoi(v);
    else if (a == "--kappa") o.kappa = std::atof(v);
    else if (a == "--omega") o.omega = std::atof(v);
    else if (a == "--rho") o.rho = std::atof(v);
    else if (a == "--usage") o.usage = std::atof(v);
    else if (a == "--shape") o.shape = std::atof(v);
    else if (a == "--fast") o.fast = std::atof(v);
    else if (a == "--seed") o.seed = std::strtoull(v, nullptr, 10);
    else if (a == "--height-min") o.heightMin = std::atof(v);
    else if (a == "--height-max") o.heightMax = std::atof(v);
    else if (a == "--freqs") o.freqs[0] = o.freqs[1] = o.freqs[2] = parseFreqs(v);
    else if (a == "--freqs1") o.freqs[0] = parseFreqs(v);
    else if (a == "--freqs2") o.freqs[1] = parseFreqs(v);
    else if (a == "--freqs3") o.freqs[2] = parseFreqs(v);
    else if (a == "--stretch") {
      int start = 0, length = 0;
      char end = 0;
      if (std::sscanf(v, "%d,%d,%lf%c", &start, &length, &o.stretchRho, &end) != 3 || start < 1 || length < 1)
        usage("--stretch is START,LENGTH,RHO: a first codon from 1, a number of codons, a radical factor");
      o.stretchStart = start - 1;
      o.stretchEnd = start - 1 + length;
    }
    else usage(("unknown option " + a).c_str());
  }
  if (o.out.empty() || o.genes <= 0 || o.sequences < 2 || o.codons <= 0) usage("--out and --genes are needed");
  if (o.code != 1 && o.code != 2) usage("--code is 1 (standard) or 2 (vertebrate mitochondrial)");
  if (!(o.kappa > 0 && o.omega > 0 && o.rho > 0 && o.usage > 0 && o.shape > 0 && o.stretchRho > 0))
    usage("rates must be positive");
  if (o.stretchEnd > o.codons) usage("the --stretch ends after the last codon");
  return o;
}

// The codon model: every sense codon's neighbours and the rates to them.
struct Model {
  const char* code;
  std::array<double, 64> pi{};  // stationary frequencies, 0 for stop codons
  std::array<std::array<int, 9>, 64> to{};
  std::array<std::array<double, 9>, 64> rate{};
  std::array<int, 64> neighbours{};
  std::array<double, 64> total{};
  // At omega = rho = 1: each codon's rate out to codons of another charge
  // class and to other amino acids of its own class.
  std::array<double, 64> radicalRate{}, conservativeRate{};
};

// The amino-acid changes along a gene's tree and their exposures.
struct Events {
  long radical = 0, conservative = 0;
  double radicalExposure = 0, conservativeExposure = 0;
};

Model buildModel(const Options& o) {
  Model m;
  m.code = o.code == 2 ? kVertebrateMito : kStandard;
  // Codon usage within amino acids: alternate codons of each amino acid get U.
  std::array<int, 128> seen{};
  double sum = 0;
  for (int c = 0; c < 64; ++c) {
    const char aa = m.code[c];
    if (aa == '*') continue;
    const double u = (seen[static_cast<unsigned char>(aa)]++ % 2 == 0) ? o.usage : 1.0;
    m.pi[c] = o.freqs[0][c >> 4] * o.freqs[1][(c >> 2) & 3] * o.freqs[2][c & 3] * u;
    sum += m.pi[c];
  }
  for (double& p : m.pi) p /= sum;
  auto relative = [&](int i, int j, double omega, double rho) {
    const int diff = i ^ j;
    const int shift = (diff & 0x30) ? 4 : (diff & 0x0C) ? 2 : 0;
    const int x = (i >> shift) & 3, y = (j >> shift) & 3;
    double r = m.pi[j];
    if ((x >> 1) == (y >> 1)) r *= o.kappa;
    if (m.code[i] != m.code[j]) {
      r *= omega;
      if (chargeClass(m.code[i]) != chargeClass(m.code[j])) r *= rho;
    }
    return r;
  };
  // Scale: one substitution per nucleotide site per unit time under neutrality.
  double neutral = 0;
  for (int i = 0; i < 64; ++i) {
    if (m.code[i] == '*') continue;
    for (int pos = 0; pos < 3; ++pos)
      for (int b = 1; b < 4; ++b) {
        const int j = i ^ (b << (2 * pos));
        if (m.code[j] != '*') neutral += m.pi[i] * relative(i, j, 1.0, 1.0);
      }
  }
  const double mu = 3.0 / neutral;
  for (int i = 0; i < 64; ++i) {
    if (m.code[i] == '*') continue;
    for (int pos = 0; pos < 3; ++pos)
      for (int b = 1; b < 4; ++b) {
        const int j = i ^ (b << (2 * pos));
        if (m.code[j] == '*') continue;
        const int k = m.neighbours[i]++;
        m.to[i][k] = j;
        m.rate[i][k] = mu * relative(i, j, o.omega, o.rho);
        m.total[i] += m.rate[i][k];
        if (m.code[i] != m.code[j])
          (chargeClass(m.code[i]) != chargeClass(m.code[j]) ? m.radicalRate : m.conservativeRate)[i] +=
              mu * relative(i, j, 1.0, 1.0);
      }
  }
  return m;
}

// One codon along a branch of length t (already times the column's rate).
int evolveCodon(const Model& m, int c, double t, Rng& rng, Events& events) {
  for (;;) {
    const double wait = rng.exponential() / m.total[c];
    const double stay = wait < t ? wait : t;
    events.radicalExposure += stay * m.radicalRate[c];
    events.conservativeExposure += stay * m.conservativeRate[c];
    t -= wait;
    if (t < 0) return c;
    double pick = rng.uniform() * m.total[c];
    int k = 0;
    while (k + 1 < m.neighbours[c] && pick >= m.rate[c][k]) pick -= m.rate[c][k++];
    const int to = m.to[c][k];
    if (m.code[c] != m.code[to]) ++(chargeClass(m.code[c]) != chargeClass(m.code[to]) ? events.radical : events.conservative);
    c = to;
  }
}

struct Node {
  int parent = -1;
  double height = 0, branch = 0;
};

// 'stretch': the model of the --stretch columns (m itself without one).
void simulateGene(const Options& o, const Model& m, const Model& stretch, int gene, std::FILE* paths,
                  std::FILE* eventsOut) {
  Rng rng(o.seed * 1000003ULL + static_cast<std::uint64_t>(gene));
  const int n = o.sequences, L = o.codons;
  // Column rates.
  std::vector<double> colRate(L);
  for (double& r : colRate) r = rng.uniform() < o.fast ? 10.0 : rng.gamma(o.shape) / o.shape;
  // Coalescent tree: leaves 0..n-1, internal nodes after them, the root last.
  std::vector<Node> node(2 * n - 1);
  std::vector<int> lineages(n);
  for (int i = 0; i < n; ++i) lineages[i] = i;
  double now = 0;
  for (int next = n; next < 2 * n - 1; ++next) {
    const double k = static_cast<double>(lineages.size());
    now += rng.exponential() / (k * (k - 1) / 2);
    const int a = rng.below(static_cast<int>(lineages.size()));
    const int ca = lineages[a];
    lineages.erase(lineages.begin() + a);
    const int b = rng.below(static_cast<int>(lineages.size()));
    const int cb = lineages[b];
    lineages[b] = next;
    node[ca].parent = node[cb].parent = next;
    node[next].height = now;
  }
  const int root = 2 * n - 2;
  const double height = o.heightMin + (o.heightMax - o.heightMin) * rng.uniform();
  for (int v = 0; v < root; ++v) {
    node[v].branch = (node[node[v].parent].height - node[v].height) / now * height * (0.75 + 0.5 * rng.uniform());
    if (v < n) node[v].branch += 0.015;  // no two sequences nearly identical
  }
  // Root codons from the stationary distribution, then down the tree (parents
  // have higher numbers than their children).
  std::vector<std::vector<int>> seq(2 * n - 1, std::vector<int>(L));
  for (int k = 0; k < L; ++k) {
    double pick = rng.uniform();
    int c = 0;
    while (c < 63 && (m.pi[c] == 0 || pick >= m.pi[c])) pick -= m.pi[c++];
    while (m.pi[c] == 0) --c;
    seq[root][k] = c;
  }
  Events events;
  for (int v = root - 1; v >= 0; --v)
    for (int k = 0; k < L; ++k) {
      const Model& here = k >= o.stretchStart && k < o.stretchEnd ? stretch : m;
      seq[v][k] = evolveCodon(here, seq[node[v].parent][k], node[v].branch * colRate[k], rng, events);
    }
  std::fprintf(eventsOut, "%d\t%ld\t%ld\t%.6f\t%.6f\n", gene + 1, events.radical, events.conservative,
               events.radicalExposure, events.conservativeExposure);

  char name[64];
  std::snprintf(name, sizeof name, "/gene%04d.seq", gene + 1);
  std::FILE* f = std::fopen((o.out + name).c_str(), "w");
  if (!f) usage(("cannot write " + o.out + name).c_str());
  std::fprintf(f, "%d %d\n", n, 3 * L);
  for (int i = 0; i < n; ++i) {
    std::fprintf(f, "s%d\n", i + 1);
    for (int k = 0; k < L; ++k) {
      const int c = seq[i][k];
      std::fputc(kBases[c >> 4], f);
      std::fputc(kBases[(c >> 2) & 3], f);
      std::fputc(kBases[c & 3], f);
    }
    std::fputc('\n', f);
  }
  std::fclose(f);
  // Path lengths: up from each leaf to the common ancestor.
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      std::vector<double> up(2 * n - 1, -1.0);
      double d = 0;
      for (int v = i; v != -1; v = node[v].parent) {
        up[v] = d;
        d += node[v].branch;
      }
      d = 0;
      int v = j;
      while (up[v] < 0) {
        d += node[v].branch;
        v = node[v].parent;
      }
      std::fprintf(paths, "%d\t%d\t%d\t%.6f\n", gene + 1, i + 1, j + 1, d + up[v]);
    }
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  const Model m = buildModel(o);
  Options inStretch = o;
  inStretch.rho = o.stretchRho;
  const Model stretch = o.stretchEnd > o.stretchStart ? buildModel(inStretch) : m;
  std::FILE* paths = std::fopen((o.out + "/paths.tsv").c_str(), "w");
  if (!paths) usage(("cannot write in " + o.out).c_str());
  std::FILE* events = std::fopen((o.out + "/events.tsv").c_str(), "w");
  if (!events) usage(("cannot write in " + o.out).c_str());
  std::fprintf(paths, "gene\tseq1\tseq2\tpath\n");
  std::fprintf(events, "gene\tradical\tconservative\tradical_exposure\tconservative_exposure\n");
  for (int g = 0; g < o.genes; ++g) simulateGene(o, m, stretch, g, paths, events);
  std::fclose(paths);
  std::fclose(events);
  return 0;
}
