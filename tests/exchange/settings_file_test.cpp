#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "exchange/settings_file.h"
#include "params_equal.h"

namespace quavix {
namespace {

namespace fs = std::filesystem;
using test::Bits;
using test::ExpectSameParams;
using Bytes = std::vector<std::uint8_t>;

// The file layout as described: offsets per version, -1 where absent.
struct Row {
  const char* Name;
  float SynthParams::*Member;  // nullptr for WaveType and FlagReserved
  int Size;
  int Offset102, Offset101, Offset100;
};

const Row kRows[] = {
    {"WaveType", nullptr, 4, 4, 4, 4},
    {"Volume", &SynthParams::Volume, 4, 8, -1, -1},
    {"StartFreq", &SynthParams::StartFreq, 4, 12, 8, 8},
    {"MinFreq", &SynthParams::MinFreq, 4, 16, 12, 12},
    {"Slide", &SynthParams::Slide, 4, 20, 16, 16},
    {"DeltaSlide", &SynthParams::DeltaSlide, 4, 24, 20, -1},
    {"SquareDuty", &SynthParams::SquareDuty, 4, 28, 24, 20},
    {"DutySweep", &SynthParams::DutySweep, 4, 32, 28, 24},
    {"VibDepth", &SynthParams::VibDepth, 4, 36, 32, 28},
    {"VibSpeed", &SynthParams::VibSpeed, 4, 40, 36, 32},
    {"VibReserved", &SynthParams::VibReserved, 4, 44, 40, 36},
    {"AttackTime", &SynthParams::AttackTime, 4, 48, 44, 40},
    {"SustainTime", &SynthParams::SustainTime, 4, 52, 48, 44},
    {"DecayTime", &SynthParams::DecayTime, 4, 56, 52, 48},
    {"SustainPunch", &SynthParams::SustainPunch, 4, 60, 56, 52},
    {"FlagReserved", nullptr, 1, 64, 60, 56},
    {"LPResonance", &SynthParams::LPResonance, 4, 65, 61, 57},
    {"LPCutoff", &SynthParams::LPCutoff, 4, 69, 65, 61},
    {"LPCutoffSweep", &SynthParams::LPCutoffSweep, 4, 73, 69, 65},
    {"HPCutoff", &SynthParams::HPCutoff, 4, 77, 73, 69},
    {"HPCutoffSweep", &SynthParams::HPCutoffSweep, 4, 81, 77, 73},
    {"PhaserOffset", &SynthParams::PhaserOffset, 4, 85, 81, 77},
    {"PhaserSweep", &SynthParams::PhaserSweep, 4, 89, 85, 81},
    {"RepeatSpeed", &SynthParams::RepeatSpeed, 4, 93, 89, 85},
    {"ChangeSpeed", &SynthParams::ChangeSpeed, 4, 97, 93, -1},
    {"ChangeAmount", &SynthParams::ChangeAmount, 4, 101, 97, -1},
};

int OffsetIn(const Row& row, int version) {
  return version == 102 ? row.Offset102 : version == 101 ? row.Offset101 : row.Offset100;
}

std::uint32_t FieldBits(const SynthParams& p, const Row& row) {
  if (row.Member != nullptr) {
    return Bits(p.*row.Member);
  }
  if (row.Size == 1) {
    return p.FlagReserved;
  }
  return static_cast<std::uint32_t>(p.WaveType);
}

// A distinct pattern per field: finite floats, a WaveType that no default has.
std::uint32_t Pattern(std::size_t row) {
  return row == 15 ? 0xA5u : 0x40000000u + 0x00012345u * static_cast<std::uint32_t>(row + 1);
}

void PutLE(Bytes& bytes, int offset, std::uint32_t value, int size) {
  for (int k = 0; k < size; ++k) {
    bytes[static_cast<std::size_t>(offset + k)] = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

// A file of the given version holding the pattern in every field it has.
Bytes PatternImage(int version, std::size_t length) {
  Bytes bytes(std::max<std::size_t>(length, 105), 0xEE);
  PutLE(bytes, 0, static_cast<std::uint32_t>(version), 4);
  for (std::size_t r = 0; r < std::size(kRows); ++r) {
    const int offset = OffsetIn(kRows[r], version);
    if (offset >= 0) {
      PutLE(bytes, offset, Pattern(r), kRows[r].Size);
    }
  }
  bytes.resize(length);
  return bytes;
}

// Parameters whose 26 file fields all differ from every pattern.
SynthParams Before() {
  SynthParams p = DefaultParams();
  for (const Row& row : kRows) {
    if (row.Member != nullptr) {
      p.*row.Member = -1.5f;
    }
  }
  p.WaveType = -7;
  p.FlagReserved = 0x11;
  return p;
}

// After loading `length` bytes of a pattern file: the fields the version has
// and the bytes cover hold the pattern, all others keep their values.
void ExpectLoaded(const SynthParams& p, int version, std::size_t length) {
  const SynthParams before = Before();
  for (std::size_t r = 0; r < std::size(kRows); ++r) {
    const int offset = OffsetIn(kRows[r], version);
    const bool reached = offset >= 0 && static_cast<std::size_t>(offset + kRows[r].Size) <= length;
    EXPECT_EQ(FieldBits(p, kRows[r]), reached ? Pattern(r) : FieldBits(before, kRows[r]))
        << kRows[r].Name << " version " << version << " length " << length;
  }
  EXPECT_EQ(p.SampleRate, before.SampleRate);
  EXPECT_EQ(p.BitsPerSample, before.BitsPerSample);
  EXPECT_EQ(Bits(p.MasterVolume), Bits(before.MasterVolume));
}

// The 105 bytes of a file saved right after Reset, as described.
Bytes DefaultFileBytes() {
  Bytes b = {0x66, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F, 0x9A, 0x99, 0x99, 0x3E};
  b.insert(b.end(), 36, 0);
  b.insert(b.end(), {0x9A, 0x99, 0x99, 0x3E, 0xCD, 0xCC, 0xCC, 0x3E});
  b.insert(b.end(), 9, 0);
  b.insert(b.end(), {0x00, 0x00, 0x80, 0x3F});
  b.insert(b.end(), 32, 0);
  return b;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("quavix_sfs_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  static void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }

  static Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  fs::path dir_;
};

// --- Encoding and decoding --------------------------------------------------

TEST(SettingsFileBytes, DefaultParametersGiveTheDescribedBytes) {
  const auto bytes = EncodeSettings(DefaultParams());
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), DefaultFileBytes());
}

TEST(SettingsFileBytes, Version102FieldsLieAtTheirOffsets) {
  SynthParams p = DefaultParams();
  for (std::size_t r = 0; r < std::size(kRows); ++r) {
    if (kRows[r].Member != nullptr) {
      p.*kRows[r].Member = std::bit_cast<float>(Pattern(r));
    }
  }
  p.WaveType = static_cast<std::int32_t>(Pattern(0));
  p.FlagReserved = static_cast<std::uint8_t>(Pattern(15));
  const auto bytes = EncodeSettings(p);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), PatternImage(102, 105));
}

TEST(SettingsFileBytes, EveryVersionLoadsFromItsOwnOffsets) {
  for (const int version : {100, 101, 102}) {
    const std::size_t length = version == 102 ? 105 : version == 101 ? 101 : 89;
    const Bytes image = PatternImage(version, length);
    SynthParams p = Before();
    EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), SettingsLoadResult::Loaded);
    ExpectLoaded(p, version, length);
  }
}

