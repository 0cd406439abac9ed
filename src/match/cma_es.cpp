#include "match/cma_es.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace quavix::match {

std::uint64_t NextBits(NormalDraws& draws) {
  std::uint64_t z = (draws.State += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double NextUniform(NormalDraws& draws) {
  return (static_cast<double>(NextBits(draws) >> 11) + 0.5) * 0x1p-53;
}

double NextNormal(NormalDraws& draws) {
  if (draws.HasSpare) {
    draws.HasSpare = false;
    return draws.Spare;
  }
  const double radius = std::sqrt(-2 * std::log(NextUniform(draws)));
  const double angle = 2 * std::numbers::pi * NextUniform(draws);
  draws.Spare = radius * std::sin(angle);
  draws.HasSpare = true;
  return radius * std::cos(angle);
}

CmaState StartCma(std::span<const double> mean, double sigma, std::size_t lambda, std::uint64_t seed) {
  CmaState s;
  const std::size_t n = mean.size();
  const double nd = static_cast<double>(n);
  s.Dimension = n;
  s.Lambda = std::max<std::size_t>(lambda, 2);
  s.Mu = s.Lambda / 2;
  for (std::size_t i = 0; i < s.Mu; ++i) {
    s.Weights.push_back(std::log(static_cast<double>(s.Mu) + 0.5) - std::log(static_cast<double>(i) + 1));
  }
  const double sum = std::accumulate(s.Weights.begin(), s.Weights.end(), 0.0);
  double squares = 0;
  for (double& w : s.Weights) {
    w /= sum;
    squares += w * w;
  }
  s.MuEff = 1 / squares;
  s.Cs = (s.MuEff + 2) / (nd + s.MuEff + 5);
  s.Ds = 1 + 2 * std::max(0.0, std::sqrt((s.MuEff - 1) / (nd + 1)) - 1) + s.Cs;
  s.Cc = (4 + s.MuEff / nd) / (nd + 4 + 2 * s.MuEff / nd);
  // The separable variant's faster learning rates: (n + 2) / 3 times the full one's.
  const double c1 = 2 / ((nd + 1.3) * (nd + 1.3) + s.MuEff);
  const double cmu = std::min(1 - c1, 2 * (s.MuEff - 2 + 1 / s.MuEff) / ((nd + 2) * (nd + 2) + s.MuEff));
  s.C1 = std::min(1.0, c1 * (nd + 2) / 3);
  s.Cmu = std::min(1 - s.C1, cmu * (nd + 2) / 3);
  s.ChiN = std::sqrt(nd) * (1 - 1 / (4 * nd) + 1 / (21 * nd * nd));
  s.Mean.resize(n);
  for (std::size_t j = 0; j < n; ++j) s.Mean[j] = std::clamp(mean[j], 0.0, 1.0);
  s.Variance.assign(n, 1.0);
  s.PathSigma.assign(n, 0.0);
  s.PathC.assign(n, 0.0);
  s.Sigma = sigma;
  s.Draws.State = seed;
  return s;
}

std::vector<std::vector<double>> ProposePoints(CmaState& s) {
  std::vector<std::vector<double>> points(s.Lambda, std::vector<double>(s.Dimension));
  for (std::vector<double>& y : points) {
    for (std::size_t j = 0; j < s.Dimension; ++j) {
      const double drawn = s.Mean[j] + s.Sigma * std::sqrt(s.Variance[j]) * NextNormal(s.Draws);
      y[j] = std::clamp(drawn, 0.0, 1.0);
    }
  }
  return points;
}

void UpdateCma(CmaState& s, const std::vector<std::vector<double>>& points, std::span<const double> costs) {
  std::vector<std::size_t> order(points.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return costs[a] < costs[b]; });
  const std::size_t n = s.Dimension;
  const std::size_t mu = std::min(s.Mu, points.size());
  std::vector<double> old = s.Mean;
  for (std::size_t j = 0; j < n; ++j) {
    double m = 0;
    for (std::size_t i = 0; i < mu; ++i) m += s.Weights[i] * points[order[i]][j];
    s.Mean[j] = m;
  }
  const double ks = std::sqrt(s.Cs * (2 - s.Cs) * s.MuEff);
  double norm = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const double step = (s.Mean[j] - old[j]) / s.Sigma;
    s.PathSigma[j] = (1 - s.Cs) * s.PathSigma[j] + ks * step / std::sqrt(s.Variance[j]);
    norm += s.PathSigma[j] * s.PathSigma[j];
  }
  norm = std::sqrt(norm);
  s.Generation += 1;
  const double fade = std::sqrt(1 - std::pow(1 - s.Cs, 2.0 * static_cast<double>(s.Generation)));
  const bool hs = norm / fade < (1.4 + 2 / (static_cast<double>(n) + 1)) * s.ChiN;
  const double kc = std::sqrt(s.Cc * (2 - s.Cc) * s.MuEff);
  for (std::size_t j = 0; j < n; ++j) {
    const double step = (s.Mean[j] - old[j]) / s.Sigma;
    s.PathC[j] = (1 - s.Cc) * s.PathC[j] + (hs ? kc * step : 0.0);
    double rankMu = 0;
    for (std::size_t i = 0; i < mu; ++i) {
      const double d = (points[order[i]][j] - old[j]) / s.Sigma;
      rankMu += s.Weights[i] * d * d;
    }
    const double rankOne = s.PathC[j] * s.PathC[j] + (hs ? 0.0 : s.Cc * (2 - s.Cc) * s.Variance[j]);
    s.Variance[j] = (1 - s.C1 - s.Cmu) * s.Variance[j] + s.C1 * rankOne + s.Cmu * rankMu;
    s.Variance[j] = std::max(s.Variance[j], 1e-12);
  }
  s.Sigma *= std::exp((s.Cs / s.Ds) * (norm / s.ChiN - 1));
  s.Sigma = std::min(s.Sigma, 1.0);
}

}  // namespace quavix::match
