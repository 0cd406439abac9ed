#include "exchange/settings_file.h"

#include <cstring>

namespace quavix {
namespace {

constexpr std::int32_t kVersion100 = 100;
constexpr std::int32_t kVersion101 = 101;
constexpr std::int32_t kVersion102 = 102;

enum class FieldKind { WaveType, Float, FlagByte };

// One field of the file, in file order. A field exists in every version from
// FirstVersion on; the fields of a version lie back to back after the
// four-byte version number.
struct FileField {
  FieldKind Kind;
  std::int32_t FirstVersion;
  float SynthParams::*Member;  // for float fields
};

constexpr FileField kFileFields[] = {
    {FieldKind::WaveType, kVersion100, nullptr},
    {FieldKind::Float, kVersion102, &SynthParams::Volume},
    {FieldKind::Float, kVersion100, &SynthParams::StartFreq},
    {FieldKind::Float, kVersion100, &SynthParams::MinFreq},
    {FieldKind::Float, kVersion100, &SynthParams::Slide},
    {FieldKind::Float, kVersion101, &SynthParams::DeltaSlide},
    {FieldKind::Float, kVersion100, &SynthParams::SquareDuty},
    {FieldKind::Float, kVersion100, &SynthParams::DutySweep},
    {FieldKind::Float, kVersion100, &SynthParams::VibDepth},
    {FieldKind::Float, kVersion100, &SynthParams::VibSpeed},
    {FieldKind::Float, kVersion100, &SynthParams::VibReserved},
    {FieldKind::Float, kVersion100, &SynthParams::AttackTime},
    {FieldKind::Float, kVersion100, &SynthParams::SustainTime},
    {FieldKind::Float, kVersion100, &SynthParams::DecayTime},
    {FieldKind::Float, kVersion100, &SynthParams::SustainPunch},
    {FieldKind::FlagByte, kVersion100, nullptr},
    {FieldKind::Float, kVersion100, &SynthParams::LPResonance},
    {FieldKind::Float, kVersion100, &SynthParams::LPCutoff},
    {FieldKind::Float, kVersion100, &SynthParams::LPCutoffSweep},
    {FieldKind::Float, kVersion100, &SynthParams::HPCutoff},
    {FieldKind::Float, kVersion100, &SynthParams::HPCutoffSweep},
    {FieldKind::Float, kVersion100, &SynthParams::PhaserOffset},
    {FieldKind::Float, kVersion100, &SynthParams::PhaserSweep},
    {FieldKind::Float, kVersion100, &SynthParams::RepeatSpeed},
    {FieldKind::Float, kVersion101, &SynthParams::ChangeSpeed},
    {FieldKind::Float, kVersion101, &SynthParams::ChangeAmount},
};

std::size_t FieldSize(FieldKind kind) { return kind == FieldKind::FlagByte ? 1 : 4; }

void PutU32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

std::uint32_t GetU32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

std::uint32_t FloatBits(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float BitsFloat(std::uint32_t bits) {
  float value = 0.0f;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace

std::array<std::uint8_t, kSettingsFileSize> EncodeSettings(const SynthParams& params) {
  std::array<std::uint8_t, kSettingsFileSize> bytes{};
  PutU32(bytes.data(), static_cast<std::uint32_t>(kVersion102));
  std::size_t offset = 4;
  for (const FileField& field : kFileFields) {
    switch (field.Kind) {
      case FieldKind::WaveType:
        PutU32(bytes.data() + offset, static_cast<std::uint32_t>(params.WaveType));
        break;
      case FieldKind::Float:
        PutU32(bytes.data() + offset, FloatBits(params.*field.Member));
        break;
      case FieldKind::FlagByte:
        bytes[offset] = params.FlagReserved;
        break;
    }
    offset += FieldSize(field.Kind);
  }
  return bytes;
}

SettingsLoadResult DecodeSettings(SynthParams& params, const std::uint8_t* bytes,
                                  std::size_t size) {
  if (bytes == nullptr || size < 4) {
    return SettingsLoadResult::BadVersion;
  }
  const auto version = static_cast<std::int32_t>(GetU32(bytes));
  if (version < kVersion100 || version > kVersion102) {
    return SettingsLoadResult::BadVersion;
  }
  std::size_t offset = 4;
  for (const FileField& field : kFileFields) {
    if (version < field.FirstVersion) {
      continue;
    }
    const std::size_t fieldSize = FieldSize(field.Kind);
    if (size - offset < fieldSize) {
      return SettingsLoadResult::Truncated;  // this field and the rest stay as they were
    }
    const std::uint8_t* at = bytes + offset;
    switch (field.Kind) {
      case FieldKind::WaveType:
        params.WaveType = static_cast<std::int32_t>(GetU32(at));
        break;
      case FieldKind::Float:
        params.*field.Member = BitsFloat(GetU32(at));
        break;
      case FieldKind::FlagByte:
        params.FlagReserved = at[0];
        break;
    }
    offset += fieldSize;
  }
  return SettingsLoadResult::Loaded;
}

}  // namespace quavix
