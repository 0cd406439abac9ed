// The layers' text: writing and strict reading.
#include "exchange/layers_text.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "exchange/settings_file.h"
#include "synth/sound_length.h"

namespace quavix {
namespace {

constexpr std::string_view kBase64Url = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::size_t kSettingsChars = kSettingsFileSize / 3 * 4;  // 105 bytes are 35 groups of three
static_assert(kSettingsFileSize % 3 == 0, "the record fills its last group: no padding");

std::string Base64Url(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) text += kBase64Url[(group >> shift) & 63];
  }
  return text;
}

// The record's bytes, or false when the text is not kSettingsChars of the alphabet.
bool FromBase64Url(std::string_view text, std::array<std::uint8_t, kSettingsFileSize>& bytes) {
  if (text.size() != kSettingsChars) return false;
  for (std::size_t g = 0; g < kSettingsFileSize / 3; ++g) {
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::size_t digit = kBase64Url.find(text[4 * g + k]);
      if (digit == std::string_view::npos) return false;
      group = (group << 6) | static_cast<std::uint32_t>(digit);
    }
    bytes[3 * g] = static_cast<std::uint8_t>(group >> 16);
    bytes[3 * g + 1] = static_cast<std::uint8_t>(group >> 8);
    bytes[3 * g + 2] = static_cast<std::uint8_t>(group);
  }
  return true;
}

