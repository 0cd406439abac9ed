// A small CMA-ES for the search: the separable variant (Ros and Hansen,
// "A simple modification in CMA-ES achieving linear time and space
// complexity", 2008), whose covariance is diagonal. With some twenty
// parameters and budgets of a few hundred to a few thousand sounds, a full
// covariance (n(n+1)/2 = 276 entries) would barely begin to learn before the
// budget ends, while the diagonal one learns each parameter's own scale
// about n times faster; the parameters of a sound are also far more
// separable than rotated. Everything is in double and the normal draws come
// from the generator below, so a run is the same for the same seed.
//
// The search space is the unit box [0, 1]^n: a drawn point is clamped into
// it, and the clamped point is what is evaluated and what the update learns
// from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quavix::match {

// A 64-bit generator (splitmix64) with Box-Muller normal draws.
struct NormalDraws {
  std::uint64_t State = 0;
  bool HasSpare = false;
  double Spare = 0;
};
std::uint64_t NextBits(NormalDraws& draws);
double NextUniform(NormalDraws& draws);  // in (0, 1)
double NextNormal(NormalDraws& draws);

struct CmaState {
  std::size_t Dimension = 0;
  std::size_t Lambda = 0;  // points per generation
  std::size_t Mu = 0;      // points the mean moves to
  std::vector<double> Weights;
  double MuEff = 0, Cs = 0, Ds = 0, Cc = 0, C1 = 0, Cmu = 0, ChiN = 0;
  std::vector<double> Mean, Variance, PathSigma, PathC;
  double Sigma = 0;
  std::int64_t Generation = 0;
  NormalDraws Draws;
};

// A run from mean (each coordinate clamped into [0, 1]) with step sigma and
// lambda points per generation.
CmaState StartCma(std::span<const double> mean, double sigma, std::size_t lambda, std::uint64_t seed);

// The next generation's lambda points, each of Dimension coordinates in [0, 1].
std::vector<std::vector<double>> ProposePoints(CmaState& state);

// Learns from the points of ProposePoints and their costs (lower is better;
// ties keep the order of the points).
void UpdateCma(CmaState& state, const std::vector<std::vector<double>>& points, std::span<const double> costs);

}  // namespace quavix::match
