// The module's own texts for the per-parameter setters: the action's display
// text and the title of its one number, in the index order of the parameter
// table (the table gives the names). Plain data with no host dependencies: the
// C library reads it as well.
#pragma once

#include <array>

#include "synth/synth_params.h"

namespace quavix::host {

struct SetterTexts {
  const char* Text;   // e.g. "Set attack time to %0"
  const char* Title;  // the title of its number, e.g. "Attack time"
};

extern const std::array<SetterTexts, kParamCount> kSetterTexts;

}  // namespace quavix::host
