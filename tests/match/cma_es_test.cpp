#include "match/cma_es.h"
#include "test_util.h"

namespace quavix::match {
namespace {

// On the squared distance to a point, the mean walks to the point, or to the nearest point
// of the unit box when the point lies outside it; the step size shrinks as it arrives.
TEST(CmaEs, FindsTheMinimumOfABowlInsideTheBoxOrAtItsEdge) {
  struct Case {
    const char* Name;
    std::vector<double> Optimum, End;
  } const cases[] = {
      {"inside", {0.3, 0.7, 0.5, 0.1, 0.9}, {0.3, 0.7, 0.5, 0.1, 0.9}},
      {"beyond two faces", {1.4, -0.5, 0.5, 0.5, 0.5}, {1.0, 0.0, 0.5, 0.5, 0.5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    CmaState state = StartCma(std::vector<double>(5, 0.5), 0.2, 12, 7);
    int outside = 0;
    for (int g = 0; g < 300; ++g) {
      const std::vector<std::vector<double>> points = ProposePoints(state);
      std::vector<double> costs;
      for (const std::vector<double>& p : points) {
        double d = 0;
        for (std::size_t j = 0; j < p.size(); ++j) {
          outside += p[j] < 0 || p[j] > 1;
          d += (p[j] - c.Optimum[j]) * (p[j] - c.Optimum[j]);
        }
        costs.push_back(d);
      }
      UpdateCma(state, points, costs);
    }
    EXPECT_EQ(outside, 0);
    for (std::size_t j = 0; j < c.End.size(); ++j) EXPECT_NEAR(state.Mean[j], c.End[j], 1e-3) << j;
    EXPECT_LT(state.Sigma, 0.01);
  }
}

}  // namespace
}  // namespace quavix::match