TEST(SettingsFileBytes, Version101KeepsVolume) {
  const Bytes image = PatternImage(101, 101);
  SynthParams p = Before();
  p.Volume = 0.77f;
  DecodeSettings(p, image.data(), image.size());
  EXPECT_EQ(p.Volume, 0.77f);
  EXPECT_EQ(Bits(p.DeltaSlide), Pattern(5));
  EXPECT_EQ(Bits(p.ChangeAmount), Pattern(25));
}

TEST(SettingsFileBytes, Version100KeepsTheFieldsItLacks) {
  const Bytes image = PatternImage(100, 89);
  SynthParams p = Before();
  p.Volume = 0.77f;
  p.DeltaSlide = 0.125f;
  p.ChangeSpeed = 0.25f;
  p.ChangeAmount = -0.5f;
  DecodeSettings(p, image.data(), image.size());
  EXPECT_EQ(p.Volume, 0.77f);
  EXPECT_EQ(p.DeltaSlide, 0.125f);
  EXPECT_EQ(p.ChangeSpeed, 0.25f);
  EXPECT_EQ(p.ChangeAmount, -0.5f);
  EXPECT_EQ(Bits(p.RepeatSpeed), Pattern(23));
}

TEST(SettingsFileBytes, LongFileMarkedVersion100ReadsAsVersion100) {
  Bytes image = PatternImage(100, 105);
  std::fill(image.begin() + 89, image.end(), 0x7F);  // trailing bytes are ignored
  SynthParams p = Before();
  EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), SettingsLoadResult::Loaded);
  ExpectLoaded(p, 100, 105);
}

