// quavix-param-guide FILE [--check]: writes the guide's figures and tables from
// the core; with --check only compares and exits 1 when they differ.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "param_guide.h"

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string(argv[2]) == "--check";
  if (argc != 2 && !check) {
    std::cerr << "usage: quavix-param-guide FILE [--check]\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    std::cerr << "quavix-param-guide: cannot read " << argv[1] << '\n';
    return 2;
  }
  const std::string doc = text.str();
  std::string error;
  const std::string rewritten = quavix::cli::RewriteParamGuide(doc, error);
  if (!error.empty()) {
    std::cerr << "quavix-param-guide: " << argv[1] << ": " << error << '\n';
    return 2;
  }
  if (check) {
    if (rewritten == doc) return 0;
    std::cerr << "quavix-param-guide: the figures of " << argv[1]
              << " differ from the core's; run quavix-param-guide " << argv[1] << '\n';
    return 1;
  }
  if (rewritten != doc) {
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << rewritten;
    if (!out) {
      std::cerr << "quavix-param-guide: cannot write " << argv[1] << '\n';
      return 2;
    }
  }
  return 0;
}
