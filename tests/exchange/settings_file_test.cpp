// The settings file: the three layouts, every length of a short file, and
// saving and loading on disk.
#include <gtest/gtest.h>

#include <unistd.h>

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
using Bytes = std::vector<std::uint8_t>;

// The layout: field, size and offset per version (-1 where absent).
struct Row { float SynthParams::*Member; int Size; int Offset102, Offset101, Offset100; };
const Row kRows[] = {
    {nullptr, 4, 4, 4, 4},  // WaveType
    {&SynthParams::Volume, 4, 8, -1, -1},          {&SynthParams::StartFreq, 4, 12, 8, 8},
    {&SynthParams::MinFreq, 4, 16, 12, 12},        {&SynthParams::Slide, 4, 20, 16, 16},
    {&SynthParams::DeltaSlide, 4, 24, 20, -1},     {&SynthParams::SquareDuty, 4, 28, 24, 20},
    {&SynthParams::DutySweep, 4, 32, 28, 24},      {&SynthParams::VibDepth, 4, 36, 32, 28},
    {&SynthParams::VibSpeed, 4, 40, 36, 32},       {&SynthParams::VibReserved, 4, 44, 40, 36},
    {&SynthParams::AttackTime, 4, 48, 44, 40},     {&SynthParams::SustainTime, 4, 52, 48, 44},
    {&SynthParams::DecayTime, 4, 56, 52, 48},      {&SynthParams::SustainPunch, 4, 60, 56, 52},
    {nullptr, 1, 64, 60, 56},  // FlagReserved
    {&SynthParams::LPResonance, 4, 65, 61, 57},    {&SynthParams::LPCutoff, 4, 69, 65, 61},
    {&SynthParams::LPCutoffSweep, 4, 73, 69, 65},  {&SynthParams::HPCutoff, 4, 77, 73, 69},
    {&SynthParams::HPCutoffSweep, 4, 81, 77, 73},  {&SynthParams::PhaserOffset, 4, 85, 81, 77},
    {&SynthParams::PhaserSweep, 4, 89, 85, 81},    {&SynthParams::RepeatSpeed, 4, 93, 89, 85},
    {&SynthParams::ChangeSpeed, 4, 97, 93, -1},    {&SynthParams::ChangeAmount, 4, 101, 97, -1},
};
constexpr std::size_t kRowCount = std::size(kRows);

int OffsetIn(const Row& row, int version) {
  return version == 102 ? row.Offset102 : version == 101 ? row.Offset101 : row.Offset100;
}
std::size_t FullLength(int version) { return version == 102 ? 105 : version == 101 ? 101 : 89; }

void SetField(SynthParams& p, std::size_t r, std::uint32_t bits) {
  if (kRows[r].Member != nullptr) p.*kRows[r].Member = std::bit_cast<float>(bits);
  else if (kRows[r].Size == 1) p.FlagReserved = static_cast<std::uint8_t>(bits);
  else p.WaveType = static_cast<std::int32_t>(bits);
}

// A distinct pattern per field (finite floats), and parameters that differ from all of them.
std::uint32_t Pattern(std::size_t r) { return r == 15 ? 0xA5u : 0x40000000u + 0x00012345u * std::uint32_t(r + 1); }
SynthParams Before() {
  SynthParams p = DefaultParams();
  for (std::size_t r = 0; r < kRowCount; ++r) SetField(p, r, r == 15 ? 0x11u : 0xBFC00000u);  // -1.5
  return p;
}

// A file of the version with the pattern in every field it has, cut or padded to length.
Bytes PatternImage(int version, std::size_t length) {
  Bytes bytes(std::max<std::size_t>(length, 105), 0xEE);
  const auto put = [&](int at, std::uint32_t value, int size) {
    for (int k = 0; k < size; ++k) bytes[std::size_t(at + k)] = std::uint8_t(value >> (8 * k));
  };
  put(0, static_cast<std::uint32_t>(version), 4);
  for (std::size_t r = 0; r < kRowCount; ++r) {
    if (OffsetIn(kRows[r], version) >= 0) put(OffsetIn(kRows[r], version), Pattern(r), kRows[r].Size);
  }
  bytes.resize(length);
  return bytes;
}

// The fields that the version has and the length covers hold the pattern; all others are kept.
void ExpectLoaded(const SynthParams& p, int version, std::size_t length) {
  SynthParams expected = Before();
  for (std::size_t r = 0; r < kRowCount; ++r) {
    const int offset = OffsetIn(kRows[r], version);
    if (offset >= 0 && std::size_t(offset + kRows[r].Size) <= length) SetField(expected, r, Pattern(r));
  }
  test::ExpectSameParams(p, expected);
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

TEST(SettingsFileBytes, EncodeWritesVersion102AtItsOffsets) {
  const auto defaults = EncodeSettings(DefaultParams());
  EXPECT_EQ(Bytes(defaults.begin(), defaults.end()), DefaultFileBytes());
  SynthParams p = DefaultParams();
  for (std::size_t r = 0; r < kRowCount; ++r) SetField(p, r, Pattern(r));
  const auto bytes = EncodeSettings(p);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), PatternImage(102, 105));
}