TEST(SettingsFileBytes, OtherVersionsChangeNothing) {
  for (const std::uint32_t version : {103u, 99u, 0u, 0xFFFFFF9Au /* -102 */, 0x66000000u}) {
    Bytes image = PatternImage(102, 105);
    PutLE(image, 0, version, 4);
    SynthParams p = Before();
    EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), SettingsLoadResult::BadVersion);
    ExpectSameParams(p, Before());
  }
  for (std::size_t length = 0; length < 4; ++length) {
    const Bytes image = PatternImage(102, length);
    SynthParams p = Before();
    EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), SettingsLoadResult::BadVersion);
    ExpectSameParams(p, Before());
  }
}

TEST(SettingsFileBytes, FilesCutShortKeepTheFieldsNotReached) {
  for (const int version : {100, 101, 102}) {
    const std::size_t full = version == 102 ? 105 : version == 101 ? 101 : 89;
    for (std::size_t length = 4; length < full; ++length) {
      const Bytes image = PatternImage(version, length);
      SynthParams p = Before();
      EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), SettingsLoadResult::Truncated);
      ExpectLoaded(p, version, length);
    }
  }
}

// --- Files on disk ----------------------------------------------------------

TEST_F(SettingsFileTest, SaveAfterResetWritesTheDescribedBytes) {
  const std::string path = PathOf("default.sfs");
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), path), SettingsSaveResult::Saved);
  EXPECT_EQ(ReadFile(path), DefaultFileBytes());
  EXPECT_EQ(Entries(), std::set<std::string>{"default.sfs"});
}

TEST_F(SettingsFileTest, RoundTripRestoresAllFieldsBitForBit) {
  SynthParams saved = DefaultParams();
  for (std::size_t r = 0; r < std::size(kRows); ++r) {
    if (kRows[r].Member != nullptr) {
      saved.*kRows[r].Member = std::bit_cast<float>(Pattern(r) ^ 0x80000001u);
    }
  }
  saved.Slide = -0.0f;
  saved.DutySweep = std::bit_cast<float>(0x7FC01234u);  // a NaN with a payload
  saved.VibReserved = 123.25f;
  saved.FlagReserved = 0xFE;
  saved.WaveType = std::numeric_limits<std::int32_t>::min();
  const std::string path = PathOf("all.sfs");
  ASSERT_EQ(SaveSettingsFile(saved, path), SettingsSaveResult::Saved);
  SynthParams loaded = DefaultParams();
  EXPECT_EQ(LoadSettingsFile(loaded, path), SettingsLoadResult::Loaded);
  ExpectSameParams(loaded, saved);
}

TEST_F(SettingsFileTest, LoadsEveryVersionFromDisk) {
  for (const int version : {100, 101, 102}) {
    const std::size_t length = version == 102 ? 105 : version == 101 ? 101 : 89;
    const std::string path = PathOf(std::to_string(version) + ".sfs");
    WriteFile(path, PatternImage(version, length));
    SynthParams p = Before();
    EXPECT_EQ(LoadSettingsFile(p, path), SettingsLoadResult::Loaded);
    ExpectLoaded(p, version, length);
  }
}

