// quavix info, end to end: both units, the settings string and the sound.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_test_util.h"

namespace quavix {
namespace {

using test::ReadSound;
using test::RunTool;
using test::ScratchDir;

nlohmann::json ParamNamed(const nlohmann::json& info, const std::string& name) {
  for (const auto& p : info["parameters"]) {
    if (p["name"] == name) return p;
  }
  return nullptr;
}

TEST(Info, DefaultsFileInBothUnits) {
  ScratchDir dir;
  ASSERT_EQ(RunTool({"render", "--seed", "2", "--save-sfs", dir / "d.sfs"}).Status, 0);
  const auto r = RunTool({"info", dir / "d.sfs", "--json"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto info = nlohmann::json::parse(r.Out);
  ASSERT_EQ(info["parameters"].size(), 24u);
  for (std::size_t i = 0; i < 24; ++i) EXPECT_EQ(info["parameters"][i]["index"], i);
  // SustainTime 0.3 reads 0.3 x 0.3 x 2.2675 = 0.204075 seconds.
  const auto sustain = ParamNamed(info, "SustainTime");
  EXPECT_EQ(sustain["unit"], "seconds");
  EXPECT_EQ(sustain["stored"].get<double>(), 0.30000001192092896);
  EXPECT_FLOAT_EQ(sustain["value"].get<float>(), 0.204075f);
  EXPECT_EQ(ParamNamed(info, "RepeatSpeed")["value"], "off");  // a stored 0 repeats never
  EXPECT_EQ(sustain["bits"], "0x3e99999a");
  // The settings file of the defaults: 66 00 00 00, 00 00 00 00, 00 00 80 3F,
  // 9A 99 99 3E, 36 zero bytes, 9A 99 99 3E, CD CC CC 3E, 9 zero bytes,
  // 00 00 80 3F, 32 zero bytes.
  const std::string zeros(2, '0');
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  EXPECT_EQ(info["sfs"], "66000000" + repeat(zeros, 4) + "0000803f9a99993e" + repeat(zeros, 36) +
                             "9a99993ecdcccc3e" + repeat(zeros, 9) + "0000803f" + repeat(zeros, 32));
  EXPECT_EQ(ParamNamed(info, "WaveType")["value"], 0);
  EXPECT_EQ(info["settings"], "1.0000,,,0.3000,,0.4000,0.3000,,,,,,,,,,,,,1.0000,,,,");
  EXPECT_EQ(info["render"]["seed"], 1);
  EXPECT_EQ(info["render"]["samples"], 25003);
  EXPECT_NEAR(info["render"]["seconds"].get<double>(), 25003.0 / 44100.0, 1e-12);
  // Sample 69 of the default sound is -3217; the peak is counted from the library's samples.
  const auto samples = test::LibrarySound(1, [](SynthParams&, RandomSource&) {});
  std::int32_t peak = 0;
  for (const std::int16_t v : samples) peak = std::max(peak, std::abs(static_cast<std::int32_t>(v)));
  EXPECT_GE(peak, 3217);
  EXPECT_EQ(info["render"]["peak"], peak);
  EXPECT_EQ(info["render"]["clipped"], 0);
}

TEST(Info, UserUnitsOfConvertedParameters) {
  // Stored values that the dedicated setters write for 0.3 s of sustain,
  // 10 cycles per second of vibrato and 10 repeats per second.
  const auto r = RunTool({"info", "--csv", "1,,,0.3637366,,,,,,,,0.3774596,,,,,0.5304257", "--json"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto info = nlohmann::json::parse(r.Out);
  EXPECT_NEAR(ParamNamed(info, "SustainTime")["value"].get<double>(), 0.3, 1e-6);
  EXPECT_NEAR(ParamNamed(info, "VibSpeed")["value"].get<double>(), 10.0, 1e-4);
  EXPECT_NEAR(ParamNamed(info, "RepeatSpeed")["value"].get<double>(), 10.0, 1e-4);
  EXPECT_EQ(ParamNamed(info, "VibSpeed")["unit"], "cycles per second");
  EXPECT_EQ(ParamNamed(info, "RepeatSpeed")["unit"], "repeats per second");
}

TEST(Info, SoundMatchesRenderWithTheSameSeed) {
  ScratchDir dir;
  const std::string loud = "10,3,,0.2,,0.3,0.5,,,,,,,,,,,,,1.0000,,,,";  // noise at volume 10
  ASSERT_EQ(RunTool({"render", "--seed", "1", "--csv", loud, "-o", dir / "n.wav"}).Status, 0);
  const auto file = ReadSound(dir / "n.wav");
  std::int32_t peak = 0;
  std::int64_t clipped = 0;
  for (const std::int16_t v : file.Samples) {
    peak = std::max(peak, std::abs(static_cast<std::int32_t>(v)));
    clipped += (v >= 32000 || v <= -32000) ? 1 : 0;
  }
  const auto r = RunTool({"info", "--csv", loud, "--json"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  const auto info = nlohmann::json::parse(r.Out);
  EXPECT_EQ(info["render"]["samples"], file.Frames);
  EXPECT_EQ(info["render"]["peak"], peak);
  EXPECT_EQ(info["render"]["clipped"], clipped);
  EXPECT_GT(clipped, 0);
}

TEST(Info, TextOutputListsEveryParameterAndTheSound) {
  const auto r = RunTool({"info", "--csv", "0.5,2", "--seed", "4"});
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(test::LineCount(r.Out), 1 + 24 + 4);
  EXPECT_NE(r.Out.find("settings string: 0.5000,2.0000,,0.3000,,0.4000,0.3000,"), std::string::npos);
  EXPECT_NE(r.Out.find("sound with seed 4, buffer 5 s: 25003 samples (0.567 s)"), std::string::npos) << r.Out;
  EXPECT_NE(r.Out.find("SustainTime"), std::string::npos);
}

}  // namespace
}  // namespace quavix
