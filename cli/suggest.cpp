#include "suggest.h"

#include <algorithm>

namespace quavix::cli {
namespace {

// Optimal string alignment distance.
std::size_t Distance(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  std::vector<std::vector<std::size_t>> d(n + 1, std::vector<std::size_t>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) d[i][0] = i;
  for (std::size_t j = 0; j <= m; ++j) d[0][j] = j;
  for (std::size_t i = 1; i <= n; ++i) {
    for (std::size_t j = 1; j <= m; ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[n][m];
}

std::string_view Letters(std::string_view name) {
  while (!name.empty() && name.front() == '-') name.remove_prefix(1);
  return name;
}

}  // namespace

std::optional<std::string> ClosestName(std::string_view word, const std::vector<std::string>& candidates) {
  word = word.substr(0, word.find('='));  // --name=value
  if (Letters(word).empty() || word.size() > 64) return std::nullopt;
  const std::size_t allowed = std::max<std::size_t>(1, Letters(word).size() / 3);
  std::optional<std::string> best;
  std::size_t bestDistance = allowed + 1;
  bool tie = false;
  for (const std::string& c : candidates) {
    const std::size_t d = Distance(word, c);
    if (d < bestDistance) {
      best = c;
      bestDistance = d;
      tie = false;
    } else if (d == bestDistance) {
      tie = true;
    }
  }
  if (best && !tie && bestDistance > 0) return best;
  std::optional<std::string> prefixed;
  for (const std::string& c : candidates) {
    if (Letters(c).starts_with(Letters(word)) && Letters(c) != Letters(word)) {
      if (prefixed) return std::nullopt;
      prefixed = c;
    }
  }
  return prefixed;
}

std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates) {
  const std::optional<std::string> name = ClosestName(word, candidates);
  return name ? " (did you mean " + *name + "?)" : "";
}

}  // namespace quavix::cli