TEST_F(SettingsFileTest, ShortAndLongFilesOnDisk) {
  const std::string path = PathOf("cut.sfs");
  for (const std::size_t length : {0u, 3u, 4u, 7u, 9u, 64u, 66u, 104u}) {
    WriteFile(path, PatternImage(102, length));
    SynthParams p = Before();
    LoadSettingsFile(p, path);
    if (length < 4) {
      ExpectSameParams(p, Before());
    } else {
      ExpectLoaded(p, 102, length);
    }
  }
  Bytes longer = PatternImage(102, 105);
  longer.resize(4096, 0x55);
  WriteFile(path, longer);
  SynthParams p = Before();
  EXPECT_EQ(LoadSettingsFile(p, path), SettingsLoadResult::Loaded);
  ExpectLoaded(p, 102, 105);
}

TEST_F(SettingsFileTest, UnopenableNamesChangeNothing) {
  fs::create_directory(dir_ / "folder.sfs");
  for (const std::string& path : {std::string(), PathOf("folder.sfs"), PathOf("missing.sfs"),
                                  PathOf("missing/inner.sfs")}) {
    SynthParams p = Before();
    EXPECT_EQ(LoadSettingsFile(p, path), SettingsLoadResult::CannotOpen) << path;
    ExpectSameParams(p, Before());
  }
}

TEST_F(SettingsFileTest, SaveToEmptyNameOrDirectoryWritesNothing) {
  fs::create_directory(dir_ / "folder.sfs");
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), ""), SettingsSaveResult::CannotWrite);
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), PathOf("folder.sfs")),
            SettingsSaveResult::CannotWrite);
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), PathOf("folder.sfs") + "/"),
            SettingsSaveResult::CannotWrite);
  EXPECT_EQ(Entries(), std::set<std::string>{"folder.sfs"});
  EXPECT_TRUE(fs::is_empty(dir_ / "folder.sfs"));
}

TEST_F(SettingsFileTest, SaveReplacesAnExistingFile) {
  const std::string path = PathOf("old.sfs");
  WriteFile(path, Bytes(300, 0x42));
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), path), SettingsSaveResult::Saved);
  EXPECT_EQ(ReadFile(path), DefaultFileBytes());
  EXPECT_EQ(Entries(), std::set<std::string>{"old.sfs"});
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileIntact) {
  const std::string path = PathOf("keep.sfs");
  const Bytes old = PatternImage(101, 101);
  WriteFile(path, old);
  // A non-empty directory where the temporary file would go: it cannot be
  // opened for writing, even by root, and must not be removed by the save.
  const std::string temp = SettingsTempPath(path);
  EXPECT_EQ(fs::path(temp).parent_path(), dir_);
  fs::create_directory(temp);
  WriteFile(temp + "/inside", Bytes{1, 2, 3});

  EXPECT_EQ(SaveSettingsFile(DefaultParams(), path), SettingsSaveResult::CannotWrite);
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_TRUE(fs::is_directory(temp));
  EXPECT_EQ(ReadFile(temp + "/inside"), (Bytes{1, 2, 3}));
  EXPECT_EQ(Entries(), (std::set<std::string>{"keep.sfs", fs::path(temp).filename().string()}));

  SynthParams p = Before();
  EXPECT_EQ(LoadSettingsFile(p, path), SettingsLoadResult::Loaded);
  ExpectLoaded(p, 101, 101);
}

TEST_F(SettingsFileTest, SaveBelowARegularFileFailsCleanly) {
  WriteFile(PathOf("plain"), Bytes{9});
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), PathOf("plain") + "/x.sfs"),
            SettingsSaveResult::CannotWrite);
  EXPECT_EQ(Entries(), std::set<std::string>{"plain"});
  EXPECT_EQ(ReadFile(PathOf("plain")), Bytes{9});
}

}  // namespace
}  // namespace quavix
