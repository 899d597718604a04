// A literal, unoptimised evaluation of the statistics and the seven reports:
// full four-index covariance tables, every covariance term divided before it is
// added, every number through fprintf. The tests hold radcon's output to it.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace radcon::test {

struct ReferenceInput {
  int n = 0, L = 0;
  // By kind (0 synonymous, 1 nonsynonymous, 2 radical, 3 conservative).
  std::vector<double> X[4];   // [seq]
  std::vector<double> XX[4];  // [seq * L + codon]
  std::vector<double> x[4];   // [i * n + j], i < j
  std::vector<double> xx[4];  // [(i * n + j) * L + codon], i < j
  double ratio = 1.0;
  int division = 1;
};

inline void writeReference(const ReferenceInput& in, const std::string& dir) {
  const int n = in.n, L = in.L;
  auto I2 = [n](int i, int j) { return static_cast<std::size_t>(i) * n + j; };
  auto I4 = [n](int i, int j, int p, int q) { return ((static_cast<std::size_t>(i) * n + j) * n + p) * n + q; };
  std::vector<double> x[4], p[4], var[4], cov[4];
  for (int k = 0; k < 4; ++k) {
    x[k] = in.x[k];
    p[k].assign(static_cast<std::size_t>(n) * n, 0.0);
    var[k].assign(static_cast<std::size_t>(n) * n, 0.0);
    cov[k].assign(static_cast<std::size_t>(n) * n * n * n, 0.0);
    const std::vector<double>& X = in.X[k];
    auto XX = [&](int s, int c) { return in.XX[k][static_cast<std::size_t>(s) * L + c]; };
    auto xx = [&](int i, int j, int c) { return in.xx[k][I2(i, j) * L + c]; };
    for (int i = 0; i < n - 1; ++i)
      for (int j = i + 1; j < n; ++j) p[k][I2(i, j)] = (x[k][I2(i, j)] + x[k][I2(i, j)]) / (X[j] + X[i]);
    for (int i = 0; i < n - 1; ++i)
      for (int j = i + 1; j < n; ++j) {
        p[k][I2(j, i)] = p[k][I2(i, j)];
        x[k][I2(j, i)] = x[k][I2(i, j)];
      }
    for (int i = 0; i < n - 1; ++i)
      for (int j = i + 1; j < n; ++j)
        for (int c = 0; c < L; ++c) {
          const double d = xx(i, j, c) - (XX(j, c) + XX(i, c)) * (p[k][I2(i, j)] * 0.5);
          var[k][I2(i, j)] = var[k][I2(i, j)] + ((4.0 * d) * d) / (X[j] + X[i]) / (X[j] + X[i]);
        }
    for (int i = 0; i < n - 2; ++i)
      for (int j = i + 1; j < n; ++j)
        for (int pp = i; pp < n - 1; ++pp)
          for (int q = (pp == i ? j : pp) + 1; q < n; ++q)
            for (int c = 0; c < L; ++c) {
              const double dij = xx(i, j, c) - (XX(j, c) + XX(i, c)) * (p[k][I2(i, j)] * 0.5);
              const double dpq = xx(pp, q, c) - (XX(q, c) + XX(pp, c)) * (p[k][I2(pp, q)] * 0.5);
              cov[k][I4(i, j, pp, q)] =
                  cov[k][I4(i, j, pp, q)] + (dij * dpq) / (((X[i] + X[j]) * (X[pp] + X[q])) / 4.0);
            }
    for (int i = 0; i < n - 1; ++i)
      for (int j = i + 1; j < n; ++j) cov[k][I4(i, j, i, j)] = var[k][I2(i, j)];
  }
  const double ft = 4.0 / 3.0;
  auto open = [&](const char* name) { return std::fopen((dir + "/" + name).c_str(), "w"); };
  auto matrix = [&](std::FILE* f, auto v) {
    for (int i = 0; i < n; ++i) {
      std::fputc('\n', f);
      for (int j = 0; j < n; ++j) std::fprintf(f, "%8.3f ", v(i, j));
    }
  };
  auto covBlock = [&](std::FILE* f, std::vector<double>& c, const std::vector<double>* pk) {
    for (int i = 0; i < n - 1; ++i) {
      std::fputc('\n', f);
      for (int j = i + 1; j < n; ++j) {
        std::fputc('\n', f);
        for (int pp = i; pp < n - 1; ++pp) {
          std::fputc('\n', f);
          for (int q = (pp == i ? j : pp + 1); q < n; ++q) {
            if (c[I4(i, j, pp, q)] < 0.0) c[I4(i, j, pp, q)] = 0.0;
            double w = c[I4(i, j, pp, q)];
            if (pk) w = (w / (1.0 - (*pk)[I2(i, j)] * ft)) / (1.0 - (*pk)[I2(pp, q)] * ft);
            std::fprintf(f, "%d-%d-%d-%d %8.7f ", i, j, pp, q, w);
          }
        }
      }
    }
  };
  auto jc = [&](double pv) { return 0.0 - std::log(1.0 - pv * ft) * 0.75; };
  auto detailed = [&](const char* name, int a, int b, const char* sites, const char* an, const char* bn) {
    std::FILE* f = open(name);
    std::fputs(sites, f);
    for (int i = 0; i < n; ++i) std::fprintf(f, "otu%3d: %8.3f %8.3f\n", i + 1, in.X[a][i], in.X[b][i]);
    std::fprintf(f, "\nNumber of %s differences", an);
    matrix(f, [&](int i, int j) { return x[a][I2(i, j)]; });
    std::fprintf(f, "\n\nNumber of %s differences", bn);
    matrix(f, [&](int i, int j) { return x[b][I2(i, j)]; });
    std::fprintf(f, "\n\nProportion of %s differences", an);
    matrix(f, [&](int i, int j) { return p[a][I2(i, j)]; });
    std::fprintf(f, "\n\nProportion of %s differences", bn);
    matrix(f, [&](int i, int j) { return p[b][I2(i, j)]; });
    std::fprintf(f, "\n\nCovarince of proportion of %s differences", an);
    covBlock(f, cov[a], nullptr);
    std::fprintf(f, "\n\nCovariance of proportion of %s differences", bn);
    covBlock(f, cov[b], nullptr);
    std::fprintf(f, "\n\nJC distance of %s substitutions", an);
    matrix(f, [&](int i, int j) { return jc(p[a][I2(i, j)]); });
    std::fprintf(f, "\n\nJC distance of %s substitutions", bn);
    matrix(f, [&](int i, int j) { return jc(p[b][I2(i, j)]); });
    std::fprintf(f, "\n\nCovarince of JC distance of %s differences", an);
    covBlock(f, cov[a], &p[a]);
    std::fprintf(f, "\n\nCovariance of JC distance of %s differences", bn);
    covBlock(f, cov[b], &p[b]);
    std::fclose(f);
  };
  detailed("sn.rst", 1, 0, "\nNumbers of nonsynonymous and synonymous sites\n", "nonsynonymous", "synonymous");
  detailed("cr.rst", 2, 3, "\nNumbers of radical and conservative sites\n", "radical", "conservative");
  const char* disNames[4] = {"s.dis", "n.dis", "r.dis", "c.dis"};
  for (int k : {1, 0, 2, 3}) {
    std::FILE* f = open(disNames[k]);
    std::fprintf(f, "%d\n", n);
    for (int i = 0; i < n; ++i) {
      std::fputc('\n', f);
      for (int j = 0; j < n; ++j) std::fprintf(f, "%f ", p[k][I2(i, j)]);
    }
    std::fputc('\n', f);
    for (int i = 0; i < n - 1; ++i)
      for (int j = i + 1; j < n; ++j)
        for (int pp = i; pp < n - 1; ++pp)
          for (int q = (pp == i ? j : pp + 1); q < n; ++q) {
            if (cov[k][I4(i, j, pp, q)] < 0.0) cov[k][I4(i, j, pp, q)] = 0.0;
            std::fprintf(f, "%f ", cov[k][I4(i, j, pp, q)]);
          }
    std::fclose(f);
  }
  std::FILE* f = open("outfile");
  std::fprintf(f, "Ts/Tv=%f\n", in.ratio / 2.0);
  const char* labels[] = {"Charge change", "Polarity change", "Miyata-Yasunaga change", "Self-defined change"};
  if (in.division >= 1 && in.division <= 4) std::fputs(labels[in.division - 1], f);
  std::fputs("\n\nNumbers of radical (R) and conservative (C) sites\n", f);
  for (int i = 0; i < n; ++i) std::fprintf(f, "otu%3d: %8.3f %8.3f\n", i + 1, in.X[2][i], in.X[3][i]);
  std::fputs("\nNumbers of radical (r, above diagonal) and conservative (c, below diagonal) differences", f);
  matrix(f, [&](int i, int j) { return i == j ? 0.0 : (j > i ? x[2][I2(i, j)] : x[3][I2(i, j)]); });
  std::fputs("\n\nProportions of radical differences (above diagonal) and their standard errors (below diagonal)", f);
  matrix(f, [&](int i, int j) {
    return i == j ? 0.0 : (j > i ? p[2][I2(i, j)] : std::sqrt(cov[2][I4(j, i, j, i)]));
  });
  std::fputs(
      "\n\nProportions of conservative differences (above diagonal) and their standard errors (below diagonal)", f);
  matrix(f, [&](int i, int j) {
    return i == j ? 0.0 : (j > i ? p[3][I2(i, j)] : std::sqrt(cov[3][I4(j, i, j, i)]));
  });
  std::fclose(f);
}

}  // namespace radcon::test
