#include "param_guide.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "exchange/param_table.h"
#include "guide_figures.h"
#include "host/param_texts.h"
#include "synth/oscillator_period.h"

namespace quavix::cli {
namespace {

// The argument of each setter in the guide's example, in index order.
constexpr std::array<std::string_view, kParamCount> kExamples = {
    "0.5", "3",   "0.05", "0.1", "0.4",  "0.3", "FreqHz( \"Quavix\", 440 )", "FreqHz( \"Quavix\", 200 )",
    "-0.3", "0.2", "0.3", "8",   "0.4",  "0.1", "0.5", "0.2", "12", "0.2", "-0.1", "0.4", "-0.2", "0.6", "0.1", "0.3",
};

std::string UnitAndRange(const ParamInfo& p) {
  if (p.Whole) return std::string(p.UnitName);
  std::string text = p.Unit == ParamUnit::Stored ? "stored" : std::string(p.UnitName);
  const float fallback = DefaultUser(p);
  text += "; " + Trimmed(p.TypicalUser.Min) + " to " + Trimmed(p.TypicalUser.Max) + ", default " + Trimmed(fallback);
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

namespace {

constexpr std::string_view kOpen = "<!--", kClose = "-->", kFigureEnd = "<!--/-->";
constexpr std::string_view kTablePrefix = "parameter table: ", kNextLine = "next line: ";

// The line with each "<!--KEY-->...<!--/-->" written anew.
std::string FillFigures(std::string_view line, std::string& error) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t open; (open = line.find(kOpen, at)) != std::string_view::npos;) {
    const std::size_t close = line.find(kClose, open + kOpen.size());
    if (close == std::string_view::npos || line.substr(open, kFigureEnd.size()) == kFigureEnd ||
        line[open + kOpen.size()] == ' ') {
      error = "a stray \"<!--\" in \"" + std::string(line) + "\"";
      return {};
    }
    const std::string_view key = line.substr(open + kOpen.size(), close - open - kOpen.size());
    const std::size_t end = line.find(kFigureEnd, close);
    const auto figure = GuideFigure(key);
    if (end == std::string_view::npos || !figure) {
      error = end == std::string_view::npos ? "the figure " + std::string(key) + " without \"<!--/-->\""
                                            : "unknown figure \"" + std::string(key) + "\"";
      return {};
    }
    out += line.substr(at, close + kClose.size() - at);
    out += *figure;
    out += kFigureEnd;
    at = end + kFigureEnd.size();
  }
  return out + std::string(line.substr(at));
}

// The text with each "{KEY}" replaced by its figure; nothing for an unknown key or a lone brace.
std::optional<std::string> FillTemplate(std::string_view text) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t open; (open = text.find('{', at)) != std::string_view::npos;) {
    const std::size_t close = text.find('}', open);
    const auto figure = close == std::string_view::npos ? std::nullopt : GuideFigure(text.substr(open + 1, close - open - 1));
    if (!figure) return std::nullopt;
    out += std::string(text.substr(at, open - at)) + *figure;
    at = close + 1;
  }
  return out + std::string(text.substr(at));
}

// The table a block marker's text names, "" when it names none.
std::string BlockTable(std::string_view marker) {
  if (marker.starts_with(kTablePrefix)) return ParamGuideTable(marker.substr(kTablePrefix.size()));
  return GuideTable(marker).value_or("");
}

}  // namespace

std::string RewriteParamGuide(std::string_view doc, std::string& error) {
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < doc.size();) {
    const std::size_t end = std::min(doc.find('\n', at), doc.size());
    lines.push_back(doc.substr(at, end - at));
    at = end + 1;
  }
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = lines[i];
    if (!line.starts_with("<!-- ") || !line.ends_with(" -->")) {
      out += FillFigures(line, error) + '\n';
      if (!error.empty()) return std::string(doc);
      continue;
    }
    out += std::string(line) + '\n';
    const std::string_view text = line.substr(5, line.size() - 9);
    if (text.starts_with(kNextLine)) {  // the next line, from the template
      const std::optional<std::string> filled = FillTemplate(text.substr(kNextLine.size()));
      if (!filled) {
        error = "unknown figure in \"" + std::string(line) + "\"";
        return std::string(doc);
      }
      out += *filled + '\n';
      ++i;
    } else if (!text.starts_with("end of ")) {  // a table, to its end marker
      const std::string table = BlockTable(text);
      const std::string end = "<!-- end of " + std::string(text.starts_with(kTablePrefix) ? "parameter table" : text) + " -->";
      const auto last = std::find(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines.end(), end);
      if (table.empty() || last == lines.end()) {
        error = table.empty() ? "unknown table in \"" + std::string(line) + "\""
                              : "\"" + std::string(line) + "\" without \"" + end + "\"";
        return std::string(doc);
      }
      out += table;
      i = static_cast<std::size_t>(last - lines.begin()) - 1;
    }
  }
  if (!doc.ends_with('\n')) out.pop_back();
  return out;
}

}  // namespace quavix::cli