// A whole number of 1 to 10 decimal digits, or -1.
std::int64_t WholeNumber(std::string_view text) {
  if (text.empty() || text.size() > 10) return -1;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A gain as [+|-]digits[.digit] in tenths (at most 5 digits before the point),
// or false.
bool GainTenths(std::string_view text, std::int32_t& tenths) {
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  const std::size_t point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  if (whole.empty() || whole.size() > 5 || WholeNumber(whole) < 0) return false;
  std::int64_t value = 10 * WholeNumber(whole);
  if (point != std::string_view::npos) {
    const std::string_view tenth = text.substr(point + 1);
    if (tenth.size() != 1 || tenth[0] < '0' || tenth[0] > '9') return false;
    value += tenth[0] - '0';
  }
  tenths = static_cast<std::int32_t>(negative ? -value : value);
  return true;
}

// The parts between separators, at most N of them; *count is how many there
// are, N + 1 meaning more than N (whatever the text's length, one pass).
template <std::size_t N>
std::array<std::string_view, N> Split(std::string_view text, char separator, std::size_t* count) {
  std::array<std::string_view, N> parts{};
  std::size_t n = 0;
  for (std::size_t at = 0;; ++n) {
    const std::size_t end = text.find(separator, at);
    if (n == N) break;
    parts[n] = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (end == std::string_view::npos) return *count = n + 1, parts;
    at = end + 1;
  }
  *count = N + 1;
  return parts;
}

// The problem with one layer's fields, or "" with layer filled in.
std::string ReadLayer(std::string_view text, Layer& layer) {
  std::size_t count = 0;
  const auto fields = Split<6>(text, ',', &count);
  if (count != 5 && count != 6) {
    std::string problem = "it has ";
    problem += count > 6 ? "more than 6" : std::to_string(count);
    problem += count == 1 ? " field" : " fields";
    return problem + "; a layer is its settings, seed, buffer length, start and gain, separated by commas, then ,m when muted";
  }
  std::array<std::uint8_t, kSettingsFileSize> bytes{};
  if (!FromBase64Url(fields[0], bytes)) {
    static_assert(kSettingsFileSize == 105 && kSettingsChars == 140, "the words below");
    return "its settings are not a settings file's 105 bytes in base64url (140 characters)";
  }
  layer.Params = DefaultParams();
  if (DecodeSettings(layer.Params, bytes.data(), bytes.size()) != SettingsLoadResult::Loaded) {
    return "its settings are not a settings file of a known version";
  }
  const std::int64_t seed = WholeNumber(fields[1]);
  if (seed < 1 || seed > 0xffffffff) return SeedFieldProblem();
  layer.RandomState = static_cast<std::uint32_t>(seed);
  const std::int64_t seconds = WholeNumber(fields[2]);
  if (seconds < 1 || seconds > kMaxBufferSeconds) return BufferFieldProblem();
  layer.BufferSeconds = static_cast<std::uint32_t>(seconds);
  const std::int64_t start = WholeNumber(fields[3]);
  if (start < 0 || start > INT32_MAX) {
    static_assert(kMaxLayerOffset == 2646000, "the words below");
    return "its start is not a whole number of samples from 0 to 2646000";
  }
  layer.Offset = static_cast<std::int32_t>(start);
  if (!GainTenths(fields[4], layer.GainTenths)) {
    return "its gain is not a number of decibels with at most one decimal, such as -6.0";
  }
  if (count == 6 && fields[5] != "m") return "it ends in something else than ,m (muted)";
  layer.Muted = count == 6;
  return "";
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string SeedFieldProblem() { return "its seed is not a whole number from 1 to 4294967295"; }

std::string BufferFieldProblem() {
  static_assert(kMaxBufferSeconds == 60, "the words below");
  return "its buffer length is not a whole number of seconds from 1 to 60";
}

std::string LayersTextProblem(std::span<const Layer> layers, int* badLayer) {
  if (std::string problem = LayersProblem(layers, badLayer); !problem.empty()) return problem;
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const std::string problem = layers[i].RandomState == 0    ? SeedFieldProblem()
                                : layers[i].BufferSeconds == 0 ? BufferFieldProblem()
                                                               : "";
    if (!problem.empty()) {
      if (badLayer != nullptr) *badLayer = static_cast<int>(i);
      return "layer " + std::to_string(i + 1) + ": " + problem;
    }
  }
  return "";
}

std::string WriteLayersText(std::span<const Layer> layers) {
  std::string text(kLayersTextStart);
  const auto number = [&text](std::int64_t value) { text += std::to_string(value); };
  for (std::size_t i = 0; i < layers.size(); ++i) {
    const Layer& layer = layers[i];
    const std::int64_t gain = layer.GainTenths;
    if (i > 0) text += '~';
    text += Base64Url(EncodeSettings(layer.Params));
    for (const std::int64_t value : {std::int64_t{layer.RandomState}, std::int64_t{layer.BufferSeconds},
                                     std::int64_t{layer.Offset}}) {
      text += ',';
      number(value);
    }
    text += gain < 0 ? ",-" : ",";
    number((gain < 0 ? -gain : gain) / 10);
    text += '.';
    number((gain < 0 ? -gain : gain) % 10);
    if (layer.Muted) text += ",m";
  }
  return text;
}

bool StartsAsLayersText(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  return text.starts_with(kLayersTextStart);
}

LayersTextRead ReadLayersText(std::string_view text) {
  LayersTextRead read;
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  if (!text.starts_with(kLayersTextStart)) {
    read.Problem = "it does not begin with \"qxl1~\", as a layered sound's text does";
    return read;
  }
  text.remove_prefix(kLayersTextStart.size());
  std::size_t count = text.empty() ? 0 : 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '~'));
  if (read.Problem = LayerCountProblem(count); !read.Problem.empty()) return read;
  const auto parts = Split<kMaxLayers>(text, '~', &count);
  std::vector<Layer> layers(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (std::string problem = ReadLayer(parts[i], layers[i]); !problem.empty()) {
      read.Problem = "layer " + std::to_string(i + 1) + ": " + problem;
      read.BadLayer = static_cast<int>(i);
      return read;
    }
  }
  if (read.Problem = LayersProblem(layers, &read.BadLayer); !read.Problem.empty()) return read;
  read.Layers = std::move(layers);
  return read;
}

}  // namespace quavix
