// The user guide lists every display text of the registry exactly once as a
// reference entry: a line starting with '#' (a heading) or '|' (a table row)
// that holds the text in backticks, e.g. "#### `Reset`" or "| `Volume(` | ...".
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "host/registry.h"

namespace quavix::host {
namespace {

TEST(ModuleGuide, HasOneReferenceEntryForEveryDisplayText) {
  std::ifstream file(QUAVIX_MODULE_GUIDE);
  std::string entries;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && (line[0] == '#' || line[0] == '|')) entries += line + '\n';
  }
  ASSERT_FALSE(entries.empty()) << "cannot read " << QUAVIX_MODULE_GUIDE;
  const AceRegistry& r = Registry();
  for (const AceList* list : {&r.Conditions, &r.Actions, &r.Expressions}) {
    for (const AceDef* def : list->Items) {
      const std::string needle = std::string("`") + def->Text + "`";
      int count = 0;
      for (auto at = entries.find(needle); at != std::string::npos; at = entries.find(needle, at + 1)) ++count;
      EXPECT_EQ(count, 1) << "reference entries for \"" << def->Text << "\"";
    }
  }
}

}  // namespace
}  // namespace quavix::host
