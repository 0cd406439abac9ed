// quavix info, end to end: both units, the settings string and the sound.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_test_util.h"

namespace quavix::test {
namespace {

nlohmann::json ParamNamed(const nlohmann::json& info, const std::string& name) {
  for (const auto& p : info["parameters"]) {
    if (p["name"] == name) return p;
  }
  return nullptr;
}

TEST(Info, DefaultsFileInBothUnitsWithItsSound) {
  ScratchDir dir;
  ASSERT_EQ(RunTool("render --seed 2 --save-sfs " + dir / "d.sfs").Status, 0);
  const auto r = RunTool("info --json " + dir / "d.sfs");
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto info = nlohmann::json::parse(r.Out);
  ASSERT_EQ(info["parameters"].size(), 24u);
  for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(info["parameters"][i]["index"], i);
  const auto sustain = ParamNamed(info, "SustainTime");  // 0.3 x 0.3 x 2.2675 = 0.204075 seconds
  EXPECT_TRUE(sustain["unit"] == "seconds" && sustain["stored"] == 0.30000001192092896 &&
              sustain["bits"] == "0x3e99999a");
  EXPECT_FLOAT_EQ(sustain["value"].get<float>(), 0.204075f);
  EXPECT_EQ(ParamNamed(info, "RepeatSpeed")["value"], "off");  // a stored 0 repeats never
  EXPECT_EQ(ParamNamed(info, "WaveType")["value"], 0);
  // The bytes of the defaults' settings file: version 102, then the floats.
  const auto zeros = [](int n) { return std::string(2 * std::size_t(n), '0'); };
  EXPECT_EQ(info["sfs"], "66000000" + zeros(4) + "0000803f9a99993e" + zeros(36) +
                             "9a99993ecdcccc3e" + zeros(9) + "0000803f" + zeros(32));
  EXPECT_EQ(info["settings"], "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  const auto samples = LibrarySound(1, [](SynthParams&, RandomSource&) {});
  std::int32_t peak = 0;
  for (const std::int16_t v : samples) peak = std::max(peak, std::abs(std::int32_t{v}));
  const auto& sound = info["render"];
  EXPECT_TRUE(sound["seed"] == 1 && sound["samples"] == 25003 && sound["clipped"] == 0);
  EXPECT_EQ(sound["peak"], peak);
  EXPECT_NEAR(sound["seconds"].get<double>(), 25003.0 / 44100.0, 1e-12);
}

// The stored values of 0.3 s of sustain, 10 cycles per second of vibrato and 10
// repeats per second; a stored 1 is "off" (-1 below) for a repeat and for a change.
TEST(Info, UsersUnitsOfConvertedParameters) {
  struct Case {
    const char *Csv, *Name;
    double Value;
    const char* Unit;
  };
  for (const Case& c : {Case{"1,,,0.3637366", "SustainTime", 0.3, "seconds"},
                        {"1,,,,,,,,,,,0.3774596", "VibSpeed", 10, "cycles per second"},
                        {"1,,,,,,,,,,,,,,,,0.5304257", "RepeatSpeed", 10, "repeats per second"},
                        {"1,,,,,,,,,,,,,,,,1", "RepeatSpeed", -1, "repeats per second"},
                        {"1,,,,,,,,,,,,,1", "ChangeSpeed", -1, "seconds"},
                        {"1,,,,,,,,,,,,,0", "ChangeSpeed", 20000 / 44100.0, "seconds"}}) {
    const auto r = RunTool("info --json --csv " + std::string(c.Csv));
    ASSERT_EQ(r.Status, 0) << r.Err;
    const auto p = ParamNamed(nlohmann::json::parse(r.Out), c.Name);
    EXPECT_EQ(p["unit"], c.Unit);
    if (c.Value < 0) {
      EXPECT_EQ(p["value"], "off") << c.Csv;
    } else {
      EXPECT_NEAR(p["value"].get<double>(), c.Value, 1e-4) << c.Csv;
    }
  }
}

}  // namespace
}  // namespace quavix::test
