// The user guide lists every display text of the registry exactly once as a
// reference entry, so that it cannot fall behind the module. A reference entry
// is a line that starts with '#' (a heading) or '|' (a table row) and holds the
// text in backticks, e.g. "#### `Reset`" or "| `Volume(` | ...". Elsewhere in
// the guide the texts may appear freely.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/registry.h"

namespace quavix::host {
namespace {

// The guide's heading and table lines, joined by newlines.
std::string EntryLines() {
  std::ifstream file(QUAVIX_MODULE_GUIDE);
  std::string line;
  std::string entries;
  while (std::getline(file, line)) {
    if (!line.empty() && (line[0] == '#' || line[0] == '|')) entries += line + '\n';
  }
  return entries;
}

int Occurrences(const std::string& haystack, const std::string& needle) {
  int count = 0;
  for (auto at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

TEST(ModuleGuide, HasOneReferenceEntryForEveryDisplayText) {
  const std::string entries = EntryLines();
  ASSERT_FALSE(entries.empty()) << "cannot read " << QUAVIX_MODULE_GUIDE;
  const AceRegistry& r = Registry();
  ASSERT_EQ(r.Conditions.Items.size() + r.Actions.Items.size() + r.Expressions.Items.size(), 65u);
  for (const AceList* list : {&r.Conditions, &r.Actions, &r.Expressions}) {
    for (const AceDef* def : list->Items) {
      EXPECT_EQ(Occurrences(entries, std::string("`") + def->Text + "`"), 1)
          << "reference entries for \"" << def->Text << "\"";
    }
  }
}

}  // namespace
}  // namespace quavix::host
