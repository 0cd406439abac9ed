// The figures of the guide (docs/module.md) that come from the core, each by a
// key written in the guide around its text:
//   a sustain of <!--default.sustain-->0.2<!--/--> s
// and the generated tables between marker lines such as
//   <!-- buffer table --> ... <!-- end of buffer table -->
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quavix::cli {

// The text of a figure, or nothing for an unknown key. A claim of the guide
// that the core no longer bears out comes back marked "(untrue)".
std::optional<std::string> GuideFigure(std::string_view key);

// The table between "<!-- NAME -->" and "<!-- end of NAME -->", or nothing for
// an unknown name: "buffer table", "item numbers".
std::optional<std::string> GuideTable(std::string_view name);

// A value with at most two decimals and no trailing zeros: 2.27, 0.45, 70.
std::string Trimmed(float value);
// value with `decimals` decimals, the whole part grouped by commas when asked.
std::string Fixed(double value, int decimals, bool grouped = false);

// The buffer length the module gives an object brought up to date (a/b when
// two older records disagree, 0 when none is updated).
std::string DefaultBufferText();
std::uint32_t DefaultBufferSeconds();
// The buffer length above which longer ones count as it, or 0 for none.
std::uint32_t BufferLimit();
// The samples a buffer of that length holds, and the default sample rate.
double BufferSamples(std::uint32_t seconds);
double SampleRate();

}  // namespace quavix::cli
