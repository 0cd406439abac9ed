// The guide (docs/module.md) written anew from the core: its per-parameter
// tables from the parameter table between marker lines
//   <!-- parameter table: GROUP-ID GROUP-ID ... -->
//   ...generated rows...
//   <!-- end of parameter table -->
// the other tables between "<!-- NAME -->" and "<!-- end of NAME -->", each
// figure "<!--KEY-->...<!--/-->" (guide_figures.h), and the line after
// "<!-- next line: TEXT -->" as TEXT with its figures (for headings).
#pragma once

#include <string>
#include <string_view>

namespace quavix::cli {

// The Markdown table of the parameters of the given groups (ids such as
// "wave volume"), in group order, then index order; "" when an id is unknown.
std::string ParamGuideTable(std::string_view groupIds);

// doc with every marked table, figure and line written anew. On a marker
// without its end, an unknown group, table or figure, error receives the
// reason and doc comes back as it is.
std::string RewriteParamGuide(std::string_view doc, std::string& error);

}  // namespace quavix::cli
