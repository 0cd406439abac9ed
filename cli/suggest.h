// The name a mistyped option or command was most likely meant to be.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quavix::cli {

// The candidate closest to word: the one it differs from by the fewest
// insertions, deletions, substitutions and swaps of neighbours (at most one per
// three letters, at least one), or else the only one whose letters (dashes
// aside) begin with word's; nothing when no candidate is close or two tie.
std::optional<std::string> ClosestName(std::string_view word, const std::vector<std::string>& candidates);

// " (did you mean X?)" for the closest name, or "".
std::string DidYouMean(std::string_view word, const std::vector<std::string>& candidates);

}  // namespace quavix::cli
