// The settings file: the three layouts at every length, and saving and loading on disk.
#include "exchange/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "params_equal.h"

namespace quavix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Load = SettingsLoadResult;

// Each stored field of the parameters, its size, and where it lies in files of versions 102,
// 101 and 100 (-1 where absent).
using P = SynthParams;
struct Row {
  std::size_t Field, Size;
  int At[3];
};
const Row kRows[] = {
    {offsetof(P, WaveType), 4, 4, 4, 4},         {offsetof(P, Volume), 4, 8, -1, -1},
    {offsetof(P, StartFreq), 4, 12, 8, 8},       {offsetof(P, MinFreq), 4, 16, 12, 12},
    {offsetof(P, Slide), 4, 20, 16, 16},         {offsetof(P, DeltaSlide), 4, 24, 20, -1},
    {offsetof(P, SquareDuty), 4, 28, 24, 20},    {offsetof(P, DutySweep), 4, 32, 28, 24},
    {offsetof(P, VibDepth), 4, 36, 32, 28},      {offsetof(P, VibSpeed), 4, 40, 36, 32},
    {offsetof(P, VibReserved), 4, 44, 40, 36},   {offsetof(P, AttackTime), 4, 48, 44, 40},
    {offsetof(P, SustainTime), 4, 52, 48, 44},   {offsetof(P, DecayTime), 4, 56, 52, 48},
    {offsetof(P, SustainPunch), 4, 60, 56, 52},  {offsetof(P, FlagReserved), 1, 64, 60, 56},
    {offsetof(P, LPResonance), 4, 65, 61, 57},   {offsetof(P, LPCutoff), 4, 69, 65, 61},
    {offsetof(P, LPCutoffSweep), 4, 73, 69, 65}, {offsetof(P, HPCutoff), 4, 77, 73, 69},
    {offsetof(P, HPCutoffSweep), 4, 81, 77, 73}, {offsetof(P, PhaserOffset), 4, 85, 81, 77},
    {offsetof(P, PhaserSweep), 4, 89, 85, 81},   {offsetof(P, RepeatSpeed), 4, 93, 89, 85},
    {offsetof(P, ChangeSpeed), 4, 97, 93, -1},   {offsetof(P, ChangeAmount), 4, 101, 97, -1}};

// Parameters whose byte k is k, so that each field holds its own pattern, but a NaN with a
// payload and a -0.0; and the same with 0xCC bytes in every field of the file.
const SynthParams kPattern = [] {
  SynthParams p;
  for (std::size_t k = 0; k < sizeof p; ++k)
    reinterpret_cast<std::uint8_t*>(&p)[k] = std::uint8_t(k);
  p.DutySweep = std::bit_cast<float>(0x7FC01234u);
  p.Slide = -0.0f;
  return p;
}();
SynthParams Before() {
  SynthParams p = kPattern;
  for (const Row& row : kRows) std::memset(reinterpret_cast<char*>(&p) + row.Field, 0xCC, row.Size);
  return p;
}

// A file of the version with the pattern in every field it has, cut or padded (0xEE) to
// length, and what loading it over Before() gives: the fields the length covers.
std::pair<Bytes, SynthParams> PatternFile(int version, std::size_t length) {
  Bytes bytes(std::max<std::size_t>(length, 105), 0xEE);
  SynthParams loaded = Before();
  const auto* from = reinterpret_cast<const char*>(&kPattern);
  std::memcpy(bytes.data(), &version, 4);
  for (const Row& row : kRows) {
    const int at = row.At[102 - version];
    if (at < 0) continue;
    std::memcpy(&bytes[std::size_t(at)], from + row.Field, row.Size);
    if (length >= 4 && at + row.Size <= length) {
      std::memcpy(reinterpret_cast<char*>(&loaded) + row.Field, from + row.Field, row.Size);
    }
  }
  bytes.resize(length);
  return {bytes, loaded};
}

