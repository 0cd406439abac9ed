// The per-parameter tables of the guide (docs/module.md), written from the
// parameter table between marker lines:
//   <!-- parameter table: GROUP-ID GROUP-ID ... -->
//   ...generated rows...
//   <!-- end of parameter table -->
#pragma once

#include <string>
#include <string_view>

namespace quavix::cli {

// The Markdown table of the parameters of the given groups (ids such as
// "wave volume"), in group order, then index order; "" when an id is unknown.
std::string ParamGuideTable(std::string_view groupIds);

// doc with every marked block written anew. On a marker without its end or
// with an unknown group, error receives the reason and doc comes back as it is.
std::string RewriteParamGuide(std::string_view doc, std::string& error);

}  // namespace quavix::cli
