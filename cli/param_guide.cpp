#include "param_guide.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "exchange/param_table.h"
#include "host/param_texts.h"
#include "synth/oscillator_period.h"

namespace quavix::cli {
namespace {

constexpr std::string_view kBegin = "<!-- parameter table:";
constexpr std::string_view kBeginClose = "-->";
constexpr std::string_view kEnd = "<!-- end of parameter table -->";

// The argument of each setter in the guide's example, in index order.
constexpr std::array<std::string_view, kParamCount> kExamples = {
    "0.5", "3",   "0.05", "0.1", "0.4",  "0.3", "FreqHz( \"Quavix\", 440 )", "FreqHz( \"Quavix\", 200 )",
    "-0.3", "0.2", "0.3", "8",   "0.4",  "0.1", "0.5", "0.2", "12", "0.2", "-0.1", "0.4", "-0.2", "0.6", "0.1", "0.3",
};

// A user value with at most two decimals and no trailing zeros: 2.27, 0.45, 70.
std::string Number(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
  std::string s = text;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

std::string UnitAndRange(const ParamInfo& p) {
  if (p.Whole) return std::string(p.UnitName);
  std::string text = p.Unit == ParamUnit::Stored ? "stored" : std::string(p.UnitName);
  const float fallback = DefaultUser(p);
  text += "; " + Number(p.TypicalUser.Min) + " to " + Number(p.TypicalUser.Max) + ", default " + Number(fallback);
  if (p.Frequency && fallback > 0) {
    char pitch[48];
    std::snprintf(pitch, sizeof pitch, " (about %.0f Hz)", PitchOfFreq(DefaultParams().SampleRate, fallback));
    text += pitch;
  } else if ((p.Frequency || p.Unit == ParamUnit::RepeatsPerSecond) && fallback == 0) {
    text += " (none)";  // a stored 0 sets no floor, a 0 repeat speed no repeat
  }
  return text;
}

std::string Row(const ParamInfo& p) {
  const host::SetterTexts& texts = host::kSetterTexts[static_cast<std::size_t>(p.Index)];
  const std::string setter(texts.Text);
  std::string row = "| `" + setter + "` (\"" + std::string(texts.Title) + "\"" + (p.Whole ? ", *whole*" : "") + ") | `" +
                    std::string(p.Name) + "(`" + (p.Whole ? " (whole number)" : "") + " | " + UnitAndRange(p) + " | " +
                    std::string(p.Help) + " | ";
  const std::size_t at = setter.find("%0");
  row += setter.substr(0, at) + std::string(kExamples[static_cast<std::size_t>(p.Index)]) + setter.substr(at + 2) + " |\n";
  return row;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t start = text.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(text.find(' ', start), text.size());
    words.push_back(text.substr(start, end - start));
    at = end;
  }
  return words;
}

}  // namespace

std::string ParamGuideTable(std::string_view groupIds) {
  std::string table = "| Action | Expression | Unit and typical range | Effect | Example |\n|---|---|---|---|---|\n";
  for (const std::string_view id : Words(groupIds)) {
    bool known = false;
    for (int g = 0; g < kParamGroupCount; ++g) {
      if (kParamGroups[static_cast<std::size_t>(g)].Id != id) continue;
      known = true;
      for (const ParamInfo& p : kParamTable) {
        if (p.Group == static_cast<ParamGroup>(g)) table += Row(p);
      }
    }
    if (!known) return "";
  }
  return table;
}

std::string RewriteParamGuide(std::string_view doc, std::string& error) {
  std::string out;
  std::size_t at = 0;
  while (true) {
    const std::size_t begin = doc.find(kBegin, at);
    if (begin == std::string_view::npos) break;
    const std::size_t close = doc.find(kBeginClose, begin + kBegin.size());
    const std::size_t lineEnd = doc.find('\n', begin);
    if (close == std::string_view::npos || lineEnd == std::string_view::npos || close > lineEnd) {
      error = "a parameter table marker without its closing -->";
      return std::string(doc);
    }
    const std::size_t end = doc.find(kEnd, lineEnd);
    if (end == std::string_view::npos) {
      error = "a parameter table without \"" + std::string(kEnd) + "\"";
      return std::string(doc);
    }
    const std::string_view ids = doc.substr(begin + kBegin.size(), close - begin - kBegin.size());
    const std::string table = ParamGuideTable(ids);
    if (table.empty()) {
      error = "unknown group in \"" + std::string(ids) + "\"";
      return std::string(doc);
    }
    out += doc.substr(at, lineEnd + 1 - at);
    out += table;
    at = end;
  }
  out += doc.substr(at);
  return out;
}

}  // namespace quavix::cli
