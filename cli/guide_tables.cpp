// The guide's buffer length table and its table of item numbers, and the
// buffer figures they share with the text.
#include <cstdio>

#include "exchange/wave_image.h"
#include "guide_figures.h"
#include "host/entry_points.h"
#include "host/native_host.h"
#include "host/registry.h"
#include "synth/synthesizer.h"

namespace quavix::cli {
namespace {

// The buffer length of an object stored with the given record version and brought up to date.
std::optional<std::uint32_t> UpdatedBuffer(std::uint32_t version) {
  const std::uint32_t older[5] = {24, 0, version, 0, 0};
  EditStructure* updated = UpdateEditStructure(0, reinterpret_cast<const EditStructure*>(older));
  if (updated == nullptr) return std::nullopt;
  const std::uint32_t seconds = updated->BufferSeconds;
  host::GlobalFree(updated);
  return seconds;
}

std::string Row(const std::string& length, std::uint32_t seconds) {
  const double samples = BufferSamples(seconds);
  return "| " + length + " | " + Fixed(samples, 0, true) + " samples | " + Fixed(samples / SampleRate(), 2) +
         " s |\n";
}

std::string QuotedOrEmpty(const host::AceList& list, std::size_t i) {
  if (i >= list.Items.size()) return " | |";
  std::string cells = " ";
  return cells + std::to_string(i) + " | \"" + list.Items[i]->Text + "\" |";
}

}  // namespace

std::string Fixed(double value, int decimals, bool grouped) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  if (s.starts_with("-0") && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  if (!grouped) return s;
  const std::size_t start = s[0] == '-' ? 1 : 0, point = std::min(s.find('.'), s.size());
  std::string out = s.substr(0, start);
  for (std::size_t at = start; at < point; ++at) {
    if (at > start && (point - at) % 3 == 0) out += ',';
    out += s[at];
  }
  return out + s.substr(point);
}

std::string Trimmed(float value) {
  std::string s = Fixed(value, 2);
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string DefaultBufferText() {
  const auto a = UpdatedBuffer(0), b = UpdatedBuffer(1);
  if (!a || !b) return "0";
  return *a == *b ? std::to_string(*a) : std::to_string(*a) + "/" + std::to_string(*b);
}

std::uint32_t DefaultBufferSeconds() { return UpdatedBuffer(0).value_or(0); }

std::uint32_t BufferLimit() {
  for (std::uint32_t length = 1; length < 100000; ++length) {
    if (WaveCapacityBytes(length + 1) == WaveCapacityBytes(length)) {
      return WaveCapacityBytes(0xFFFFFFFFu) == WaveCapacityBytes(length) ? length : 0;
    }
  }
  return 0;
}

double BufferSamples(std::uint32_t seconds) { return WaveCapacityBytes(seconds) / 2.0; }

double SampleRate() { return DefaultParams().SampleRate; }

std::optional<std::string> GuideTable(std::string_view name) {
  if (name == "buffer table") {
    const std::uint32_t limit = BufferLimit();
    return "| Buffer length | Room for | Longest sound |\n|---|---|---|\n| 0 | " +
           std::string(WaveCapacityBytes(0) == 0 ? "no samples | an empty sound" : "some samples | a sound") + " |\n" +
           Row("1", 1) + Row(DefaultBufferText() + " (default)", DefaultBufferSeconds()) +
           Row(std::to_string(limit) + " (the limit)", limit);
  }
  if (name == "item numbers") {
    const host::AceList& actions = host::Registry().Actions;
    const host::AceList& expressions = host::Registry().Expressions;
    std::string table = "| Action | Display text | Expression | Name |\n|---|---|---|---|\n";
    for (std::size_t i = 0; i < std::max(actions.Items.size(), expressions.Items.size()); ++i) {
      table += '|';
      table += QuotedOrEmpty(actions, i) + QuotedOrEmpty(expressions, i) + "\n";
    }
    return table;
  }
  return std::nullopt;
}

}  // namespace quavix::cli