TEST(SettingsFileBytes, EncodeWritesVersion102AtItsOffsets) {
  const auto bytes = EncodeSettings(kPattern);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), PatternFile(102, 105).first);
}

// Every length of every version, from empty to beyond the longest: short data keep the fields
// not reached, the bytes after the version's last field are ignored.
TEST(SettingsFileBytes, DecodeReadsEachVersionAtEveryLength) {
  for (const int version : {100, 101, 102}) {
    const std::size_t full = version == 102 ? 105 : version == 101 ? 101 : 89;
    for (std::size_t length = 0; length <= 110; ++length) {
      SCOPED_TRACE(testing::Message() << "version " << version << " length " << length);
      const auto [image, loaded] = PatternFile(version, length);
      SynthParams p = Before();
      EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), length < 4      ? Load::BadVersion
                                                               : length < full ? Load::Truncated
                                                                               : Load::Loaded);
      EXPECT_TRUE(test::SameParams(p, loaded));
    }
  }
  for (const std::uint32_t version : {103u, 99u, 0u, 0xFFFFFF9Au /* -102 */, 0x66000000u}) {
    Bytes image = PatternFile(102, 105).first;
    std::memcpy(image.data(), &version, 4);
    SynthParams p = Before();
    EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), Load::BadVersion) << version;
    EXPECT_TRUE(test::SameParams(p, Before()));
  }
}

fs::path FreshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / (name + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}
void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}
Bytes Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SettingsFileOnDisk, SaveWritesTheBytesAndLoadReadsThemBack) {
  const fs::path dir = FreshFolder("quavix_sfs_save"), path = dir / "a.sfs";
  Write(path, Bytes(300, 0x42));  // an older, longer file is replaced
  EXPECT_EQ(SaveSettingsFile(kPattern, path), SettingsSaveResult::Saved);
  EXPECT_EQ(Read(path), PatternFile(102, 105).first);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);  // no .tmp
  SynthParams loaded = Before();
  EXPECT_EQ(LoadSettingsFile(loaded, path), Load::Loaded);
  EXPECT_TRUE(test::SameParams(loaded, kPattern));
  fs::remove_all(dir);
}

// Nothing changes and nothing is written where a name cannot be opened, and a failed save
// leaves the old file intact: here a non-empty folder stands where the temporary file goes,
// which no one can open for writing, not even root, and which the save must not remove.
TEST(SettingsFileOnDisk, FailuresChangeAndWriteNothing) {
  const fs::path dir = FreshFolder("quavix_sfs_fail");
  fs::create_directory(dir / "folder.sfs");
  Write(dir / "plain", Bytes{9});
  for (const fs::path& path : {fs::path(), dir / "folder.sfs", dir / "missing.sfs", dir / "no/x"}) {
    SynthParams p = Before();
    EXPECT_EQ(LoadSettingsFile(p, path), Load::CannotOpen) << path;
    EXPECT_TRUE(test::SameParams(p, Before()));
  }
  for (const std::string& path : {std::string(), (dir / "folder.sfs").string(),
                                  (dir / "folder.sfs/").string(), (dir / "plain/x.sfs").string()}) {
    EXPECT_EQ(SaveSettingsFile(DefaultParams(), path), SettingsSaveResult::CannotWrite) << path;
  }
  const std::string keep = (dir / "keep.sfs").string(), temp = SettingsTempPath(keep);
  Write(keep, PatternFile(101, 101).first);
  EXPECT_EQ(fs::path(temp).parent_path(), dir);
  fs::create_directory(temp);
  Write(temp + "/inside", Bytes{1, 2, 3});
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), keep), SettingsSaveResult::CannotWrite);
  EXPECT_EQ(Read(keep), PatternFile(101, 101).first);
  EXPECT_EQ(Read(temp + "/inside"), (Bytes{1, 2, 3}));
  EXPECT_EQ(Read(dir / "plain"), Bytes{9});
  EXPECT_TRUE(fs::is_empty(dir / "folder.sfs"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace quavix
