// Round trips of the exchange formats over random and special parameters.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "exchange/settings_file.h"
#include "exchange/settings_string.h"
#include "param_generator.h"

namespace quavix {
namespace {

// The 26 stored fields: the 24 parameter cells, VibReserved and FlagReserved.
bool SameFields(const SynthParams& a, const SynthParams& b) {
  return std::memcmp(&a.Volume, &b.Volume, 4 * kParamCount) == 0 && a.FlagReserved == b.FlagReserved &&
         std::memcmp(&a.VibReserved, &b.VibReserved, 4) == 0;
}

// The first trip may turn a "-0.0000" field into -0.0, which the next export
// writes as an empty field: from the second import on text and bits hold.
TEST(ExchangeProperties, SettingsStringIsStableAfterTheFirstRoundTrip) {
  std::mt19937 gen(41);
  for (int n = 0; n < 2000; ++n) {
    const std::string first = ExportSettingsString(test::RandomParams(gen));
    SynthParams once = DefaultParams(), twice = DefaultParams(), thrice = DefaultParams();
    ImportSettingsString(once, first);
    const std::string second = ExportSettingsString(once);
    ImportSettingsString(twice, second);
    const std::string third = ExportSettingsString(twice);
    ASSERT_EQ(second, third) << "from " << first;
    ImportSettingsString(thrice, third);
    ASSERT_TRUE(SameFields(twice, thrice)) << first;
  }
}

TEST(ExchangeProperties, SettingsFileRoundTripIsBitExact) {
  const auto dir = std::filesystem::temp_directory_path() / ("quavix-props-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "sound.sfs").string();
  std::mt19937 gen(43);
  for (int n = 0; n < 2000; ++n) {
    const SynthParams original = test::RandomParams(gen);
    ASSERT_EQ(SaveSettingsFile(original, path), SettingsSaveResult::Saved);
    SynthParams loaded = test::RandomParams(gen);  // every field is overwritten by the load
    ASSERT_EQ(LoadSettingsFile(loaded, path), SettingsLoadResult::Loaded);
    ASSERT_TRUE(SameFields(original, loaded)) << "set " << n;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quavix