// Every length of every version, from empty to beyond the longest: short data
// keep the fields not reached, the bytes after the version's last field are
// ignored (a 105-byte file of version 100 reads version-100 offsets).
TEST(SettingsFileBytes, DecodeReadsEachVersionAtEveryLength) {
  for (const int version : {100, 101, 102}) {
    for (std::size_t length = 0; length <= 110; ++length) {
      SCOPED_TRACE("version " + std::to_string(version) + " length " + std::to_string(length));
      const Bytes image = PatternImage(version, length);
      SynthParams p = Before();
      const SettingsLoadResult want = length < 4 ? SettingsLoadResult::BadVersion
                                      : length < FullLength(version) ? SettingsLoadResult::Truncated
                                                                     : SettingsLoadResult::Loaded;
      EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), want);
      ExpectLoaded(p, version, length < 4 ? 0 : length);
    }
  }
  for (const std::uint32_t version : {103u, 99u, 0u, 0xFFFFFF9Au /* -102 */, 0x66000000u}) {
    Bytes image = PatternImage(102, 105);
    for (int k = 0; k < 4; ++k) image[std::size_t(k)] = std::uint8_t(version >> (8 * k));
    SynthParams p = Before();
    EXPECT_EQ(DecodeSettings(p, image.data(), image.size()), SettingsLoadResult::BadVersion) << version;
    test::ExpectSameParams(p, Before());
  }
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quavix_sfs_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  static void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  static Bytes Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
    return names;
  }
  fs::path dir_;
};

TEST_F(SettingsFileTest, SaveWritesTheBytesAndLoadRestoresEveryFieldBitForBit) {
  const std::string path = PathOf("a.sfs");
  Write(path, Bytes(300, 0x42));  // an older, longer file is replaced
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), path), SettingsSaveResult::Saved);
  EXPECT_EQ(Read(path), DefaultFileBytes());
  SynthParams saved = DefaultParams();
  for (std::size_t r = 0; r < kRowCount; ++r) SetField(saved, r, Pattern(r) ^ 0x80000001u);
  saved.Slide = -0.0f;
  saved.DutySweep = std::bit_cast<float>(0x7FC01234u);  // a NaN with a payload
  saved.FlagReserved = 0xFE;
  saved.WaveType = std::numeric_limits<std::int32_t>::min();
  ASSERT_EQ(SaveSettingsFile(saved, path), SettingsSaveResult::Saved);
  SynthParams loaded = DefaultParams();
  EXPECT_EQ(LoadSettingsFile(loaded, path), SettingsLoadResult::Loaded);
  test::ExpectSameParams(loaded, saved);
  EXPECT_EQ(Entries(), std::set<std::string>{"a.sfs"});  // no temporary file remains
  for (const std::size_t length : {3u, 66u, 4096u}) {  // short and long files from disk
    Bytes image = PatternImage(101, std::min<std::size_t>(length, 105));
    image.resize(length, 0x55);
    Write(path, image);
    SynthParams p = Before();
    EXPECT_EQ(LoadSettingsFile(p, path), length < 4 ? SettingsLoadResult::BadVersion
                                         : length < 101 ? SettingsLoadResult::Truncated : SettingsLoadResult::Loaded);
    ExpectLoaded(p, 101, length < 4 ? 0 : length);
  }
}

TEST_F(SettingsFileTest, NamesThatCannotBeOpenedChangeAndWriteNothing) {
  fs::create_directory(dir_ / "folder.sfs");
  for (const std::string& path : {std::string(), PathOf("folder.sfs"), PathOf("missing.sfs"), PathOf("no/inner.sfs")}) {
    SynthParams p = Before();
    EXPECT_EQ(LoadSettingsFile(p, path), SettingsLoadResult::CannotOpen) << path;
    test::ExpectSameParams(p, Before());
  }
  Write(PathOf("plain"), Bytes{9});
  for (const std::string& path : {std::string(), PathOf("folder.sfs"), PathOf("folder.sfs") + "/", PathOf("plain") + "/x.sfs"}) {
    EXPECT_EQ(SaveSettingsFile(DefaultParams(), path), SettingsSaveResult::CannotWrite) << path;
  }
  EXPECT_EQ(Entries(), (std::set<std::string>{"folder.sfs", "plain"}));
  EXPECT_TRUE(fs::is_empty(dir_ / "folder.sfs"));
  EXPECT_EQ(Read(PathOf("plain")), Bytes{9});
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileIntact) {
  const std::string path = PathOf("keep.sfs");
  const Bytes old = PatternImage(101, 101);
  Write(path, old);
  // A non-empty folder where the temporary file goes: no one can open it for
  // writing, not even root, and the save must not remove it.
  const std::string temp = SettingsTempPath(path);
  EXPECT_EQ(fs::path(temp).parent_path(), dir_);
  fs::create_directory(temp);
  Write(temp + "/inside", Bytes{1, 2, 3});
  EXPECT_EQ(SaveSettingsFile(DefaultParams(), path), SettingsSaveResult::CannotWrite);
  EXPECT_EQ(Read(path), old);
  EXPECT_EQ(Read(temp + "/inside"), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace quavix
